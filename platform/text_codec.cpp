// Text between the system's bytes and the library's UTF-16; see text_codec.h.
#include "platform/text_codec.h"

namespace quorvel {
namespace platform {

int toWindows1252(uint32_t code) {
    if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<int>(code);
    for (int k = 0; k < 32; ++k) {
        if (kWindows1252High[k] == code) return 0x80 + k;
    }
    return -1;
}

bool isUtf8(const unsigned char *bytes, size_t size) {
    size_t i = 0;
    while (i < size) {
        if (size - i >= 8) {
            uint64_t word;
            memcpy(&word, bytes + i, sizeof word);
            if ((word & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        uint32_t code;
        const size_t used = decodeUtf8(bytes + i, size - i, &code);
        if (used == 0) return false;
        i += used;
    }
    return true;
}

ByteOrderMark byteOrderMark(const unsigned char *bytes, size_t size) {
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) return ByteOrderMark::Utf16Le;
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) return ByteOrderMark::Utf8;
    return ByteOrderMark::None;
}

size_t utf16LeUnits(const unsigned char *bytes, size_t size, QuorvelChar *out) {
    const size_t count = size / 2;
    for (size_t i = 0; i < count; ++i) out[i] = static_cast<QuorvelChar>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return count;
}

}  // namespace platform
}  // namespace quorvel
