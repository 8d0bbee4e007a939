#include "region/decimal.h"

namespace quorvel {
namespace region {

namespace {

bool isSpace(platform::Char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

int32_t parseDecimal(const platform::Char *text, int limit) {
    int i = 0;
    while (i < limit && isSpace(text[i])) ++i;
    bool negative = false;
    if (i < limit && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate the magnitude, stopping once it is past what either sign
    // can hold; later digits cannot bring it back.
    const uint32_t ceiling = negative ? 0x80000000u : 0x7FFFFFFFu;
    uint32_t magnitude = 0;
    bool saturated = false;
    for (; i < limit && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (saturated) continue;
        uint32_t digit = static_cast<uint32_t>(text[i] - '0');
        if (magnitude > (ceiling - digit) / 10) {
            saturated = true;
            magnitude = ceiling;
        } else {
            magnitude = magnitude * 10 + digit;
        }
    }
    if (!negative) return static_cast<int32_t>(magnitude);
    // -2147483648 is representable only through the unsigned route.
    return magnitude == 0x80000000u ? INT32_MIN : -static_cast<int32_t>(magnitude);
}

}  // namespace region
}  // namespace quorvel
