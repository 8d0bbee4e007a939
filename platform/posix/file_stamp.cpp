// Whether a kept copy of a file is still current; see file_stamp.h.
#include "platform/posix/file_stamp.h"

namespace quorvel {
namespace platform {

namespace {

int64_t nanoseconds(const struct timespec &t) { return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; }

int64_t clockNow() {
    struct timespec clock;
    clock_gettime(CLOCK_REALTIME, &clock);
    return nanoseconds(clock);
}

bool sameTime(const struct timespec &a, const struct timespec &b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

int64_t trustedUntil(const struct stat &st, int64_t now) {
    const bool coarse = st.st_mtim.tv_nsec == 0 && st.st_ctim.tv_nsec == 0;
    const int64_t tick = coarse ? kCoarseTick : kFineTick;
    int64_t until = kTrustedForGood;
    const int64_t times[2] = {nanoseconds(st.st_mtim), nanoseconds(st.st_ctim)};
    for (const int64_t t : times) {
        if (t + tick < now) continue;             // behind: a change now gets a later time
        if (t - tick <= now) return kNotTrusted;  // this very tick
        if (t - tick < until) until = t - tick;   // ahead: safe until the clock nears it
    }
    return until;
}

FileStamp stampOf(const struct stat &st) {
    return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim, trustedUntil(st, clockNow())};
}

bool isUnchanged(const FileStamp &kept, const struct stat &now) {
    if (kept.trustedUntil == kNotTrusted || kept.device != now.st_dev || kept.inode != now.st_ino ||
        kept.size != now.st_size || !sameTime(kept.modified, now.st_mtim) || !sameTime(kept.changed, now.st_ctim)) {
        return false;
    }
    return kept.trustedUntil == kTrustedForGood || clockNow() < kept.trustedUntil;
}

}  // namespace platform
}  // namespace quorvel
