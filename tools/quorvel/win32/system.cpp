// The tool's system calls on Windows: files the user names, what a path is
// and why a removal left it, where the tool lies and which quorvel.dll it
// runs with (its version resource), the environment and the arguments, all
// in UTF-16.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <cwctype>

#include "../device_file.h"
#include "../system.h"
#include "../system_side.h"
#include "quorvel/quorvel.h"

namespace quorvel_tool {

namespace {

// The tool's text to UTF-16 and back, a lone surrogate kept (see textToUnits).
std::wstring wide(const std::string &s) { return textToUnits(s); }

std::string narrow(const wchar_t *s, int length = -1) {
    return length < 0 ? unitsToText(s) : unitsToText(s, static_cast<size_t>(length));
}

// The system's words for an error code, with the limit named when a path
// is too long for it.
std::string reasonFor(DWORD code, const std::string &path) {
    wchar_t buffer[512];
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                                   sizeof buffer / sizeof buffer[0], nullptr);
    std::string words = n > 0 ? narrow(buffer, static_cast<int>(n)) : "error " + std::to_string(code);
    while (!words.empty() &&
           (words.back() == '\n' || words.back() == '\r' || words.back() == '.' || words.back() == ' '))
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

// finalPath in the system's units.
std::wstring finalPathUnits(const std::string &path) {
    Handle dir;
    dir.h =
        CreateFileW(wide(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    wchar_t buffer[32768];
    const DWORD n = dir.h == INVALID_HANDLE_VALUE ? 0 : GetFinalPathNameByHandleW(dir.h, buffer, 32768, 0);
    return std::wstring(buffer, n > 0 && n < 32768 ? n : 0);
}

}  // namespace

// ---- Path text --------------------------------------------------------------

char separatorAfter(const std::string &dir) { return dir.find('\\') == std::string::npos ? '/' : '\\'; }

size_t driveRootLength(const std::string &path) {
    return path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/') ? 3 : 0;
}

// ---- Files and directories --------------------------------------------------

UserFile::~UserFile() {
    const HANDLE file = reinterpret_cast<HANDLE>(handle_);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

bool UserFile::open(const std::string &path, size_t limit, std::string &error) {
    path_ = path;
    // Backup semantics let a directory open too, so that it is told as one.
    const HANDLE file =
        CreateFileW(wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    handle_ = reinterpret_cast<intptr_t>(file);
    if (file == INVALID_HANDLE_VALUE) {
        error = path + ": " + reasonFor(GetLastError(), path);
        return false;
    }
    const DWORD type = GetFileType(file);
    BY_HANDLE_FILE_INFORMATION info;
    if (type == FILE_TYPE_CHAR) {
        error = path + ": is a character device, not a regular file";
    } else if (type == FILE_TYPE_PIPE) {
        error = path + ": is a pipe, not a regular file";
    } else if (type != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)) {
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

long long UserFile::read(char *buffer, size_t size, std::string &error) {
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, static_cast<DWORD>(size), &got, nullptr)) {
        error = path_ + ": " + reasonFor(GetLastError(), path_);
        return -1;
    }
    return got;
}

bool UserFile::seek(long long offset, std::string &error) {
    LARGE_INTEGER to;
    to.QuadPart = offset;
    if (SetFilePointerEx(reinterpret_cast<HANDLE>(handle_), to, nullptr, FILE_BEGIN)) return true;
    error = path_ + ": " + reasonFor(GetLastError(), path_);
    return false;
}

PathInfo inspect(const std::string &path) {
    PathInfo info;
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
    return info;
}

bool entryNames(const std::string &dir, std::vector<std::string> &names, std::string &reason) {
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
    return true;
}

std::string finalPath(const std::string &path) {
    const std::wstring units = finalPathUnits(path);
    return narrow(units.c_str(), static_cast<int>(units.size()));
}

bool resolvesElsewhere(const std::string &dirFinal, const std::string &name, const std::string &path) {
    const std::wstring expected = wide(dirFinal) + L"\\" + wide(name);
    const std::wstring resolved = finalPathUnits(path);
    return !resolved.empty() && resolved != expected;
}

// Opening `path` for deletion meets the access check and the sharing check
// a deletion meets; opening deletes nothing.
std::string removalObstacle(const std::string & /*dir*/, const std::string &path) {
    Handle entry;
    entry.h = CreateFileW(wide(path).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (entry.h != INVALID_HANDLE_VALUE) return std::string();
    return "cannot be deleted: " + reasonFor(GetLastError(), path);
}

std::string mountObstacle(const std::string & /*path*/) { return std::string(); }

bool holdsWorkingDirectory(const std::string &path) {
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
}

std::string writeProblem(const std::string & /*dir*/) { return std::string(); }

// ---- The process ------------------------------------------------------------

std::filesystem::path nativePath(const std::string &path) { return std::filesystem::path(wide(path)); }

std::filesystem::path executablePath() {
    wchar_t self[32768];
    const DWORD n = GetModuleFileNameW(nullptr, self, 32768);
    return std::filesystem::path(std::wstring(self, n < 32768 ? n : 0));
}

LibraryInfo loadedLibrary() {
    LibraryInfo info;
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
    return info;
}

const char *buildName() {
#if defined(_WIN64)
    return "Windows 64-bit";
#else
    return "Windows 32-bit";
#endif
}

bool environmentText(const char *name, std::string &value) {
    wchar_t set[MAX_PATH * 4];
    const DWORD n = GetEnvironmentVariableW(wide(name).c_str(), set, MAX_PATH * 4);
    if (n >= MAX_PATH * 4) return false;
    value = narrow(set, static_cast<int>(n));
    return true;
}

bool setEnvironment(const char *name, const std::string &value) {
    return SetEnvironmentVariableW(wide(name).c_str(), wide(value).c_str()) != 0;
}

std::string makeTemporaryFile() {
    wchar_t folder[MAX_PATH + 1], file[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"qvt", 0, file) == 0) return std::string();
    return narrow(file);
}

long long fileSize(const std::string &path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(wide(path).c_str(), GetFileExInfoStandard, &data)) return 0;
    return static_cast<long long>((static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

void removeFile(const std::string &path) { DeleteFileW(wide(path).c_str()); }

std::vector<std::string> commandArguments(int /*argc*/, char ** /*argv*/) {
    std::vector<std::string> out;
    int count = 0;
    LPWSTR *units = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; units != nullptr && i < count; ++i) out.push_back(narrow(units[i]));
    LocalFree(units);
    return out;
}

}  // namespace quorvel_tool
