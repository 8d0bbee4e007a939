// Registry export files, POSIX side: the grammar of the lines; see
// grammar.h.
#include "platform/posix/reg/grammar.h"

#include "platform/posix/reg/case.h"

namespace quorvel {
namespace platform {
namespace regfile {

namespace {

// Value types the reader produces or treats specially.
constexpr uint32_t kTypeString = 1;
constexpr uint32_t kTypeExpandString = 2;
constexpr uint32_t kTypeBinary = 3;
constexpr uint32_t kTypeDword = 4;
constexpr uint32_t kTypeMultiString = 7;

// Nothing but blanks, and perhaps a comment, up to the end of the line.
bool restIsEmpty(const Char *p, const Char *end) {
    p = skipBlanks(p, end);
    return p == end || *p == u';';
}

int hexDigit(Char c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
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

struct RootName {
    const char *name;
    Root root;
};

// Roots the library never reads are still valid in a file: their sections
// are skipped without complaint.
constexpr RootName kRootNames[] = {
    {"HKEY_CURRENT_USER", Root::CurrentUser},
    {"HKCU", Root::CurrentUser},
    {"HKEY_LOCAL_MACHINE", Root::LocalMachine},
    {"HKLM", Root::LocalMachine},
    {"HKEY_CLASSES_ROOT", Root::Other},
    {"HKCR", Root::Other},
    {"HKEY_USERS", Root::Other},
    {"HKU", Root::Other},
    {"HKEY_CURRENT_CONFIG", Root::Other},
    {"HKCC", Root::Other},
    {"HKEY_DYN_DATA", Root::Other},
};

// A quoted string from just after its opening quote, to `out` as UTF-16LE.
// \\ and \" stand for a backslash and a quote; any other backslash is kept
// as it stands, except that \0 in data makes the value fail, as the registry
// editor rejects it. The string must close on the same line.
Parse parseQuoted(Cursor &c, Buffer &out, bool data) {
    while (c.p < c.end) {
        Char unit = *c.p++;
        if (unit == u'"') return Parse::Ok;
        if (unit == u'\\' && c.p < c.end) {
            if (*c.p == u'\\' || *c.p == u'"') {
                unit = *c.p++;
            } else if (data && *c.p == u'0') {
                return Parse::Malformed;
            }
        }
        if (!appendUnit(out, unit)) return Parse::NoMemory;
    }
    return Parse::Malformed;
}

// Moves `c` to the next line that is neither blank nor a comment, past its
// leading blanks. False at the end of the text.
bool nextDataLine(Text &t, Cursor &c) {
    while (nextLine(t, &c.line, &c.end)) {
        c.p = skipBlanks(c.line, c.end);
        if (c.p != c.end && *c.p != u';') return true;
    }
    return false;
}

// Comma-separated bytes of one or two hex digits each, with blanks allowed
// around them and a trailing comma; the data ends at the end of a line or at
// a comment. Where a byte could start (after the colon or a comma), a
// backslash followed by nothing but blanks and perhaps a comment carries the
// data on: blank and comment lines after it are skipped, and the next line
// must go on with a byte. The file ending there ends the data. Anywhere else
// a backslash makes the value fail, and the next line is read on its own.
Parse parseHexBytes(Text &t, Cursor &c, Buffer &out) {
    for (;;) {
        c.p = skipBlanks(c.p, c.end);
        if (c.p == c.end || *c.p == u';') return Parse::Ok;
        if (*c.p == u'\\') {
            if (!restIsEmpty(c.p + 1, c.end)) return Parse::Malformed;
            if (!nextDataLine(t, c)) return Parse::Ok;
        }
        int value = hexDigit(*c.p);
        if (value < 0) return Parse::Malformed;
        ++c.p;
        if (c.p < c.end && hexDigit(*c.p) >= 0) value = value * 16 + hexDigit(*c.p++);
        const uint8_t byte = static_cast<uint8_t>(value);
        if (!append(out, &byte, 1)) return Parse::NoMemory;
        c.p = skipBlanks(c.p, c.end);
        if (c.p == c.end || *c.p == u';') return Parse::Ok;
        if (*c.p != u',') return Parse::Malformed;
        ++c.p;
    }
}

// String data (types 1, 2 and 7) that does not end in a zero unit gets one,
// as the registry editor stores it; empty data stays empty.
bool terminateString(Buffer &data) {
    const size_t n = data.size;
    if (n == 0 || (n >= 2 && data.data[n - 1] == 0 && data.data[n - 2] == 0)) return true;
    return appendUnit(data, 0);
}

}  // namespace

bool isExactly(const Char *p, const Char *end, const char *text) {
    for (; *text != 0; ++text, ++p) {
        if (p == end || *p != static_cast<unsigned char>(*text)) return false;
    }
    return p == end;
}

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

namespace {

// Up to eight hex digits from c.p as a number; false without any, or with
// more.
bool parseHexNumber(Cursor &c, uint32_t *out) {
    uint32_t value = 0;
    int digits = 0;
    for (; c.p < c.end && hexDigit(*c.p) >= 0; ++c.p, ++digits) {
        if (digits == 8) return false;
        value = value << 4 | static_cast<uint32_t>(hexDigit(*c.p));
    }
    *out = value;
    return digits > 0;
}

// dword: data, from just after "dword:": blanks, then the number, little-endian.
Parse parseDword(Cursor &c, Value &v) {
    c.p = skipBlanks(c.p, c.end);
    uint32_t value = 0;
    if (!parseHexNumber(c, &value) || !restIsEmpty(c.p, c.end)) return Parse::Malformed;
    const uint8_t le[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                           static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    if (!append(v.data, le, 4)) return Parse::NoMemory;
    v.type = kTypeDword;
    return Parse::Ok;
}

// hex: or hex(T): data, from just after "hex". REGEDIT4 writes expandable and
// multi-strings as 8-bit text, stored as UTF-16; string types end in a
// terminator.
Parse parseHexData(Text &t, Cursor &c, bool eightBitText, Value &v) {
    v.type = kTypeBinary;
    if (c.p < c.end && *c.p == u'(') {
        ++c.p;
        if (!parseHexNumber(c, &v.type) || c.p == c.end || *c.p != u')') return Parse::Malformed;
        ++c.p;
    }
    if (c.p == c.end || *c.p != u':') return Parse::Malformed;
    ++c.p;
    const Parse r = parseHexBytes(t, c, v.data);
    if (r != Parse::Ok) return r;
    if (eightBitText && (v.type == kTypeExpandString || v.type == kTypeMultiString)) {
        Buffer wide{nullptr, 0, 0};
        if (!appendEightBitText(wide, v.data.data, v.data.size)) {
            release(wide);
            return Parse::NoMemory;
        }
        release(v.data);
        v.data = wide;
    }
    const bool text = v.type == kTypeString || v.type == kTypeExpandString || v.type == kTypeMultiString;
    return !text || terminateString(v.data) ? Parse::Ok : Parse::NoMemory;
}

}  // namespace

Parse parseValueLine(Text &t, Cursor &c, bool eightBitText, Value &v) {
    v.name.size = 0;
    v.data.size = 0;
    v.type = 0;
    v.removed = false;
    Parse r;
    if (*c.p++ == u'"' && (r = parseQuoted(c, v.name, false)) != Parse::Ok) return r;
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
        if ((r = parseQuoted(c, v.data, true)) != Parse::Ok) return r;
        if (!appendUnit(v.data, 0)) return Parse::NoMemory;
        v.type = kTypeString;
        return restIsEmpty(c.p, c.end) ? Parse::Ok : Parse::Malformed;
    }
    if (skipAsciiWord(c.p, c.end, "dword:")) return parseDword(c, v);
    if (skipAsciiWord(c.p, c.end, "hex")) return parseHexData(t, c, eightBitText, v);
    return Parse::Malformed;
}

}  // namespace regfile
}  // namespace platform
}  // namespace quorvel
