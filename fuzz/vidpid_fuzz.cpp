// Quorvel_GetVIDPID on arbitrary paths: outputs must never be written past
// their five units, and nothing past the path's terminator may be read.
#include <cstdlib>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<QuorvelChar> path = unitsFrom(data, size);
    // Exact-size heap outputs, so AddressSanitizer sees a sixth unit written.
    QuorvelChar *vid = static_cast<QuorvelChar *>(std::malloc(QUORVEL_ID_UNITS * sizeof(QuorvelChar)));
    QuorvelChar *pid = static_cast<QuorvelChar *>(std::malloc(QUORVEL_ID_UNITS * sizeof(QuorvelChar)));
    std::memset(vid, 0x7E, QUORVEL_ID_UNITS * sizeof(QuorvelChar));
    std::memset(pid, 0x7E, QUORVEL_ID_UNITS * sizeof(QuorvelChar));
    if (Quorvel_GetVIDPID(path.data(), vid, pid) != 1) std::abort();
    Quorvel_GetVIDPID(path.data(), nullptr, pid);
    Quorvel_GetVIDPID(path.data(), vid, nullptr);
    std::free(vid);
    std::free(pid);
    return 0;
}
