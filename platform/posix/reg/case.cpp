// Registry export files, POSIX side: the upper-case mapping; see
// case.h.
#include "platform/posix/reg/case.h"

#include <stddef.h>

namespace quorvel {
namespace platform {
namespace regfile {

namespace {

// Units [first, last] map by adding `delta` to every `stride`-th unit from
// `first`.
struct CaseRun {
    uint16_t first;
    uint16_t last;
    int32_t delta;
    uint8_t stride;
};

constexpr CaseRun kUpperCase[] = {
#include "platform/posix/reg/case.inc"
};

constexpr size_t kRuns = sizeof kUpperCase / sizeof kUpperCase[0];

}  // namespace

uint32_t upperCase(uint32_t unit) {
    // The first run that does not end below `unit`.
    size_t low = 0, high = kRuns;
    while (low < high) {
        size_t mid = low + (high - low) / 2;
        if (kUpperCase[mid].last < unit) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    if (low == kRuns) return unit;
    const CaseRun &run = kUpperCase[low];
    if (unit < run.first || (unit - run.first) % run.stride != 0) return unit;
    return static_cast<uint32_t>(static_cast<int32_t>(unit) + run.delta);
}

}  // namespace regfile
}  // namespace platform
}  // namespace quorvel
