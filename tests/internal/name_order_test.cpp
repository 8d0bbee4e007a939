// The merge sort that orders records by name, against the standard library's
// stable sort: random names with long shared prefixes, repeats kept first or
// last, every count from 0 up.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/posix/name_order.h"

namespace {

using quorvel::platform::KeepOf;

struct Names {
    const std::vector<std::u16string> *all;
    uint32_t length(uint32_t r) const { return static_cast<uint32_t>((*all)[r].size()); }
    uint32_t unit(uint32_t r, uint32_t p) const { return (*all)[r][p]; }
};

// What the sort must give: records stably sorted by name, one per name.
std::vector<uint32_t> expected(const std::vector<std::u16string> &names, KeepOf keep) {
    std::vector<uint32_t> order(names.size());
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return names[a] < names[b]; });
    std::vector<uint32_t> kept;
    for (uint32_t r : order) {
        if (!kept.empty() && names[kept.back()] == names[r]) {
            if (keep == KeepOf::Last) kept.back() = r;
        } else {
            kept.push_back(r);
        }
    }
    return kept;
}

TEST(NameOrder, MatchesAStableSortKeepingOnePerName) {
    std::mt19937 random(7);  // NOLINT(cert-msc32-c,cert-msc51-cpp): the same names every run
    for (uint32_t count = 0; count < 300; ++count) {
        // A few stems, long and shared, then a short tail: many names share
        // most of their length, and many repeat.
        const std::u16string stem(static_cast<size_t>(random() % 40), u'k');
        std::vector<std::u16string> names;
        for (uint32_t i = 0; i < count; ++i) {
            std::u16string name = random() % 2 != 0 ? stem : stem.substr(0, stem.size() / 2);
            for (int n = static_cast<int>(random() % 3); n > 0; --n)
                name.push_back(static_cast<char16_t>(u'a' + random() % 3));
            names.push_back(name);
        }
        for (KeepOf keep : {KeepOf::First, KeepOf::Last}) {
            std::vector<uint32_t> order(count), scratch(3 * static_cast<size_t>(count));
            for (uint32_t i = 0; i < count; ++i) order[i] = i;
            const uint32_t kept =
                quorvel::platform::sortByName(order.data(), scratch.data(), count, Names{&names}, keep);
            order.resize(kept);
            ASSERT_EQ(order, expected(names, keep)) << count << " names";
        }
    }
}

}  // namespace
