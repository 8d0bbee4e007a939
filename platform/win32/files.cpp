// Files, directories and volumes, Windows side: the Win32 calls, with the
// arguments the decisions rely on. Three places go further than a plain call,
// for safety:
//  - A directory being emptied is held open, without FILE_SHARE_DELETE, from
//    before its listing until just before it is removed. While that handle
//    is open the directory can be neither renamed nor deleted, so no path the
//    removal builds can be redirected through a junction or link put in its
//    place. The handle opens a reparse point itself, never its target, and
//    the directory must still be exactly FILE_ATTRIBUTE_DIRECTORY.
//  - Nothing in a tree is entered or deleted by its path alone. An entry is
//    opened as itself (FILE_FLAG_OPEN_REPARSE_POINT) and used only if the
//    handle's final path is its directory's final path followed by its name,
//    unit for unit; a deletion then goes through that handle. Wine opens
//    what a Unix link leads to whatever the flags, and deleting removes that,
//    so there the final path is the target's and the link stays, with its
//    target. The root is removed only if its name still leads to the
//    directory emptied.
//  - The file-name probe is created with CREATE_NEW, so an existing file is
//    never truncated, and with FILE_FLAG_DELETE_ON_CLOSE, so closing the
//    handle deletes exactly the file it made and nothing that took its name.
#include "platform/files.h"

#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

namespace quorvel {
namespace platform {

namespace {

TreeDirectoryState &stateOf(TreeDirectory *dir) { return dir->state; }
const TreeDirectoryState &stateOf(const TreeDirectory &dir) { return dir.state; }

// Units a location is read into. A longer one is not compared, so what it
// names stays.
constexpr DWORD kLocationUnits = 1024;

// Where a handle leads, in one of three forms: its final path with a drive
// letter, its final path with the volume's device name (for a volume without
// a letter), or its path within its volume together with the volume's serial
// number. The last is for Wine, which reads no final path longer than
// MAX_PATH; Wine gives each drive a serial number of its own.
enum class Form { DosPath, DevicePath, WithinVolume };
constexpr Form kForms[] = {Form::DosPath, Form::DevicePath, Form::WithinVolume};

struct Location {
    Form form;
    DWORD serial;
    DWORD length;
    wchar_t path[kLocationUnits];
};

// Reads where `h` leads in `form`; false when that cannot be read whole.
bool locate(HANDLE h, Form form, Location *out) {
    out->form = form;
    out->serial = 0;
    if (form != Form::WithinVolume) {
        const DWORD volume = form == Form::DosPath ? VOLUME_NAME_DOS : VOLUME_NAME_NT;
        out->length = GetFinalPathNameByHandleW(h, out->path, kLocationUnits, FILE_NAME_NORMALIZED | volume);
        return out->length != 0 && out->length < kLocationUnits;
    }
    BY_HANDLE_FILE_INFORMATION info;
    union {
        FILE_NAME_INFO info;
        wchar_t units[2 + kLocationUnits];
    } name;
    if (!GetFileInformationByHandle(h, &info) || !GetFileInformationByHandleEx(h, FileNameInfo, &name, sizeof name))
        return false;
    out->serial = info.dwVolumeSerialNumber;
    out->length = name.info.FileNameLength / sizeof(wchar_t);
    if (out->length == 0 || out->length >= kLocationUnits) return false;
    for (DWORD i = 0; i < out->length; ++i) out->path[i] = name.info.FileName[i];
    return true;
}

// Locations read in the same form, compared unit for unit. A final path and a
// listing both give names as stored, so an entry matches exactly even on a
// volume that ignores case; a name differing only in case may be another
// file (under Wine, on a case-sensitive file system).
bool sameLocation(const Location &a, const Location &b) {
    return a.serial == b.serial && a.length == b.length && wmemcmp(a.path, b.path, a.length) == 0;
}

// Whether `h` leads to `expected`.
bool leadsTo(HANDLE h, const Location &expected) {
    Location actual;
    return locate(h, expected.form, &actual) && sameLocation(expected, actual);
}

// Whether `h` leads to entry `name` of the directory `parent` holds open: to
// the parent's location followed by the name, in the first form both can be
// read in.
bool isEntryOf(HANDLE h, const TreeDirectory &parent, const Char *name) {
    for (Form form : kForms) {
        Location expected;
        if (!locate(stateOf(parent).handle, form, &expected)) continue;
        DWORD n = expected.length;
        // Only a volume's root ends in a separator.
        if (expected.path[n - 1] != L'\\') expected.path[n++] = L'\\';
        const Char *c = name;
        while (*c != 0 && n < kLocationUnits) expected.path[n++] = *c++;
        if (*c != 0) continue;
        expected.length = n;
        Location actual;
        if (locate(h, form, &actual)) return sameLocation(expected, actual);
    }
    return false;
}

// Opens the entry `path` names itself, never a link's target where the system
// can tell them apart, to be deleted through the handle. Shared as
// DeleteFileW and RemoveDirectoryW share, so an entry another program holds
// without FILE_SHARE_DELETE cannot be opened and stays.
HANDLE openForDeletion(const Char *path) {
    return CreateFileW(path, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Marks what `h` is open on for deletion when the handle closes. Refused for
// read-only files and for directories that are not empty.
bool markForDeletion(HANDLE h) {
    FILE_DISPOSITION_INFO disposition;
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(h, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

bool pinDirectory(const Char *path, TreeDirectory *out) {
    HANDLE h = CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info) || info.dwFileAttributes != FILE_ATTRIBUTE_DIRECTORY) {
        CloseHandle(h);
        return false;
    }
    out->state = TreeDirectoryState{h, INVALID_HANDLE_VALUE};
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

bool openTreeChild(const TreeDirectory &parent, const Char *name, const Char *childPath, TreeDirectory *out) {
    if (!pinDirectory(childPath, out)) return false;
    if (isEntryOf(stateOf(out).handle, parent, name)) return true;
    closeTreeDirectory(out);
    return false;
}

void closeTreeDirectory(TreeDirectory *dir) {
    findClose(dir);
    TreeDirectoryState &s = stateOf(dir);
    if (s.handle != nullptr) CloseHandle(s.handle);
    s.handle = nullptr;
}

bool findFirstEntry(TreeDirectory *dir, const Char *pattern, DirectoryEntry *entry) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    stateOf(dir).search = search;
    takeEntry(found, entry);
    return true;
}

bool findNextEntry(TreeDirectory *dir, DirectoryEntry *entry) {
    const HANDLE search = stateOf(dir).search;
    if (search == INVALID_HANDLE_VALUE) return false;
    WIN32_FIND_DATAW found;
    if (!FindNextFileW(search, &found)) return false;
    takeEntry(found, entry);
    return true;
}

void findClose(TreeDirectory *dir) {
    TreeDirectoryState &s = stateOf(dir);
    if (s.search != INVALID_HANDLE_VALUE) FindClose(s.search);
    s.search = INVALID_HANDLE_VALUE;
}

void deleteTreeFile(const TreeDirectory &parent, const Char *name, const Char *childPath) {
    HANDLE h = openForDeletion(childPath);
    if (h == INVALID_HANDLE_VALUE) return;
    // Read on the handle that deletes, so no other entry can slip in between.
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(h, &info) &&
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0 &&
        isEntryOf(h, parent, name))
        markForDeletion(h);
    CloseHandle(h);
}

int32_t removeTreeChild(const TreeDirectory &parent, const Char *name, const Char *childPath) {
    HANDLE h = openForDeletion(childPath);
    if (h == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION info;
    const bool marked = GetFileInformationByHandle(h, &info) && info.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY &&
                        isEntryOf(h, parent, name) && markForDeletion(h);
    CloseHandle(h);
    return marked ? 1 : 0;
}

int32_t removeTreeRoot(TreeDirectory *root, const Char *path) {
    // What was emptied, read before the pin goes: the pin forbids deletion.
    Location expected;
    BY_HANDLE_FILE_INFORMATION pinned;
    bool known = false;
    const HANDLE pin = stateOf(root).handle;
    if (GetFileInformationByHandle(pin, &pinned)) {
        for (Form form : kForms) {
            known = locate(pin, form, &expected);
            if (known) break;
        }
    }
    closeTreeDirectory(root);
    if (!known) return 0;
    HANDLE h = openForDeletion(path);
    if (h == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION info;
    const bool marked = GetFileInformationByHandle(h, &info) && info.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY &&
                        info.dwVolumeSerialNumber == pinned.dwVolumeSerialNumber &&
                        info.nFileIndexHigh == pinned.nFileIndexHigh && info.nFileIndexLow == pinned.nFileIndexLow &&
                        leadsTo(h, expected) && markForDeletion(h);
    CloseHandle(h);
    return marked ? 1 : 0;
}

bool treeDirectoryInPlace(const TreeDirectory & /*dir*/) {
    // Every entry is reached by its full path in the tree and deleted only
    // where its final path lies in the open parent, so a directory moved away
    // is no longer reached at all; Windows also refuses the move while the
    // directory is held open.
    return true;
}

uint32_t logicalDriveStrings(uint32_t capacity, Char *buffer) { return GetLogicalDriveStringsW(capacity, buffer); }

uint32_t driveType(const Char *root) { return GetDriveTypeW(root); }

bool readDriveRoots(DriveRoots *out) {
    *out = DriveRoots{};
    Char list[kDriveListUnits];
    const DWORD units = GetLogicalDriveStringsW(kDriveListUnits, list);
    if (units == 0 || units >= static_cast<DWORD>(kDriveListUnits)) return false;
    list[units] = 0;
    // The roots before the first empty one, where a walk of the list stops.
    uint32_t count = 0;
    for (DWORD pos = 0; pos < units && list[pos] != 0; pos += static_cast<DWORD>(lstrlenW(list + pos)) + 1) ++count;
    out->list = static_cast<Char *>(malloc((units + 1) * sizeof(Char)));
    out->types = static_cast<uint32_t *>(malloc((count + 1) * sizeof(uint32_t)));
    if (out->list == nullptr || out->types == nullptr) {
        freeDriveRoots(out);
        return false;
    }
    for (DWORD i = 0; i <= units; ++i) out->list[i] = list[i];
    out->units = units;
    DWORD pos = 0;
    for (uint32_t k = 0; k < count; ++k) {
        out->types[k] = GetDriveTypeW(list + pos);
        pos += static_cast<DWORD>(lstrlenW(list + pos)) + 1;
    }
    out->count = count;
    return true;
}

void freeDriveRoots(DriveRoots *roots) {
    free(roots->list);
    free(roots->types);
    *roots = DriveRoots{};
}

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
