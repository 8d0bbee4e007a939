// The text codec on arbitrary bytes, read both as 8-bit text and as UTF-16LE
// units. Every conversion a caller relies on to give text back must do so:
//  - well-formed UTF-8 decodes and encodes back to the same bytes, and
//    isUtf8 says so exactly then;
//  - any bytes, decoded as a native path (ill-formed bytes as U+DC80..U+DCFF)
//    and encoded back, are the same bytes;
//  - any UTF-16, encoded as generalized UTF-8 and decoded sequence by
//    sequence, is the same units; with U+FFFD for lone surrogates it is
//    well-formed UTF-8;
//  - every byte goes through Windows-1252 and back.
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <vector>

#include "fuzz_support.h"
#include "platform/text_codec.h"

namespace {

using namespace quorvel::platform;

void require(bool condition) {
    if (!condition) std::abort();
}

void eightBitText(const unsigned char *bytes, size_t size) {
    std::vector<QuorvelChar> units(size + 1);
    std::vector<unsigned char> back(3 * size + 1);
    const size_t strict = utf8ToUtf16(bytes, size, units.data(), size, IllFormedByte::Refuse);
    require(isUtf8(bytes, size) == (strict != kTextRefused));
    if (strict != kTextRefused) {
        for (LoneSurrogate rule : {LoneSurrogate::Generalized, LoneSurrogate::Replace, LoneSurrogate::ByteOrRefuse}) {
            const size_t n = utf16ToUtf8(units.data(), strict, back.data(), back.size(), rule);
            require(n == size && std::equal(back.begin(), back.begin() + static_cast<std::ptrdiff_t>(n), bytes));
        }
    }
    const size_t path = utf8ToUtf16(bytes, size, units.data(), size, IllFormedByte::Surrogate);
    require(path != kTextRefused && path <= size);
    const size_t n = utf16ToUtf8(units.data(), path, back.data(), back.size(), LoneSurrogate::ByteOrRefuse);
    require(n == size && std::equal(back.begin(), back.begin() + static_cast<std::ptrdiff_t>(n), bytes));
    require(utf8ToUtf16(bytes, size, units.data(), size, IllFormedByte::Latin1) <= size);
    for (size_t i = 0; i < size; ++i) require(toWindows1252(fromWindows1252(bytes[i])) == bytes[i]);
}

void sixteenBitText(const unsigned char *bytes, size_t size) {
    std::vector<QuorvelChar> units(size / 2 + 1);
    const size_t count = utf16LeUnits(bytes, size, units.data());
    std::vector<unsigned char> text(3 * count + 1);
    const size_t length = utf16ToUtf8(units.data(), count, text.data(), text.size(), LoneSurrogate::Generalized);
    require(length != kTextRefused && length <= 3 * count);
    std::vector<QuorvelChar> back(count + 2);
    size_t n = 0;
    for (size_t i = 0; i < length && n <= count;) {
        uint32_t code;
        i += decodeGeneralizedUtf8(text.data() + i, &code);
        n += encodeUtf16(code, back.data() + n);
    }
    require(n == count && std::equal(back.begin(), back.begin() + static_cast<std::ptrdiff_t>(n), units.begin()));
    const size_t replaced = utf16ToUtf8(units.data(), count, text.data(), text.size(), LoneSurrogate::Replace);
    require(replaced != kTextRefused && isUtf8(text.data(), replaced));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    eightBitText(data, size);
    sixteenBitText(data, size);
    return 0;
}
