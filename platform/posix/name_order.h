// Sorting records by name whatever the names, for the indexes of the
// settings file and the registry file: one record kept for each name.
#ifndef QUORVEL_PLATFORM_POSIX_NAME_ORDER_H
#define QUORVEL_PLATFORM_POSIX_NAME_ORDER_H

#include <stdint.h>

namespace quorvel {
namespace platform {

enum class KeepOf { First, Last };

// Sorts the record numbers order[0, count) by name, keeping records of one
// name in their order, then keeps the first or the last of each name;
// returns how many are kept, in order[0, kept). `names` gives a record's
// name: names.length(r) units, names.unit(r, p) the p-th folded as the names
// compare (units are compared as numbers); `scratch` holds 3 * count
// numbers.
//
// A bottom-up merge sort in which every element carries how many units it
// shares with the one before it: a merge compares two names only past what
// both share with the name it output last, so each compared unit either is
// the last or lengthens what an element shares with the one before it,
// which never shrinks and never exceeds its length. Any content then costs
// O(count log count + the names' length): names chosen to share long
// prefixes cost no more than others, and no hash is there to collide.
namespace name_order {

// One record and how many units its name shares with the record before it.
struct Run {
    uint32_t *records;
    uint32_t *shared;
};

// Merges the sorted runs [low, middle) and [middle, high) of `from` into
// `to`. What the heads of the two runs share with the last name output is
// known (nothing at first); the head sharing more is the smaller, and only
// when both share as much are units compared, past what they share.
template <typename Names>
void mergeRuns(const Run &from, const Run &to, uint32_t low, uint32_t middle, uint32_t high, const Names &names) {
    uint32_t i = low, j = middle, k = low;
    uint32_t left = 0, right = 0;
    while (i < middle && j < high) {
        bool takeLeft = left > right;
        if (left == right) {
            const uint32_t a = from.records[i], b = from.records[j];
            const uint32_t aLength = names.length(a), bLength = names.length(b);
            uint32_t p = left;
            while (p < aLength && p < bLength && names.unit(a, p) == names.unit(b, p)) ++p;
            // Equal names take the left run's first: the earlier record.
            takeLeft = p == aLength || (p < bLength && names.unit(a, p) < names.unit(b, p));
            if (takeLeft) {
                right = p;
            } else {
                left = p;
            }
        }
        if (takeLeft) {
            to.records[k] = from.records[i];
            to.shared[k++] = left;
            if (++i < middle) left = from.shared[i];
        } else {
            to.records[k] = from.records[j];
            to.shared[k++] = right;
            if (++j < high) right = from.shared[j];
        }
    }
    for (uint32_t rest = i; rest < middle; ++rest) {
        to.records[k] = from.records[rest];
        to.shared[k++] = rest == i ? left : from.shared[rest];
    }
    for (uint32_t rest = j; rest < high; ++rest) {
        to.records[k] = from.records[rest];
        to.shared[k++] = rest == j ? right : from.shared[rest];
    }
}

// Copies the sorted records of `sorted` to `order`, one for each name: the
// first or the last of those that have it. The number kept.
template <typename Names>
uint32_t keepOnePerName(uint32_t *order, const Run &sorted, uint32_t count, const Names &names, KeepOf keep) {
    uint32_t kept = 0, lastLength = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t length = names.length(sorted.records[i]);
        // A repeat shares all of the name before it, and is as long.
        const bool repeat = i > 0 && sorted.shared[i] == length && length == lastLength;
        lastLength = length;
        if (!repeat) {
            order[kept++] = sorted.records[i];
        } else if (keep == KeepOf::Last) {
            order[kept - 1] = sorted.records[i];
        }
    }
    return kept;
}

}  // namespace name_order

// `scratch` is written through the runs made of it.
template <typename Names>
uint32_t sortByName(uint32_t *order, uint32_t *scratch,  // NOLINT(readability-non-const-parameter)
                    uint32_t count, const Names &names, KeepOf keep) {
    name_order::Run from{order, scratch + count};
    name_order::Run to{scratch, scratch + 2 * static_cast<uint64_t>(count)};
    for (uint32_t i = 0; i < count; ++i) from.shared[i] = 0;
    for (uint32_t width = 1; width < count; width *= 2) {
        for (uint32_t low = 0; low < count; low += 2 * width) {
            const uint32_t middle = count - low > width ? low + width : count;
            const uint32_t high = count - middle > width ? middle + width : count;
            name_order::mergeRuns(from, to, low, middle, high, names);
        }
        const name_order::Run swap = from;
        from = to;
        to = swap;
    }
    return name_order::keepOnePerName(order, from, count, names, keep);
}

}  // namespace platform
}  // namespace quorvel

#endif
