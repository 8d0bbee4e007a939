// The POSIX side's "." and ".." resolution, against the plain component-stack
// resolver: the cases that once escaped, then random paths built from the
// pieces that look like dots.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/posix/native_path.h"
#include "support/dot_reference.h"

namespace {

std::string resolved(std::string path) {
    path.push_back(0);
    const size_t n = quorvel::platform::resolveDots(path.data(), path.size() - 1);
    EXPECT_EQ(path[n], 0);
    return path.substr(0, n);
}

TEST(ResolveDots, MatchesTheComponentStack) {
    const struct {
        const char *path;
        const char *expected;
    } cases[] = {
        // A two-character name ending in '.' moved back over "//" is no "..".
        {"/B/t//l./../x", "/B/t/x"},
        {"t//l./..", "t"},
        {"/B/t//1./../new", "/B/t/new"},
        {"a//b.//../", "a/"},
        {"/..", "/"},
        {"/../a/../..", "/"},
        {"../a/..", ".."},
        {"../../a", "../../a"},
        {"a/../..", ".."},
        {"./", "./"},
        {"a/..", "."},
        {"//x/./y/", "/x/y/"},
        {"...//.a/..b/a./..", ".../.a/..b"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(referenceResolveDots(c.path), c.expected);
        EXPECT_EQ(resolved(c.path), c.expected);
    }
}

TEST(ResolveDots, RandomPathsMatchTheComponentStack) {
    const char *const pieces[] = {"/", "//", ".", "..", "...", "a.", ".a", "..b", "l.", "x", "1."};
    std::mt19937 random(20261208);  // NOLINT(cert-msc32-c,cert-msc51-cpp): the same paths every run
    std::uniform_int_distribution<size_t> piece(0, sizeof pieces / sizeof pieces[0] - 1);
    std::uniform_int_distribution<int> count(1, 12);
    for (int round = 0; round < 200000; ++round) {
        std::string path;
        for (int n = count(random); n > 0; --n) path += pieces[piece(random)];
        const std::string expected = referenceResolveDots(path);
        ASSERT_EQ(resolved(path), expected) << path;
    }
}

}  // namespace
