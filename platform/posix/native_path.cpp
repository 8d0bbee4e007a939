// Path text between the library's UTF-16 and the system's bytes.
#include "platform/posix/native_path.h"

namespace quorvel {
namespace platform {

namespace {

// The length of the valid UTF-8 sequence at `s` and its code point, or 0.
// Overlong forms, surrogates and code points past U+10FFFF are not valid.
size_t decodeSequence(const unsigned char *s, uint32_t *code) {
    const unsigned char b = s[0];
    size_t count;
    uint32_t value;
    uint32_t minimum;
    if (b < 0x80) {
        *code = b;
        return 1;
    }
    if (b >= 0xC2 && b <= 0xDF) {
        count = 2, value = b & 0x1F, minimum = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        count = 3, value = b & 0x0F, minimum = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        count = 4, value = b & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    for (size_t k = 1; k < count; ++k) {
        // A terminator is not a continuation byte, so this stops at the end.
        if ((s[k] & 0xC0) != 0x80) return 0;
        value = (value << 6) | (s[k] & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *code = value;
    return count;
}

}  // namespace

// UTF-16 to UTF-8, into `out` of `capacity` bytes. False for a lone
// surrogate outside U+DC80..U+DCFF or a result that does not fit.
bool toNative(const Char *text, char *out, size_t capacity, size_t *length) {
    size_t n = 0;
    for (size_t i = 0; text[i] != 0; ++i) {
        uint32_t unit = text[i];
        uint32_t code = unit;
        unsigned char bytes[4];
        size_t count = 0;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            const uint32_t low = text[i + 1];
            if (low < 0xDC00 || low > 0xDFFF) return false;
            code = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (unit < 0xDC80 || unit > 0xDCFF) return false;
            bytes[count++] = static_cast<unsigned char>(unit - 0xDC00);
        }
        if (count == 0) {
            if (code < 0x80) {
                bytes[count++] = static_cast<unsigned char>(code);
            } else if (code < 0x800) {
                bytes[count++] = static_cast<unsigned char>(0xC0 | (code >> 6));
                bytes[count++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
            } else if (code < 0x10000) {
                bytes[count++] = static_cast<unsigned char>(0xE0 | (code >> 12));
                bytes[count++] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
                bytes[count++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
            } else {
                bytes[count++] = static_cast<unsigned char>(0xF0 | (code >> 18));
                bytes[count++] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
                bytes[count++] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
                bytes[count++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
            }
        }
        if (n + count >= capacity) return false;
        for (size_t k = 0; k < count; ++k) out[n++] = static_cast<char>(bytes[k]);
    }
    out[n] = 0;
    if (length != nullptr) *length = n;
    return true;
}

// UTF-8 (or any bytes) to UTF-16 into `out` of `capacity` units, terminator
// included. The length, or -1 when it does not fit.
int fromNative(const char *text, Char *out, int capacity) {
    if (capacity < 1) return -1;
    const unsigned char *s = reinterpret_cast<const unsigned char *>(text);
    int n = 0;
    while (*s != 0) {
        uint32_t code;
        size_t used = decodeSequence(s, &code);
        if (used == 0) {
            code = 0xDC00 + *s;
            used = 1;
        }
        const int units = code >= 0x10000 ? 2 : 1;
        if (n + units >= capacity) return -1;
        if (units == 2) {
            out[n++] = static_cast<Char>(0xD800 + ((code - 0x10000) >> 10));
            out[n++] = static_cast<Char>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out[n++] = static_cast<Char>(code);
        }
        s += used;
    }
    out[n] = 0;
    return n;
}

size_t resolveDots(char *path, size_t length) {
    if (length == 0) return 0;
    const bool absolute = path[0] == '/';
    const bool trailing = path[length - 1] == '/';
    const size_t top = absolute ? 1 : 0;
    size_t floor = top;  // ".." kept at the start of a relative path is never removed
    size_t w = top;
    size_t i = top;
    while (i < length) {
        while (i < length && path[i] == '/') ++i;
        const size_t start = i;
        while (i < length && path[i] != '/') ++i;
        const size_t n = i - start;
        if (n == 0 || (n == 1 && path[start] == '.')) continue;
        if (n == 2 && path[start] == '.' && path[start + 1] == '.') {
            if (w > floor) {
                size_t k = w;
                while (k > floor && path[k - 1] != '/') --k;
                w = k > top && path[k - 1] == '/' ? k - 1 : k;
                continue;
            }
            if (absolute) continue;
        }
        if (w > top) path[w++] = '/';
        // The write position never passes the read position, so this only moves text back.
        for (size_t k = 0; k < n; ++k) path[w++] = path[start + k];
        if (n == 2 && path[start] == '.' && path[start + 1] == '.') floor = w;
    }
    if (w == 0) path[w++] = '.';
    if (trailing && path[w - 1] != '/') path[w++] = '/';
    path[w] = 0;
    return w;
}

}  // namespace platform
}  // namespace quorvel
