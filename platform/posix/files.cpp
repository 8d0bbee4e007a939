// Files, directories and volumes, POSIX side: what the Windows calls do, in
// every respect the library can observe, over POSIX paths. docs/storage.md
// gives the rules: paths and the bytes that are not UTF-8, the attribute
// values, how a tree is walked and what windows remain, the probes.
// Drive roots and drive types come from the mount table (mount_table.cpp).
#include "platform/files.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

#include <atomic>

#include "platform/posix/native_path.h"
#include "platform/posix/reach.h"

namespace quorvel {
namespace platform {

namespace {

// Drops trailing separators, keeping a lone "/". True when any was dropped.
bool stripTrailingSlashes(char *path, size_t *length) {
    bool stripped = false;
    while (*length > 1 && path[*length - 1] == '/') {
        path[--*length] = 0;
        stripped = true;
    }
    return stripped;
}

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

// --- Attributes -------------------------------------------------------------

uint32_t readOnlyBit(mode_t mode) { return (mode & S_IWUSR) != 0 ? 0u : kAttributeReadOnly; }

uint32_t attributesOf(mode_t mode) {
    if (S_ISLNK(mode)) return kAttributeReparsePoint | kAttributeArchive;
    if (S_ISDIR(mode)) return kAttributeDirectory | readOnlyBit(mode);
    return kAttributeArchive | readOnlyBit(mode);
}

bool operator==(const FileIdentity &a, const FileIdentity &b) { return a.device == b.device && a.inode == b.inode; }

FileIdentity identityOf(const struct stat &st) { return FileIdentity{st.st_dev, st.st_ino}; }

// The type, mode, identity and mount of an entry, links not followed. The
// mount is told by its id where the kernel gives one, so that a bind mount of
// the same file system counts as a mount too; else by the device.
struct Described {
    mode_t mode;
    FileIdentity identity;
    uint64_t volume;
};

bool describe(int dirFd, const char *name, int flags, Described *out) {
    struct statx sx;
    if (statx(dirFd, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
              STATX_TYPE | STATX_MODE | STATX_INO | STATX_MNT_ID, &sx) == 0) {
        out->mode = sx.stx_mode;
        out->identity = FileIdentity{makedev(sx.stx_dev_major, sx.stx_dev_minor), sx.stx_ino};
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
    out->identity = identityOf(st);
    out->volume = (uint64_t{1} << 63) | static_cast<uint64_t>(st.st_dev);
    return true;
}

// --- Tree -------------------------------------------------------------------

TreeDirectoryState &stateOf(TreeDirectory *dir) { return dir->state; }
const TreeDirectoryState &stateOf(const TreeDirectory &dir) { return dir.state; }

// Opens entry `name` of the directory `at` as a tree directory, never
// following a link.
int openDirectoryAt(int at, const char *name) {
    return openat(at, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

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
    out->state = TreeDirectoryState{fd, -1, nullptr, d.volume, d.identity, nullptr, FileIdentity{0, 0}};
    return true;
}

// An entry name as a native name; names are a single component.
constexpr size_t kNativeNameBytes = 1024;

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
    TreeDirectoryState &s = stateOf(out);
    s.parent = parent;
    // A root named "." or ".." is not held by the directory opened as its
    // parent; its place is told by its name alone when it is removed.
    struct stat holder;
    const bool dotName = name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
    if (parent >= 0 && !dotName && fstat(parent, &holder) == 0) s.above = identityOf(holder);
    return true;
}

bool openTreeChild(const TreeDirectory &parent, const Char *name, const Char * /*childPath*/, TreeDirectory *out) {
    char native[kNativeNameBytes];
    if (!toNative(name, native, sizeof native, nullptr)) return false;
    // Relative to the open parent and without following a link, so an entry
    // swapped for a link meanwhile fails to open; one swapped for a mount is
    // refused by its volume.
    const TreeDirectoryState &p = stateOf(parent);
    if (!adoptDirectory(openDirectoryAt(p.fd, native), p.volume, out)) return false;
    stateOf(out).up = &p;
    return true;
}

bool treeDirectoryInPlace(const TreeDirectory &dir) {
    // Each directory of the walk, from this one up to the root, must still
    // lie in the directory it was found in: a directory has one parent, its
    // "..", so one look each proves the chain whatever names changed inside
    // the tree.
    for (const TreeDirectoryState *s = &stateOf(dir); s != nullptr; s = s->up) {
        const FileIdentity expected = s->up != nullptr ? s->up->self : s->above;
        if (expected.inode == 0) continue;
        struct stat st;
        if (fstatat(s->fd, "..", &st, AT_SYMLINK_NOFOLLOW) != 0 || !(identityOf(st) == expected)) return false;
    }
    return true;
}

void closeTreeDirectory(TreeDirectory *dir) {
    findClose(dir);
    TreeDirectoryState &s = stateOf(dir);
    if (s.fd >= 0) close(s.fd);
    if (s.parent >= 0) close(s.parent);
    s.fd = -1;
    s.parent = -1;
}

bool findFirstEntry(TreeDirectory *dir, const Char * /*pattern*/, DirectoryEntry *entry) {
    findClose(dir);
    // "*.*" matches every name, so the listing is the whole directory. "."
    // of the open directory is that directory, whatever its path leads to
    // now; without read permission the search does not start.
    const int listing = openat(stateOf(dir).fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return false;
    DIR *stream = fdopendir(listing);
    if (stream == nullptr) {
        close(listing);
        return false;
    }
    stateOf(dir).search = stream;
    return findNextEntry(dir, entry);
}

bool findNextEntry(TreeDirectory *dir, DirectoryEntry *entry) {
    const TreeDirectoryState &s = stateOf(dir);
    if (s.search == nullptr) return false;
    const struct dirent *e = readdir(s.search);
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
        case DT_LNK: entry->attributes = kAttributeReparsePoint | kAttributeArchive; return true;
        default: break;
    }
    // Directories, and entries whose type the listing does not give: exact
    // attributes, with a mount on another volume marked as a reparse point.
    Described d;
    if (!describe(s.fd, e->d_name, 0, &d)) {
        entry->attributes = kInvalidAttributes;
        return true;
    }
    entry->attributes = attributesOf(d.mode);
    if (S_ISDIR(d.mode) && d.volume != s.volume) entry->attributes |= kAttributeReparsePoint;
    return true;
}

void findClose(TreeDirectory *dir) {
    TreeDirectoryState &s = stateOf(dir);
    if (s.search != nullptr) closedir(s.search);
    s.search = nullptr;
}

void deleteTreeFile(const TreeDirectory &parent, const Char *name, const Char * /*childPath*/) {
    char native[kNativeNameBytes];
    if (!toNative(name, native, sizeof native, nullptr)) return;
    const int fd = stateOf(parent).fd;
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
    return unlinkat(stateOf(parent).fd, native, AT_REMOVEDIR) == 0 ? 1 : 0;
}

int32_t removeTreeRoot(TreeDirectory *root, const Char *path) {
    char native[kNativeBytes];
    size_t length;
    char parentPath[kNativeBytes];
    const char *name = nullptr;
    struct stat emptied;
    struct stat named;
    bool removed = false;
    const TreeDirectoryState &s = stateOf(root);
    if (s.parent >= 0 && fstat(s.fd, &emptied) == 0 && systemPath(path, native, &length)) {
        stripTrailingSlashes(native, &length);
        const int parent = s.parent;
        // Removed only while its name in the parent opened at the start still
        // leads to the directory that was emptied; a directory put in its
        // place stays. (The system has no removal by descriptor, so a
        // directory swapped in between this check and the removal would go;
        // only an empty one can.)
        removed = splitLast(native, length, parentPath, &name) &&
                  fstatat(parent, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && identityOf(named) == identityOf(emptied) &&
                  unlinkat(parent, name, AT_REMOVEDIR) == 0;
    }
    closeTreeDirectory(root);
    return removed ? 1 : 0;
}

// --- Volumes -------------------------------------------------------------------

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

// The private directory of a probe: ".quorvel-probe-" and 16 random letters,
// then ".tmp", so that one left by a killed process says whose it is and that
// it may go.
constexpr char kProbePrefix[] = ".quorvel-probe-";
constexpr size_t kProbeNameBytes = sizeof kProbePrefix - 1 + 16 + sizeof ".tmp";

// Fresh names tried when one is taken; then the answer is told without
// making anything (probeWithoutMaking).
constexpr int kProbeAttempts = 16;

uint64_t mix(uint64_t x) {
    x += 0x9e3779b97f4a7c15u;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9u;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebu;
    return x ^ (x >> 31);
}

// 80 bits nobody can foresee: the kernel's generator, else /dev/urandom;
// where neither answers (an old kernel in a bare chroot), the clock, the
// process and the address space mixed, which a watcher may guess, so taken
// names are retried and never decide the answer.
void privateName(char (&out)[kProbeNameBytes]) {
    uint64_t random[2] = {0, 0};
    bool drawn = getrandom(random, sizeof random, GRND_NONBLOCK) == static_cast<ssize_t>(sizeof random);
    if (!drawn) {
        const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC | O_NOCTTY);
        if (fd >= 0) {
            drawn = read(fd, random, sizeof random) == static_cast<ssize_t>(sizeof random);
            close(fd);
        }
    }
    if (!drawn) {
        static std::atomic<uint64_t> counter{0};
        struct timespec clock;
        clock_gettime(CLOCK_REALTIME, &clock);
        random[0] = mix(static_cast<uint64_t>(clock.tv_sec) * 1000000000u + static_cast<uint64_t>(clock.tv_nsec) +
                        counter.fetch_add(1, std::memory_order_relaxed));
        clock_gettime(CLOCK_MONOTONIC, &clock);
        random[1] = mix(random[0] ^ static_cast<uint64_t>(clock.tv_nsec) ^ (static_cast<uint64_t>(getpid()) << 40) ^
                        reinterpret_cast<uintptr_t>(&clock));
    }
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz234567";
    memcpy(out, kProbePrefix, sizeof kProbePrefix - 1);
    char *letter = out + sizeof kProbePrefix - 1;
    for (int i = 0; i < 16; ++i) *letter++ = kLetters[(random[i / 8] >> (5 * (i % 8))) & 31];
    memcpy(letter, ".tmp", sizeof ".tmp");
}

// Whether a new file named `name` could be made in `parent`, told from what
// the system says of both without making anything: the file system is
// writable and has an inode to spare, the name fits its limit, and the caller
// may write and search the parent. Used only where nothing can be made to
// try: a probe cannot tell the file system's own naming rules this way.
bool probeWithoutMaking(int parent, const char *name) {
    struct statvfs v;
    if (fstatvfs(parent, &v) != 0 || (v.f_flag & ST_RDONLY) != 0) return false;
    if (v.f_namemax != 0 && strlen(name) > v.f_namemax) return false;
    if (v.f_files != 0 && v.f_favail == 0) return false;
    return faccessat(parent, ".", W_OK | X_OK, AT_EACCESS) == 0;
}

// An append-only directory takes new entries and never lets them go: a
// probe there would stay.
bool isAppendOnly(int parent) {
    struct statx sx;
    return statx(parent, "", AT_EMPTY_PATH, 0, &sx) == 0 && (sx.stx_attributes_mask & STATX_ATTR_APPEND) != 0 &&
           (sx.stx_attributes & STATX_ATTR_APPEND) != 0;
}

// Makes a private directory in `parent`, its name in `hidden`: 0, or the
// error of the last attempt.
int makePrivateDirectory(int parent, char (&hidden)[kProbeNameBytes]) {
    for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
        privateName(hidden);
        if (mkdirat(parent, hidden, 0700) == 0) return 0;
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

// Creates `name` as a new file in the directory `hidden` of `parent`, and
// removes it again. Only what was made here is removed: the directory is
// ours, and the file was created exclusively in it.
bool createInPrivate(int parent, const char *hidden, const char *name) {
    const int own = openat(parent, hidden, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (own < 0) return false;
    const int fd =
        openat(own, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0666);
    if (fd >= 0) {
        close(fd);
        unlinkat(own, name, 0);
    }
    close(own);
    return fd >= 0;
}

// A name nothing has yet: the file is made under the same name in a private
// directory made for it in the same parent, so the parent's permissions and
// the file system's naming rules decide, and the caller's name is never
// occupied. Where no such directory can be made for reasons that are not the
// name's (a full volume, a parent at its link limit, private names taken by
// another), or could not be removed again, the answer is told without making.
bool probeFreshName(int parent, const char *name) {
    if (isAppendOnly(parent)) return probeWithoutMaking(parent, name);
    char hidden[kProbeNameBytes];
    const int made = makePrivateDirectory(parent, hidden);
    if (made == ENOSPC || made == EDQUOT || made == EMLINK || made == EEXIST) return probeWithoutMaking(parent, name);
    if (made != 0) return false;
    const bool created = createInPrivate(parent, hidden, name);
    unlinkat(parent, hidden, AT_REMOVEDIR);
    return created;
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
    if (length == 0 || native[length - 1] == '/' || !splitLast(native, length, parentPath, &name))
        return ProbeResult::Failed;
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
    } else if (errno == ENOENT && probeFreshName(parent, name)) {
        result = ProbeResult::Created;
    }
    close(parent);
    return result;
}

}  // namespace platform
}  // namespace quorvel
