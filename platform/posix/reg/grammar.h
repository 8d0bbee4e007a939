// Registry export files, POSIX side: the grammar of the lines, key lines
// ("[HKEY_CURRENT_USER\path]", "[-...]") and value lines ("name"=..., @=...),
// and how key paths relate. docs/registry-file.md describes the format.
#ifndef QUORVEL_PLATFORM_POSIX_REG_GRAMMAR_H
#define QUORVEL_PLATFORM_POSIX_REG_GRAMMAR_H

#include <stddef.h>
#include <stdint.h>

#include "platform/posix/reg/text.h"

namespace quorvel {
namespace platform {
namespace regfile {

inline bool isBlank(Char c) { return c == u' ' || c == u'\t'; }

inline const Char *skipBlanks(const Char *p, const Char *end) {
    while (p < end && isBlank(*p)) ++p;
    return p;
}

// A range of the text against ASCII text, exactly.
bool isExactly(const Char *p, const Char *end, const char *text);

// ---- Key paths ---------------------------------------------------------------

enum class Relation { Unrelated, Same, Ancestor, Descendant };  // what the first path is to the second

// Components compare as the registry compares names; runs of backslashes
// separate them, and backslashes at the end add nothing.
Relation relate(const Char *path, const Char *pathEnd, const Char *other, const Char *otherEnd);

// Whether a key path names anything below its root.
bool hasComponents(const Char *path, const Char *end);

// ---- Key lines ---------------------------------------------------------------

enum class Root { CurrentUser, LocalMachine, Other, Unknown };

struct KeyLine {
    bool deletion;
    Root root;
    const Char *path;  // after the root and its backslash; may be empty
    const Char *pathEnd;
};

// "[ROOT\path]" or "[-ROOT\path]", from the '['. The name runs to the last
// ']' of the line; only blanks or a comment may follow it. False for a line
// that is none, or names a root that does not exist.
bool parseKeyLine(const Char *p, const Char *end, KeyLine *key);

// ---- Value lines -------------------------------------------------------------

enum class Parse { Ok, Malformed, NoMemory };

// Where the reader stands in a value that may go on over several lines.
struct Cursor {
    const Char *line;  // start of the current physical line
    const Char *p;
    const Char *end;  // end of the current physical line
};

struct Value {
    Buffer name;  // UTF-16LE, no terminator; empty for the default value
    Buffer data;
    uint32_t type;
    bool removed;  // "name"=-
};

// One value line from its first non-blank unit ('"' or '@'), taking the
// lines that continue its hex data from `t`; whether it parses or not, the
// reader goes on with the line after `c`'s. `eightBitText` is set for
// REGEDIT4 files, whose expandable and multi-string data is written as 8-bit
// text and stored as UTF-16. `v`'s buffers are reused from line to line.
Parse parseValueLine(Text &t, Cursor &c, bool eightBitText, Value &v);

}  // namespace regfile
}  // namespace platform
}  // namespace quorvel

#endif
