#include "system.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

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

std::wstring wide(const std::string &s) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(n > 0 ? static_cast<size_t>(n) : 0, L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &out[0], n);
    return out;
}

std::string narrow(const wchar_t *s, int length = -1) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, s, length, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, s, length, &out[0], n, nullptr, nullptr);
    if (length < 0 && !out.empty()) out.pop_back();  // the terminator
    return out;
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
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        info.reason = reasonFor(errno, path);
        return info;
    }
    info.readOnly = (st.st_mode & S_IWUSR) == 0;  // as the library reads it
    info.volume = static_cast<unsigned long long>(st.st_dev);
    if (S_ISLNK(st.st_mode))
        info.kind = PathInfo::Link;
    else if (S_ISDIR(st.st_mode))
        info.kind = PathInfo::Directory;
    else if (S_ISREG(st.st_mode))
        info.kind = PathInfo::File;
    else
        info.kind = PathInfo::Other;
#endif
    return info;
}

namespace {

std::vector<std::string> entryNames(const std::string &dir) {
    std::vector<std::string> names;
#if defined(_WIN32)
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(wide(joinPath(dir, "*")).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = narrow(found.cFileName);
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
#else
    DIR *d = opendir(dir.c_str());
    if (d == nullptr) return names;
    while (const struct dirent *e = readdir(d)) {  // NOLINT(concurrency-mt-unsafe): one reader per stream
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
#endif
    return names;
}

#if defined(_WIN32)
// The path the system resolves `path` to, upper-cased for comparing; empty
// when it cannot be opened.
std::wstring finalPath(const std::string &path) {
    Handle dir;
    dir.h = CreateFileW(wide(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    wchar_t buffer[32768];
    const DWORD n = dir.h == INVALID_HANDLE_VALUE ? 0 : GetFinalPathNameByHandleW(dir.h, buffer, 32768, 0);
    std::wstring out(buffer, n > 0 && n < 32768 ? n : 0);
    for (auto &c : out) c = static_cast<wchar_t>(towupper(c));
    return out;
}
#endif

// Walks what stayed below `dir`, adding each entry that stayed for itself;
// true when anything is left. `budget` bounds the walk, however large the
// tree that stayed.
bool collectKept(const std::string &dir, const PathInfo &top, size_t limit, size_t &total, size_t &budget,
                 std::vector<KeptEntry> &out) {
    bool any = false;
#if defined(_WIN32)
    const std::wstring dirFinal = finalPath(dir);
#endif
    for (const auto &name : entryNames(dir)) {
        if (budget == 0) return true;
        --budget;
        const std::string path = joinPath(dir, name);
        PathInfo info = inspect(path);
        const char *why = nullptr;
        if (info.kind == PathInfo::Missing) continue;  // gone meanwhile
        any = true;
#if defined(_WIN32)
        // Wine shows a Unix link as what it leads to; the library keeps any
        // entry whose resolved path is not where it stands, and so do we.
        std::wstring expected = dirFinal + L"\\" + wide(name);
        for (auto &c : expected) c = static_cast<wchar_t>(towupper(c));
        if (info.kind == PathInfo::Directory && finalPath(path) != expected) info.kind = PathInfo::Link;
#endif
        if (info.kind == PathInfo::Link) {
            why = "link kept";
        } else if (info.kind == PathInfo::Directory) {
            // The removal enters only plain directories on the same volume.
            if (info.volume != top.volume)
                why = "mount point kept";
            else if (info.readOnly)
                why = "read-only directory kept";
            else if (info.hidden)
                why = "hidden or system directory kept";
            else if (!collectKept(path, top, limit, total, budget, out))
                why = "empty directory kept";
        } else {
            why = info.readOnly ? "read-only file kept" : "file kept";
        }
        if (why == nullptr) continue;
        if (out.size() < limit) out.push_back({path, why});
        ++total;
    }
    return any;
}

}  // namespace

std::vector<KeptEntry> keptEntries(const std::string &root, size_t limit, size_t &total) {
    std::vector<KeptEntry> out;
    total = 0;
    size_t budget = 100000;
    collectKept(root, inspect(root), limit, total, budget, out);
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

}  // namespace quorvel_tool
