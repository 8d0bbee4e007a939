// Whether a file is still the one a kept copy was read from, for the caches
// of the registry file and the settings file.
//
// A copy is taken together with the status the file had when it was read.
// A later stat that shows the same device, inode, size, modification and
// change times (in nanoseconds) shows the same file, provided any change
// made since would have moved a time. A change moves the change time to the
// file system's clock at that moment, which ticks coarsely: a change within
// the same tick as the stamp, or at the moment the clock reaches a stamp set
// ahead of it, may leave every time as it was. So a stamp is trusted only
// while the clock is more than one tick away from both its times (the
// one-tick rule); the cache reads the file afresh otherwise.
//
// Writes through a shared mapping (mmap) move the times only when a page is
// first dirtied after being written back, so they can go unseen for as long
// as the kernel keeps the page dirty: such a writer must touch the file
// (futimens) when it is done.
#ifndef QUORVEL_PLATFORM_POSIX_FILE_STAMP_H
#define QUORVEL_PLATFORM_POSIX_FILE_STAMP_H

#include <stdint.h>
#include <sys/stat.h>
#include <time.h>

namespace quorvel {
namespace platform {

// How long around its times a stamp cannot be trusted: the file system's
// clock ticks at most every 10 ms where stamps carry nanoseconds (the
// kernel's coarse clock), and every second or two where they do not.
constexpr int64_t kFineTick = 20'000'000;       // ns
constexpr int64_t kCoarseTick = 2'000'000'000;  // ns

// Trusted for good (INT64_MAX) or not at all (0): see trustedUntil.
constexpr int64_t kTrustedForGood = INT64_MAX;
constexpr int64_t kNotTrusted = 0;

struct FileStamp {
    dev_t device;
    ino_t inode;
    off_t size;
    struct timespec modified;
    struct timespec changed;
    // CLOCK_REALTIME in nanoseconds before which the stamp shows every
    // change: kNotTrusted, a time ahead, or kTrustedForGood.
    int64_t trustedUntil;
};

// When a stamp with these times, seen at `now` (ns), stops showing every
// change: kNotTrusted when `now` is within one tick of either time, the
// start of that tick around the nearer time set ahead of `now`, else
// kTrustedForGood.
int64_t trustedUntil(const struct stat &st, int64_t now);

// The stamp of the file whose status is `st`, as seen now.
FileStamp stampOf(const struct stat &st);

// Whether `now`, a later status of the file at the same path, shows the
// file `kept` was stamped from, unchanged: the same stamp, still trusted.
// Reads the clock only for a stamp trusted for a time.
bool isUnchanged(const FileStamp &kept, const struct stat &now);

}  // namespace platform
}  // namespace quorvel

#endif
