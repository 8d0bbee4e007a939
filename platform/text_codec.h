// Text between the system's bytes and the library's UTF-16: UTF-8 both ways,
// Windows-1252 both ways, and byte-order marks. The path conversions, the
// registry file, the settings file and the command-line tool all read and
// write text through here, each choosing what becomes of text that is not
// well formed.
//
// The UTF-8 and UTF-16 conversions are defined in this header: the Windows
// DLL does not carry them, so the Windows tool compiles them from here, and
// of the library's headers this one includes only the public one. The rest
// is in text_codec.cpp.
#ifndef QUORVEL_PLATFORM_TEXT_CODEC_H
#define QUORVEL_PLATFORM_TEXT_CODEC_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "quorvel/quorvel.h"

namespace quorvel {
namespace platform {

// What a conversion of a whole text returns when it refuses the text or the
// result does not fit.
constexpr size_t kTextRefused = SIZE_MAX;

// ---- One character ----------------------------------------------------------

// The well-formed UTF-8 sequence at bytes[0] (size > 0 bytes there): its
// length, and its code point in *code. 0 for a byte that starts none: a
// continuation byte, an overlong form, a surrogate, a value past U+10FFFF, a
// sequence cut by the end or by a byte that does not continue it.
inline size_t decodeUtf8(const unsigned char *bytes, size_t size, uint32_t *code) {
    const unsigned lead = bytes[0];
    if (lead < 0x80) {
        *code = lead;
        return 1;
    }
    size_t length;
    uint32_t value;
    unsigned low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
        return 0;
    }
    if (size < length) return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned next = bytes[k];
        if (next < (k == 1 ? low : 0x80u) || next > (k == 1 ? high : 0xBFu)) return 0;
        value = (value << 6) | (next & 0x3Fu);
    }
    *code = value;
    return length;
}

// The sequence of generalized UTF-8 (UTF-8 that also carries surrogates)
// starting at the lead byte bytes[0], trusted to be whole and well formed, as
// encodeUtf8 writes it or decodeUtf8 has checked it: its length, and its
// code point in *code.
inline size_t decodeGeneralizedUtf8(const unsigned char *bytes, uint32_t *code) {
    const uint32_t lead = bytes[0];
    if (lead < 0x80) {
        *code = lead;
        return 1;
    }
    if (lead < 0xE0) {
        *code = ((lead & 0x1F) << 6) | (bytes[1] & 0x3Fu);
        return 2;
    }
    if (lead < 0xF0) {
        *code = ((lead & 0x0F) << 12) | ((bytes[1] & 0x3Fu) << 6) | (bytes[2] & 0x3Fu);
        return 3;
    }
    *code = ((lead & 0x07) << 18) | ((bytes[1] & 0x3Fu) << 12) | ((bytes[2] & 0x3Fu) << 6) | (bytes[3] & 0x3Fu);
    return 4;
}

// Code point `code` (at most U+10FFFF; a surrogate too, as generalized
// UTF-8) into out[0..3]; the bytes written.
inline size_t encodeUtf8(uint32_t code, unsigned char *out) {
    if (code < 0x80) {
        out[0] = static_cast<unsigned char>(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | (code >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = static_cast<unsigned char>(0xE0 | (code >> 12));
        out[1] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = static_cast<unsigned char>(0xF0 | (code >> 18));
    out[1] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
    out[3] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    return 4;
}

// The code point of UTF-16 at units[*i] (*i < length), a surrogate pair
// joined, a lone surrogate as it stands; *i moves past it.
inline uint32_t nextUtf16(const QuorvelChar *units, size_t length, size_t *i) {
    uint32_t code = static_cast<uint16_t>(units[(*i)++]);
    if (code >= 0xD800 && code < 0xDC00 && *i < length) {
        const uint32_t low = static_cast<uint16_t>(units[*i]);
        if (low >= 0xDC00 && low < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            ++*i;
        }
    }
    return code;
}

// Code point `code` (at most U+10FFFF) as UTF-16 into out[0..1]; the units
// written.
inline size_t encodeUtf16(uint32_t code, QuorvelChar *out) {
    if (code < 0x10000) {
        out[0] = static_cast<QuorvelChar>(code);
        return 1;
    }
    out[0] = static_cast<QuorvelChar>(0xD800 + ((code - 0x10000) >> 10));
    out[1] = static_cast<QuorvelChar>(0xDC00 + ((code - 0x10000) & 0x3FF));
    return 2;
}

// ---- Whole texts --------------------------------------------------------------

// What becomes of a byte that starts no well-formed UTF-8 sequence. Either
// way it stands for itself alone, and decoding goes on at the next byte.
enum class IllFormedByte : uint8_t {
    Refuse,     // the text is refused (the tool: a file must be UTF-8)
    Latin1,     // the character of the same value (registry files in a legacy code page)
    Surrogate,  // the lone surrogate U+DC80..U+DCFF of its value (native paths)
};

// UTF-8 to UTF-16: `size` bytes into `out`, which holds `capacity` units (no
// terminator is written; never more units than bytes). The units written, or
// kTextRefused. Runs of ASCII go eight bytes at a time.
inline size_t utf8ToUtf16(const unsigned char *bytes, size_t size, QuorvelChar *out, size_t capacity,
                          IllFormedByte rule) {
    size_t i = 0, n = 0;
    while (i < size) {
        if (size - i >= 8 && capacity - n >= 8) {
            uint64_t word;
            memcpy(&word, bytes + i, sizeof word);
            if ((word & 0x8080808080808080ull) == 0) {
                for (size_t k = 0; k < 8; ++k) out[n + k] = static_cast<QuorvelChar>(bytes[i + k]);
                i += 8;
                n += 8;
                continue;
            }
        }
        uint32_t code;
        size_t used = decodeUtf8(bytes + i, size - i, &code);
        if (used == 0) {
            if (rule == IllFormedByte::Refuse) return kTextRefused;
            code = rule == IllFormedByte::Surrogate ? 0xDC00u + bytes[i] : bytes[i];
            used = 1;
        }
        if (capacity - n < (code >= 0x10000 ? 2u : 1u)) return kTextRefused;
        n += encodeUtf16(code, out + n);
        i += used;
    }
    return n;
}

// What becomes of a lone surrogate in UTF-16.
enum class LoneSurrogate : uint8_t {
    Generalized,   // its own three-byte sequence, so decoding gives it back (settings files)
    Replace,       // U+FFFD (what the tool prints)
    ByteOrRefuse,  // U+DC80..U+DCFF: the byte of its value, as Surrogate decoding made
                   // it; any other refuses the text (native paths)
};

// UTF-16 to UTF-8: `length` units into `out`, which holds `capacity` bytes
// (no terminator is written; never more than three bytes a unit). The bytes
// written, or kTextRefused.
inline size_t utf16ToUtf8(const QuorvelChar *units, size_t length, unsigned char *out, size_t capacity,
                          LoneSurrogate rule) {
    size_t n = 0;
    for (size_t i = 0; i < length;) {
        uint32_t code = nextUtf16(units, length, &i);
        unsigned char bytes[4];
        size_t count;
        if (code >= 0xD800 && code <= 0xDFFF && rule != LoneSurrogate::Generalized) {
            if (rule == LoneSurrogate::Replace) {
                count = encodeUtf8(0xFFFD, bytes);
            } else if (code >= 0xDC80 && code <= 0xDCFF) {
                bytes[0] = static_cast<unsigned char>(code - 0xDC00);
                count = 1;
            } else {
                return kTextRefused;
            }
        } else {
            count = encodeUtf8(code, bytes);
        }
        if (capacity - n < count) return kTextRefused;
        for (size_t k = 0; k < count; ++k) out[n++] = bytes[k];
    }
    return n;
}

// ---- Windows-1252 -------------------------------------------------------------

// The characters of the bytes 0x80-0x9F; every other byte is the code point
// of its value. The five bytes the code page leaves undefined (81, 8D, 8F,
// 90, 9D) map to the C1 controls of the same value, as MultiByteToWideChar
// maps them.
constexpr uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The character of a Windows-1252 byte.
inline uint32_t fromWindows1252(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte;
}

// The Windows-1252 byte of code point `code`, or -1 when the code page has
// none.
int toWindows1252(uint32_t code);

// ---- Whole files --------------------------------------------------------------

// Whether `size` bytes are well-formed UTF-8 (see decodeUtf8).
bool isUtf8(const unsigned char *bytes, size_t size);

// The byte-order mark a file starts with. FF FE is UTF-16LE; EF BB BF is
// reported as a UTF-8 mark, which a registry file skips and a settings file
// takes as text. FE FF is no mark: neither file is read as UTF-16BE.
enum class ByteOrderMark : uint8_t { None, Utf8, Utf16Le };
ByteOrderMark byteOrderMark(const unsigned char *bytes, size_t size);

// The bytes `mark` takes.
inline size_t markLength(ByteOrderMark mark) {
    return mark == ByteOrderMark::Utf16Le ? 2 : mark == ByteOrderMark::Utf8 ? 3 : 0;
}

// The units of UTF-16LE `bytes` (`size` bytes, the mark already passed) into
// `out`, which holds size / 2 units; an odd last byte is no unit and is
// dropped. The units written.
size_t utf16LeUnits(const unsigned char *bytes, size_t size, QuorvelChar *out);

}  // namespace platform
}  // namespace quorvel

#endif
