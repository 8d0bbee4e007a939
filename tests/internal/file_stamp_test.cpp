// The one-tick rule by which the kept registry and settings files trust a
// stamp: when, seen at a given moment, it stops showing every change.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>

#include "platform/posix/file_stamp.h"

namespace {

using quorvel::platform::kCoarseTick;
using quorvel::platform::kFineTick;
using quorvel::platform::kNotTrusted;
using quorvel::platform::kTrustedForGood;
using quorvel::platform::trustedUntil;

constexpr int64_t kSecond = 1'000'000'000;

struct timespec at(int64_t ns) {
    return timespec{static_cast<time_t>(ns / kSecond), static_cast<long>(ns % kSecond)};
}

TEST(FileStamp, TrustedOnlyOneTickAwayFromItsTimes) {
    const int64_t now = 1'700'000'000 * kSecond + 500'000'000;
    const int64_t day = 86400 * kSecond;
    const struct {
        const char *what;
        int64_t modified, changed;
        int64_t expected;
    } cases[] = {
        {"both older than a tick", now - kSecond + 7, now - kSecond + 9, kTrustedForGood},
        {"changed within the tick", now - kSecond + 7, now - kFineTick + 1, kNotTrusted},
        {"modified within the tick", now - kFineTick / 2, now - kSecond + 9, kNotTrusted},
        {"changed just now", now - kSecond + 7, now, kNotTrusted},
        {"modified a day ahead", now + day + 3, now - kSecond + 9, now + day + 3 - kFineTick},
        {"both ahead: the nearer counts", now + day + 3, now + 2 * day + 5, now + day + 3 - kFineTick},
        {"ahead within the tick", now + kFineTick - 1, now - kSecond + 9, kNotTrusted},
        // Stamps without nanoseconds come from a clock of seconds.
        {"whole seconds, a second old", now / kSecond * kSecond - kSecond, now / kSecond * kSecond - kSecond,
         kNotTrusted},
        {"whole seconds, three seconds old", now / kSecond * kSecond - 3 * kSecond,
         now / kSecond * kSecond - 3 * kSecond, kTrustedForGood},
        {"whole seconds, a day ahead", now / kSecond * kSecond + day, now / kSecond * kSecond - 3 * kSecond,
         now / kSecond * kSecond + day - kCoarseTick},
    };
    for (const auto &c : cases) {
        struct stat st = {};
        st.st_mtim = at(c.modified);
        st.st_ctim = at(c.changed);
        EXPECT_EQ(trustedUntil(st, now), c.expected) << c.what;
    }
}

// A kept copy is current only while every part of the stamp is as it was:
// a rewrite may keep some parts (a rename over it keeps the size, a write
// within one tick of the clock keeps the times), never all.
TEST(FileStamp, AnyPartChangedMeansChanged) {
    struct stat kept = {};
    kept.st_dev = 8;
    kept.st_ino = 1234;
    kept.st_size = 4096;
    kept.st_mtim = at(1'600'000'000 * kSecond + 7);
    kept.st_ctim = at(1'600'000'000 * kSecond + 9);
    const quorvel::platform::FileStamp stamp = quorvel::platform::stampOf(kept);
    EXPECT_TRUE(quorvel::platform::isUnchanged(stamp, kept));
    const struct {
        const char *what;
        void (*change)(struct stat &);
    } cases[] = {
        {"device", [](struct stat &st) { st.st_dev += 1; }},
        {"inode", [](struct stat &st) { st.st_ino += 1; }},
        {"size", [](struct stat &st) { st.st_size += 1; }},
        {"modified", [](struct stat &st) { st.st_mtim.tv_nsec += 1; }},
        {"changed", [](struct stat &st) { st.st_ctim.tv_nsec += 1; }},
    };
    for (const auto &c : cases) {
        struct stat now = kept;
        c.change(now);
        EXPECT_FALSE(quorvel::platform::isUnchanged(stamp, now)) << c.what;
    }
}

}  // namespace
