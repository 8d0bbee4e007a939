// Registry export files, POSIX side: buffers and the file's text; see
// text.h.
#include "platform/posix/reg/text.h"

#include <stdlib.h>
#include <string.h>

#include "platform/text_codec.h"

namespace quorvel {
namespace platform {
namespace regfile {

void release(Buffer &b) {
    free(b.data);
    b.data = nullptr;
    b.size = 0;
    b.capacity = 0;
}

bool reserve(Buffer &b, size_t extra) {
    if (extra > kMaxBuffer - b.size) return false;
    size_t need = b.size + extra;
    if (need <= b.capacity) return true;
    size_t capacity = b.capacity < 64 ? 64 : b.capacity;
    while (capacity < need) capacity = capacity > kMaxBuffer / 2 ? kMaxBuffer : capacity * 2;
    void *grown = realloc(b.data, capacity);
    if (grown == nullptr) return false;
    b.data = static_cast<uint8_t *>(grown);
    b.capacity = capacity;
    return true;
}

bool append(Buffer &b, const void *bytes, size_t count) {
    if (!reserve(b, count)) return false;
    if (count != 0) memcpy(b.data + b.size, bytes, count);
    b.size += count;
    return true;
}

bool appendUnit(Buffer &b, uint32_t unit) {
    const uint8_t le[2] = {static_cast<uint8_t>(unit & 0xff), static_cast<uint8_t>((unit >> 8) & 0xff)};
    return append(b, le, 2);
}

bool appendEightBitText(Buffer &out, const uint8_t *in, size_t n) {
    if (n == 0) return true;
    // Never more units than bytes.
    Char *units = static_cast<Char *>(malloc(n * sizeof(Char)));
    if (units == nullptr) return false;
    const size_t count = utf8ToUtf16(in, n, units, n, IllFormedByte::Latin1);
    bool ok = reserve(out, 2 * count);
    for (size_t i = 0; ok && i < count; ++i) ok = appendUnit(out, units[i]);
    free(units);
    return ok;
}

bool decodeFile(const uint8_t *bytes, size_t size, Text *text) {
    text->units = nullptr;
    text->size = 0;
    text->pos = 0;
    if (size >= kMaxBuffer / sizeof(Char)) return false;
    // Never more units than bytes; one more keeps malloc away from zero.
    Char *units = static_cast<Char *>(malloc((size + 1) * sizeof(Char)));
    if (units == nullptr) return false;
    text->units = units;
    if (size == 0) return true;
    const ByteOrderMark mark = byteOrderMark(bytes, size);
    const size_t skip = markLength(mark);
    text->size = mark == ByteOrderMark::Utf16Le
                     ? utf16LeUnits(bytes + skip, size - skip, units)
                     : utf8ToUtf16(bytes + skip, size - skip, units, size, IllFormedByte::Latin1);
    return true;
}

bool nextLine(Text &t, const Char **begin, const Char **end) {
    if (t.pos >= t.size) return false;
    size_t i = t.pos;
    while (i < t.size && t.units[i] != u'\n' && t.units[i] != u'\r') ++i;
    *begin = t.units + t.pos;
    *end = t.units + i;
    if (i < t.size) {
        if (t.units[i] == u'\r' && i + 1 < t.size && t.units[i + 1] == u'\n') ++i;
        ++i;
    }
    t.pos = i;
    return true;
}

}  // namespace regfile
}  // namespace platform
}  // namespace quorvel
