// The text-to-number rule on arbitrary text: no overflow, and the result
// agrees with a 64-bit reference that clamps to 32 bits.
#include <cstdlib>

#include "fuzz_support.h"
#include "region/decimal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<QuorvelChar> text = unitsFrom(data, size);
    const int32_t got = quorvel::region::parseDecimal(text.data(), static_cast<int>(text.size()));
    size_t i = 0;
    while (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')) ++i;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
    long long magnitude = 0;
    for (; text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > 0x80000000LL) magnitude = 0x80000000LL;
    }
    long long expected = negative ? -magnitude : magnitude;
    if (expected > INT32_MAX) expected = INT32_MAX;
    if (got != expected) std::abort();
    return 0;
}
