// Files, directories and volumes, as the storage utilities use them.
//
// Paths are NUL-terminated strings of 16-bit units in the platform's own
// form: "C:\dir\file" on Windows, "/dir/file" on POSIX. Attribute values keep
// Windows' meaning on both sides, because the decisions compare them with
// Windows' numbers.
//
// Removing a tree goes through an open directory (TreeDirectory). The Windows
// side works on the full paths the decisions build and keeps each directory
// it walks open so that it cannot be renamed or replaced meanwhile; the POSIX
// side works relative to the open directory and never follows a link, so a
// path swapped for a link during the walk leads nowhere outside the tree.
// Each tree operation is therefore given both the entry's name and its full
// path; a side uses the one it needs.
#ifndef QUORVEL_PLATFORM_FILES_H
#define QUORVEL_PLATFORM_FILES_H

#include "platform/platform.h"
#include "seam_state.h"

namespace quorvel {
namespace platform {

#if defined(_WIN32)
constexpr Char kSeparator = L'\\';
// "C:\": the part of a path that is never created on its own.
constexpr int kRootLength = 3;
// Units the out-buffer of the largest-disk query must hold: a drive root and
// its terminator. Nothing past them is written.
constexpr int kLargestRootUnits = 4;
// The drive list: 26 roots of 4 units and the final NUL fit.
constexpr int kDriveListUnits = 260;
#else
constexpr Char kSeparator = u'/';
constexpr int kRootLength = 1;
// A mount point can be any directory; only those that fit the 259-unit root
// buffer of the free-space query can be answered for, so no longer one is
// ever chosen or written.
constexpr int kLargestRootUnits = kPathUnits;
// Mount tables are longer than 26 drive letters; roots that do not fit are
// left out whole.
constexpr int kDriveListUnits = 8192;
#endif

// The public header states the same size to callers.
static_assert(kLargestRootUnits == QUORVEL_ROOT_UNITS, "root buffer size differs from the public header");
static_assert(kLargestRootUnits <= kPathUnits, "a chosen root passes through a 260-unit buffer");

// The child-path buffer of a tree removal: directory, separator and name.
constexpr int kChildPathUnits = 520;

// Attribute bits, with Windows' values.
constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeHidden = 0x02;
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeArchive = 0x20;
constexpr uint32_t kAttributeReparsePoint = 0x400;
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;

// Drive types, with Windows' values.
constexpr uint32_t kDriveUnknown = 0;
constexpr uint32_t kDriveNoRootDir = 1;
constexpr uint32_t kDriveRemovable = 2;
constexpr uint32_t kDriveFixed = 3;
constexpr uint32_t kDriveRemote = 4;
constexpr uint32_t kDriveCdRom = 5;
constexpr uint32_t kDriveRamDisk = 6;

// --- Directories and attributes ---------------------------------------------

enum class CreateDirectoryResult { Created, AlreadyExists, Failed };

// CreateDirectoryW(path, null). AlreadyExists also when a file has the name.
CreateDirectoryResult createDirectory(const Char *path);

// GetFileAttributesW(path): attribute bits, or kInvalidAttributes. A link in
// the last component is described itself, not followed.
uint32_t fileAttributes(const Char *path);

// --- Tree removal -------------------------------------------------------------

// A directory opened for removing what it holds. What it holds is the
// side's (seam_state.h); callers hold it by value and only pass it back.
struct TreeDirectory {
    TreeDirectoryState state;
};

// One entry of a directory listing. The side writes the name, terminated, to
// `name`, which holds `capacity` units; `length` is its length, or -1 when it
// did not fit (the name is then not usable).
struct DirectoryEntry {
    uint32_t attributes;
    Char *name;
    int capacity;
    int length;
};

// Opens the directory `path` names, without following a link in its last
// component. True only when it is a plain directory: attributes exactly 0x10.
// The root is later removed where it was found then (removeTreeRoot).
bool openTreeRoot(const Char *path, TreeDirectory *out);

// Opens entry `name` of `parent` (full path `childPath`) in the same way. True
// only when it is a plain directory on the parent's volume.
bool openTreeChild(const TreeDirectory &parent, const Char *name, const Char *childPath, TreeDirectory *out);

// Whether `dir` is still where the walk found it: it and every directory
// above it up to the root still lie in the directory they were opened from.
// A directory moved out of the tree while it is emptied is no longer the
// tree's, nor is what is saved in it afterwards. Windows refuses to move a
// directory held open, so there it always is.
bool treeDirectoryInPlace(const TreeDirectory &dir);

// Closes what openTreeRoot or openTreeChild opened, and a running search.
void closeTreeDirectory(TreeDirectory *dir);

// FindFirstFileW(pattern): `pattern` is the directory's path, a separator and
// "*.*", which matches every entry, "." and ".." included. The pattern is read
// before the first name is written, so the two may share a buffer. False when
// the search cannot be started.
bool findFirstEntry(TreeDirectory *dir, const Char *pattern, DirectoryEntry *entry);

// FindNextFileW: false when no entry is left.
bool findNextEntry(TreeDirectory *dir, DirectoryEntry *entry);

// FindClose.
void findClose(TreeDirectory *dir);

// DeleteFileW(childPath): fails on directories and on read-only files; a
// link is removed itself. Windows side: only through a handle whose final
// path is the parent's followed by `name`, so a link that the system resolves
// even so (a Unix link under Wine) stays, and what it leads to.
void deleteTreeFile(const TreeDirectory &parent, const Char *name, const Char *childPath);

// RemoveDirectoryW(childPath), for a child that openTreeChild found plain and
// whose handle is closed again; on Windows through a handle checked as in
// deleteTreeFile. Nonzero on success.
int32_t removeTreeChild(const TreeDirectory &parent, const Char *name, const Char *childPath);

// RemoveDirectoryW(path) for the root that openTreeRoot opened from `path`,
// closing it. Only the directory that was opened and emptied is removed: if
// its name now leads elsewhere, nothing is. Nonzero on success.
int32_t removeTreeRoot(TreeDirectory *root, const Char *path);

// --- Volumes -------------------------------------------------------------------

// GetLogicalDriveStringsW(capacity, buffer): roots, each terminated, and one
// more NUL; the count of units without that last NUL, 0 on failure, or the
// units needed when they exceed `capacity`.
uint32_t logicalDriveStrings(uint32_t capacity, Char *buffer);

// GetDriveTypeW(root).
uint32_t driveType(const Char *root);

// The drive roots and their types from one reading of the system's list:
// `list` holds the roots as logicalDriveStrings writes them (each
// terminated, one more NUL after the last), `types` the drive type of each,
// in order. Whatever the number of roots, none is left out.
struct DriveRoots {
    Char *list;
    uint32_t units;  // of the list, without its final NUL
    uint32_t *types;
    uint32_t count;
};

// Every drive root with its drive type, as logicalDriveStrings and driveType
// give them, from one reading of the list, so that a system with hundreds of
// roots is not read again for every root. False, with nothing to release,
// when the system gives no list or memory runs out; otherwise freeDriveRoots
// releases what it filled in.
bool readDriveRoots(DriveRoots *out);
void freeDriveRoots(DriveRoots *roots);

// GetDiskFreeSpaceExW's three figures, in bytes.
struct VolumeSpace {
    uint64_t freeForCaller;
    uint64_t total;
    uint64_t totalFree;
};
bool diskFreeSpaceEx(const Char *root, VolumeSpace *out);

// GetDiskFreeSpaceW's four figures.
struct ClusterSpace {
    uint32_t sectorsPerCluster;
    uint32_t bytesPerSector;
    uint32_t freeClusters;
    uint32_t totalClusters;
};
bool diskFreeSpace(const Char *root, ClusterSpace *out);

// MulDiv(a, b, c): a * b / c through 64 bits, rounded half away from zero;
// -1 when c is 0 or the result does not fit.
int32_t mulDiv(int32_t a, int32_t b, int32_t c);

// --- File probes ---------------------------------------------------------------

enum class OpenResult { Opened, Held, Absent };

// CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, null, OPEN_EXISTING, 0,
// null), closed again at once. Held: the open failed with a sharing or lock
// violation. Directories cannot be opened this way.
OpenResult openForRead(const Char *path);

enum class ProbeResult { Created, Exists, Failed };

// Creates `path` as a new, empty file for writing, only if no entry of that
// name exists (no link followed), and deletes it again; only the file made
// here is ever deleted. Created: such a file could be made (the POSIX side
// makes it under the same name in a private directory, or, where it can make
// none, tells from the parent and the name). Exists: a file, or anything else
// that is not a directory, had the name, and is untouched. A directory, or a
// link to one, gives Failed, as creating a file over it fails.
ProbeResult createProbe(const Char *path);

}  // namespace platform
}  // namespace quorvel

#endif
