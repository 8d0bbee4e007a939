#include "system.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "device_file.h"
#include "quorvel/quorvel.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quorvel_tool {

namespace {

std::string joinPath(const std::string &dir, const std::string &name) {
    if (!dir.empty() && (dir.back() == '/' || dir.back() == '\\')) return dir + name;
#if defined(_WIN32)
    // Keep the user's separators: a path given as /tmp/x under Wine stays so.
    return dir + (dir.find('\\') == std::string::npos ? "/" : "\\") + name;
#else
    return dir + "/" + name;
#endif
}

#if defined(_WIN32)

// The tool's text to UTF-16 and back, a lone surrogate kept (see textToUnits).
std::wstring wide(const std::string &s) { return textToUnits(s); }

std::string narrow(const wchar_t *s, int length = -1) {
    return length < 0 ? unitsToText(s) : unitsToText(s, static_cast<size_t>(length));
}

// The system's words for an error code, with the limit named when a path
// is too long for it.
std::string reasonFor(DWORD code, const std::string &path) {
    wchar_t buffer[512];
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                   buffer, sizeof buffer / sizeof buffer[0], nullptr);
    std::string words = n > 0 ? narrow(buffer, static_cast<int>(n)) : "error " + std::to_string(code);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == '.' ||
                              words.back() == ' '))
        words.pop_back();
    if (code == ERROR_FILENAME_EXCED_RANGE || wide(path).size() >= MAX_PATH)
        words += " (a path here has at most " + std::to_string(MAX_PATH - 1) + " characters)";
    return words;
}

struct Handle {
    HANDLE h = INVALID_HANDLE_VALUE;
    Handle() = default;
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

// Opens `path` for reading when it is a regular file; else false with why.
bool openRegular(const std::string &path, size_t limit, Handle &file, std::string &error) {
    // Backup semantics let a directory open too, so that it is told as one.
    file.h = CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file.h == INVALID_HANDLE_VALUE) {
        error = path + ": " + reasonFor(GetLastError(), path);
        return false;
    }
    const DWORD type = GetFileType(file.h);
    BY_HANDLE_FILE_INFORMATION info;
    if (type == FILE_TYPE_CHAR) {
        error = path + ": is a character device, not a regular file";
    } else if (type == FILE_TYPE_PIPE) {
        error = path + ": is a pipe, not a regular file";
    } else if (type != FILE_TYPE_DISK || !GetFileInformationByHandle(file.h, &info)) {
        error = path + ": is not a regular file";
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        error = path + ": is a directory";
    } else if ((static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow) > limit) {
        error = path + ": is larger than the limit of " + std::to_string(limit) + " bytes";
    } else {
        return true;
    }
    return false;
}

#else

std::string reasonFor(int code, const std::string & /*path*/) {
    std::string words = std::strerror(code);
    if (code == ENAMETOOLONG)
        words += " (a name here has at most " + std::to_string(NAME_MAX) + " bytes, a path " +
                 std::to_string(PATH_MAX - 1) + ")";
    return words;
}

// What a removal looks at, links not followed: the kind and mode, the owner,
// the mount, and the flags that forbid removal.
struct Status {
    mode_t mode = 0;
    uid_t owner = 0;
    uint64_t mount = 0;  // the mount id where the kernel gives one, else the device
    bool immutable = false;
    bool appendOnly = false;
};

// The status of `path`, of the last link itself unless `follow`. The mount
// is told as the library tells it: by its id, so that a bind mount of the
// same file system counts too, where the kernel gives one.
bool status(const std::string &path, Status &out, bool follow = false) {
    struct statx sx;
    if (statx(AT_FDCWD, path.c_str(), (follow ? 0 : AT_SYMLINK_NOFOLLOW) | AT_NO_AUTOMOUNT,
              STATX_TYPE | STATX_MODE | STATX_UID | STATX_MNT_ID, &sx) != 0) {
        struct stat st;
        if (errno != ENOSYS || (follow ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0) return false;
        out.mode = st.st_mode;
        out.owner = st.st_uid;
        out.mount = (uint64_t{1} << 63) | static_cast<uint64_t>(st.st_dev);
        return true;
    }
    out.mode = sx.stx_mode;
    out.owner = sx.stx_uid;
    const uint64_t device = (uint64_t{sx.stx_dev_major} << 32) | sx.stx_dev_minor;
    out.mount = (sx.stx_mask & STATX_MNT_ID) != 0 ? sx.stx_mnt_id : (uint64_t{1} << 63) | device;
    out.immutable = (sx.stx_attributes_mask & sx.stx_attributes & STATX_ATTR_IMMUTABLE) != 0;
    out.appendOnly = (sx.stx_attributes_mask & sx.stx_attributes & STATX_ATTR_APPEND) != 0;
    return true;
}

struct Handle {
    int fd = -1;
    Handle() = default;
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    ~Handle() {
        if (fd >= 0) close(fd);
    }
};

bool openRegular(const std::string &path, size_t limit, Handle &file, std::string &error) {
    // Without O_NONBLOCK opening a FIFO waits for a writer, for ever.
    file.fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st;
    if (file.fd < 0 || fstat(file.fd, &st) != 0) {
        error = path + ": " + reasonFor(errno, path);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = path + ": is a directory";
    } else if (S_ISFIFO(st.st_mode)) {
        error = path + ": is a FIFO, not a regular file";
    } else if (S_ISCHR(st.st_mode)) {
        error = path + ": is a character device, not a regular file";
    } else if (!S_ISREG(st.st_mode)) {
        error = path + ": is not a regular file";
    } else if (static_cast<uint64_t>(st.st_size) > limit) {
        error = path + ": is larger than the limit of " + std::to_string(limit) + " bytes";
    } else {
        return true;
    }
    return false;
}

#endif

}  // namespace

bool readUserFile(const std::string &path, size_t limit, std::string &contents, std::string &error) {
    contents.clear();
    if (path.empty()) {
        error = "empty path";
        return false;
    }
    Handle file;
    if (!openRegular(path, limit, file, error)) return false;
    char buffer[65536];
    for (;;) {
#if defined(_WIN32)
        DWORD got = 0;
        if (!ReadFile(file.h, buffer, sizeof buffer, &got, nullptr)) {
            error = path + ": " + reasonFor(GetLastError(), path);
            return false;
        }
#else
        const ssize_t got = read(file.fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = path + ": " + reasonFor(errno, path);
            return false;
        }
#endif
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
    Handle file;
    return openRegular(path, SIZE_MAX, file, error);
}

PathInfo inspect(const std::string &path) {
    PathInfo info;
#if defined(_WIN32)
    const DWORD attributes = GetFileAttributesW(wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        info.reason = reasonFor(GetLastError(), path);
        return info;
    }
    info.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    info.hidden = (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        info.kind = PathInfo::Link;
    else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        info.kind = PathInfo::Directory;
    else
        info.kind = PathInfo::File;
#else
    Status st;
    if (!status(path, st)) {
        info.reason = reasonFor(errno, path);
        return info;
    }
    info.readOnly = (st.mode & S_IWUSR) == 0;  // as the library reads it
    info.volume = st.mount;
    if (S_ISLNK(st.mode))
        info.kind = PathInfo::Link;
    else if (S_ISDIR(st.mode))
        info.kind = PathInfo::Directory;
    else if (S_ISREG(st.mode))
        info.kind = PathInfo::File;
    else
        info.kind = PathInfo::Other;
#endif
    return info;
}

namespace {

// The names in `dir`; false, with the system's words in `reason`, when it
// cannot be listed.
bool entryNames(const std::string &dir, std::vector<std::string> &names, std::string &reason) {
#if defined(_WIN32)
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(wide(joinPath(dir, "*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND) return true;  // not even "." and ".."
        reason = reasonFor(code, dir);
        return false;
    }
    do {
        const std::string name = narrow(found.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
#else
    DIR *d = opendir(dir.c_str());
    if (d == nullptr) {
        reason = reasonFor(errno, dir);
        return false;
    }
    while (const struct dirent *e = readdir(d)) {  // NOLINT(concurrency-mt-unsafe): one reader per stream
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
#endif
    return true;
}

// The directory that holds `path`, by its text.
std::string parentDirectory(const std::string &path) {
    std::string p = path;
    while (p.size() > 1 && (p.back() == '/' || p.back() == '\\')) p.pop_back();
    const size_t cut = p.find_last_of("/\\");
    if (cut == std::string::npos) return ".";
#if defined(_WIN32)
    if (cut == 2 && p[1] == ':') return p.substr(0, 3);  // a drive root
#endif
    return p.substr(0, cut == 0 ? 1 : cut);
}

// An entry the library does not reach: its path, as the library builds it,
// does not fit the library's working buffer.
std::string beyondLibraryLimit(const std::string &path) {
    constexpr size_t kChildPathLimit = 519;  // UTF-16 units
    if (textToUnits(path).size() <= kChildPathLimit) return std::string();
    return "path over the library's limit of " + std::to_string(kChildPathLimit) + " UTF-16 units";
}

#if defined(_WIN32)
// The path the system resolves `path` to, as the library compares it: unit
// for unit, so that a name differing only in case is another file; empty
// when it cannot be opened.
std::wstring finalPath(const std::string &path) {
    Handle dir;
    dir.h = CreateFileW(wide(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    wchar_t buffer[32768];
    const DWORD n = dir.h == INVALID_HANDLE_VALUE ? 0 : GetFinalPathNameByHandleW(dir.h, buffer, 32768, 0);
    return std::wstring(buffer, n > 0 && n < 32768 ? n : 0);
}

// Why `path` cannot be deleted, from opening it for deletion: the access
// check and the sharing check a deletion meets. Opening deletes nothing.
std::string removalObstacle(const std::string & /*dir*/, const std::string &path) {
    Handle entry;
    entry.h = CreateFileW(wide(path).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (entry.h != INVALID_HANDLE_VALUE) return std::string();
    return "cannot be deleted: " + reasonFor(GetLastError(), path);
}

std::string mountObstacle(const std::string & /*path*/) { return std::string(); }
#else
// Why the system keeps this user from removing `path` from the directory
// `dir`: the checks unlink and rmdir make, in their order.
std::string removalObstacle(const std::string &dir, const std::string &path) {
    if (faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return "cannot write " + dir + ": " + reasonFor(errno, dir);
    Status holder, entry;
    if (!status(dir, holder, true) || !status(path, entry)) return std::string();
    if (holder.immutable || holder.appendOnly)
        return dir + (holder.immutable ? " is immutable" : " is append-only");
    const uid_t self = geteuid();
    if ((holder.mode & S_ISVTX) != 0 && self != 0 && entry.owner != self && holder.owner != self)
        return dir + " is sticky and the entry is another user's";
    if (entry.immutable || entry.appendOnly) return entry.immutable ? "immutable" : "append-only";
    return std::string();
}

// Whether the directory `path` is a mount point: it lies on another mount
// than the directory holding it, so the system will not remove it.
std::string mountObstacle(const std::string &path) {
    Status self, holder;
    if (!status(path, self) || !status(parentDirectory(path), holder, true) || self.mount == holder.mount)
        return std::string();
    return "a mount point";
}
#endif

// Walks what stayed below `dir`, adding each entry that stayed for itself;
// true when anything is left. `budget` bounds the walk, however large the
// tree that stayed.
bool collectKept(const std::string &dir, const std::vector<std::string> &names, const PathInfo &top, size_t limit,
                 size_t &budget, KeptTree &out) {
    bool any = false;
#if defined(_WIN32)
    const std::wstring dirFinal = finalPath(dir);
#endif
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
#if defined(_WIN32)
        // Wine shows a Unix link as what it leads to; the library keeps any
        // entry whose resolved path is not where it stands, and so do we.
        const std::wstring expected = dirFinal + L"\\" + wide(name);
        const std::wstring resolved = finalPath(path);
        if (!resolved.empty() && resolved != expected) {
            info.kind = PathInfo::Link;
            reason = "leads elsewhere; links are never followed";
        }
#endif
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

bool holdsWorkingDirectory(const std::string &path) {
#if defined(_WIN32)
    wchar_t full[32768], cwd[32768];
    if (GetFullPathNameW(wide(path).c_str(), 32768, full, nullptr) == 0 || GetCurrentDirectoryW(32768, cwd) == 0)
        return false;
    std::wstring target = full, here = cwd;
    for (auto *s : {&target, &here}) {
        for (auto &c : *s) c = static_cast<wchar_t>(towlower(c));
        while (s->size() > 3 && s->back() == L'\\') s->pop_back();
    }
    if (target.size() <= 3) return true;  // a drive root
    return here == target || here.compare(0, target.size() + 1, target + L"\\") == 0;
#else
    char real[PATH_MAX], cwd[PATH_MAX];
    if (realpath(path.c_str(), real) == nullptr || getcwd(cwd, sizeof cwd) == nullptr) return false;
    const std::string target = real, here = cwd;
    if (target == "/") return true;
    return here == target || here.compare(0, target.size() + 1, target + "/") == 0;
#endif
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

std::string writeProblem(const std::string &dir) {
#if defined(_WIN32)
    (void)dir;
    return std::string();
#else
    return access(dir.c_str(), W_OK | X_OK) == 0 ? std::string() : reasonFor(errno, dir);
#endif
}

std::string samplesDirectory() {
    namespace fs = std::filesystem;
#if defined(_WIN32)
    wchar_t self[32768];
    const DWORD n = GetModuleFileNameW(nullptr, self, 32768);
    const fs::path exe(std::wstring(self, n < 32768 ? n : 0));
#else
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    const fs::path exe(std::string(self, n > 0 ? static_cast<size_t>(n) : 0));
#endif
    return (exe.parent_path() / fs::u8path(QUORVEL_SAMPLES_FROM_BIN)).lexically_normal().u8string();
}

LibraryInfo loadedLibrary() {
    LibraryInfo info;
#if defined(_WIN32)
    HMODULE module = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&Quorvel_IsNTSC), &module) ||
        module == GetModuleHandleW(nullptr)) {
        info.version = QUORVEL_VERSION_STRING;
        info.file = "built in";
        return info;
    }
    wchar_t name[32768];
    const DWORD length = GetModuleFileNameW(module, name, 32768);
    info.file = narrow(name, static_cast<int>(length < 32768 ? length : 0));
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(name, &ignored);
    std::vector<char> data(size);
    if (size == 0 || !GetFileVersionInfoW(name, 0, size, data.data())) return info;
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT fixedSize = 0;
    if (VerQueryValueW(data.data(), L"\\", reinterpret_cast<void **>(&fixed), &fixedSize) && fixed != nullptr)
        info.version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                       std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                       std::to_string(HIWORD(fixed->dwFileVersionLS));
    WORD *translation = nullptr;
    UINT translationSize = 0;
    if (!VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void **>(&translation),
                        &translationSize) ||
        translationSize < 2 * sizeof(WORD))
        return info;
    for (auto field : {std::make_pair(L"ProductVersion", &info.productVersion),
                       std::make_pair(L"OriginalFilename", &info.originalName)}) {
        wchar_t query[64];
        (void)swprintf(query, 64, L"\\StringFileInfo\\%04x%04x\\%ls", translation[0], translation[1], field.first);
        wchar_t *value = nullptr;
        UINT units = 0;
        if (VerQueryValueW(data.data(), query, reinterpret_cast<void **>(&value), &units) && value != nullptr)
            *field.second = narrow(value);
    }
#else
    Dl_info found;
    // The file that holds an export is the library this process runs with;
    // its name carries the full version.
    if (dladdr(reinterpret_cast<void *>(&Quorvel_IsNTSC), &found) == 0 || found.dli_fname == nullptr) return info;
    char real[PATH_MAX];
    const std::string file = realpath(found.dli_fname, real) != nullptr ? real : found.dli_fname;
    const std::string name = file.substr(file.find_last_of('/') + 1), marker = ".so.";
    const size_t at = name.find(marker);
    if (name.compare(0, 10, "libquorvel") != 0 || at == std::string::npos) {
        info.version = QUORVEL_VERSION_STRING;
        info.file = "built in";
        return info;
    }
    info.file = file;
    info.version = name.substr(at + marker.size());
#endif
    return info;
}

const char *buildName() {
#if defined(_WIN64)
    return "Windows 64-bit";
#elif defined(_WIN32)
    return "Windows 32-bit";
#elif defined(__linux__)
    return "Linux";
#else
    return "POSIX";
#endif
}

namespace {

std::string gTracePath;   // the file the library traces to, empty when none
long long gTraceStart = 0;  // where this run's lines start in it

void removeTraceFile() {
#if defined(_WIN32)
    DeleteFileW(wide(gTracePath).c_str());
#else
    unlink(gTracePath.c_str());
#endif
}

}  // namespace

void captureLibraryTrace() {
#if defined(_WIN32)
    wchar_t set[MAX_PATH * 4];
    const DWORD n = GetEnvironmentVariableW(L"QUORVEL_TRACE", set, MAX_PATH * 4);
    if (n == 1 && set[0] == L'1') return;
    if (n != 0 && n < MAX_PATH * 4 && !(n == 1 && set[0] == L'0')) {
        // The user's own file: this run's lines are those past its end now.
        gTracePath = unitsToText(set);
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (GetFileAttributesExW(set, GetFileExInfoStandard, &data))
            gTraceStart = static_cast<long long>((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
        return;
    }
    if (n != 0 && !(n == 1 && set[0] == L'0')) return;
    wchar_t folder[MAX_PATH + 1], file[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"qvt", 0, file) == 0) return;
    if (!SetEnvironmentVariableW(L"QUORVEL_TRACE", file)) {
        DeleteFileW(file);
        return;
    }
    gTracePath = unitsToText(file);
#else
    const char *set = std::getenv("QUORVEL_TRACE");
    if (set != nullptr && std::strcmp(set, "1") == 0) return;
    if (set != nullptr && *set != 0 && std::strcmp(set, "0") != 0) {
        // The user's own file: this run's lines are those past its end now.
        gTracePath = set;
        struct stat st;
        if (stat(set, &st) == 0) gTraceStart = st.st_size;
        return;
    }
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base == '/' ? base : "/tmp") + "/quorvel-trace.XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) return;
    close(fd);
    if (setenv("QUORVEL_TRACE", pattern.c_str(), 1) != 0) {
        unlink(pattern.c_str());
        return;
    }
    gTracePath = pattern;
#endif
    // Without the handler the file would stay; better not to trace at all.
    if (std::atexit(removeTraceFile) != 0) {
        removeTraceFile();
        gTracePath.clear();
    }
}

std::vector<std::string> libraryTraceLines() {
    std::vector<std::string> lines;
    if (gTracePath.empty()) return lines;
#if defined(_WIN32)
    std::ifstream in(wide(gTracePath).c_str(), std::ios::binary);
#else
    std::ifstream in(gTracePath, std::ios::binary);
#endif
    in.seekg(gTraceStart);
    const std::string prefix = "quorvel: ";
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line.substr(prefix.size()));
    }
    return lines;
}

}  // namespace quorvel_tool
