// Helpers shared by the tests: 16-bit string literals and device records.
#ifndef QUORVEL_TESTS_SUPPORT_H
#define QUORVEL_TESTS_SUPPORT_H

#include <cstring>
#include <string>

#include "quorvel/quorvel.h"

#if defined(_WIN32)
#define U16(s) L##s
#else
#define U16(s) u##s
#endif

using U16String = std::basic_string<QuorvelChar>;

// An all-zero record, as a caller clears it before filling it in.
inline CaptureDeviceInfo zeroRecord() {
    CaptureDeviceInfo d;
    std::memset(&d, 0, sizeof d);
    return d;
}

inline CaptureDeviceInfo digitalRecord(int32_t type) {
    CaptureDeviceInfo d = zeroRecord();
    d.isDigital = 1;
    d.digitalType = type;
    return d;
}

// Copies `s` into a record string field, terminated.
template <size_t N>
void setField(QuorvelChar (&field)[N], const U16String &s) {
    size_t n = s.size() < N - 1 ? s.size() : N - 1;
    for (size_t i = 0; i < n; ++i) field[i] = s[i];
    field[n] = 0;
}

// Narrow ASCII text to 16-bit units, for building long or generated strings.
inline U16String u16(const std::string &s) {
    U16String r;
    for (unsigned char c : s) r.push_back(static_cast<QuorvelChar>(c));
    return r;
}

#endif
