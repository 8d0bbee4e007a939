// Helpers shared by the tests: 16-bit strings, device records, the path
// separator.
#ifndef QUORVEL_TESTS_SUPPORT_H
#define QUORVEL_TESTS_SUPPORT_H

#include <cstdio>
#include <cstring>
#include <string>

#include "quorvel/quorvel.h"

#if defined(_WIN32)
#define U16(s) L##s
#else
#define U16(s) u##s
#endif

using U16String = std::basic_string<QuorvelChar>;

// The system's path separator.
#if defined(_WIN32)
constexpr QuorvelChar kSep = L'\\';
#else
constexpr QuorvelChar kSep = u'/';
#endif

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

inline U16String repeat16(size_t count, char c) { return U16String(count, static_cast<QuorvelChar>(c)); }

// Printable ASCII as it is, other units as \uXXXX, for failure messages; a
// long string by its start and its length.
inline std::string show(const U16String &s) {
    if (s.size() > 64) return show(s.substr(0, 16)) + "... (" + std::to_string(s.size()) + " units)";
    std::string out = "\"";
    for (QuorvelChar c : s) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out.push_back(static_cast<char>(c));
        } else {
            char buf[8];
            (void)std::snprintf(buf, sizeof buf, "\\u%04X", static_cast<unsigned>(c));
            out += buf;
        }
    }
    return out + "\"";
}

// A UTF-16LE file's bytes, with its byte-order mark.
inline std::string utf16leFile(const U16String &text) {
    std::string bytes = "\xFF\xFE";
    for (QuorvelChar c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return bytes;
}

#endif
