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
template <typename Names>
uint32_t sortByName(uint32_t *order, uint32_t *scratch, uint32_t count, const Names &names, KeepOf keep) {
    uint32_t *from = order, *to = scratch;
    uint32_t *fromShared = scratch + count, *toShared = scratch + 2 * static_cast<uint64_t>(count);
    for (uint32_t i = 0; i < count; ++i) fromShared[i] = 0;
    for (uint32_t width = 1; width < count; width *= 2) {
        for (uint32_t low = 0; low < count; low += 2 * width) {
            const uint32_t middle = count - low > width ? low + width : count;
            const uint32_t high = count - middle > width ? middle + width : count;
            uint32_t i = low, j = middle, k = low;
            // What the heads of the two runs share with the last name output
            // (nothing yet). The head sharing more is the smaller.
            uint32_t left = 0, right = 0;
            while (i < middle && j < high) {
                bool takeLeft = left > right;
                if (left == right) {
                    const uint32_t a = from[i], b = from[j];
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
                    to[k] = from[i];
                    toShared[k++] = left;
                    if (++i < middle) left = fromShared[i];
                } else {
                    to[k] = from[j];
                    toShared[k++] = right;
                    if (++j < high) right = fromShared[j];
                }
            }
            for (uint32_t rest = i; rest < middle; ++rest) {
                to[k] = from[rest];
                toShared[k++] = rest == i ? left : fromShared[rest];
            }
            for (uint32_t rest = j; rest < high; ++rest) {
                to[k] = from[rest];
                toShared[k++] = rest == j ? right : fromShared[rest];
            }
        }
        uint32_t *swap = from;
        from = to;
        to = swap;
        swap = fromShared;
        fromShared = toShared;
        toShared = swap;
    }
    uint32_t kept = 0, lastLength = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t length = names.length(from[i]);
        // A repeat shares all of the name before it, and is as long.
        const bool repeat = i > 0 && fromShared[i] == length && length == lastLength;
        lastLength = length;
        if (!repeat) {
            order[kept++] = from[i];
        } else if (keep == KeepOf::Last) {
            order[kept - 1] = from[i];
        }
    }
    return kept;
}

}  // namespace platform
}  // namespace quorvel

#endif
