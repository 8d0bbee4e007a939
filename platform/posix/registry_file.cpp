// Registry export files, POSIX side.
//
// The file is read line by line, once for each key opened. Only the sections
// of the key asked for are kept, but every value line is parsed in full
// wherever it stands, so that a value's continuation lines are consumed the
// same way in every section. The key's values are kept as records in file
// order, superseded ones included; a look-up takes the last record of a name,
// which makes "later definitions win" and value deletions a plain append.
//
// Everything lives in malloc'd buffers whose growth is checked against a
// limit; running out of memory makes the key absent.
#include "platform/posix/registry_file.h"

#include <stdlib.h>
#include <string.h>

namespace quorvel {
namespace platform {

struct RegistryKeyValues {
    uint8_t *records;  // see appendRecord
    size_t size;
};

namespace {

// Value types the reader produces or treats specially.
constexpr uint32_t kTypeString = 1;
constexpr uint32_t kTypeExpandString = 2;
constexpr uint32_t kTypeBinary = 3;
constexpr uint32_t kTypeDword = 4;
constexpr uint32_t kTypeMultiString = 7;

// No buffer grows beyond this, so every size fits 32 bits with room to spare.
constexpr size_t kMaxBuffer = 0x7fffffff;

// ---- Growable byte buffers -------------------------------------------------

struct Buffer {
    uint8_t *data;
    size_t size;
    size_t capacity;
};

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

// One UTF-16 unit in little-endian order, the byte order of registry data.
bool appendUnit(Buffer &b, uint32_t unit) {
    const uint8_t le[2] = {static_cast<uint8_t>(unit & 0xff), static_cast<uint8_t>((unit >> 8) & 0xff)};
    return append(b, le, 2);
}

// ---- 8-bit text ------------------------------------------------------------

// One character of 8-bit text at in[0] (n > 0 bytes available): a
// well-formed UTF-8 sequence, or else the first byte alone as Latin-1, so
// that files written in a legacy code page still read sensibly. Returns the
// bytes used.
size_t decodeEightBit(const uint8_t *in, size_t n, uint32_t *codePoint) {
    const uint8_t lead = in[0];
    *codePoint = lead;
    size_t length;
    uint32_t value;
    uint8_t low = 0x80, high = 0xbf;  // allowed range of the second byte
    if (lead < 0x80) return 1;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        value = lead & 0x1fu;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        value = lead & 0x0fu;
        if (lead == 0xe0) low = 0xa0;   // overlong
        if (lead == 0xed) high = 0x9f;  // surrogates
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        value = lead & 0x07u;
        if (lead == 0xf0) low = 0x90;   // overlong
        if (lead == 0xf4) high = 0x8f;  // beyond U+10FFFF
    } else {
        return 1;
    }
    if (n < length) return 1;
    for (size_t i = 1; i < length; ++i) {
        const uint8_t next = in[i];
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xbf)) return 1;
        value = (value << 6) | (next & 0x3fu);
    }
    *codePoint = value;
    return length;
}

// 8-bit text as UTF-16LE.
bool appendEightBitText(Buffer &out, const uint8_t *in, size_t n) {
    size_t i = 0;
    while (i < n) {
        uint32_t cp;
        i += decodeEightBit(in + i, n - i, &cp);
        bool ok = cp < 0x10000 ? appendUnit(out, cp)
                               : appendUnit(out, 0xd800 + ((cp - 0x10000) >> 10)) &&
                                     appendUnit(out, 0xdc00 + ((cp - 0x10000) & 0x3ff));
        if (!ok) return false;
    }
    return true;
}

// ---- The file as UTF-16 text, line by line ---------------------------------

struct Text {
    Char *units;
    size_t size;
    size_t pos;  // start of the next line
};

// Decodes the file: UTF-16LE after its byte-order mark, otherwise 8-bit text
// (a UTF-8 byte-order mark is skipped). Half a unit at the end of a UTF-16
// file is dropped. False when memory runs out or the file is too large.
bool decodeFile(const uint8_t *bytes, size_t size, Text *text) {
    text->units = nullptr;
    text->size = 0;
    text->pos = 0;
    if (size >= kMaxBuffer / sizeof(Char)) return false;
    // Never more units than bytes; one more keeps malloc away from zero.
    Char *units = static_cast<Char *>(malloc((size + 1) * sizeof(Char)));
    if (units == nullptr) return false;
    size_t count = 0;
    if (size >= 2 && bytes[0] == 0xff && bytes[1] == 0xfe) {
        for (size_t i = 2; i + 1 < size; i += 2) {
            units[count++] = static_cast<Char>(bytes[i] | (bytes[i + 1] << 8));
        }
    } else {
        size_t i = size >= 3 && bytes[0] == 0xef && bytes[1] == 0xbb && bytes[2] == 0xbf ? 3 : 0;
        while (i < size) {
            uint32_t cp;
            i += decodeEightBit(bytes + i, size - i, &cp);
            if (cp < 0x10000) {
                units[count++] = static_cast<Char>(cp);
            } else {
                // Four bytes gave these two units, so the room is there.
                units[count++] = static_cast<Char>(0xd800 + ((cp - 0x10000) >> 10));
                units[count++] = static_cast<Char>(0xdc00 + ((cp - 0x10000) & 0x3ff));
            }
        }
    }
    text->units = units;
    text->size = count;
    return true;
}

// The next physical line, without its end (CR LF, LF or CR). False at the
// end of the text.
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

bool isBlank(Char c) { return c == u' ' || c == u'\t'; }

const Char *skipBlanks(const Char *p, const Char *end) {
    while (p < end && isBlank(*p)) ++p;
    return p;
}

// Nothing but blanks, and perhaps a comment, up to the end of the line.
bool restIsEmpty(const Char *p, const Char *end) {
    p = skipBlanks(p, end);
    return p == end || *p == u';';
}

// Whether the line's last non-blank unit is a backslash: it goes on in the
// next line.
bool continues(const Char *begin, const Char *end) {
    while (end > begin && isBlank(end[-1])) --end;
    return end > begin && end[-1] == u'\\';
}

int hexDigit(Char c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// ---- Names -----------------------------------------------------------------

// The system's simple upper-case mapping of UTF-16 units, by which the
// registry compares names: runs of units [first, last] mapped by adding
// `delta` to every `stride`-th unit from `first`. Units outside the runs,
// including surrogates, map to themselves.
struct CaseRun {
    uint16_t first;
    uint16_t last;
    int32_t delta;
    uint8_t stride;
};

constexpr CaseRun kUpperCase[] = {
    {0x0061, 0x007A, -32, 1}, {0x00E0, 0x00F6, -32, 1}, {0x00F8, 0x00FE, -32, 1}, {0x00FF, 0x00FF, 121, 1},
    {0x0101, 0x012F, -1, 2}, {0x0133, 0x0137, -1, 2}, {0x013A, 0x0148, -1, 2}, {0x014B, 0x0177, -1, 2},
    {0x017A, 0x017E, -1, 2}, {0x0180, 0x0180, 195, 1}, {0x0183, 0x0185, -1, 2}, {0x0188, 0x0188, -1, 1},
    {0x018C, 0x018C, -1, 1}, {0x0192, 0x0192, -1, 1}, {0x0195, 0x0195, 97, 1}, {0x0199, 0x0199, -1, 1},
    {0x019A, 0x019A, 163, 1}, {0x019E, 0x019E, 130, 1}, {0x01A1, 0x01A5, -1, 2}, {0x01A8, 0x01A8, -1, 1},
    {0x01AD, 0x01AD, -1, 1}, {0x01B0, 0x01B0, -1, 1}, {0x01B4, 0x01B6, -1, 2}, {0x01B9, 0x01B9, -1, 1},
    {0x01BD, 0x01BD, -1, 1}, {0x01BF, 0x01BF, 56, 1}, {0x01C6, 0x01C6, -2, 1}, {0x01C9, 0x01C9, -2, 1},
    {0x01CC, 0x01CC, -2, 1}, {0x01CE, 0x01DC, -1, 2}, {0x01DD, 0x01DD, -79, 1}, {0x01DF, 0x01EF, -1, 2},
    {0x01F3, 0x01F3, -2, 1}, {0x01F5, 0x01F5, -1, 1}, {0x01F9, 0x021F, -1, 2}, {0x0223, 0x0233, -1, 2},
    {0x023C, 0x023C, -1, 1}, {0x023F, 0x0240, 10815, 1}, {0x0242, 0x0242, -1, 1}, {0x0247, 0x024F, -1, 2},
    {0x0250, 0x0250, 10783, 1}, {0x0251, 0x0251, 10780, 1}, {0x0252, 0x0252, 10782, 1},
    {0x0253, 0x0253, -210, 1}, {0x0254, 0x0254, -206, 1}, {0x0256, 0x0257, -205, 1}, {0x0259, 0x0259, -202, 1},
    {0x025B, 0x025B, -203, 1}, {0x025C, 0x025C, 42319, 1}, {0x0260, 0x0260, -205, 1},
    {0x0261, 0x0261, 42315, 1}, {0x0263, 0x0263, -207, 1}, {0x0265, 0x0265, 42280, 1},
    {0x0266, 0x0266, 42308, 1}, {0x0268, 0x0268, -209, 1}, {0x0269, 0x0269, -211, 1},
    {0x026A, 0x026A, 42308, 1}, {0x026B, 0x026B, 10743, 1}, {0x026C, 0x026C, 42305, 1},
    {0x026F, 0x026F, -211, 1}, {0x0271, 0x0271, 10749, 1}, {0x0272, 0x0272, -213, 1},
    {0x0275, 0x0275, -214, 1}, {0x027D, 0x027D, 10727, 1}, {0x0280, 0x0280, -218, 1},
    {0x0282, 0x0282, 42307, 1}, {0x0283, 0x0283, -218, 1}, {0x0287, 0x0287, 42282, 1},
    {0x0288, 0x0288, -218, 1}, {0x0289, 0x0289, -69, 1}, {0x028A, 0x028B, -217, 1}, {0x028C, 0x028C, -71, 1},
    {0x0292, 0x0292, -219, 1}, {0x029D, 0x029D, 42261, 1}, {0x029E, 0x029E, 42258, 1}, {0x0371, 0x0373, -1, 2},
    {0x0377, 0x0377, -1, 1}, {0x037B, 0x037D, 130, 1}, {0x03AC, 0x03AC, -38, 1}, {0x03AD, 0x03AF, -37, 1},
    {0x03B1, 0x03C1, -32, 1}, {0x03C3, 0x03CB, -32, 1}, {0x03CC, 0x03CC, -64, 1}, {0x03CD, 0x03CE, -63, 1},
    {0x03D7, 0x03D7, -8, 1}, {0x03D9, 0x03EF, -1, 2}, {0x03F2, 0x03F2, 7, 1}, {0x03F3, 0x03F3, -116, 1},
    {0x03F8, 0x03F8, -1, 1}, {0x03FB, 0x03FB, -1, 1}, {0x0430, 0x044F, -32, 1}, {0x0450, 0x045F, -80, 1},
    {0x0461, 0x0481, -1, 2}, {0x048B, 0x04BF, -1, 2}, {0x04C2, 0x04CE, -1, 2}, {0x04CF, 0x04CF, -15, 1},
    {0x04D1, 0x052F, -1, 2}, {0x0561, 0x0586, -48, 1}, {0x10D0, 0x10FA, 3008, 1}, {0x10FD, 0x10FF, 3008, 1},
    {0x13F8, 0x13FD, -8, 1}, {0x1D79, 0x1D79, 35332, 1}, {0x1D7D, 0x1D7D, 3814, 1}, {0x1D8E, 0x1D8E, 35384, 1},
    {0x1E01, 0x1E95, -1, 2}, {0x1EA1, 0x1EFF, -1, 2}, {0x1F00, 0x1F07, 8, 1}, {0x1F10, 0x1F15, 8, 1},
    {0x1F20, 0x1F27, 8, 1}, {0x1F30, 0x1F37, 8, 1}, {0x1F40, 0x1F45, 8, 1}, {0x1F51, 0x1F57, 8, 2},
    {0x1F60, 0x1F67, 8, 1}, {0x1F70, 0x1F71, 74, 1}, {0x1F72, 0x1F75, 86, 1}, {0x1F76, 0x1F77, 100, 1},
    {0x1F78, 0x1F79, 128, 1}, {0x1F7A, 0x1F7B, 112, 1}, {0x1F7C, 0x1F7D, 126, 1}, {0x1F80, 0x1F87, 8, 1},
    {0x1F90, 0x1F97, 8, 1}, {0x1FA0, 0x1FA7, 8, 1}, {0x1FB0, 0x1FB1, 8, 1}, {0x1FB3, 0x1FB3, 9, 1},
    {0x1FC3, 0x1FC3, 9, 1}, {0x1FD0, 0x1FD1, 8, 1}, {0x1FE0, 0x1FE1, 8, 1}, {0x1FE5, 0x1FE5, 7, 1},
    {0x1FF3, 0x1FF3, 9, 1}, {0x214E, 0x214E, -28, 1}, {0x2170, 0x217F, -16, 1}, {0x2184, 0x2184, -1, 1},
    {0x24D0, 0x24E9, -26, 1}, {0x2C30, 0x2C5F, -48, 1}, {0x2C61, 0x2C61, -1, 1}, {0x2C65, 0x2C65, -10795, 1},
    {0x2C66, 0x2C66, -10792, 1}, {0x2C68, 0x2C6C, -1, 2}, {0x2C73, 0x2C73, -1, 1}, {0x2C76, 0x2C76, -1, 1},
    {0x2C81, 0x2CE3, -1, 2}, {0x2CEC, 0x2CEE, -1, 2}, {0x2CF3, 0x2CF3, -1, 1}, {0x2D00, 0x2D25, -7264, 1},
    {0x2D27, 0x2D27, -7264, 1}, {0x2D2D, 0x2D2D, -7264, 1}, {0xA641, 0xA66D, -1, 2}, {0xA681, 0xA69B, -1, 2},
    {0xA723, 0xA72F, -1, 2}, {0xA733, 0xA76F, -1, 2}, {0xA77A, 0xA77C, -1, 2}, {0xA77F, 0xA787, -1, 2},
    {0xA78C, 0xA78C, -1, 1}, {0xA791, 0xA793, -1, 2}, {0xA794, 0xA794, 48, 1}, {0xA797, 0xA7A9, -1, 2},
    {0xA7B5, 0xA7C3, -1, 2}, {0xA7C8, 0xA7CA, -1, 2}, {0xA7D1, 0xA7D1, -1, 1}, {0xA7D7, 0xA7D9, -1, 2},
    {0xA7F6, 0xA7F6, -1, 1}, {0xAB53, 0xAB53, -928, 1}, {0xAB70, 0xABBF, -38864, 1}, {0xFF41, 0xFF5A, -32, 1},
};

uint32_t upperCase(uint32_t unit) {
    // The first run that does not end below `unit`.
    size_t low = 0, high = sizeof kUpperCase / sizeof kUpperCase[0];
    while (low < high) {
        size_t mid = low + (high - low) / 2;
        if (kUpperCase[mid].last < unit) {
            low = mid + 1;
        } else {
            high = mid;
        }
    }
    if (low == sizeof kUpperCase / sizeof kUpperCase[0]) return unit;
    const CaseRun &run = kUpperCase[low];
    if (unit < run.first || (unit - run.first) % run.stride != 0) return unit;
    return static_cast<uint32_t>(static_cast<int32_t>(unit) + run.delta);
}

bool sameUnit(uint32_t a, uint32_t b) { return a == b || upperCase(a) == upperCase(b); }

// A range of the text against ASCII text, exactly.
bool isExactly(const Char *p, const Char *end, const char *text) {
    for (; *text != 0; ++text, ++p) {
        if (p == end || *p != static_cast<unsigned char>(*text)) return false;
    }
    return p == end;
}

// A range of the text against an ASCII word, ASCII letters in either case.
bool isAsciiWord(const Char *p, const Char *end, const char *word) {
    for (; *word != 0; ++word, ++p) {
        if (p == end || !sameUnit(*p, static_cast<unsigned char>(*word))) return false;
    }
    return p == end;
}

// Whether [p, end) starts with `word` (ASCII letters in either case); if so
// *p moves past it.
bool skipAsciiWord(const Char *&p, const Char *end, const char *word) {
    const Char *q = p;
    for (; *word != 0; ++word, ++q) {
        if (q == end || !sameUnit(*q, static_cast<unsigned char>(*word))) return false;
    }
    p = q;
    return true;
}

// ---- Key paths -------------------------------------------------------------

// Walks the components of a key path. Runs of backslashes separate them;
// backslashes at the end add nothing, as the system's registry treats them.
struct PathWalk {
    const Char *p;
    const Char *end;
};

bool nextComponent(PathWalk &w, const Char **begin, size_t *length) {
    while (w.p < w.end && *w.p == u'\\') ++w.p;
    if (w.p == w.end) return false;
    *begin = w.p;
    while (w.p < w.end && *w.p != u'\\') ++w.p;
    *length = static_cast<size_t>(w.p - *begin);
    return true;
}

enum class Relation { Unrelated, Same, Ancestor, Descendant };  // what the first path is to the second

Relation relate(const Char *path, const Char *pathEnd, const Char *other, const Char *otherEnd) {
    PathWalk a{path, pathEnd}, b{other, otherEnd};
    for (;;) {
        const Char *ca, *cb;
        size_t na, nb;
        bool moreA = nextComponent(a, &ca, &na);
        bool moreB = nextComponent(b, &cb, &nb);
        if (!moreA) return moreB ? Relation::Ancestor : Relation::Same;
        if (!moreB) return Relation::Descendant;
        if (na != nb) return Relation::Unrelated;
        for (size_t i = 0; i < na; ++i) {
            if (!sameUnit(ca[i], cb[i])) return Relation::Unrelated;
        }
    }
}

bool hasComponents(const Char *path, const Char *end) {
    PathWalk w{path, end};
    const Char *c;
    size_t n;
    return nextComponent(w, &c, &n);
}

// ---- Key lines -------------------------------------------------------------

enum class Root { CurrentUser, LocalMachine, Other, Unknown };

struct RootName {
    const char *name;
    Root root;
};

// Roots the library never reads are still valid in a file: their sections
// are skipped without complaint.
constexpr RootName kRootNames[] = {
    {"HKEY_CURRENT_USER", Root::CurrentUser}, {"HKCU", Root::CurrentUser},
    {"HKEY_LOCAL_MACHINE", Root::LocalMachine}, {"HKLM", Root::LocalMachine},
    {"HKEY_CLASSES_ROOT", Root::Other},         {"HKCR", Root::Other},
    {"HKEY_USERS", Root::Other},                {"HKU", Root::Other},
    {"HKEY_CURRENT_CONFIG", Root::Other},       {"HKCC", Root::Other},
    {"HKEY_DYN_DATA", Root::Other},
};

struct KeyLine {
    bool deletion;
    Root root;
    const Char *path;  // after the root and its backslash; may be empty
    const Char *pathEnd;
};

// "[ROOT\path]" or "[-ROOT\path]", from the '['. The name runs to the last
// ']' of the line; only blanks or a comment may follow it.
bool parseKeyLine(const Char *p, const Char *end, KeyLine *key) {
    const Char *close = end;
    while (close > p + 1 && close[-1] != u']') --close;
    if (close == p + 1) return false;
    --close;  // at the ']'
    if (!restIsEmpty(close + 1, end)) return false;
    const Char *name = p + 1;
    key->deletion = name < close && *name == u'-';
    if (key->deletion) ++name;
    const Char *rootEnd = name;
    while (rootEnd < close && *rootEnd != u'\\') ++rootEnd;
    key->root = Root::Unknown;
    for (const RootName &r : kRootNames) {
        if (isAsciiWord(name, rootEnd, r.name)) key->root = r.root;
    }
    if (key->root == Root::Unknown) return false;
    key->path = rootEnd < close ? rootEnd + 1 : close;
    key->pathEnd = close;
    return true;
}

// ---- Value lines -----------------------------------------------------------

enum class Parse { Ok, Malformed, NoMemory };

// Where the reader stands in a value that may go on over several lines.
struct Cursor {
    const Char *line;  // start of the current physical line
    const Char *p;
    const Char *end;  // end of the current physical line
};

// A quoted string from just after its opening quote, to `out` as UTF-16LE.
// \\ and \" stand for a backslash and a quote; any other backslash is kept
// as it stands. The string must close on the same line.
Parse parseQuoted(Cursor &c, Buffer &out) {
    while (c.p < c.end) {
        Char unit = *c.p++;
        if (unit == u'"') return Parse::Ok;
        if (unit == u'\\' && c.p < c.end && (*c.p == u'\\' || *c.p == u'"')) unit = *c.p++;
        if (!appendUnit(out, unit)) return Parse::NoMemory;
    }
    return Parse::Malformed;
}

// Comma-separated bytes of one or two hex digits each; a trailing comma is
// allowed, and a backslash at the end of a line carries the data on to the
// next line wherever blanks could stand. The data ends at the end of a line
// or at a comment.
Parse parseHexBytes(Text &t, Cursor &c, Buffer &out) {
    bool afterByte = false;
    for (;;) {
        c.p = skipBlanks(c.p, c.end);
        if (c.p < c.end && *c.p == u'\\') {
            if (skipBlanks(c.p + 1, c.end) != c.end) return Parse::Malformed;
            // The file ending here cuts the value short: it is not taken.
            if (!nextLine(t, &c.line, &c.end)) return Parse::Malformed;
            c.p = c.line;
            continue;
        }
        if (c.p == c.end || *c.p == u';') return Parse::Ok;
        if (afterByte) {
            if (*c.p != u',') return Parse::Malformed;
            ++c.p;
            afterByte = false;
            continue;
        }
        int value = hexDigit(*c.p);
        if (value < 0) return Parse::Malformed;
        ++c.p;
        if (c.p < c.end && hexDigit(*c.p) >= 0) value = value * 16 + hexDigit(*c.p++);
        const uint8_t byte = static_cast<uint8_t>(value);
        if (!append(out, &byte, 1)) return Parse::NoMemory;
        afterByte = true;
    }
}

struct Value {
    Buffer name;  // UTF-16LE, no terminator; empty for the default value
    Buffer data;
    uint32_t type;
    bool removed;  // "name"=-
};

// One value line from its first non-blank unit ('"' or '@'). `eightBitText`
// is set for REGEDIT4 files, whose expandable and multi-string data is
// written as 8-bit text and stored as UTF-16.
Parse parseValueLine(Text &t, Cursor &c, bool eightBitText, Value &v) {
    v.name.size = 0;
    v.data.size = 0;
    v.type = 0;
    v.removed = false;
    Parse r;
    if (*c.p == u'@') {
        ++c.p;
    } else {
        ++c.p;
        if ((r = parseQuoted(c, v.name)) != Parse::Ok) return r;
    }
    c.p = skipBlanks(c.p, c.end);
    if (c.p == c.end || *c.p != u'=') return Parse::Malformed;
    c.p = skipBlanks(c.p + 1, c.end);
    if (c.p == c.end) return Parse::Malformed;

    if (*c.p == u'-') {
        v.removed = true;
        return restIsEmpty(c.p + 1, c.end) ? Parse::Ok : Parse::Malformed;
    }
    if (*c.p == u'"') {
        ++c.p;
        if ((r = parseQuoted(c, v.data)) != Parse::Ok) return r;
        if (!appendUnit(v.data, 0)) return Parse::NoMemory;
        v.type = kTypeString;
        return restIsEmpty(c.p, c.end) ? Parse::Ok : Parse::Malformed;
    }
    if (skipAsciiWord(c.p, c.end, "dword:")) {
        uint32_t value = 0;
        int digits = 0;
        for (; c.p < c.end && hexDigit(*c.p) >= 0; ++c.p, ++digits) {
            if (digits == 8) return Parse::Malformed;
            value = value << 4 | static_cast<uint32_t>(hexDigit(*c.p));
        }
        if (digits == 0 || !restIsEmpty(c.p, c.end)) return Parse::Malformed;
        const uint8_t le[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                               static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
        if (!append(v.data, le, 4)) return Parse::NoMemory;
        v.type = kTypeDword;
        return Parse::Ok;
    }
    if (skipAsciiWord(c.p, c.end, "hex")) {
        v.type = kTypeBinary;
        if (c.p < c.end && *c.p == u'(') {
            ++c.p;
            uint32_t type = 0;
            int digits = 0;
            for (; c.p < c.end && hexDigit(*c.p) >= 0; ++c.p, ++digits) {
                if (digits == 8) return Parse::Malformed;
                type = type << 4 | static_cast<uint32_t>(hexDigit(*c.p));
            }
            if (digits == 0 || c.p == c.end || *c.p != u')') return Parse::Malformed;
            ++c.p;
            v.type = type;
        }
        if (c.p == c.end || *c.p != u':') return Parse::Malformed;
        ++c.p;
        if ((r = parseHexBytes(t, c, v.data)) != Parse::Ok) return r;
        if (eightBitText && (v.type == kTypeExpandString || v.type == kTypeMultiString)) {
            Buffer wide{nullptr, 0, 0};
            if (!appendEightBitText(wide, v.data.data, v.data.size)) {
                release(wide);
                return Parse::NoMemory;
            }
            release(v.data);
            v.data = wide;
        }
        return Parse::Ok;
    }
    return Parse::Malformed;
}

// ---- The key's records -----------------------------------------------------

// A record: four 32-bit fields (type, removed, name bytes, data bytes) in
// host order, the name (UTF-16LE), the data, zero padding to 4 bytes.
constexpr size_t kRecordHeader = 16;

bool appendRecord(Buffer &records, const Value &v) {
    const uint32_t header[4] = {v.type, v.removed ? 1u : 0u, static_cast<uint32_t>(v.name.size),
                                static_cast<uint32_t>(v.data.size)};
    static const uint8_t kPadding[4] = {0, 0, 0, 0};
    size_t padding = (4 - (v.name.size + v.data.size) % 4) % 4;
    return append(records, header, sizeof header) && append(records, v.name.data, v.name.size) &&
           append(records, v.data.data, v.data.size) && append(records, kPadding, padding);
}

struct Reading {
    Text text;
    Buffer records;
    Value value;
};

void releaseReading(Reading &r) {
    free(r.text.units);
    release(r.records);
    release(r.value.name);
    release(r.value.data);
}

}  // namespace

RegistryKeyValues *loadRegistryKey(const uint8_t *bytes, size_t size, RegistryRoot root, const Char *subkey) {
    if (bytes == nullptr) size = 0;
    const Char *target = subkey != nullptr ? subkey : QTEXT("");
    const Char *targetEnd = target;
    while (*targetEnd != 0) ++targetEnd;
    // The system refuses a key path that starts with a backslash.
    if (target < targetEnd && *target == u'\\') return nullptr;
    const Root wanted = root == RegistryRoot::CurrentUser ? Root::CurrentUser : Root::LocalMachine;

    Reading r{};
    if (!decodeFile(bytes, size, &r.text)) {
        releaseReading(r);
        return nullptr;
    }

    // The first line that is not blank names the format.
    const Char *line, *end;
    bool eightBitText = false;
    bool registryFile = false;
    while (nextLine(r.text, &line, &end)) {
        line = skipBlanks(line, end);
        while (end > line && isBlank(end[-1])) --end;
        if (line == end) continue;
        if (isExactly(line, end, "REGEDIT4")) {
            registryFile = true;
            eightBitText = true;
        } else if (isExactly(line, end, "Windows Registry Editor Version 5.00")) {
            registryFile = true;
        }
        break;
    }
    if (!registryFile) {
        releaseReading(r);
        return nullptr;
    }

    // The root itself is always there; any other key exists once a section
    // names it or a key below it, until a deletion takes it away.
    bool exists = !hasComponents(target, targetEnd);
    bool inTarget = false;  // value lines belong to the key asked for
    while (nextLine(r.text, &line, &end)) {
        const Char *p = skipBlanks(line, end);
        if (p == end || *p == u';') continue;
        if (*p == u'[') {
            KeyLine key;
            inTarget = false;
            // Values after a malformed key line or in another root belong to
            // no key the library can open.
            if (!parseKeyLine(p, end, &key) || key.root != wanted) continue;
            const Relation relation = relate(key.path, key.pathEnd, target, targetEnd);
            if (key.deletion) {
                // A root cannot be deleted.
                if (hasComponents(key.path, key.pathEnd) &&
                    (relation == Relation::Same || relation == Relation::Ancestor)) {
                    exists = false;
                    r.records.size = 0;
                }
            } else if (relation == Relation::Same || relation == Relation::Descendant) {
                exists = true;
                inTarget = relation == Relation::Same;
            }
            continue;
        }
        if (*p != u'"' && *p != u'@') continue;  // not a line of this format: skipped

        Cursor c{line, p, end};
        const Parse parsed = parseValueLine(r.text, c, eightBitText, r.value);
        if (parsed == Parse::NoMemory) {
            releaseReading(r);
            return nullptr;
        }
        if (parsed == Parse::Malformed) {
            // A malformed value takes the lines that continue it along.
            while (continues(c.line, c.end) && nextLine(r.text, &c.line, &c.end)) {
            }
            continue;
        }
        if (inTarget && !appendRecord(r.records, r.value)) {
            releaseReading(r);
            return nullptr;
        }
    }

    RegistryKeyValues *values = nullptr;
    if (exists) values = static_cast<RegistryKeyValues *>(malloc(sizeof(RegistryKeyValues)));
    if (values != nullptr) {
        values->records = r.records.data;
        values->size = r.records.size;
        r.records.data = nullptr;
    }
    releaseReading(r);
    return values;
}

bool findRegistryValue(const RegistryKeyValues *values, const Char *name, const uint8_t **data, uint32_t *size,
                       uint32_t *type) {
    if (values == nullptr) return false;
    size_t nameUnits = 0;
    if (name != nullptr) {
        while (name[nameUnits] != 0) ++nameUnits;
    }
    const uint8_t *found = nullptr;  // header of the last record of that name
    size_t offset = 0;
    while (values->size - offset >= kRecordHeader) {
        uint32_t header[4];
        memcpy(header, values->records + offset, sizeof header);
        const size_t body = static_cast<size_t>(header[2]) + header[3];
        const size_t length = kRecordHeader + body + (4 - body % 4) % 4;
        if (length > values->size - offset) break;  // cannot happen with records made here
        const uint8_t *stored = values->records + offset + kRecordHeader;
        bool match = header[2] == nameUnits * 2;
        for (size_t i = 0; match && i < nameUnits; ++i) {
            match = sameUnit(stored[2 * i] | (stored[2 * i + 1] << 8), name[i]);
        }
        if (match) found = values->records + offset;
        offset += length;
    }
    if (found == nullptr) return false;
    uint32_t header[4];
    memcpy(header, found, sizeof header);
    if (header[1] != 0) return false;  // deleted
    *data = found + kRecordHeader + header[2];
    *size = header[3];
    *type = header[0];
    return true;
}

void freeRegistryKey(RegistryKeyValues *values) {
    if (values == nullptr) return;
    free(values->records);
    free(values);
}

RegistryKeyValues *copyRegistryKey(const RegistryKeyValues *values) {
    RegistryKeyValues *copy = static_cast<RegistryKeyValues *>(malloc(sizeof(RegistryKeyValues)));
    if (copy == nullptr) return nullptr;
    copy->size = values->size;
    copy->records = static_cast<uint8_t *>(malloc(values->size != 0 ? values->size : 1));
    if (copy->records == nullptr) {
        free(copy);
        return nullptr;
    }
    if (values->size != 0) memcpy(copy->records, values->records, values->size);
    return copy;
}

}  // namespace platform
}  // namespace quorvel
