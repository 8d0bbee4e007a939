// Key names that carry a number, such as "Country12NationCode": reading the
// number back from a name, on either side of the seam.
#ifndef QUORVEL_PLATFORM_NUMBERED_KEY_H
#define QUORVEL_PLATFORM_NUMBERED_KEY_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

namespace quorvel {
namespace platform {

template <typename Unit>
constexpr uint32_t foldAscii(Unit c) {
    return c >= Unit('A') && c <= Unit('Z') ? static_cast<uint32_t>(c) + ('a' - 'A') : static_cast<uint32_t>(c);
}

// Whether `a` and `b` hold the same n units, ASCII letters folded. Names
// that differ mostly differ in their first unit, and names that match
// mostly match in the case written, so those are tried first.
template <typename Unit, typename PatternUnit>
bool sameFolded(const Unit *a, const PatternUnit *b, size_t n) {
    if (n == 0) return true;
    if (static_cast<uint32_t>(a[0]) != static_cast<uint32_t>(b[0]) && foldAscii(a[0]) != foldAscii(b[0])) return false;
    if (sizeof(Unit) == sizeof(PatternUnit) && memcmp(a, b, n * sizeof(Unit)) == 0) return true;
    for (size_t k = 0; k < n; ++k) {
        if (static_cast<uint32_t>(a[k]) != static_cast<uint32_t>(b[k]) && foldAscii(a[k]) != foldAscii(b[k]))
            return false;
    }
    return true;
}

// The i of a name that is `prefix`, i and `suffix`, i from 1 to INT32_MAX
// written as the library prints it (no sign, no leading zero), else 0. ASCII
// letters match without regard to case, as a look-up matches them, so the
// name is the one a look-up of the printed name finds.
template <typename Unit, typename PatternUnit>
int32_t numberedKeyIndex(const Unit *name, size_t length, const PatternUnit *prefix, size_t prefixLength,
                         const PatternUnit *suffix, size_t suffixLength) {
    if (length < prefixLength + suffixLength + 1 || length > prefixLength + suffixLength + 10) return 0;
    const size_t digitsEnd = length - suffixLength;
    if (!sameFolded(name + digitsEnd, suffix, suffixLength) || !sameFolded(name, prefix, prefixLength)) return 0;
    if (name[prefixLength] == Unit('0')) return 0;
    int64_t value = 0;
    for (size_t k = prefixLength; k < digitsEnd; ++k) {
        if (name[k] < Unit('0') || name[k] > Unit('9')) return 0;
        value = value * 10 + (name[k] - Unit('0'));
    }
    return value <= INT32_MAX ? static_cast<int32_t>(value) : 0;
}

}  // namespace platform
}  // namespace quorvel

#endif
