// Path text between the library's UTF-16 and the system's bytes.
#include "platform/posix/native_path.h"

#include <string.h>

#include "platform/text_codec.h"

namespace quorvel {
namespace platform {

bool toNative(const Char *text, char *out, size_t capacity, size_t *length) {
    if (capacity == 0) return false;
    size_t units = 0;
    while (text[units] != 0) ++units;
    // The terminator takes the last byte.
    const size_t n =
        utf16ToUtf8(text, units, reinterpret_cast<unsigned char *>(out), capacity - 1, LoneSurrogate::ByteOrRefuse);
    if (n == kTextRefused) return false;
    out[n] = 0;
    if (length != nullptr) *length = n;
    return true;
}

int fromNative(const char *text, Char *out, int capacity) {
    if (capacity < 1) return -1;
    const size_t n = utf8ToUtf16(reinterpret_cast<const unsigned char *>(text), strlen(text), out,
                                 static_cast<size_t>(capacity) - 1, IllFormedByte::Surrogate);
    if (n == kTextRefused) return -1;
    out[n] = 0;
    return static_cast<int>(n);
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
        // Told from the text before it moves: once copied back over repeated
        // separators, "l." can read as "..".
        const bool dot = n == 1 && path[start] == '.';
        const bool dotDot = n == 2 && path[start] == '.' && path[start + 1] == '.';
        if (n == 0 || dot) continue;
        if (dotDot) {
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
        if (dotDot) floor = w;
    }
    if (w == 0) path[w++] = '.';
    if (trailing && path[w - 1] != '/') path[w++] = '/';
    path[w] = 0;
    return w;
}

}  // namespace platform
}  // namespace quorvel
