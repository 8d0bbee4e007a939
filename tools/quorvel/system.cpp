#include "system.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "device_file.h"
#include "system_side.h"

namespace quorvel_tool {

std::string joinPath(const std::string &dir, const std::string &name) {
    if (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) return dir + name;
    return dir + separatorAfter(dir) + name;
}

std::string parentDirectory(const std::string &path) {
    std::string p = path;
    while (p.size() > 1 && (p.back() == '/' || p.back() == '\\')) p.pop_back();
    const size_t cut = p.find_last_of("/\\");
    if (cut == std::string::npos) return ".";
    return p.substr(0, std::max(cut == 0 ? 1 : cut, driveRootLength(p)));
}

bool readUserFile(const std::string &path, size_t limit, std::string &contents, std::string &error) {
    contents.clear();
    if (path.empty()) {
        error = "empty path";
        return false;
    }
    UserFile file;
    if (!file.open(path, limit, error)) return false;
    char buffer[65536];
    for (;;) {
        const long long got = file.read(buffer, sizeof buffer, error);
        if (got < 0) return false;
        if (got == 0) break;
        // The file may grow while it is read: the limit holds all the same.
        if (contents.size() + static_cast<size_t>(got) > limit) {
            error = path + ": is larger than the limit of " + std::to_string(limit) + " bytes";
            return false;
        }
        contents.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

bool checkUserFile(const std::string &path, std::string &error) {
    if (path.empty()) {
        error = "empty path";
        return false;
    }
    UserFile file;
    return file.open(path, SIZE_MAX, error);
}

namespace {

// An entry the library does not reach: its path, as the library builds it,
// does not fit the library's working buffer.
std::string beyondLibraryLimit(const std::string &path) {
    constexpr size_t kChildPathLimit = 519;  // UTF-16 units
    if (textToUnits(path).size() <= kChildPathLimit) return std::string();
    return "path over the library's limit of " + std::to_string(kChildPathLimit) + " UTF-16 units";
}

// Walks what stayed below `dir`, adding each entry that stayed for itself;
// true when anything is left. `budget` bounds the walk, however large the
// tree that stayed.
bool collectKept(const std::string &dir, const std::vector<std::string> &names, const PathInfo &top, size_t limit,
                 size_t &budget, KeptTree &out) {
    bool any = false;
    const std::string dirFinal = finalPath(dir);
    for (const auto &name : names) {
        if (budget == 0) {
            out.complete = false;
            return true;
        }
        --budget;
        const std::string path = joinPath(dir, name);
        PathInfo info = inspect(path);
        const char *why = nullptr;
        std::string reason;
        if (info.kind == PathInfo::Missing) continue;  // gone meanwhile
        any = true;
        // Wine shows a Unix link as what it leads to; the library keeps any
        // entry whose resolved path is not where it stands, and so do we.
        if (resolvesElsewhere(dirFinal, name, path)) {
            info.kind = PathInfo::Link;
            reason = "leads elsewhere; links are never followed";
        }
        if (info.kind == PathInfo::Directory && info.volume != top.volume) {
            why = "mount point kept";  // the removal enters only plain directories on the same volume
        } else if (info.kind == PathInfo::Directory && info.readOnly) {
            why = "read-only directory kept";
        } else if (info.kind == PathInfo::Directory && info.hidden) {
            why = "hidden or system directory kept";
        } else if (info.kind == PathInfo::File && info.readOnly) {
            why = "read-only file kept";
        } else {
            // Anything else stays for a reason of the system's, or beyond the
            // library's reach; a directory only for what stayed in it.
            if (reason.empty()) reason = beyondLibraryLimit(path);
            if (reason.empty()) reason = removalObstacle(dir, path);
            if (info.kind == PathInfo::Link) {
                why = "link kept";
            } else if (info.kind != PathInfo::Directory) {
                why = "file kept";
            } else {
                std::string cannotList;
                std::vector<std::string> inside;
                if (!entryNames(path, inside, cannotList)) {
                    why = "directory kept";
                    if (reason.empty()) reason = "cannot be listed: " + cannotList;
                } else if (!collectKept(path, inside, top, limit, budget, out)) {
                    why = "empty directory kept";
                }
            }
            if (reason.empty()) reason = "reason unknown";
        }
        if (why == nullptr) continue;
        if (out.entries.size() < limit) out.entries.push_back({path, why, reason});
        ++out.total;
    }
    return any;
}

}  // namespace

KeptTree keptEntries(const std::string &root, size_t limit) {
    KeptTree out;
    size_t budget = 100000;
    std::vector<std::string> names;
    out.listed = entryNames(root, names, out.listReason);
    if (out.listed) collectKept(root, names, inspect(root), limit, budget, out);
    out.rootReason = mountObstacle(root);
    if (out.rootReason.empty()) out.rootReason = removalObstacle(parentDirectory(root), root);
    return out;
}

std::string existingAncestor(const std::string &path) {
    std::string p = path;
    while (!p.empty() && inspect(p).kind == PathInfo::Missing) {
        while (!p.empty() && (p.back() == '/' || p.back() == '\\')) p.pop_back();
        const size_t cut = p.find_last_of("/\\");
        if (cut == std::string::npos) return ".";
        p.erase(cut == 0 ? 1 : cut);
    }
    return p;
}

std::string samplesDirectory() {
    namespace fs = std::filesystem;
    return (executablePath().parent_path() / fs::u8path(QUORVEL_SAMPLES_FROM_BIN)).lexically_normal().u8string();
}

namespace {

std::string gTracePath;     // the file the library traces to, empty when none
long long gTraceStart = 0;  // where this run's lines start in it
long long gTraceRead = 0;   // how far they have been read, at a line's end
std::vector<std::string> gTraceLines;

// A run traces a few kilobytes; what a file gains past this is not read.
constexpr long long kMostTraceBytes = 1 << 20;

void removeTraceFile() { removeFile(gTracePath); }

}  // namespace

void captureLibraryTrace() {
    std::string set;
    if (!environmentText("QUORVEL_TRACE", set) || set == "1") return;
    if (!set.empty() && set != "0") {
        // The user's own file: this run's lines are those past its end now.
        gTracePath = set;
        gTraceStart = gTraceRead = fileSize(set);
        return;
    }
    const std::string file = makeTemporaryFile();
    if (file.empty()) return;
    if (!setEnvironment("QUORVEL_TRACE", file)) {
        removeFile(file);
        return;
    }
    gTracePath = file;
    // Without the handler the file would stay; better not to trace at all.
    if (std::atexit(removeTraceFile) != 0) {
        removeTraceFile();
        gTracePath.clear();
    }
}

std::vector<std::string> libraryTraceLines() {
    // Read as the user's files are (a FIFO or a device is not waited on),
    // from where the last reading stopped.
    UserFile file;
    std::string error, text;
    const long long room = gTraceStart + kMostTraceBytes - gTraceRead;
    if (gTracePath.empty() || room <= 0 || !file.open(gTracePath, SIZE_MAX, error) || !file.seek(gTraceRead, error))
        return gTraceLines;
    char buffer[4096];
    while (static_cast<long long>(text.size()) < room) {
        const size_t want =
            static_cast<size_t>(std::min<long long>(sizeof buffer, room - static_cast<long long>(text.size())));
        const long long got = file.read(buffer, want, error);
        if (got <= 0) break;
        text.append(buffer, static_cast<size_t>(got));
    }
    // Whole lines only: the library writes each in one piece, and a line
    // still being written is read next time.
    const size_t end = text.rfind('\n');
    if (end == std::string::npos) return gTraceLines;
    gTraceRead += static_cast<long long>(end) + 1;
    const std::string prefix = "quorvel: ";
    for (size_t at = 0; at <= end;) {
        const size_t next = text.find('\n', at);
        if (text.compare(at, prefix.size(), prefix) == 0)
            gTraceLines.push_back(text.substr(at + prefix.size(), next - at - prefix.size()));
        at = next + 1;
    }
    return gTraceLines;
}

}  // namespace quorvel_tool
