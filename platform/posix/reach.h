// Reaching a file before opening it. Opening has effects on some files: a
// FIFO's blocked writer wakes (and dies of SIGPIPE when the reader closes at
// once), a tape rewinds, a terminal may become the controlling one. So a file
// is first reached with O_PATH, which opens nothing, its type is looked at,
// and only a regular file is then opened, through that descriptor, so that
// what is opened is the file whose type was seen.
#ifndef QUORVEL_PLATFORM_POSIX_REACH_H
#define QUORVEL_PLATFORM_POSIX_REACH_H

#include <stddef.h>
#include <sys/stat.h>

namespace quorvel {
namespace platform {

// An O_PATH descriptor of what `path` leads to (links followed), and its
// status in `st`; -1 when nothing is there or it cannot be described.
int reachFile(const char *path, struct stat *st);

// Opens for reading, without blocking, the regular file `reached` was reached
// at `path`. -1 when it may not be read. Where /proc is not mounted the file
// is opened by name, and kept only if it is still the same file.
int openReached(int reached, const char *path, const struct stat &st);

// Whether the caller may read `reached` by its permissions, for files that
// are not to be opened.
bool mayRead(int reached, const char *path);

// The regular file at `path` read whole: nothing but a regular file is
// opened, and the file opened is the one reached. A malloc'd buffer (one
// byte at least) holding the *size bytes read, and in `st` the status seen
// when the file was reached, its identity and stamp. The st_size bytes that
// status counts are read, in one read unless the file shrank: a file that
// grows meanwhile is read as it was. Null when there is no regular file, it
// cannot be opened or read, it is larger than `limit`, or memory runs out.
// The trace names the file by `what` ("settings file") and says which.
unsigned char *readRegularFile(const char *path, size_t limit, size_t *size, struct stat *st, const char *what);

// Everything left to read from `fd`, in a malloc'd buffer with a NUL after
// the `*size` bytes read. Null when reading fails, memory runs out or there
// are more than `limit` bytes: a file that keeps growing is never followed.
char *readAll(int fd, size_t limit, size_t *size);

}  // namespace platform
}  // namespace quorvel

#endif
