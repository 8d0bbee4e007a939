// The tool's system calls on POSIX: files the user names, what a path is and
// why a removal left it, where the tool lies and which libquorvel.so it runs
// with, the environment and the arguments as given.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "../system.h"
#include "../system_side.h"
#include "quorvel/quorvel.h"

namespace quorvel_tool {

namespace {

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

}  // namespace

// ---- Path text --------------------------------------------------------------

char separatorAfter(const std::string & /*dir*/) { return '/'; }

size_t driveRootLength(const std::string & /*path*/) { return 0; }

// ---- Files and directories --------------------------------------------------

UserFile::~UserFile() {
    if (handle_ >= 0) close(static_cast<int>(handle_));
}

bool UserFile::open(const std::string &path, size_t limit, std::string &error) {
    path_ = path;
    // Without O_NONBLOCK opening a FIFO waits for a writer, for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    handle_ = fd;
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
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

long long UserFile::read(char *buffer, size_t size, std::string &error) {
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(handle_), buffer, size);
        if (got >= 0) return got;
        if (errno != EINTR) {
            error = path_ + ": " + reasonFor(errno, path_);
            return -1;
        }
    }
}

bool UserFile::seek(long long offset, std::string &error) {
    if (lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) >= 0) return true;
    error = path_ + ": " + reasonFor(errno, path_);
    return false;
}

PathInfo inspect(const std::string &path) {
    PathInfo info;
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
    return info;
}

bool entryNames(const std::string &dir, std::vector<std::string> &names, std::string &reason) {
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
    return true;
}

std::string finalPath(const std::string & /*path*/) { return std::string(); }

bool resolvesElsewhere(const std::string & /*dirFinal*/, const std::string & /*name*/, const std::string & /*path*/) {
    return false;
}

// The checks unlink and rmdir make, in their order.
std::string removalObstacle(const std::string &dir, const std::string &path) {
    if (faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
        return "cannot write " + dir + ": " + reasonFor(errno, dir);
    Status holder, entry;
    if (!status(dir, holder, true) || !status(path, entry)) return std::string();
    if (holder.immutable || holder.appendOnly) return dir + (holder.immutable ? " is immutable" : " is append-only");
    const uid_t self = geteuid();
    if ((holder.mode & S_ISVTX) != 0 && self != 0 && entry.owner != self && holder.owner != self)
        return dir + " is sticky and the entry is another user's";
    if (entry.immutable || entry.appendOnly) return entry.immutable ? "immutable" : "append-only";
    return std::string();
}

// A mount point lies on another mount than the directory holding it.
std::string mountObstacle(const std::string &path) {
    Status self, holder;
    if (!status(path, self) || !status(parentDirectory(path), holder, true) || self.mount == holder.mount)
        return std::string();
    return "a mount point";
}

bool holdsWorkingDirectory(const std::string &path) {
    char real[PATH_MAX], cwd[PATH_MAX];
    if (realpath(path.c_str(), real) == nullptr || getcwd(cwd, sizeof cwd) == nullptr) return false;
    const std::string target = real, here = cwd;
    if (target == "/") return true;
    return here == target || here.compare(0, target.size() + 1, target + "/") == 0;
}

std::string writeProblem(const std::string &dir) {
    return access(dir.c_str(), W_OK | X_OK) == 0 ? std::string() : reasonFor(errno, dir);
}

// ---- The process ------------------------------------------------------------

std::filesystem::path nativePath(const std::string &path) { return std::filesystem::path(path); }

std::filesystem::path executablePath() {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    return std::filesystem::path(std::string(self, n > 0 ? static_cast<size_t>(n) : 0));
}

LibraryInfo loadedLibrary() {
    LibraryInfo info;
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
    return info;
}

const char *buildName() {
#if defined(__linux__)
    return "Linux";
#else
    return "POSIX";
#endif
}

bool environmentText(const char *name, std::string &value) {
    const char *set = std::getenv(name);
    value = set != nullptr ? set : "";
    return true;
}

bool setEnvironment(const char *name, const std::string &value) { return setenv(name, value.c_str(), 1) == 0; }

std::string makeTemporaryFile() {
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base == '/' ? base : "/tmp") + "/quorvel-trace.XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) return std::string();
    close(fd);
    return pattern;
}

long long fileSize(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_size : 0;
}

void removeFile(const std::string &path) { unlink(path.c_str()); }

std::vector<std::string> commandArguments(int argc, char **argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

}  // namespace quorvel_tool
