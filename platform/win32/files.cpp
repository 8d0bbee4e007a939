// Files, directories and volumes, Windows side: the Win32 calls, with the
// arguments the decisions rely on. Two places go further than a plain call,
// for safety:
//  - A directory being emptied is held open, without FILE_SHARE_DELETE, from
//    before its listing until just before it is removed. While that handle
//    is open the directory can be neither renamed nor deleted, so no path the
//    removal builds can be redirected through a junction or link put in its
//    place. The handle opens a reparse point itself, never its target, and
//    the directory must still be exactly FILE_ATTRIBUTE_DIRECTORY.
//  - The file-name probe is created with CREATE_NEW, so an existing file is
//    never truncated, and with FILE_FLAG_DELETE_ON_CLOSE, so closing the
//    handle deletes exactly the file it made and nothing that took its name.
#include "platform/files.h"

#include <windows.h>

namespace quorvel {
namespace platform {

namespace {

HANDLE handleOf(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

bool pinDirectory(const Char *path, TreeDirectory *out) {
    HANDLE h = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info) || info.dwFileAttributes != FILE_ATTRIBUTE_DIRECTORY) {
        CloseHandle(h);
        return false;
    }
    out->handle = reinterpret_cast<intptr_t>(h);
    out->search = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
    out->parent = 0;
    out->volume = info.dwVolumeSerialNumber;
    return true;
}

void takeEntry(const WIN32_FIND_DATAW &found, DirectoryEntry *entry) {
    entry->attributes = found.dwFileAttributes;
    const int limit = sizeof found.cFileName / sizeof found.cFileName[0];
    int n = 0;
    while (n < limit && found.cFileName[n] != 0) ++n;
    if (n >= entry->capacity) {
        entry->length = -1;
        return;
    }
    for (int i = 0; i < n; ++i) entry->name[i] = found.cFileName[i];
    entry->name[n] = 0;
    entry->length = n;
}

}  // namespace

CreateDirectoryResult createDirectory(const Char *path) {
    if (CreateDirectoryW(path, nullptr)) return CreateDirectoryResult::Created;
    return GetLastError() == ERROR_ALREADY_EXISTS ? CreateDirectoryResult::AlreadyExists
                                                  : CreateDirectoryResult::Failed;
}

uint32_t fileAttributes(const Char *path) { return GetFileAttributesW(path); }

bool openTreeRoot(const Char *path, TreeDirectory *out) { return pinDirectory(path, out); }

bool openTreeChild(const TreeDirectory &, const Char *, const Char *childPath, TreeDirectory *out) {
    return pinDirectory(childPath, out);
}

void closeTreeDirectory(TreeDirectory *dir) {
    findClose(dir);
    if (dir->handle != 0) CloseHandle(handleOf(dir->handle));
    dir->handle = 0;
}

bool findFirstEntry(TreeDirectory *dir, const Char *pattern, DirectoryEntry *entry) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    dir->search = reinterpret_cast<intptr_t>(search);
    takeEntry(found, entry);
    return true;
}

bool findNextEntry(TreeDirectory *dir, DirectoryEntry *entry) {
    if (handleOf(dir->search) == INVALID_HANDLE_VALUE) return false;
    WIN32_FIND_DATAW found;
    if (!FindNextFileW(handleOf(dir->search), &found)) return false;
    takeEntry(found, entry);
    return true;
}

void findClose(TreeDirectory *dir) {
    if (handleOf(dir->search) != INVALID_HANDLE_VALUE) FindClose(handleOf(dir->search));
    dir->search = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
}

void deleteTreeFile(const TreeDirectory &, const Char *, const Char *childPath) { DeleteFileW(childPath); }

int32_t removeTreeChild(const TreeDirectory &, const Char *, const Char *childPath) {
    return RemoveDirectoryW(childPath);
}

int32_t removeTreeRoot(TreeDirectory *root, const Char *path) {
    // The pin forbids deletion, so it goes first.
    closeTreeDirectory(root);
    return RemoveDirectoryW(path);
}

uint32_t logicalDriveStrings(uint32_t capacity, Char *buffer) { return GetLogicalDriveStringsW(capacity, buffer); }

uint32_t driveType(const Char *root) { return GetDriveTypeW(root); }

bool diskFreeSpaceEx(const Char *root, VolumeSpace *out) {
    ULARGE_INTEGER forCaller, total, totalFree;
    if (!GetDiskFreeSpaceExW(root, &forCaller, &total, &totalFree)) return false;
    out->freeForCaller = forCaller.QuadPart;
    out->total = total.QuadPart;
    out->totalFree = totalFree.QuadPart;
    return true;
}

bool diskFreeSpace(const Char *root, ClusterSpace *out) {
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, totalClusters;
    if (!GetDiskFreeSpaceW(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters)) return false;
    out->sectorsPerCluster = sectorsPerCluster;
    out->bytesPerSector = bytesPerSector;
    out->freeClusters = freeClusters;
    out->totalClusters = totalClusters;
    return true;
}

int32_t mulDiv(int32_t a, int32_t b, int32_t c) { return MulDiv(a, b, c); }

OpenResult openForRead(const Char *path) {
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE && h != nullptr) {
        CloseHandle(h);
        return OpenResult::Opened;
    }
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ? OpenResult::Held : OpenResult::Absent;
}

ProbeResult createProbe(const Char *path) {
    // DELETE is what FILE_FLAG_DELETE_ON_CLOSE needs; asked for explicitly.
    HANDLE h = CreateFileW(path, GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h != INVALID_HANDLE_VALUE && h != nullptr) {
        CloseHandle(h);
        return ProbeResult::Created;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return ProbeResult::Failed;
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? ProbeResult::Failed
                                                                                                 : ProbeResult::Exists;
}

}  // namespace platform
}  // namespace quorvel
