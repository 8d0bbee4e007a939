// What the tool asks the system itself, apart from the library: its
// arguments, the files a user names, what a path is, where the tool lies and
// which library it runs with. The library keeps its own rules (a missing
// settings file reads as defaults); these checks are the tool's, so that a
// mistyped name is told. Defined in system.cpp and in the side the build
// picks, posix/ or win32/ (system_side.h is the seam between them).
#ifndef QUORVEL_TOOLS_SYSTEM_H
#define QUORVEL_TOOLS_SYSTEM_H

#include <cstddef>
#include <string>
#include <vector>

namespace quorvel_tool {

// Reads all of `path` into `contents`: only a regular file, and only up to
// `limit` bytes. A FIFO, a device or a directory is refused before anything
// is read, so nothing blocks or grows without end. On failure `error` is
// "PATH: reason", or "empty path".
bool readUserFile(const std::string &path, size_t limit, std::string &contents, std::string &error);

// The same checks without reading: `path` is a regular file the tool can open.
bool checkUserFile(const std::string &path, std::string &error);

// What a path names, a last link not followed.
struct PathInfo {
    enum Kind { Missing, Directory, File, Link, Other } kind = Missing;
    bool readOnly = false;
    bool hidden = false;            // Windows: hidden or system
    unsigned long long volume = 0;  // POSIX: the mount it lies on
    std::string reason;             // Missing: the system's words for why
};
PathInfo inspect(const std::string &path);

// What stayed of a tree after a removal: each entry that stayed for itself
// (not a directory that stayed only for what it holds), with what it is
// ("file kept") and, unless that says it ("read-only file kept"), the reason
// in words ("cannot write /etc/ssl: Permission denied"); empty when the tool
// cannot tell. At most `limit` entries are listed and a bounded number
// looked at; `total` counts all it found.
struct KeptEntry {
    std::string path;
    std::string why;
    std::string reason;
};
struct KeptTree {
    std::vector<KeptEntry> entries;
    size_t total = 0;
    bool complete = true;    // false when the walk stopped at its bound
    bool listed = true;      // false when the root itself cannot be listed
    std::string listReason;  // why not, in the system's words
    std::string rootReason;  // why the root would stay even emptied, or empty
};
KeptTree keptEntries(const std::string &root, size_t limit);

// True when `path` is the current directory or one of its parents, or a
// root, once resolved.
bool holdsWorkingDirectory(const std::string &path);

// The deepest part of `path` that exists, for saying why it cannot be made.
std::string existingAncestor(const std::string &path);

// Why nothing can be made in the directory `dir`, in the system's words, or
// empty when the tool cannot tell.
std::string writeProblem(const std::string &dir);

// The arguments after the program's name, as the tool's text (see
// textToUnits): the bytes given on POSIX; on Windows, which hands them over
// in UTF-16, UTF-8 that keeps a lone surrogate.
std::vector<std::string> commandArguments(int argc, char **argv);

// The samples installed with the tool, found from where the tool lies.
std::string samplesDirectory();

// The library this process runs with: its version and file.
struct LibraryInfo {
    std::string version;         // "0.1.0", or empty when unknown
    std::string file;            // the loaded file, or "built in"
    std::string productVersion;  // Windows: from the version resource
    std::string originalName;    // Windows: from the version resource
};
LibraryInfo loadedLibrary();

// "Linux", "Windows 32-bit" or "Windows 64-bit".
const char *buildName();

// The library's own account of what it read and why it fell back (its
// QUORVEL_TRACE), so that the tool can name the reason behind an answer.
// Unless the user turned the trace on, QUORVEL_TRACE is pointed at a private
// file before the library is first called; the file goes at exit. When the
// user traces to a file, the lines this run adds to it are read there; when
// to stderr, the tool has none.
void captureLibraryTrace();
std::vector<std::string> libraryTraceLines();

}  // namespace quorvel_tool

#endif
