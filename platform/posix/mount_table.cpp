// The mount table, POSIX side: where the drive list and the drive types
// come from. Drive roots are the mount points of file systems that hold
// files, "/" always first; a root's drive type is decided from the table
// entry on top of it (see mountDriveType). One reading of the table gives
// every root with its type, so a host with hundreds of mounts is read once
// per call, not once per root.
#include "platform/posix/mount_table.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>

#include "platform/posix/native_path.h"
#include "platform/posix/reach.h"
#include "platform/trace.h"

namespace quorvel {
namespace platform {

namespace {

constexpr char kMountTable[] = "/proc/self/mounts";

bool startsWith(const char *s, const char *prefix) { return strncmp(s, prefix, strlen(prefix)) == 0; }

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
    size_t size = 0;
    if (fd >= 0) {
        t->bytes = readAll(fd, kMaxTableBytes, &size);
        close(fd);
    }
    if (t->bytes == nullptr) {
        if (tracing()) trace("mount table %s: cannot be read; \"/\" is the only drive root", path);
        return false;
    }
    TraceBudget leftOut;
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
            if (m.point[0] != 0 && strlen(m.point) < kNativeBytes && strlen(m.type) < 64) {
                t->mounts[t->count++] = m;
            } else if (tracing() && leftOut.take()) {
                trace("mount table %s: a mount point or type too long for any path is left out", path);
            }
        } else if (stop > line && tracing() && leftOut.take()) {
            trace("mount table %s: a line with fewer than three fields is left out", path);
        }
        line = stop + 1;
    }
    if (tracing()) leftOut.finish("lines left out of the mount table");
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
    "proc",      "sysfs",      "devtmpfs",   "devpts",    "cgroup",   "cgroup2",     "mqueue",     "debugfs",
    "tracefs",   "securityfs", "pstore",     "bpf",       "autofs",   "binfmt_misc", "configfs",   "fusectl",
    "hugetlbfs", "nsfs",       "rpc_pipefs", "selinuxfs", "efivarfs", "nfsd",        "fuse.lxcfs", nullptr,
};

// File systems served over a network or from a host to a guest.
const char *const kRemoteTypes[] = {
    "nfs",       "nfs4", "cifs",     "smb3",  "smbfs",  "ncpfs",  "afs",  "ceph",
    "glusterfs", "9p",   "virtiofs", "davfs", "lustre", "beegfs", "gpfs", nullptr,
};

const char *const kOpticalTypes[] = {"iso9660", "udf", nullptr};

const char *const kRamTypes[] = {"tmpfs", "ramfs", "rootfs", nullptr};

bool isPseudo(const char *type) { return typeIn(type, kPseudoTypes); }

// The drive type of "/" where the mount table does not show it: from the
// file system's own type. Anything not known to be elsewhere is a disk.
uint32_t rootDriveType() {
    struct statfs fs;
    if (statfs("/", &fs) != 0) {
        if (tracing()) trace("drive type of /: its file system cannot be told; typed fixed");
        return kDriveFixed;
    }
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
        default: return kDriveFixed;
    }
}

// Whether the block device `device` names has removable media: the same
// flag the system's removable-drive type rests on on Windows. A partition
// carries its disk's flag.
bool hasRemovableMedia(const char *device) {
    if (device[0] != '/') return false;
    struct stat st;
    if (stat(device, &st) != 0 || !S_ISBLK(st.st_mode)) return false;
    // A block device whose flag cannot be read is counted a fixed disk.
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
    if (tracing()) trace("drive type of %s: its removable flag cannot be read in /sys; typed fixed", device);
    return false;
}

}  // namespace

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

// The mount points of file systems that hold files, each once, in the order
// they first appear: `order` and `groups` hold n numbers each. Sorting keeps
// this n log n however long the table is. The number of groups.
uint32_t groupByPoint(const Mount *m, uint32_t n, uint32_t *order, RootGroup *groups) {
    for (uint32_t i = 0; i < n; ++i) order[i] = i;
    std::sort(order, order + n, [m](uint32_t a, uint32_t b) {
        const int c = strcmp(m[a].point, m[b].point);
        return c != 0 ? c < 0 : a < b;
    });
    uint32_t count = 0;
    for (uint32_t i = 0; i < n;) {
        uint32_t j = i;
        RootGroup g{UINT32_MAX, 0};
        for (; j < n && strcmp(m[order[j]].point, m[order[i]].point) == 0; ++j) {
            if (g.first == UINT32_MAX && !isPseudo(m[order[j]].type)) g.first = order[j];
            g.top = order[j];
        }
        if (g.first != UINT32_MAX) groups[count++] = g;
        i = j;
    }
    std::sort(groups, groups + count, [](const RootGroup &a, const RootGroup &b) { return a.first < b.first; });
    return count;
}

// Fills `out`, whose list holds `units`, with "/" first, typed by the table
// where it shows "/", else by its own file system; then the other groups'
// points in table order, each typed by the mount on top of it.
void listRoots(const Mount *m, const RootGroup *groups, uint32_t count, size_t units, DriveRoots *out) {
    const RootGroup *slash = nullptr;
    for (uint32_t k = 0; k < count && slash == nullptr; ++k) {
        if (strcmp(m[groups[k].first].point, "/") == 0) slash = &groups[k];
    }
    out->list[0] = u'/';
    out->list[1] = 0;
    TypeMemo memo;
    out->types[0] = slash != nullptr ? memo.typeOf(m[slash->top]) : rootDriveType();
    out->units = 2;
    out->count = 1;
    for (uint32_t k = 0; k < count; ++k) {
        if (&groups[k] == slash) continue;
        const int length =
            fromNative(m[groups[k].first].point, out->list + out->units, static_cast<int>(units - out->units - 1));
        if (length <= 0) continue;
        out->units += static_cast<uint32_t>(length) + 1;
        out->types[out->count++] = memo.typeOf(m[groups[k].top]);
    }
    out->list[out->units] = 0;
}

// Every drive root of the table with its type, from one reading: "/" first,
// always, as Windows always has its system drive (inside a chroot the table
// does not show it); then each mount point of a file system that holds
// files, once, where it first appears, typed by the mount on top of it.
bool rootsFromTable(const char *table, DriveRoots *out) {
    *out = DriveRoots{};
    MountTable t;
    readMountTable(table, &t);  // an unreadable table leaves "/" alone
    const uint32_t n = t.count;
    size_t units = 3;
    for (uint32_t i = 0; i < n; ++i) units += strlen(t.mounts[i].point) + 1;  // UTF-16 needs no more units than bytes
    uint32_t *order = static_cast<uint32_t *>(malloc((n + 1) * sizeof(uint32_t)));
    RootGroup *groups = static_cast<RootGroup *>(malloc((n + 1) * sizeof(RootGroup)));
    out->list = static_cast<Char *>(malloc(units * sizeof(Char)));
    out->types = static_cast<uint32_t *>(malloc((n + 1) * sizeof(uint32_t)));
    const bool ready = order != nullptr && groups != nullptr && out->list != nullptr && out->types != nullptr;
    if (ready) listRoots(t.mounts, groups, groupByPoint(t.mounts, n, order, groups), units, out);
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

}  // namespace platform
}  // namespace quorvel
