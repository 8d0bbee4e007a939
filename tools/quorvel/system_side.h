// The seam of the tool's system layer. system.cpp holds what the tool does
// the same on every system (the user-file limits, which entries of a tree
// stayed and why, the library's trace); each side, posix/system.cpp or
// win32/system.cpp as the build picks, defines the calls below with the
// system's own, and the functions of system.h that are the system's alone.
#ifndef QUORVEL_TOOLS_SYSTEM_SIDE_H
#define QUORVEL_TOOLS_SYSTEM_SIDE_H

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvel_tool {

// ---- Path text (system.cpp, for both sides) ---------------------------------

// `name` inside the directory `dir`.
std::string joinPath(const std::string &dir, const std::string &name);

// The directory that holds `path`, by its text.
std::string parentDirectory(const std::string &path);

// ---- Path text (each side) --------------------------------------------------

// The separator joinPath puts after `dir`: '/' on POSIX. Windows keeps the
// user's separators: a path given as /tmp/x under Wine stays so.
char separatorAfter(const std::string &dir);

// 3 when `path` starts with a drive root ("C:\"), which a parent keeps;
// otherwise, and always on POSIX, 0.
size_t driveRootLength(const std::string &path);

// ---- Files and directories (each side) --------------------------------------

// A file the user named, open for reading; closed when it goes.
class UserFile {
public:
    UserFile() = default;
    UserFile(const UserFile &) = delete;
    UserFile &operator=(const UserFile &) = delete;
    ~UserFile();

    // Opens `path` when it is a regular file of at most `limit` bytes. A
    // FIFO, a device or a directory is refused without waiting and before
    // anything is read. On failure `error` is "PATH: reason".
    bool open(const std::string &path, size_t limit, std::string &error);

    // Up to `size` bytes into `buffer`: how many, 0 at the end of the file,
    // or -1 with "PATH: reason" in `error`.
    long long read(char *buffer, size_t size, std::string &error);

    // Moves to byte `offset` from the start; false with "PATH: reason" in
    // `error`.
    bool seek(long long offset, std::string &error);

private:
    std::string path_;
    // The system's handle as a number: a POSIX descriptor, or a Windows
    // HANDLE; -1 (INVALID_HANDLE_VALUE) while none is open.
    intptr_t handle_ = -1;
};

// The names in `dir`, without "." and ".."; false, with the system's words
// in `reason`, when it cannot be listed.
bool entryNames(const std::string &dir, std::vector<std::string> &names, std::string &reason);

// The path the system resolves `path` to, as the library compares it: unit
// for unit, so that a name differing only in case is another file; empty
// when it cannot be opened, and always on POSIX, where a link shows as one.
std::string finalPath(const std::string &path);

// Whether the entry `name` of a directory whose final path is `dirFinal`
// resolves elsewhere than where it stands. Wine shows a Unix link as what it
// leads to, so such an entry is a link whatever it looks like. Never on POSIX.
bool resolvesElsewhere(const std::string &dirFinal, const std::string &name, const std::string &path);

// Why the system keeps this user from removing `path` from the directory
// `dir`, in words, or empty when the tool cannot tell.
std::string removalObstacle(const std::string &dir, const std::string &path);

// "a mount point" when the system will not remove the directory `path`
// because it is one; otherwise, and always on Windows, empty.
std::string mountObstacle(const std::string &path);

// ---- The process (each side) ------------------------------------------------

// `path` as the system's file functions take it.
std::filesystem::path nativePath(const std::string &path);

// The tool's own program file.
std::filesystem::path executablePath();

// The variable `name` of the environment in `value`, empty when it is not
// set; false when it is set but the tool cannot read it whole.
bool environmentText(const char *name, std::string &value);

// Sets the variable `name` of the environment, for this process and the
// library; false when it cannot be set.
bool setEnvironment(const char *name, const std::string &value);

// A new empty file of the tool's own among the system's temporary files,
// for the library's trace; empty when none can be made.
std::string makeTemporaryFile();

// The size of the file `path`, 0 when the system cannot tell.
long long fileSize(const std::string &path);

// Removes the file `path`, if it can.
void removeFile(const std::string &path);

}  // namespace quorvel_tool

#endif
