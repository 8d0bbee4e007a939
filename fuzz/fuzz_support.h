// Shared by the fuzz targets: turning fuzzer bytes into the library's inputs.
#ifndef QUORVEL_FUZZ_SUPPORT_H
#define QUORVEL_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "quorvel/quorvel.h"

// The bytes as 16-bit units, little-endian, always terminated: the exports
// take terminated strings, so the terminator is the caller's side of the bargain.
inline std::vector<QuorvelChar> unitsFrom(const uint8_t *data, size_t size) {
    std::vector<QuorvelChar> units(size / 2 + 1, 0);
    for (size_t i = 0; i + 1 < size; i += 2)
        units[i / 2] = static_cast<QuorvelChar>(data[i] | (static_cast<unsigned>(data[i + 1]) << 8));
    units[size / 2] = 0;
    return units;
}

#endif
