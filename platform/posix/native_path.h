// Paths on POSIX systems are bytes, conventionally UTF-8; the library's are
// UTF-16. A byte that is not part of valid UTF-8 travels as the lone
// surrogate U+DC80..U+DCFF of its value, so every name the system reports
// can be passed back to it unchanged.
#ifndef QUORVEL_PLATFORM_POSIX_NATIVE_PATH_H
#define QUORVEL_PLATFORM_POSIX_NATIVE_PATH_H

#include <stddef.h>

#include "platform/platform.h"

namespace quorvel {
namespace platform {

// A native path: PATH_MAX bytes, terminator included. Every path the library
// builds (at most 519 units, three bytes each) fits.
constexpr size_t kNativeBytes = 4096;

// UTF-16 to UTF-8, into `out` of `capacity` bytes. False for a lone
// surrogate outside U+DC80..U+DCFF or a result that does not fit.
bool toNative(const Char *text, char *out, size_t capacity, size_t *length);

// UTF-8 (or any bytes) to UTF-16 into `out` of `capacity` units, terminator
// included. The length, or -1 when it does not fit.
int fromNative(const char *text, Char *out, int capacity);

// Resolves "." and ".." components of the native path in `path` (`length`
// bytes) by its text alone, as Windows resolves a path before it acts on it:
// "d/." is "d", "x/y/.." is "x" whatever y is, "/.." is "/". Repeated
// separators collapse; a trailing separator stays; ".." that has nothing
// left to remove stays at the start of a relative path, and a relative path
// that resolves to nothing is ".". Never longer than before. The new length.
size_t resolveDots(char *path, size_t length);

}  // namespace platform
}  // namespace quorvel

#endif
