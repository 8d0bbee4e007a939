// Reaching a file before opening it; see reach.h.
#include "platform/posix/reach.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "platform/trace.h"

namespace quorvel {
namespace platform {

namespace {

// "/proc/self/fd/N": the file a descriptor holds, to reach it again by name.
struct DescriptorPath {
    char text[32];
    explicit DescriptorPath(int fd) { (void)snprintf(text, sizeof text, "/proc/self/fd/%d", fd); }  // always fits
};

}  // namespace

int reachFile(const char *path, struct stat *st) {
    int fd;
    do {
        fd = open(path, O_PATH | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    if (fstat(fd, st) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int openReached(int reached, const char *path, const struct stat &st) {
    const DescriptorPath same(reached);
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd;
    do {
        fd = open(same.text, kFlags);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0 || errno != ENOENT) return fd;
    fd = open(path, kFlags);
    struct stat now;
    if (fd >= 0 && (fstat(fd, &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino)) {
        close(fd);
        fd = -1;
    }
    return fd;
}

bool mayRead(int reached, const char *path) {
    const DescriptorPath same(reached);
    if (faccessat(AT_FDCWD, same.text, R_OK, AT_EACCESS) == 0) return true;
    return errno == ENOENT && faccessat(AT_FDCWD, path, R_OK, AT_EACCESS) == 0;
}

namespace {

// A regular file at `path` opened for reading, or -1: nothing else is
// opened. `st` receives its status as seen when it was reached.
int openRegularFile(const char *path, struct stat *st, const char *what) {
    const int reached = reachFile(path, st);
    if (reached < 0) {
        const int error = errno;
        if (tracing()) {
            char reason[128];
            trace("%s %s: %s", what, path, error == ENOENT ? "missing" : strerror_r(error, reason, sizeof reason));
        }
        return -1;
    }
    const bool regular = S_ISREG(st->st_mode);
    const int fd = regular ? openReached(reached, path, *st) : -1;
    const int error = errno;
    if (fd < 0 && tracing()) {
        char reason[128];
        trace("%s %s: %s", what, path,
              regular ? strerror_r(error, reason, sizeof reason) : "not a regular file, so not opened");
    }
    close(reached);
    return fd;
}

}  // namespace

unsigned char *readRegularFile(const char *path, size_t limit, size_t *size, struct stat *st, const char *what) {
    const int fd = openRegularFile(path, st, what);
    if (fd < 0) return nullptr;
    unsigned char *bytes = nullptr;
    const bool fits = st->st_size >= 0 && static_cast<unsigned long long>(st->st_size) <= limit;
    if (fits) {
        const size_t expected = static_cast<size_t>(st->st_size);
        bytes = static_cast<unsigned char *>(malloc(expected != 0 ? expected : 1));
        size_t done = 0;
        while (bytes != nullptr && done < expected) {
            const ssize_t got = read(fd, bytes + done, expected - done);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                free(bytes);
                bytes = nullptr;
            } else if (got == 0) {
                break;
            } else {
                done += static_cast<size_t>(got);
            }
        }
        *size = done;
    }
    close(fd);
    if (tracing()) {
        if (bytes != nullptr) {
            trace("%s %s: read, %llu bytes", what, path, static_cast<unsigned long long>(*size));
        } else if (!fits && st->st_size >= 0) {
            trace("%s %s: %llu bytes, over the limit of %llu, so not read", what, path,
                  static_cast<unsigned long long>(st->st_size), static_cast<unsigned long long>(limit));
        } else {
            trace("%s %s: cannot be read", what, path);
        }
    }
    return bytes;
}

char *readAll(int fd, size_t limit, size_t *size) {
    size_t capacity = 16384, used = 0;
    char *bytes = static_cast<char *>(malloc(capacity));
    while (bytes != nullptr) {
        if (capacity - used < 2) {
            char *grown = capacity > limit ? nullptr : static_cast<char *>(realloc(bytes, capacity * 2));
            if (grown == nullptr) {
                free(bytes);
                return nullptr;
            }
            bytes = grown;
            capacity *= 2;
        }
        const ssize_t got = read(fd, bytes + used, capacity - used - 1);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            free(bytes);
            return nullptr;
        }
        if (got == 0) break;
        used += static_cast<size_t>(got);
    }
    if (bytes == nullptr || used > limit) {
        free(bytes);
        return nullptr;
    }
    bytes[used] = 0;
    *size = used;
    return bytes;
}

}  // namespace platform
}  // namespace quorvel
