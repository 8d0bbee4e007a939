// Registry export files, POSIX side: the bytes the reader builds and the
// file as UTF-16 text, line by line.
//
// Everything lives in malloc'd buffers whose growth is checked against a
// limit; running out of memory makes the key absent.
#ifndef QUORVEL_PLATFORM_POSIX_REG_TEXT_H
#define QUORVEL_PLATFORM_POSIX_REG_TEXT_H

#include <stddef.h>
#include <stdint.h>

#include "platform/platform.h"

namespace quorvel {
namespace platform {
namespace regfile {

// No buffer grows beyond this, so every size fits 32 bits with room to spare.
constexpr size_t kMaxBuffer = 0x7fffffff;

// A growable byte buffer; all zero is empty.
struct Buffer {
    uint8_t *data;
    size_t size;
    size_t capacity;
};

void release(Buffer &b);

// Room for `extra` more bytes. False when memory runs out or the buffer
// would pass kMaxBuffer.
bool reserve(Buffer &b, size_t extra);

bool append(Buffer &b, const void *bytes, size_t count);

// One UTF-16 unit in little-endian order, the byte order of registry data.
bool appendUnit(Buffer &b, uint32_t unit);

// 8-bit text (`n` bytes) as UTF-16LE: well-formed UTF-8 sequences as what
// they encode, any other byte as the Latin-1 character of its value, so that
// files written in a legacy code page still read sensibly.
bool appendEightBitText(Buffer &out, const uint8_t *in, size_t n);

// The file as UTF-16 text.
struct Text {
    Char *units;
    size_t size;
    size_t pos;  // start of the next line
};

// Decodes the file: UTF-16LE after its byte-order mark, otherwise 8-bit text
// (a UTF-8 byte-order mark is skipped). Half a unit at the end of a UTF-16
// file is dropped. False when memory runs out or the file is too large.
bool decodeFile(const uint8_t *bytes, size_t size, Text *text);

// The next physical line, without its end (CR LF, LF or CR). False at the
// end of the text.
bool nextLine(Text &t, const Char **begin, const Char **end);

}  // namespace regfile
}  // namespace platform
}  // namespace quorvel

#endif
