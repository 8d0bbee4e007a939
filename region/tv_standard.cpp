// The analog video standard of a tune space: the system's own tuning-space
// setting when it has one, else the built-in table.
#include "platform/registry.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace quorvel {
namespace region {
namespace {

struct TuneSpaceRange {
    int32_t first, last;  // inclusive
    int32_t standard;
};

// Tune space -> standard, 207 tune spaces in ranges sorted by tune space,
// neighbours of one standard merged. Anything not listed has no standard.
// One row per line, as the table reads.
// clang-format off
constexpr TuneSpaceRange kTuneSpaceStandards[] = {
    {1, 2, QUORVEL_VIDEO_NTSC_M},
    {7, 7, QUORVEL_VIDEO_SECAM_D},
    {20, 20, QUORVEL_VIDEO_SECAM_B},
    {27, 27, QUORVEL_VIDEO_PAL_I},
    {30, 30, QUORVEL_VIDEO_SECAM_B},
    {31, 32, QUORVEL_VIDEO_PAL_B},
    {33, 33, QUORVEL_VIDEO_SECAM_L},
    {34, 34, QUORVEL_VIDEO_PAL_B},
    {36, 36, QUORVEL_VIDEO_SECAM_D},
    {39, 39, QUORVEL_VIDEO_PAL_B},
    {40, 40, QUORVEL_VIDEO_PAL_D},
    {41, 41, QUORVEL_VIDEO_PAL_B},
    {43, 43, QUORVEL_VIDEO_PAL_B},
    {44, 44, QUORVEL_VIDEO_PAL_I},
    {45, 49, QUORVEL_VIDEO_PAL_B},
    {51, 53, QUORVEL_VIDEO_NTSC_M},
    {54, 54, QUORVEL_VIDEO_PAL_N},
    {55, 55, QUORVEL_VIDEO_PAL_M},
    {56, 58, QUORVEL_VIDEO_NTSC_M},
    {60, 62, QUORVEL_VIDEO_PAL_B},
    {63, 63, QUORVEL_VIDEO_NTSC_M},
    {64, 66, QUORVEL_VIDEO_PAL_B},
    {81, 81, QUORVEL_VIDEO_NTSC_M_J},
    {82, 82, QUORVEL_VIDEO_NTSC_M},
    {84, 84, QUORVEL_VIDEO_NTSC_M},
    {86, 86, QUORVEL_VIDEO_PAL_D},
    {90, 94, QUORVEL_VIDEO_PAL_B},
    {95, 95, QUORVEL_VIDEO_NTSC_M},
    {98, 98, QUORVEL_VIDEO_SECAM_B},
    {212, 212, QUORVEL_VIDEO_SECAM_B},
    {213, 213, QUORVEL_VIDEO_PAL_B},
    {216, 216, QUORVEL_VIDEO_SECAM_B},
    {218, 218, QUORVEL_VIDEO_SECAM_B},
    {220, 221, QUORVEL_VIDEO_SECAM_K},
    {222, 222, QUORVEL_VIDEO_SECAM_B},
    {223, 229, QUORVEL_VIDEO_SECAM_K},
    {230, 230, QUORVEL_VIDEO_SECAM_B},
    {231, 237, QUORVEL_VIDEO_PAL_B},
    {238, 238, QUORVEL_VIDEO_NTSC_M},
    {239, 239, QUORVEL_VIDEO_PAL_B},
    {240, 240, QUORVEL_VIDEO_SECAM_B},
    {241, 241, QUORVEL_VIDEO_SECAM_K},
    {242, 242, QUORVEL_VIDEO_SECAM_D},
    {243, 243, QUORVEL_VIDEO_SECAM_K},
    {244, 244, QUORVEL_VIDEO_PAL_I},
    {245, 247, QUORVEL_VIDEO_NTSC_M},
    {248, 252, QUORVEL_VIDEO_PAL_B},
    {253, 253, QUORVEL_VIDEO_SECAM_K},
    {254, 256, QUORVEL_VIDEO_PAL_B},
    {257, 257, QUORVEL_VIDEO_SECAM_K},
    {258, 258, QUORVEL_VIDEO_PAL_B},
    {260, 260, QUORVEL_VIDEO_PAL_B},
    {261, 262, QUORVEL_VIDEO_SECAM_K},
    {263, 263, QUORVEL_VIDEO_PAL_B},
    {264, 264, QUORVEL_VIDEO_PAL_I},
    {265, 265, QUORVEL_VIDEO_NTSC_M},
    {266, 266, QUORVEL_VIDEO_PAL_I},
    {267, 267, QUORVEL_VIDEO_SECAM_K},
    {268, 268, QUORVEL_VIDEO_PAL_B},
    {269, 269, QUORVEL_VIDEO_SECAM_K},
    {290, 291, QUORVEL_VIDEO_NTSC_M},
    {297, 297, QUORVEL_VIDEO_NTSC_M},
    {298, 298, QUORVEL_VIDEO_PAL_B},
    {299, 299, QUORVEL_VIDEO_NTSC_M},
    {350, 352, QUORVEL_VIDEO_PAL_B},
    {353, 353, QUORVEL_VIDEO_PAL_I},
    {354, 358, QUORVEL_VIDEO_PAL_B},
    {359, 359, QUORVEL_VIDEO_SECAM_D},
    {370, 370, QUORVEL_VIDEO_PAL_B},
    {371, 371, QUORVEL_VIDEO_SECAM_D},
    {372, 372, QUORVEL_VIDEO_PAL_B},
    {373, 375, QUORVEL_VIDEO_SECAM_D},
    {376, 376, QUORVEL_VIDEO_NTSC_M},
    {377, 377, QUORVEL_VIDEO_SECAM_G},
    {378, 378, QUORVEL_VIDEO_PAL_B},
    {380, 380, QUORVEL_VIDEO_SECAM_D},
    {381, 381, QUORVEL_VIDEO_PAL_B},
    {385, 387, QUORVEL_VIDEO_PAL_B},
    {389, 389, QUORVEL_VIDEO_PAL_B},
    {420, 420, QUORVEL_VIDEO_PAL_D},
    {421, 421, QUORVEL_VIDEO_PAL_B},
    {500, 500, QUORVEL_VIDEO_PAL_I},
    {501, 507, QUORVEL_VIDEO_NTSC_M},
    {508, 508, QUORVEL_VIDEO_SECAM_K},
    {509, 509, QUORVEL_VIDEO_NTSC_M},
    {590, 590, QUORVEL_VIDEO_SECAM_K},
    {591, 591, QUORVEL_VIDEO_PAL_N},
    {592, 592, QUORVEL_VIDEO_SECAM_K},
    {593, 593, QUORVEL_VIDEO_NTSC_M},
    {594, 594, QUORVEL_VIDEO_SECAM_K},
    {595, 595, QUORVEL_VIDEO_PAL_N},
    {596, 596, QUORVEL_VIDEO_SECAM_K},
    {597, 597, QUORVEL_VIDEO_NTSC_M},
    {598, 598, QUORVEL_VIDEO_PAL_N},
    {599, 599, QUORVEL_VIDEO_NTSC_M},
    {670, 672, QUORVEL_VIDEO_NTSC_M},
    {673, 673, QUORVEL_VIDEO_PAL_B},
    {674, 674, QUORVEL_VIDEO_NTSC_M},
    {675, 675, QUORVEL_VIDEO_PAL_B},
    {676, 680, QUORVEL_VIDEO_NTSC_M},
    {681, 681, QUORVEL_VIDEO_SECAM_K},
    {682, 682, QUORVEL_VIDEO_PAL_B},
    {683, 684, QUORVEL_VIDEO_NTSC_M},
    {685, 686, QUORVEL_VIDEO_PAL_B},
    {687, 687, QUORVEL_VIDEO_SECAM_K},
    {688, 688, QUORVEL_VIDEO_NTSC_M},
    {689, 689, QUORVEL_VIDEO_SECAM_K},
    {690, 692, QUORVEL_VIDEO_NTSC_M},
    {850, 850, QUORVEL_VIDEO_SECAM_D},
    {852, 853, QUORVEL_VIDEO_PAL_I},
    {855, 856, QUORVEL_VIDEO_PAL_B},
    {871, 874, QUORVEL_VIDEO_NTSC_M},
    {880, 880, QUORVEL_VIDEO_PAL_B},
    {886, 886, QUORVEL_VIDEO_NTSC_M},
    {960, 960, QUORVEL_VIDEO_PAL_B},
    {961, 961, QUORVEL_VIDEO_SECAM_B},
    {962, 962, QUORVEL_VIDEO_PAL_B},
    {963, 964, QUORVEL_VIDEO_SECAM_B},
    {965, 965, QUORVEL_VIDEO_PAL_B},
    {966, 966, QUORVEL_VIDEO_SECAM_B},
    {967, 968, QUORVEL_VIDEO_PAL_B},
    {971, 974, QUORVEL_VIDEO_PAL_B},
    {975, 975, QUORVEL_VIDEO_NTSC_M},
    {976, 976, QUORVEL_VIDEO_SECAM_D},
    {977, 977, QUORVEL_VIDEO_PAL_B},
    {994, 995, QUORVEL_VIDEO_SECAM_D},
    {1001, 1002, QUORVEL_VIDEO_NTSC_M},
    {8601, 8601, QUORVEL_VIDEO_PAL_I},
};
// clang-format on

constexpr int kRangeCount = static_cast<int>(sizeof kTuneSpaceStandards / sizeof kTuneSpaceStandards[0]);

constexpr bool tableIsSortedAndCounts(int expected) {
    int count = 0;
    for (int i = 0; i < kRangeCount; ++i) {
        if (kTuneSpaceStandards[i].first > kTuneSpaceStandards[i].last) return false;
        if (i > 0 && kTuneSpaceStandards[i].first <= kTuneSpaceStandards[i - 1].last) return false;
        count += kTuneSpaceStandards[i].last - kTuneSpaceStandards[i].first + 1;
    }
    return count == expected;
}
static_assert(tableIsSortedAndCounts(207), "the tune-space table must be sorted, disjoint and hold 207 entries");

int32_t standardFromTable(int32_t tuneSpace) {
    int low = 0, high = kRangeCount - 1;
    while (low <= high) {
        int mid = low + (high - low) / 2;
        const TuneSpaceRange &r = kTuneSpaceStandards[mid];
        if (tuneSpace < r.first) {
            high = mid - 1;
        } else if (tuneSpace > r.last) {
            low = mid + 1;
        } else {
            return r.standard;
        }
    }
    return QUORVEL_VIDEO_NONE;
}

}  // namespace
}  // namespace region
}  // namespace quorvel

// The exports name the helpers above.
using namespace quorvel::region;

extern "C" int32_t QUORVEL_CALL Quorvel_GetTVStandardByTuneSpace(int32_t tuneSpace, int32_t inputKind) {
    using namespace quorvel::platform;
    Char keyName[kPathUnits];
    formatDecimal(keyName,
                  inputKind == 2 ? QTEXT("Software\\Microsoft\\TV System Services\\TVAutoTune\\TS%d-0")
                                 : QTEXT("Software\\Microsoft\\TV System Services\\TVAutoTune\\TS%d-1"),
                  tuneSpace);
    RegistryKey key;
    if (openRegistryKey(RegistryRoot::LocalMachine, keyName, &key)) {
        // Whatever bytes the value holds count, whatever its type: a short
        // value fills the low-order bytes of a number preset to 0.
        unsigned char bytes[4] = {0, 0, 0, 0};
        uint32_t size = sizeof bytes;
        const bool read = queryRegistryValue(key, QTEXT("VideoStandard"), bytes, &size);
        closeRegistryKey(key);
        if (read) {
            return static_cast<int32_t>(static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                                        static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24);
        }
    }
    const int32_t standard = standardFromTable(tuneSpace);
    if (tracing()) {
        trace("TV standard of tune space %d: no system setting; %s 0x%x", tuneSpace,
              standard != QUORVEL_VIDEO_NONE ? "the built-in table gives" : "not in the built-in table either:",
              static_cast<unsigned>(standard));
    }
    return standard;
}
