// Files, directories and volumes, POSIX side: what the Windows calls do, in
// every respect the library can observe, over POSIX paths.
//
// Paths arrive as 16-bit units and go to the system as UTF-8. A lone low
// surrogate U+DC80..U+DCFF stands for the single byte 0x80..0xFF, and bytes
// that are not valid UTF-8 in a name read from the system come back as such
// surrogates, so every name a directory holds can be named again. Any other
// lone surrogate makes the path invalid, as a forbidden character does on
// Windows; no such path reaches the system.
//
// Attributes, as Windows reports them:
//   directory                    0x10
//   regular file (or other)      0x20, the archive bit a new file carries
//   read-only                    +0x01 when the owner's write bit is clear:
//                                a property of the entry, as on Windows, not
//                                of the caller, so it holds for root too
//   symbolic link                0x420, never followed: a link is an entry
//                                of its own, like a file link on Windows
//   mounted directory in a tree  0x410: a directory on another mount than
//                                the one being walked, which a removal never
//                                enters
// Nothing is hidden: a leading dot is a listing convention, not a property.
//
// Drive roots are the mount points of file systems that hold files, read
// from the mount table; their drive type comes from the table entry (see
// mountDriveType). There are no share modes or mandatory locks, so opening
// for reading never reports a sharing violation.
#include "platform/files.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/random.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

#include "platform/posix/native_path.h"
#include "platform/posix/reach.h"

namespace quorvel {
namespace platform {

namespace {

constexpr char kMountTable[] = "/proc/self/mounts";

// Drops trailing separators, keeping a lone "/". True when any was dropped.
bool stripTrailingSlashes(char *path, size_t *length) {
    bool stripped = false;
    while (*length > 1 && path[*length - 1] == '/') {
        path[--*length] = 0;
        stripped = true;
    }
    return stripped;
}

bool startsWith(const char *s, const char *prefix) { return strncmp(s, prefix, strlen(prefix)) == 0; }

// A path as the system is to see it: converted, with "." and ".." resolved
// by their text, as Windows resolves a path before it acts on it.
bool systemPath(const Char *path, char (&out)[kNativeBytes], size_t *length) {
    size_t n;
    if (!toNative(path, out, sizeof out, &n)) return false;
    n = resolveDots(out, n);
    if (length != nullptr) *length = n;
    return true;
}

// Splits a path without trailing separators into the directory that holds
// its last component and that component: "/a/b" into "/a" and "b", "b" into
// "." and "b". `holder` must hold kNativeBytes. False for "/", which has no
// parent.
bool splitLast(const char *full, size_t length, char *holder, const char **last) {
    size_t slash = length;
    while (slash > 0 && full[slash - 1] != '/') --slash;
    if (slash == length) return false;
    *last = full + slash;
    if (slash == 0) {
        holder[0] = '.';
        holder[1] = 0;
    } else {
        const size_t keep = slash == 1 ? 1 : slash - 1;
        memcpy(holder, full, keep);
        holder[keep] = 0;
    }
    return true;
}

bool sameInode(const struct stat &a, const struct stat &b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// --- Attributes -------------------------------------------------------------

uint32_t readOnlyBit(mode_t mode) { return (mode & S_IWUSR) != 0 ? 0u : kAttributeReadOnly; }

uint32_t attributesOf(mode_t mode) {
    if (S_ISLNK(mode)) return kAttributeReparsePoint | kAttributeArchive;
    if (S_ISDIR(mode)) return kAttributeDirectory | readOnlyBit(mode);
    return kAttributeArchive | readOnlyBit(mode);
}

// The type, mode and mount of an entry, links not followed. The mount is
// told by its id where the kernel gives one, so that a bind mount of the same
// file system counts as a mount too; else by the device.
struct Described {
    mode_t mode;
    uint64_t volume;
};

bool describe(int dirFd, const char *name, int flags, Described *out) {
    struct statx sx;
    if (statx(dirFd, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_MODE | STATX_MNT_ID,
              &sx) == 0) {
        out->mode = sx.stx_mode;
        if ((sx.stx_mask & STATX_MNT_ID) != 0) {
            out->volume = sx.stx_mnt_id;
        } else {
            out->volume = (uint64_t{1} << 63) | (uint64_t{sx.stx_dev_major} << 32) | sx.stx_dev_minor;
        }
        return true;
    }
    if (errno != ENOSYS) return false;
    struct stat st;
    if (fstatat(dirFd, name, &st, flags | AT_SYMLINK_NOFOLLOW) != 0) return false;
    out->mode = st.st_mode;
    out->volume = (uint64_t{1} << 63) | static_cast<uint64_t>(st.st_dev);
    return true;
}

// --- Tree -------------------------------------------------------------------

// The handle is the directory's descriptor, opened with O_PATH so that a
// directory that may not be listed can still be removed once empty, as on
// Windows; the search is the DIR * of a running listing.
int fdOf(const TreeDirectory &dir) { return static_cast<int>(dir.handle); }
DIR *streamOf(const TreeDirectory &dir) { return reinterpret_cast<DIR *>(dir.search); }  // NOLINT(performance-no-int-to-ptr)

// Opens entry `name` of the directory `at` as a tree directory, never
// following a link.
int openDirectoryAt(int at, const char *name) { return openat(at, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); }

// Keeps `fd` as a tree directory when it is a plain directory (attributes
// exactly 0x10), on `volume` unless that is 0; closes it otherwise.
bool adoptDirectory(int fd, uint64_t volume, TreeDirectory *out) {
    if (fd < 0) return false;
    Described d;
    if (!describe(fd, "", AT_EMPTY_PATH, &d) || attributesOf(d.mode) != kAttributeDirectory ||
        (volume != 0 && d.volume != volume)) {
        close(fd);
        return false;
    }
    out->handle = fd;
    out->search = 0;
    out->parent = -1;
    out->volume = d.volume;
    return true;
}

// An entry name as a native name; names are a single component.
constexpr size_t kNativeNameBytes = 1024;

// --- Mount table ------------------------------------------------------------

// One mount: its fields point into the table's bytes, NUL-terminated, with
// the table's octal escapes (\040 for a space and so on) decoded in place.
struct Mount {
    const char *device;
    const char *point;
    const char *type;
};

// The whole table read into memory and cut into mounts, in table order.
struct MountTable {
    char *bytes = nullptr;
    Mount *mounts = nullptr;
    uint32_t count = 0;
};

void freeMountTable(MountTable *t) {
    free(t->bytes);
    free(t->mounts);
    *t = MountTable{};
}

// Decodes the field at [from, to) in place, \ooo escapes to their byte
// (an escape that would give NUL, or is cut short, stays as written), and
// terminates it. The decoded field is never longer than the text.
char *decodeField(char *from, const char *to) {
    char *out = from;
    for (const char *in = from; in < to;) {
        if (*in == '\\' && to - in >= 4 && in[1] >= '0' && in[1] <= '3' && in[2] >= '0' && in[2] <= '7' &&
            in[3] >= '0' && in[3] <= '7') {
            const int value = (in[1] - '0') * 64 + (in[2] - '0') * 8 + (in[3] - '0');
            if (value != 0) {
                *out++ = static_cast<char>(value);
                in += 4;
                continue;
            }
        }
        *out++ = *in++;
    }
    *out = 0;
    return from;
}

// Far more than any host's mounts take; a table that does not end is not
// followed.
constexpr size_t kMaxTableBytes = size_t{256} << 20;

// Reads and cuts the table. Lines with fewer than three fields, or with a
// mount point or type too long for any path or type, are left out.
bool readMountTable(const char *path, MountTable *t) {
    // A kernel file whose size stat cannot tell: read to its end.
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    size_t size = 0;
    t->bytes = readAll(fd, kMaxTableBytes, &size);
    close(fd);
    if (t->bytes == nullptr) return false;
    size_t lines = 1;
    for (size_t i = 0; i < size; ++i) lines += t->bytes[i] == '\n' ? 1 : 0;
    t->mounts = static_cast<Mount *>(malloc(lines * sizeof(Mount)));
    if (t->mounts == nullptr) {
        freeMountTable(t);
        return false;
    }
    char *line = t->bytes;
    char *const end = t->bytes + size;
    while (line < end) {
        char *stop = line;
        while (stop < end && *stop != '\n') ++stop;
        char *field[3] = {nullptr, nullptr, nullptr};
        const char *fieldEnd[3] = {nullptr, nullptr, nullptr};
        int n = 0;
        for (char *c = line; c < stop && n < 3;) {
            while (c < stop && (*c == ' ' || *c == '\t')) ++c;
            if (c == stop) break;
            field[n] = c;
            while (c < stop && *c != ' ' && *c != '\t') ++c;
            fieldEnd[n++] = c;
        }
        if (n == 3) {
            // Each field is terminated where it ends, which is at most the
            // separator after it, so decoding one never touches the next.
            Mount m{decodeField(field[0], fieldEnd[0]), decodeField(field[1], fieldEnd[1]),
                    decodeField(field[2], fieldEnd[2])};
            if (m.point[0] != 0 && strlen(m.point) < kNativeBytes && strlen(m.type) < 64) t->mounts[t->count++] = m;
        }
        line = stop + 1;
    }
    return true;
}

bool typeIn(const char *type, const char *const *list) {
    for (; *list != nullptr; ++list) {
        if (strcmp(type, *list) == 0) return true;
    }
    return false;
}

// File systems that hold no files of their own: kernel interfaces, control
// files, device nodes. They are no drives.
const char *const kPseudoTypes[] = {
    "proc",     "sysfs",      "devtmpfs",  "devpts",     "cgroup",  "cgroup2",    "mqueue",
    "debugfs",  "tracefs",    "securityfs", "pstore",    "bpf",     "autofs",     "binfmt_misc",
    "configfs", "fusectl",    "hugetlbfs", "nsfs",       "rpc_pipefs", "selinuxfs", "efivarfs",
    "nfsd",     "fuse.lxcfs", nullptr,
};

// File systems served over a network or from a host to a guest.
const char *const kRemoteTypes[] = {
    "nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "ceph", "glusterfs",
    "9p",  "virtiofs", "davfs", "lustre", "beegfs", "gpfs", nullptr,
};

const char *const kOpticalTypes[] = {"iso9660", "udf", nullptr};

const char *const kRamTypes[] = {"tmpfs", "ramfs", "rootfs", nullptr};

bool isPseudo(const char *type) { return typeIn(type, kPseudoTypes); }

// The drive type of "/" where the mount table does not show it: from the
// file system's own type. Anything not known to be elsewhere is a disk.
uint32_t rootDriveType() {
    struct statfs fs;
    if (statfs("/", &fs) != 0) return kDriveFixed;
    switch (static_cast<uint64_t>(fs.f_type)) {
    case 0x01021994:  // tmpfs
    case 0x858458F6:  // ramfs
        return kDriveRamDisk;
    case 0x6969:      // nfs
    case 0xFF534D42:  // cifs
    case 0xFE534D42:  // smb2
    case 0x01021997:  // 9p
        return kDriveRemote;
    case 0x9660:      // iso9660
    case 0x15013346:  // udf
        return kDriveCdRom;
    default:
        return kDriveFixed;
    }
}

// Whether the block device `device` names has removable media: the same
// flag the system's removable-drive type rests on on Windows. A partition
// carries its disk's flag.
bool hasRemovableMedia(const char *device) {
    if (device[0] != '/') return false;
    struct stat st;
    if (stat(device, &st) != 0 || !S_ISBLK(st.st_mode)) return false;
    const unsigned deviceMajor = major(st.st_rdev);
    const unsigned deviceMinor = minor(st.st_rdev);
    const char *const forms[] = {"/sys/dev/block/%u:%u/removable", "/sys/dev/block/%u:%u/../removable"};
    for (const char *form : forms) {
        char path[96];
        (void)snprintf(path, sizeof path, form, deviceMajor, deviceMinor);  // two numbers always fit
        const int fd = open(path, O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        char flag = 0;
        const ssize_t got = read(fd, &flag, 1);
        close(fd);
        return got == 1 && flag == '1';
    }
    return false;
}

}  // namespace

// --- Directories and attributes -----------------------------------------------

CreateDirectoryResult createDirectory(const Char *path) {
    char native[kNativeBytes];
    if (!systemPath(path, native, nullptr)) return CreateDirectoryResult::Failed;
    if (mkdir(native, 0777) == 0) return CreateDirectoryResult::Created;
    // EEXIST also for a file or a link of that name, as on Windows.
    return errno == EEXIST ? CreateDirectoryResult::AlreadyExists : CreateDirectoryResult::Failed;
}

uint32_t fileAttributes(const Char *path) {
    char native[kNativeBytes];
    size_t length;
    if (!systemPath(path, native, &length)) return kInvalidAttributes;
    // "dir/" describes the directory; a link is described itself even with
    // a separator after it; any other entry with one names nothing.
    const bool stripped = stripTrailingSlashes(native, &length);
    struct stat st;
    if (lstat(native, &st) != 0) return kInvalidAttributes;
    if (stripped && !S_ISDIR(st.st_mode) && !S_ISLNK(st.st_mode)) return kInvalidAttributes;
    return attributesOf(st.st_mode);
}

// --- Tree removal -------------------------------------------------------------

bool openTreeRoot(const Char *path, TreeDirectory *out) {
    char native[kNativeBytes];
    size_t length;
    if (!systemPath(path, native, &length)) return false;
    stripTrailingSlashes(native, &length);
    // The root is opened relative to the directory that holds it, and that
    // directory stays open, so that the root is finally removed from where it
    // was found, whatever happens to the path meanwhile. "/" has no parent
    // and is never removed.
    char parentPath[kNativeBytes];
    const char *name = native;
    int parent = -1;
    if (splitLast(native, length, parentPath, &name)) {
        parent = open(parentPath, O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (parent < 0) return false;
    }
    const int fd = openDirectoryAt(parent >= 0 ? parent : AT_FDCWD, name);
    // The mount the root lies on is the tree's volume.
    if (!adoptDirectory(fd, 0, out)) {
        if (parent >= 0) close(parent);
        return false;
    }
    out->parent = parent;
    return true;
}

bool openTreeChild(const TreeDirectory &parent, const Char *name, const Char * /*childPath*/, TreeDirectory *out) {
    char native[kNativeNameBytes];
    if (!toNative(name, native, sizeof native, nullptr)) return false;
    // Relative to the open parent and without following a link, so an entry
    // swapped for a link meanwhile fails to open; one swapped for a mount is
    // refused by its volume.
    return adoptDirectory(openDirectoryAt(fdOf(parent), native), parent.volume, out);
}

void closeTreeDirectory(TreeDirectory *dir) {
    findClose(dir);
    if (dir->handle >= 0) close(fdOf(*dir));
    if (dir->parent >= 0) close(static_cast<int>(dir->parent));
    dir->handle = -1;
    dir->parent = -1;
}

bool findFirstEntry(TreeDirectory *dir, const Char * /*pattern*/, DirectoryEntry *entry) {
    findClose(dir);
    // "*.*" matches every name, so the listing is the whole directory. "."
    // of the open directory is that directory, whatever its path leads to
    // now; without read permission the search does not start.
    const int listing = openat(fdOf(*dir), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return false;
    DIR *stream = fdopendir(listing);
    if (stream == nullptr) {
        close(listing);
        return false;
    }
    dir->search = reinterpret_cast<intptr_t>(stream);
    return findNextEntry(dir, entry);
}

bool findNextEntry(TreeDirectory *dir, DirectoryEntry *entry) {
    if (dir->search == 0) return false;
    DIR *stream = streamOf(*dir);
    const struct dirent *e = readdir(stream);
    if (e == nullptr) return false;
    entry->length = fromNative(e->d_name, entry->name, entry->capacity);
    const bool dot = e->d_name[0] == '.' && (e->d_name[1] == 0 || (e->d_name[1] == '.' && e->d_name[2] == 0));
    if (dot) {
        // Only ever skipped by name; what they lead to is never examined.
        entry->attributes = kAttributeDirectory;
        return true;
    }
    switch (e->d_type) {
    case DT_REG:
        // The listing's type settles everything a removal decides for a file;
        // the read-only bit is looked up by the deletion itself.
        entry->attributes = kAttributeArchive;
        return true;
    case DT_LNK:
        entry->attributes = kAttributeReparsePoint | kAttributeArchive;
        return true;
    default:
        break;
    }
    // Directories, and entries whose type the listing does not give: exact
    // attributes, with a mount on another volume marked as a reparse point.
    Described d;
    if (!describe(fdOf(*dir), e->d_name, 0, &d)) {
        entry->attributes = kInvalidAttributes;
        return true;
    }
    entry->attributes = attributesOf(d.mode);
    if (S_ISDIR(d.mode) && d.volume != dir->volume) entry->attributes |= kAttributeReparsePoint;
    return true;
}

void findClose(TreeDirectory *dir) {
    if (dir->search != 0) closedir(streamOf(*dir));
    dir->search = 0;
}

void deleteTreeFile(const TreeDirectory &parent, const Char *name, const Char * /*childPath*/) {
    char native[kNativeNameBytes];
    if (!toNative(name, native, sizeof native, nullptr)) return;
    const int fd = fdOf(parent);
    struct stat st;
    if (fstatat(fd, native, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    // DeleteFileW refuses directories and read-only files; unlinkat removes a
    // link itself, never what it points at.
    if (S_ISDIR(st.st_mode)) return;
    if (!S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0) return;
    unlinkat(fd, native, 0);
}

int32_t removeTreeChild(const TreeDirectory &parent, const Char *name, const Char * /*childPath*/) {
    char native[kNativeNameBytes];
    if (!toNative(name, native, sizeof native, nullptr)) return 0;
    return unlinkat(fdOf(parent), native, AT_REMOVEDIR) == 0 ? 1 : 0;
}

int32_t removeTreeRoot(TreeDirectory *root, const Char *path) {
    char native[kNativeBytes];
    size_t length;
    char parentPath[kNativeBytes];
    const char *name = nullptr;
    struct stat emptied;
    struct stat named;
    bool removed = false;
    if (root->parent >= 0 && fstat(fdOf(*root), &emptied) == 0 && systemPath(path, native, &length)) {
        stripTrailingSlashes(native, &length);
        const int parent = static_cast<int>(root->parent);
        // Removed only while its name in the parent opened at the start still
        // leads to the directory that was emptied; a directory put in its
        // place stays. (The system has no removal by descriptor, so a
        // directory swapped in between this check and the removal would go;
        // only an empty one can.)
        removed = splitLast(native, length, parentPath, &name) &&
                  fstatat(parent, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && sameInode(named, emptied) &&
                  unlinkat(parent, name, AT_REMOVEDIR) == 0;
    }
    closeTreeDirectory(root);
    return removed ? 1 : 0;
}

// --- Volumes -------------------------------------------------------------------

// Drive types from a mount's table entry, first rule that applies:
//   no files of its own (proc, sysfs, cgroup, ...)    no root (1)
//   network or host share (nfs, cifs, smb3, 9p, ...),
//     and any FUSE file system except fuseblk, which
//     a local block device backs                        remote (4)
//   iso9660, udf                                      optical (5)
//   tmpfs, ramfs, rootfs, or a /dev/zram device       RAM disk (6)
//   a block device whose media is removable           removable (2)
//   anything else                                     fixed (3)
uint32_t mountDriveType(const char *fsType, const char *device) {
    if (isPseudo(fsType)) return kDriveNoRootDir;
    if (typeIn(fsType, kRemoteTypes) || strcmp(fsType, "fuse") == 0 || startsWith(fsType, "fuse.")) {
        return kDriveRemote;
    }
    if (typeIn(fsType, kOpticalTypes)) return kDriveCdRom;
    if (typeIn(fsType, kRamTypes) || startsWith(device, "/dev/zram")) return kDriveRamDisk;
    if (hasRemovableMedia(device)) return kDriveRemovable;
    return kDriveFixed;
}

namespace {

struct RootGroup {
    uint32_t first;  // the point's first mount that holds files
    uint32_t top;    // the mount on top of it: the last in the table
};

// Drive types already decided in one reading of the table, by file-system
// type and device: many mounts share a device (bind mounts, one disk's
// subvolumes), and deciding costs system calls for a block device.
struct TypeMemo {
    struct Entry {
        const char *type;
        const char *device;
        uint32_t drive;
    };
    Entry entries[8] = {};
    unsigned next = 0;

    uint32_t typeOf(const Mount &m) {
        for (const Entry &e : entries) {
            if (e.type != nullptr && strcmp(e.type, m.type) == 0 && strcmp(e.device, m.device) == 0) return e.drive;
        }
        const uint32_t drive = mountDriveType(m.type, m.device);
        entries[next++ % 8] = Entry{m.type, m.device, drive};
        return drive;
    }
};

// Every drive root of the table with its type, from one reading: "/" first,
// always, as Windows always has its system drive (inside a chroot the table
// does not show it); then each mount point of a file system that holds
// files, once, where it first appears, typed by the mount on top of it.
// Sorting keeps this n log n however long the table is.
bool rootsFromTable(const char *table, DriveRoots *out) {
    *out = DriveRoots{};
    MountTable t;
    readMountTable(table, &t);  // an unreadable table leaves "/" alone
    const Mount *m = t.mounts;
    const uint32_t n = t.count;
    size_t units = 3;
    for (uint32_t i = 0; i < n; ++i) units += strlen(m[i].point) + 1;  // UTF-16 needs no more units than bytes
    uint32_t *order = static_cast<uint32_t *>(malloc((n + 1) * sizeof(uint32_t)));
    RootGroup *groups = static_cast<RootGroup *>(malloc((n + 1) * sizeof(RootGroup)));
    out->list = static_cast<Char *>(malloc(units * sizeof(Char)));
    out->types = static_cast<uint32_t *>(malloc((n + 1) * sizeof(uint32_t)));
    const bool ready = order != nullptr && groups != nullptr && out->list != nullptr && out->types != nullptr;
    uint32_t groupCount = 0;
    const RootGroup *slash = nullptr;
    if (ready) {
        for (uint32_t i = 0; i < n; ++i) order[i] = i;
        std::sort(order, order + n, [m](uint32_t a, uint32_t b) {
            const int c = strcmp(m[a].point, m[b].point);
            return c != 0 ? c < 0 : a < b;
        });
        for (uint32_t i = 0; i < n;) {
            uint32_t j = i;
            RootGroup g{UINT32_MAX, 0};
            for (; j < n && strcmp(m[order[j]].point, m[order[i]].point) == 0; ++j) {
                if (g.first == UINT32_MAX && !isPseudo(m[order[j]].type)) g.first = order[j];
                g.top = order[j];
            }
            if (g.first != UINT32_MAX) groups[groupCount++] = g;
            i = j;
        }
        std::sort(groups, groups + groupCount, [](const RootGroup &a, const RootGroup &b) { return a.first < b.first; });
        for (uint32_t k = 0; k < groupCount && slash == nullptr; ++k) {
            if (strcmp(m[groups[k].first].point, "/") == 0) slash = &groups[k];
        }
        // "/" first, typed by the table where it shows "/", else by its own
        // file system; then the rest in table order.
        out->list[0] = u'/';
        out->list[1] = 0;
        TypeMemo memo;
        out->types[0] = slash != nullptr ? memo.typeOf(m[slash->top]) : rootDriveType();
        out->units = 2;
        out->count = 1;
        for (uint32_t k = 0; k < groupCount; ++k) {
            if (&groups[k] == slash) continue;
            const int length = fromNative(m[groups[k].first].point, out->list + out->units,
                                          static_cast<int>(units - out->units - 1));
            if (length <= 0) continue;
            out->units += static_cast<uint32_t>(length) + 1;
            out->types[out->count++] = memo.typeOf(m[groups[k].top]);
        }
        out->list[out->units] = 0;
    }
    free(order);
    free(groups);
    freeMountTable(&t);
    if (!ready) freeDriveRoots(out);
    return ready;
}

// The root of `roots` equal to `root` with its trailing separators dropped,
// as an index, or -1.
int64_t findRoot(const DriveRoots &roots, const Char *root) {
    size_t length = 0;
    while (root[length] != 0) ++length;
    while (length > 1 && root[length - 1] == u'/') --length;
    uint32_t pos = 0;
    for (uint32_t i = 0; i < roots.count; ++i) {
        const Char *r = roots.list + pos;
        size_t k = 0;
        while (k < length && r[k] != 0 && r[k] == root[k]) ++k;
        if (k == length && r[k] == 0) return i;
        while (roots.list[pos] != 0) ++pos;
        ++pos;
    }
    return -1;
}

}  // namespace

bool readDriveRoots(DriveRoots *out) { return rootsFromTable(kMountTable, out); }

bool driveRootsFromTable(const char *table, DriveRoots *out) { return rootsFromTable(table, out); }

void freeDriveRoots(DriveRoots *roots) {
    free(roots->list);
    free(roots->types);
    *roots = DriveRoots{};
}

uint32_t driveStringsFromTable(const char *table, uint32_t capacity, Char *buffer) {
    DriveRoots roots;
    if (capacity < 3 || !rootsFromTable(table, &roots)) return 0;
    // Roots that do not fit, with their terminator and the list's final NUL,
    // are left out whole.
    uint32_t used = 0;
    for (uint32_t pos = 0; pos < roots.units;) {
        uint32_t length = 0;
        while (roots.list[pos + length] != 0) ++length;
        if (used + length + 2 <= capacity) {
            for (uint32_t k = 0; k <= length; ++k) buffer[used + k] = roots.list[pos + k];
            used += length + 1;
        }
        pos += length + 1;
    }
    buffer[used] = 0;
    freeDriveRoots(&roots);
    return used;
}

uint32_t driveTypeFromTable(const char *table, const Char *root) {
    DriveRoots roots;
    if (!rootsFromTable(table, &roots)) return kDriveNoRootDir;
    const int64_t i = findRoot(roots, root);
    const uint32_t type = i >= 0 ? roots.types[i] : kDriveNoRootDir;
    freeDriveRoots(&roots);
    return type;
}

uint32_t logicalDriveStrings(uint32_t capacity, Char *buffer) {
    return driveStringsFromTable(kMountTable, capacity, buffer);
}

uint32_t driveType(const Char *root) { return driveTypeFromTable(kMountTable, root); }

namespace {

uint64_t saturatingProduct(uint64_t a, uint64_t b) {
    if (a != 0 && b > UINT64_MAX / a) return UINT64_MAX;
    return a * b;
}

// The volume figures of the directory `root` names (links followed, as any
// path on Windows leads through a junction).
bool volumeOf(const Char *root, struct statvfs *out) {
    char native[kNativeBytes];
    if (!systemPath(root, native, nullptr)) return false;
    struct stat st;
    if (stat(native, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    return statvfs(native, out) == 0;
}

uint32_t clampToUnsigned32(uint64_t value) { return value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value); }

}  // namespace

bool diskFreeSpaceEx(const Char *root, VolumeSpace *out) {
    struct statvfs v;
    if (!volumeOf(root, &v)) return false;
    const uint64_t unit = v.f_frsize != 0 ? v.f_frsize : v.f_bsize;
    // Free means what an ordinary writer can still fill: blocks reserved for
    // root cannot hold a recording. No quota is applied to either figure.
    out->freeForCaller = saturatingProduct(v.f_bavail, unit);
    out->total = saturatingProduct(v.f_blocks, unit);
    out->totalFree = out->freeForCaller;
    return true;
}

bool diskFreeSpace(const Char *root, ClusterSpace *out) {
    struct statvfs v;
    if (!volumeOf(root, &v)) return false;
    const uint64_t unit = v.f_frsize != 0 ? v.f_frsize : v.f_bsize;
    // A cluster is the file system's fragment; it is told in 512-byte sectors
    // where it divides into them. Counts past 32 bits are capped.
    if (unit % 512 == 0 && unit / 512 <= UINT32_MAX) {
        out->bytesPerSector = 512;
        out->sectorsPerCluster = static_cast<uint32_t>(unit / 512);
    } else {
        out->bytesPerSector = clampToUnsigned32(unit);
        out->sectorsPerCluster = 1;
    }
    out->freeClusters = clampToUnsigned32(v.f_bavail);
    out->totalClusters = clampToUnsigned32(v.f_blocks);
    return true;
}

int32_t mulDiv(int32_t a, int32_t b, int32_t c) {
    if (c == 0) return -1;
    int64_t number = a;
    int64_t divisor = c;
    if (divisor < 0) {
        number = -number;
        divisor = -divisor;
    }
    // |a * b| < 2^62, so neither the product nor the rounding overflows.
    const int64_t product = number * b;
    const int64_t half = divisor / 2;
    const int64_t result = product >= 0 ? (product + half) / divisor : (product - half) / divisor;
    if (result > INT32_MAX || result < INT32_MIN) return -1;
    return static_cast<int32_t>(result);
}

// --- File probes ---------------------------------------------------------------

namespace {

// A name for the probe's private directory that nobody can foresee.
void privateName(char (&out)[40]) {
    static std::atomic<unsigned> counter{0};
    uint64_t random = 0;
    if (getrandom(&random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
        random = (static_cast<uint64_t>(getpid()) << 32) ^ reinterpret_cast<uintptr_t>(&random);
    }
    (void)snprintf(out, sizeof out, ".quorvel-probe-%016llx-%u", static_cast<unsigned long long>(random),
                   counter.fetch_add(1, std::memory_order_relaxed));  // at most 40 bytes
}

}  // namespace

OpenResult openForRead(const Char *path) {
    char native[kNativeBytes];
    if (!systemPath(path, native, nullptr)) return OpenResult::Absent;
    // Reached first (links followed, as CreateFileW follows them) without
    // opening anything, so that a FIFO or a device is never opened: that has
    // effects. Whether such a file could be read is asked of its permissions.
    struct stat st;
    const int reached = reachFile(native, &st);
    if (reached < 0) return OpenResult::Absent;
    bool opened = false;
    if (S_ISREG(st.st_mode)) {
        const int fd = openReached(reached, native, st);
        opened = fd >= 0;
        if (fd >= 0) close(fd);
    } else if (!S_ISDIR(st.st_mode) && !S_ISSOCK(st.st_mode)) {
        opened = mayRead(reached, native);
    }
    close(reached);
    return opened ? OpenResult::Opened : OpenResult::Absent;
}

ProbeResult createProbe(const Char *path) {
    char native[kNativeBytes];
    size_t length;
    if (!systemPath(path, native, &length)) return ProbeResult::Failed;
    // A name ending in a separator names a directory, never a new file.
    char parentPath[kNativeBytes];
    const char *name = nullptr;
    if (length == 0 || native[length - 1] == '/' || !splitLast(native, length, parentPath, &name)) return ProbeResult::Failed;
    // O_PATH: search permission is all the parent needs for what follows.
    const int parent = open(parentPath, O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0) return ProbeResult::Failed;

    ProbeResult result = ProbeResult::Failed;
    struct stat st;
    if (fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        // The name is taken and stays untouched. A directory, or a link to
        // one, gives Failed, as creating a file over it fails.
        if (S_ISLNK(st.st_mode) && fstatat(parent, name, &st, 0) != 0) st.st_mode = S_IFREG;
        result = S_ISDIR(st.st_mode) ? ProbeResult::Failed : ProbeResult::Exists;
    } else if (errno == ENOENT) {
        // The caller's name is never occupied: the file is made under the same
        // name in a private directory made for it in the same parent, so the
        // parent's permissions and the file system's naming rules decide, and
        // what is removed afterwards can only be what was made here.
        char hidden[40];
        int made = -1;
        for (int attempt = 0; attempt < 8 && made != 0; ++attempt) {
            privateName(hidden);
            made = mkdirat(parent, hidden, 0700) == 0 ? 0 : errno;
            if (made != EEXIST) break;
        }
        if (made == 0) {
            const int own = openat(parent, hidden, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (own >= 0) {
                const int fd =
                    openat(own, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
                if (fd >= 0) {
                    close(fd);
                    unlinkat(own, name, 0);
                    result = ProbeResult::Created;
                }
                close(own);
            }
            unlinkat(parent, hidden, AT_REMOVEDIR);
        }
    }
    close(parent);
    return result;
}

}  // namespace platform
}  // namespace quorvel
