// Settings file, POSIX side: bytes to index, and one read from the index.
//
// What GetPrivateProfileStringW does, as this file reproduces it (sources and
// the cases where Wine answers differently are in docs/settings-file.md):
//
//  Text     A file starting with FF FE is UTF-16LE; any other file is 8-bit
//           text. Windows reads 8-bit text in the ANSI code page; Linux has
//           none, so the file is read as UTF-8 when all of it is valid UTF-8,
//           else all of it as Windows-1252 (the ANSI code page of Western
//           Windows), which reads a legacy ANSI file as Windows would there.
//           A UTF-8 byte-order mark is not a mark (Windows ignores it too): it
//           is the character U+FEFF at the start of the first line, so a
//           section header on that line is not one. FE FF is no mark either
//           (Windows does not read UTF-16BE).
//  Lines    end at CR, LF or CRLF. Blanks (U+0009-U+000D, U+001A, U+0020)
//           around a line, a name or a value are ignored. Empty lines, and
//           lines whose first character is ';', say nothing.
//  Section  A line starting with '[' opens a section; its name runs to the
//           first ']' or to the end of the line (the ']' may be missing), and
//           anything after the ']' is ignored. "[]" is the section "".
//  Keys     Other lines are "name=value", split at the first '='; a line
//           without '=' is a key without value, which reads as absent. Lines
//           before the first section belong to no section and are never found.
//  Quotes   One pair of matching quotes (" or ') around the whole value is
//           removed: "x" and 'x' read x; "x' and "x stay as they are.
//  U+0000   Names and values are C strings to both Windows and Wine: each ends
//           at its first U+0000.
//  Lookup   Names match with ASCII letters folded (A-Z as a-z); other
//           characters match exactly, as in Wine (Windows' folding of other
//           letters is undocumented). The first section of a name is the only
//           one searched; in it, the first line of a key name decides. Spaces
//           (only spaces) around the caller's names are ignored.
//  Default  used when the key has no value: its trailing spaces (only spaces)
//           are dropped; quotes in it are kept.
//  Length   Value or default is cut to 259 units, after the quotes went.
//
// The text stays in the file's own bytes. Every character the rules look at
// (CR, LF, blanks, '[', ']', ';', '=', quotes, U+0000) is ASCII, and in UTF-8
// and in Windows-1252 an ASCII byte is always that character and nothing
// else is, so lines, names and values are found in the bytes as they stand.
// A UTF-16 file is first rewritten as generalized UTF-8 (UTF-8 that also
// carries lone surrogates), which keeps every unit. Only what a read returns
// is decoded, and the caller's names are encoded into the file's text to be
// compared; whether an 8-bit file is UTF-8 is settled the first time a read
// meets a byte past ASCII.
//
// Nothing is indexed when the file is parsed. A read goes through the lines
// it needs in the file's bytes, sixteen at a time, and looks only at the
// lines that can matter: those that start as the name read starts (its
// first two bytes), with '[' or with a blank. So lines of any shape cost
// little more than their bytes, and no line makes a record. The section a
// read finds is remembered by name (kMemoSections of them); once a section
// has been read kScannedReads times its keys are indexed, one record for the
// first line of each name sorted by folded name, so that a file kept from
// call to call is read at log n a key. Sorted, not hashed: no choice of
// names slows the sort past n log n plus the names' length (name_order.h),
// while names chosen to share an unkeyed hash make a hash index quadratic,
// and a keyed hash needs a random key.
//
// Any number of threads may read one parsed file at once: the text never
// changes, and what reads add (the sections found, the indexes, the answers
// remembered) is added under the file's lock and never changed after.
#include "platform/posix/ini/parse.h"

#include <pthread.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/numbered_key.h"
#include "platform/posix/name_order.h"
#include "platform/text_codec.h"

namespace quorvel {
namespace platform {

namespace {

// A run of the text.
struct Span {
    uint32_t start;
    uint32_t length;
};

// value.start of a line without '=' (text offsets stay below 2^23).
constexpr uint32_t kNoValue = UINT32_MAX;

// A key line: its name and its value.
struct EntryRecord {
    Span name;
    Span value;
};

enum class Encoding : uint8_t { Unknown, Utf8, Windows1252 };

// A section's keys by folded name: the first line of each name.
struct KeyIndex {
    EntryRecord *entries;
    uint32_t count;
};

constexpr uint32_t kNoSection = UINT32_MAX;

// A section name reads asked for, and what the file gives it.
struct SectionMemo {
    unsigned char *name;  // the caller's name in the file's text, folded
    uint32_t length;
    uint32_t body;    // where its lines start; kNoSection: there is none
    uint32_t scans;   // reads that went through its lines
    KeyIndex *index;  // once made, never changed
    bool indexing;    // a read is making it
    bool unindexed;   // it would pass the file's allowance
    // Its key lines in file order, once a walk went through all of them;
    // never changed after.
    EntryRecord *lines;
    uint32_t lineCount;
};

// Sections remembered, and reads of one that go through its lines before
// its keys are indexed: a few reads cost a few passes, many cost n log n.
constexpr uint32_t kMemoSections = 16;
constexpr uint32_t kScannedReads = 8;

// Answers the caller worked out from the file (Profile::recall).
constexpr uint32_t kAnswers = 16;

struct Answer {
    uint64_t question;
    int32_t values[4];
};

}  // namespace

struct ProfileData {
    unsigned char *text = nullptr;
    uint32_t size = 0;
    std::atomic<Encoding> encoding{Encoding::Unknown};  // of an 8-bit file, until settled

    pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;  // over the rest
    SectionMemo sections[kMemoSections] = {};
    uint32_t sectionCount = 0;
    size_t indexBytes = 0;  // what the indexes and remembered names take
    size_t allowance = 0;   // the most they may take
    Answer answers[kAnswers] = {};
    uint32_t answerCount = 0;
};

namespace {

// Holds a file's lock for one scope.
class Locked {
public:
    explicit Locked(ProfileData *data) : lock_(&data->lock) { pthread_mutex_lock(lock_); }
    ~Locked() { pthread_mutex_unlock(lock_); }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;

private:
    pthread_mutex_t *lock_;
};

// ------------------------------------------------------------------- text

// Threads that settle it at once settle it alike.
Encoding encodingOf(ProfileData *data) {
    Encoding encoding = data->encoding.load(std::memory_order_relaxed);
    if (encoding == Encoding::Unknown) {
        encoding = isUtf8(data->text, data->size) ? Encoding::Utf8 : Encoding::Windows1252;
        data->encoding.store(encoding, std::memory_order_relaxed);
    }
    return encoding;
}

// A UTF-16LE file's units, after the mark, as generalized UTF-8: a pair as
// one four-byte sequence, a lone surrogate as a three-byte one, so decoding
// gives every unit back. Null when memory runs out.
unsigned char *fromUtf16(const unsigned char *bytes, size_t size, uint32_t *length) {
    const size_t count = (size - 2) / 2;
    Char *units = static_cast<Char *>(malloc((count ? count : 1) * sizeof(Char)));
    unsigned char *text = static_cast<unsigned char *>(malloc(3 * count + 1));
    if (units != nullptr && text != nullptr) {
        utf16LeUnits(bytes + 2, size - 2, units);
        // Fits: at most three bytes a unit, 1.5 times kMaxProfileBytes in all.
        *length = static_cast<uint32_t>(utf16ToUtf8(units, count, text, 3 * count, LoneSurrogate::Generalized));
    } else {
        free(text);
        text = nullptr;
    }
    free(units);
    return text;
}

// The units of text[span], cut to kPathUnits - 1 and terminated. A span
// starts and ends at ASCII characters or the text's end, so it holds whole
// sequences.
void decodeCut(ProfileData *data, Span span, Char (&out)[kPathUnits]) {
    const unsigned char *p = data->text + span.start;
    const unsigned char *const end = p + span.length;
    size_t n = 0;
    while (p < end && n < kPathUnits - 1) {
        uint32_t c = *p;
        if (c < 0x80) {
            out[n++] = static_cast<Char>(c);
            ++p;
        } else if (encodingOf(data) == Encoding::Windows1252) {
            out[n++] = static_cast<Char>(fromWindows1252(static_cast<unsigned char>(c)));
            ++p;
        } else {
            // Well formed: checked by isUtf8, or written by fromUtf16.
            p += decodeGeneralizedUtf8(p, &c);
            Char units[2];
            const size_t count = encodeUtf16(c, units);
            out[n++] = units[0];
            if (count == 2 && n < kPathUnits - 1) out[n++] = units[1];
        }
    }
    out[n] = 0;
}

// ------------------------------------------------------------------ names

// The blanks trimmed around lines, names and values, a wider set than a
// registry file's: Windows is shown to trim space, tab and vertical tab; CR
// and LF end a line before any trimming; form feed and ^Z (an old DOS
// end-of-file mark) follow Wine.
bool isTrimmed(unsigned char c) { return c == 0x20 || (c >= 0x09 && c <= 0x0D) || c == 0x1A; }

unsigned char fold(unsigned char c) { return static_cast<unsigned char>(foldAscii(c)); }

// A caller's name in the file's text, its ASCII letters folded unless asked
// not to: what the records' names are compared with. Short names are kept in
// place.
class FileName {
public:
    enum class Outcome { Encoded, Unwritable, NoMemory };

    FileName() = default;
    FileName(const FileName &) = delete;
    FileName &operator=(const FileName &) = delete;
    ~FileName() { free(heap_); }

    // Unwritable when `units` holds a character the file's text cannot
    // hold, so that no name there equals it: a character past Windows-1252
    // in a file read as that, a lone surrogate in a UTF-8 file.
    Outcome encode(ProfileData *data, const Char *units, size_t length, bool foldLetters = true) {
        if (length > sizeof local_ / 3) {
            heap_ = static_cast<unsigned char *>(malloc(3 * length));
            if (heap_ == nullptr) return Outcome::NoMemory;
            bytes_ = heap_;
        }
        size_t n = 0;
        for (size_t i = 0; i < length;) {
            const Char unit = units[i];
            if (unit < 0x80) {
                bytes_[n++] = foldLetters ? fold(static_cast<unsigned char>(unit)) : static_cast<unsigned char>(unit);
                ++i;
            } else if (encodingOf(data) == Encoding::Windows1252) {
                const int byte = toWindows1252(unit);
                if (byte < 0) return Outcome::Unwritable;
                bytes_[n++] = static_cast<unsigned char>(byte);
                ++i;
            } else {
                n += encodeUtf8(nextUtf16(units, length, &i), bytes_ + n);
            }
        }
        length_ = n;
        return Outcome::Encoded;
    }

    const unsigned char *bytes() const { return bytes_; }
    size_t length() const { return length_; }

private:
    unsigned char local_[3 * kPathUnits];
    unsigned char *heap_ = nullptr;
    unsigned char *bytes_ = local_;
    size_t length_ = 0;
};

// Orders names by their folded bytes, a name before any longer one it
// starts: negative, zero or positive as `a` sorts before, with or after `b`.
// Costs at most the shorter name's length.
int compareNames(const unsigned char *a, size_t aLength, const unsigned char *b, size_t bLength) {
    const size_t common = aLength < bLength ? aLength : bLength;
    for (size_t i = 0; i < common; ++i) {
        const unsigned char x = fold(a[i]), y = fold(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return aLength < bLength ? -1 : aLength > bLength ? 1 : 0;
}

// The caller's name without the spaces around it. Windows strips spaces
// only; a tab around a name stays part of it.
const Char *trimArgument(const Char *name, size_t *length) {
    while (*name == u' ') ++name;
    size_t n = 0;
    while (name[n] != 0) ++n;
    while (n > 0 && name[n - 1] == u' ') --n;
    *length = n;
    return name;
}

// ------------------------------------------------------------------ lines

constexpr uint32_t kNone = UINT32_MAX;

bool isLineEnd(unsigned char c) { return c == '\r' || c == '\n'; }

// A blank inside a line: CR and LF end it instead.
bool isInnerTrimmed(unsigned char c) { return !isLineEnd(c) && isTrimmed(c); }

// Sixteen bytes compared at once (SSE2, NEON, or plain code elsewhere).
typedef unsigned char Bytes16 __attribute__((vector_size(16)));

Bytes16 load16(const unsigned char *p) {
    Bytes16 bytes;
    memcpy(&bytes, p, sizeof bytes);
    return bytes;
}

// One bit for each byte of a compare's result that is set (0xFF), the first
// byte in bit 0. Without SSE2, a multiply gathers the top bit of each byte
// of a half into its top eight bits (the shifted copies never overlap, so
// nothing carries).
template <typename Hits>
uint32_t bitsOf(Hits hits) {
#if defined(__SSE2__)
    __m128i v;
    memcpy(&v, &hits, sizeof v);
    return static_cast<uint32_t>(_mm_movemask_epi8(v));
#else
    uint64_t halves[2];
    memcpy(halves, &hits, sizeof halves);
    uint32_t bits = 0;
    for (int k = 0; k < 2; ++k) {
#if __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
        halves[k] = __builtin_bswap64(halves[k]);
#endif
        bits |= static_cast<uint32_t>(((halves[k] & 0x8080808080808080ull) * 0x0002040810204081ull) >> 56) << (8 * k);
    }
    return bits;
#endif
}

template <typename Bytes>
auto innerBlanks(Bytes v) {
    return (v == ' ') | (v == '\t') | (v == 0x0B) | (v == 0x0C) | (v == 0x1A);
}

// What ends a name: '=', ']', a line end, U+0000 or a blank.
template <typename Bytes>
auto endsName(Bytes v) {
    return (v == '=') | (v == ']') | (v == '\r') | (v == '\n') | (v == 0) | innerBlanks(v);
}

// Which lines a scan looks at, by their first character (the first byte
// that is not blank) and the bytes at fixed places after it.
// The bytes are held sixteen times over, as the compares take them.
struct LineFilter {
    Bytes16 first[2];   // a line starting with first[0] or first[1] (byFirst), and
    Bytes16 second[2];  // followed by second[0] or second[1] (unless anySecond),
    Bytes16 far[2];     // with far[0] or far[1] farAt bytes on (0: anything),
    uint32_t farAt;
    uint32_t endsAt;  // and with what ends a name endsAt bytes on (0: anything)
    bool byFirst;
    bool anySecond;
    bool blankSecond;  // or with a blank second
    bool brackets;     // and a line starting with '['
};

Bytes16 sixteen(unsigned char c) { return Bytes16{c, c, c, c, c, c, c, c, c, c, c, c, c, c, c, c}; }

// The most farAt and endsAt can be: what the scan's last block reads past
// its end.
constexpr uint32_t kFarthest = 32;

// Of the line starts `starts` among the 16 bytes at p, those `filter`
// admits; p[15 + kFarthest] is readable.
inline uint32_t admitted(const unsigned char *p, uint32_t starts, const LineFilter &filter) {
    const Bytes16 v = load16(p);
    uint32_t bits = filter.brackets ? bitsOf(v == '[') & starts : 0;
    if (filter.byFirst) {
        uint32_t firsts = bitsOf((v == filter.first[0]) | (v == filter.first[1])) & starts;
        if (firsts != 0 && !filter.anySecond) {
            const Bytes16 w = load16(p + 1);
            firsts &= filter.blankSecond ? bitsOf((w == filter.second[0]) | (w == filter.second[1]) | innerBlanks(w))
                                         : bitsOf((w == filter.second[0]) | (w == filter.second[1]));
        }
        if (firsts != 0 && filter.farAt != 0) {
            const Bytes16 x = load16(p + filter.farAt);
            firsts &= bitsOf((x == filter.far[0]) | (x == filter.far[1]));
        }
        if (firsts != 0 && filter.endsAt != 0) firsts &= bitsOf(endsName(load16(p + filter.endsAt)));
        bits |= firsts;
    }
    return bits;
}

// Calls visit(at) for the first character of each line from `from` on that
// `filter` admits, in order, while it returns true. `from` starts a line.
//
// Sixty-four bytes at a time: the line ends and the blanks of a block as
// bits, the line starts from the ends, and the first character of each line
// after the blanks it starts with by one addition: adding a run's first bit
// to the blanks carries through the run to the first bit past it.
template <typename Visit>
void forEachLine(const ProfileData *data, uint32_t from, const LineFilter &filter, Visit visit) {
    const unsigned char *text = data->text;
    const uint32_t size = data->size;
    uint64_t carry = 1;  // the next byte starts a line, or goes on with its first blanks
    for (uint32_t base = from; base < size; base += 64) {
        const unsigned char *p = text + base;
        unsigned char last[64 + 16 + kFarthest];
        if (size - base < sizeof last) {
            // The end, filled out with line ends: no line starts there, and
            // the text's end ends a name.
            memset(last, '\n', sizeof last);
            memcpy(last, p, size - base);
            p = last;
        }
        uint64_t ends = 0, blanks = 0;
        for (size_t k = 0; k < 4; ++k) {
            const Bytes16 v = load16(p + 16 * k);
            ends |= uint64_t{bitsOf((v == '\r') | (v == '\n'))} << (16 * k);
            blanks |= uint64_t{bitsOf(innerBlanks(v))} << (16 * k);
        }
        const uint64_t starts = (ends << 1) | carry;
        const uint64_t past = blanks + (starts & blanks);
        // A blank line (the LF of a CRLF too) says nothing.
        uint64_t firsts = ((starts | past) & ~blanks) & ~ends;
        carry = (ends >> 63) | (past < blanks ? 1 : 0);
        if (size - base < 64) firsts &= (uint64_t{1} << (size - base)) - 1;
        for (uint32_t k = 0; k < 4 && firsts != 0; ++k) {
            const uint32_t chunk = static_cast<uint32_t>(firsts >> (16 * k)) & 0xFFFF;
            if (chunk == 0) continue;
            for (uint32_t bits = admitted(p + size_t{16} * k, chunk, filter); bits != 0; bits &= bits - 1) {
                if (!visit(base + 16 * k + static_cast<uint32_t>(__builtin_ctz(bits)))) return;
            }
        }
    }
}

// The first byte at or after `at` in its line that is not blank.
uint32_t skipInnerBlanks(const ProfileData *data, uint32_t at) {
    while (at < data->size && isInnerTrimmed(data->text[at])) ++at;
    return at;
}

// Where a line splits: its end (CR, LF or the text's end), its first '=',
// and the first U+0000 before and after that; kNone for each it lacks.
struct LineSplit {
    uint32_t end, equals, nameNul, valueNul;
};

// Calls visit(at) for each byte at or after `from` that is CR, LF, '=' or
// U+0000, in order, looking at sixteen bytes at a time, until visit returns
// false. False when visit stopped it.
template <typename Visit>
bool forEachMarker(const ProfileData *data, uint32_t from, Visit visit) {
    const uint32_t size = data->size;
    for (uint32_t base = from; base < size; base += 16) {
        const unsigned char *p = data->text + base;
        unsigned char last[16];
        if (size - base < 16) {
            // The end, filled out with a byte that is none of those.
            memset(last, ' ', sizeof last);
            memcpy(last, p, size - base);
            p = last;
        }
        const Bytes16 v = load16(p);
        for (uint32_t bits = bitsOf((v == '\r') | (v == '\n') | (v == '=') | (v == 0)); bits != 0; bits &= bits - 1) {
            if (!visit(base + static_cast<uint32_t>(__builtin_ctz(bits)))) return false;
        }
    }
    return true;
}

LineSplit splitLine(const ProfileData *data, uint32_t start) {
    LineSplit line{data->size, kNone, kNone, kNone};
    forEachMarker(data, start, [&](uint32_t at) {
        const unsigned char c = data->text[at];
        if (isLineEnd(c)) {
            line.end = at;
            return false;
        }
        if (c == '=') {
            if (line.equals == kNone) line.equals = at;
        } else if (line.equals == kNone) {
            if (line.nameNul == kNone) line.nameNul = at;
        } else if (line.valueNul == kNone) {
            line.valueNul = at;
        }
        return true;
    });
    return line;
}

// The key line whose first byte (not blank) is at `start` and which splits
// as `line`: its name, and its value (value.start kNoValue without '='). The
// line is trimmed; the name ends before the first '=' and its blanks, the
// value starts after its blanks; each ends at its first U+0000, the name
// trimmed before it is cut (as in Wine, which trims the line and then hands
// the text on as a C string); one pair of matching quotes around the value
// goes.
Span keyName(const ProfileData *data, uint32_t start, const LineSplit &line) {
    const unsigned char *text = data->text;
    // U+0000 is no blank, so each cut lies inside the trimmed part.
    uint32_t nameEnd = line.equals != kNone ? line.equals : line.end;
    while (nameEnd > start && isTrimmed(text[nameEnd - 1])) --nameEnd;
    if (line.nameNul < nameEnd) nameEnd = line.nameNul;
    return Span{start, nameEnd - start};
}

Span keyValue(const ProfileData *data, const LineSplit &line) {
    if (line.equals == kNone) return Span{kNoValue, 0};
    const unsigned char *text = data->text;
    uint32_t valueStart = line.equals + 1, valueEnd = line.end;
    while (valueEnd > valueStart && isTrimmed(text[valueEnd - 1])) --valueEnd;
    while (valueStart < valueEnd && isTrimmed(text[valueStart])) ++valueStart;
    if (line.valueNul < valueEnd) valueEnd = line.valueNul;
    Span value{valueStart, valueEnd - valueStart};
    if (value.length >= 2) {
        const unsigned char first = text[value.start];
        if ((first == '"' || first == '\'') && text[value.start + value.length - 1] == first) {
            value.start += 1;
            value.length -= 2;
        }
    }
    return value;
}

EntryRecord keyLine(const ProfileData *data, uint32_t start) {
    const LineSplit line = splitLine(data, start);
    return EntryRecord{keyName(data, start, line), keyValue(data, line)};
}

enum class NameKind { Key, Section };

// The bytes 'A' to 'Z' of a word as 'a' to 'z', the others as they are:
// bytes below 0x80 whose low seven bits reach 'A' and do not pass 'Z'.
uint64_t foldWord(uint64_t x) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    const uint64_t low = x & (0x7f * kOnes);
    const uint64_t fromA = low + (0x80 - 'A') * kOnes;
    const uint64_t pastZ = low + (0x80 - 'Z' - 1) * kOnes;
    return x | (((fromA & ~pastZ & ~x) & (0x80 * kOnes)) >> 2);
}

// A name (folded) to find in the text, its first eight bytes made a word.
struct NameMatch {
    const unsigned char *name;
    size_t length;
    uint64_t head;  // its first bytes, as a word loaded from the text holds them
    uint64_t mask;  // the bytes of a word those are
};

NameMatch nameMatch(const unsigned char *name, size_t length) {
    NameMatch m{name, length, 0, 0};
    const size_t first = length < 8 ? length : 8;
    memcpy(&m.head, name, first);
    memset(&m.mask, 0xFF, first);
    return m;
}

// Whether the text at `at` starts with the name, ASCII letters folded: a
// word at a time where the text has eight bytes.
inline bool foldedAt(const ProfileData *data, uint32_t at, const NameMatch &m) {
    if (data->size - at < m.length) return false;
    const unsigned char *text = data->text + at;
    size_t i = 0;
    if (data->size - at >= 8) {
        uint64_t word;
        memcpy(&word, text, 8);
        if ((foldWord(word) & m.mask) != m.head) return false;
        for (i = 8; i + 8 <= m.length; i += 8) {
            uint64_t name;
            memcpy(&word, text + i, 8);
            memcpy(&name, m.name + i, 8);
            if (foldWord(word) != name) return false;
        }
        if (i >= m.length) return true;
        if (m.length >= 8) {
            // The last eight bytes, overlapping those compared.
            uint64_t name;
            memcpy(&word, text + m.length - 8, 8);
            memcpy(&name, m.name + m.length - 8, 8);
            return foldWord(word) == name;
        }
        i = m.length;
    }
    for (; i < m.length; ++i) {
        if (fold(text[i]) != m.name[i]) return false;
    }
    return true;
}

// Whether the name starting at `at` is `name` (folded): a
// key line's first byte, or a header's first byte after '[' and its blanks.
// A key's name ends at '=', a section's at ']', either at a line end or
// U+0000, with the blanks before any of them dropped (before U+0000 they
// stay: the name is trimmed before it is cut).
bool nameAt(const ProfileData *data, uint32_t at, const NameMatch &name, NameKind kind) {
    const unsigned char *text = data->text;
    if (!foldedAt(data, at, name)) return false;
    const unsigned char close = kind == NameKind::Key ? '=' : ']';
    uint32_t p = at + static_cast<uint32_t>(name.length);
    if (p < data->size && text[p] == 0) return true;
    p = skipInnerBlanks(data, p);
    return p == data->size || isLineEnd(text[p]) || text[p] == close;
}

// Whether a caller's name (encoded) can name anything in the file: a name
// there never starts or ends with a blank, nor holds '=' (a key's) or ']'
// (a section's), a line end or U+0000 (the caller's names are C strings,
// and encoding keeps U+0000 out), and a key's never starts with ';' or '['.
bool canBeNamed(const unsigned char *name, size_t length, NameKind kind) {
    if (length == 0) return true;
    if (isTrimmed(name[0]) || isTrimmed(name[length - 1])) return false;
    if (kind == NameKind::Key && (name[0] == ';' || name[0] == '[')) return false;
    const unsigned char close = kind == NameKind::Key ? '=' : ']';
    for (size_t i = 0; i < length; ++i) {
        if (name[i] == close || isLineEnd(name[i])) return false;
    }
    return true;
}

// A folded byte and its capital: the two a byte of the text may be.
void bothCases(unsigned char folded, Bytes16 (&pair)[2]) {
    pair[0] = sixteen(folded);
    pair[1] = sixteen(static_cast<unsigned char>(folded >= 'a' && folded <= 'z' ? folded - ('a' - 'A') : folded));
}

// ---------------------------------------------------------------- sections

// Where the lines of the first section named `name` start, or kNoSection.
uint32_t scanForSection(const ProfileData *data, const unsigned char *name, size_t length) {
    if (!canBeNamed(name, length, NameKind::Section)) return kNoSection;
    // '[' and then the name's first byte or a blank (blanks may stand
    // before the name), or anything for "".
    LineFilter filter{};
    filter.byFirst = true;
    filter.first[0] = filter.first[1] = sixteen('[');
    filter.anySecond = length == 0;
    if (length != 0) bothCases(name[0], filter.second);
    filter.blankSecond = true;
    uint32_t body = kNoSection;
    const unsigned char *text = data->text;
    const NameMatch match = nameMatch(name, length);
    forEachLine(data, 0, filter, [&](uint32_t p) {
        if (text[p] != '[') return true;
        if (!nameAt(data, skipInnerBlanks(data, p + 1), match, NameKind::Section)) return true;
        uint32_t end = p;
        while (end < data->size && !isLineEnd(text[end])) ++end;
        body = end < data->size ? end + 1 : end;
        return false;
    });
    return body;
}

// ---------------------------------------------------------------- keys

struct EntryNames {
    const unsigned char *text;
    const EntryRecord *entries;
    uint32_t length(uint32_t e) const { return entries[e].name.length; }
    uint32_t unit(uint32_t e, uint32_t p) const { return fold(text[entries[e].name.start + p]); }
};

// Calls visit(at) for the first character of each key line of the section
// whose lines start at `body`, in order, while it returns true; `filter`
// may pass over lines that cannot matter, and must admit '['.
template <typename Visit>
void forEachKeyLine(const ProfileData *data, uint32_t body, const LineFilter &filter, Visit visit) {
    const unsigned char *text = data->text;
    forEachLine(data, body, filter, [&](uint32_t at) {
        if (text[at] == ';') return true;
        return text[at] != '[' && visit(at);
    });
}

// Calls visit(start, line) for each key line of the section whose lines
// start at `body`, in order, while it returns true: `start` is the line's
// first byte that is not blank, `line` how it splits. One pass over the
// bytes, sixteen at a time, that stops only at CR, LF, '=' and U+0000: for
// reads that look at every line.
template <typename Visit>
void forEachSplitKeyLine(const ProfileData *data, uint32_t body, Visit visit) {
    const unsigned char *text = data->text;
    const uint32_t size = data->size;
    uint32_t start = body;
    LineSplit line{kNone, kNone, kNone, kNone};
    // The line [start, end) is complete: false to stop.
    auto complete = [&](uint32_t end) {
        line.end = end;
        uint32_t p = start;
        while (p < end && isInnerTrimmed(text[p])) ++p;
        bool more = true;
        if (p < end && text[p] == '[') {
            more = false;
        } else if (p < end && text[p] != ';') {
            more = visit(p, line);
        }
        start = end + 1;
        line = LineSplit{kNone, kNone, kNone, kNone};
        return more;
    };
    const bool whole = forEachMarker(data, body, [&](uint32_t at) {
        if (text[at] == '=') {
            if (line.equals == kNone) line.equals = at;
        } else if (text[at] == 0) {
            if (line.equals == kNone) {
                if (line.nameNul == kNone) line.nameNul = at;
            } else if (line.valueNul == kNone) {
                line.valueNul = at;
            }
        } else {
            return complete(at);
        }
        return true;
    });
    if (!whole) return;
    if (start < size) complete(size);
}

// The first line of the section at `body` named `name`, into *entry.
bool scanForKey(const ProfileData *data, uint32_t body, const unsigned char *name, size_t length, EntryRecord *entry) {
    if (!canBeNamed(name, length, NameKind::Key)) return false;
    // A line of the name holds it from its first character on: its first
    // two bytes, its last (or its 32nd) and what ends it pass over the
    // other lines sixteen at a time. An empty name: the line starts with
    // '=' or U+0000.
    LineFilter filter{};
    filter.brackets = filter.byFirst = true;
    if (length == 0) {
        filter.anySecond = true;
        filter.first[0] = sixteen('=');
        filter.first[1] = sixteen(0);
    } else {
        bothCases(name[0], filter.first);
        filter.anySecond = length < 2;
        if (length >= 2) bothCases(name[1], filter.second);
        filter.farAt = length >= 3 ? static_cast<uint32_t>(length < kFarthest ? length : kFarthest) - 1 : 0;
        if (filter.farAt != 0) bothCases(name[filter.farAt], filter.far);
        filter.endsAt = length <= kFarthest ? static_cast<uint32_t>(length) : 0;
    }
    bool found = false;
    const NameMatch match = nameMatch(name, length);
    const unsigned char *text = data->text;
    forEachKeyLine(data, body, filter, [&](uint32_t p) {
        if ((length != 0 && fold(text[p]) != name[0]) || !nameAt(data, p, match, NameKind::Key)) return true;
        *entry = keyLine(data, p);
        found = true;
        return false;
    });
    return found;
}

// A new index of the keys of the section at `body`; null when memory runs
// out or it would take more than `most` bytes.
KeyIndex *makeIndex(const ProfileData *data, uint32_t body, size_t most) {
    EntryRecord *entries = nullptr;
    uint32_t count = 0, capacity = 0;
    bool failed = false;
    forEachSplitKeyLine(data, body, [&](uint32_t p, const LineSplit &line) {
        if (count == capacity) {
            // Repeats of a name go only once sorted: past twice the
            // allowance in records, the index is given up.
            const uint32_t grown = capacity != 0 ? capacity * 2 : 64;
            void *moved = static_cast<size_t>(grown) * sizeof(EntryRecord) > 2 * most + 4096
                              ? nullptr
                              : realloc(entries, static_cast<size_t>(grown) * sizeof(EntryRecord));
            if (moved == nullptr) {
                failed = true;
                return false;
            }
            entries = static_cast<EntryRecord *>(moved);
            capacity = grown;
        }
        entries[count++] = EntryRecord{keyName(data, p, line), keyValue(data, line)};
        return true;
    });
    const size_t n = count != 0 ? count : 1;
    uint32_t *order = failed ? nullptr : static_cast<uint32_t *>(malloc(4 * n * sizeof(uint32_t)));
    KeyIndex *index = order != nullptr ? new (std::nothrow) KeyIndex{nullptr, 0} : nullptr;
    if (index != nullptr) {
        for (uint32_t e = 0; e < count; ++e) order[e] = e;
        const uint32_t names = sortByName(order, order + n, count, EntryNames{data->text, entries}, KeepOf::First);
        index->entries = static_cast<EntryRecord *>(malloc((names != 0 ? names : 1) * sizeof(EntryRecord)));
        if (index->entries == nullptr || names * sizeof(EntryRecord) > most) {
            free(index->entries);
            delete index;
            index = nullptr;
        } else {
            for (uint32_t k = 0; k < names; ++k) index->entries[k] = entries[order[k]];
            index->count = names;
        }
    }
    free(order);
    free(entries);
    return index;
}

const EntryRecord *searchIndex(const ProfileData *data, const KeyIndex &index, const unsigned char *name,
                               size_t length) {
    uint32_t low = 0, high = index.count;
    while (low < high) {
        const uint32_t middle = low + (high - low) / 2;
        const Span found = index.entries[middle].name;
        const int side = compareNames(data->text + found.start, found.length, name, length);
        if (side == 0) return &index.entries[middle];
        if (side < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return nullptr;
}

// ---------------------------------------------------------------- look-ups

// What a look-up knows of a section: where its lines start, its index if
// made, and whether this read is to make it.
struct SectionAt {
    uint32_t body;
    KeyIndex *index;
    SectionMemo *toIndex;
    const EntryRecord *lines;  // null until a walk listed them
    uint32_t lineCount;
    SectionMemo *memo;  // where the section is remembered, or null
};

// The first section named `name` (encoded), remembered for later reads;
// `read` counts a read of its keys toward indexing them.
SectionAt findSection(ProfileData *data, const unsigned char *name, size_t length, bool read) {
    {
        Locked locked(data);
        for (uint32_t s = 0; s < data->sectionCount; ++s) {
            SectionMemo &m = data->sections[s];
            if (m.length != length || memcmp(m.name, name, length) != 0) continue;
            SectionAt at{m.body, m.index, nullptr, m.lines, m.lineCount, &m};
            if (read && m.index == nullptr && m.body != kNoSection && !m.indexing && !m.unindexed &&
                ++m.scans > kScannedReads) {
                m.indexing = true;
                at.toIndex = &m;
            }
            return at;
        }
    }
    const uint32_t body = scanForSection(data, name, length);
    Locked locked(data);
    bool known = false;
    for (uint32_t s = 0; s < data->sectionCount && !known; ++s) {
        known = data->sections[s].length == length && memcmp(data->sections[s].name, name, length) == 0;
    }
    SectionMemo *memo = nullptr;
    if (!known && data->sectionCount < kMemoSections && data->indexBytes + length + 1 <= data->allowance) {
        unsigned char *copy = static_cast<unsigned char *>(malloc(length + 1));
        if (copy != nullptr) {
            if (length != 0) memcpy(copy, name, length);
            memo = &data->sections[data->sectionCount++];
            *memo = SectionMemo{
                copy, static_cast<uint32_t>(length), body, read ? 1u : 0u, nullptr, false, false, nullptr, 0};
            data->indexBytes += length + 1;
        }
    }
    return SectionAt{body, nullptr, nullptr, nullptr, 0, memo};
}

// Makes the index this read claimed and hands it to the file, or marks the
// section unindexed when it would pass the allowance; the index, if any.
KeyIndex *indexSection(ProfileData *data, SectionMemo *memo, uint32_t body) {
    size_t room;
    {
        Locked locked(data);
        room = data->allowance - data->indexBytes;
    }
    KeyIndex *index = makeIndex(data, body, room);
    Locked locked(data);
    const size_t bytes = index != nullptr ? sizeof(KeyIndex) + index->count * sizeof(EntryRecord) : 0;
    if (index != nullptr && bytes <= data->allowance - data->indexBytes) {
        memo->index = index;
        data->indexBytes += bytes;
    } else {
        if (index != nullptr) free(index->entries);
        delete index;
        index = nullptr;
        memo->unindexed = true;
    }
    memo->indexing = false;
    return index;
}

}  // namespace

ProfileData *adoptProfile(unsigned char *bytes, size_t size) {
    if (size > kMaxProfileBytes || (bytes == nullptr && size != 0)) {
        free(bytes);
        return nullptr;
    }
    ProfileData *data = new (std::nothrow) ProfileData();
    if (data == nullptr) {
        free(bytes);
        return nullptr;
    }
    if (byteOrderMark(bytes, size) == ByteOrderMark::Utf16Le) {
        data->text = fromUtf16(bytes, size, &data->size);
        data->encoding.store(Encoding::Utf8, std::memory_order_relaxed);
        free(bytes);
        if (data->text == nullptr) {
            delete data;
            return nullptr;
        }
    } else {
        data->text = bytes;
        data->size = static_cast<uint32_t>(size);
    }
    const size_t allowance = kIndexBytesPerByte * data->size + kIndexBaseBytes;
    data->allowance = allowance < kMostIndexBytes ? allowance : kMostIndexBytes;
    return data;
}

ProfileData *parseProfile(const unsigned char *bytes, size_t size) {
    if (size > kMaxProfileBytes || (bytes == nullptr && size != 0)) return nullptr;
    unsigned char *copy = static_cast<unsigned char *>(malloc(size ? size : 1));
    if (copy == nullptr) return nullptr;
    if (size != 0) memcpy(copy, bytes, size);
    return adoptProfile(copy, size);
}

void freeProfile(ProfileData *data) {
    if (!data) return;
    for (uint32_t s = 0; s < data->sectionCount; ++s) {
        free(data->sections[s].name);
        if (data->sections[s].index != nullptr) free(data->sections[s].index->entries);
        delete data->sections[s].index;
        free(data->sections[s].lines);
    }
    free(data->text);
    pthread_mutex_destroy(&data->lock);
    delete data;
}

static_assert(sizeof(ProfileData) <= 4096, "kMostProfileBytes counts the record as 4 KiB at most");
size_t profileBytes(const ProfileData *data) { return sizeof(ProfileData) + data->size + data->allowance; }

bool findProfileValue(ProfileData *data, const Char *section, const Char *key, Char (&value)[kPathUnits]) {
    if (!data || !section || !key) return false;
    size_t length;
    section = trimArgument(section, &length);
    FileName name;
    if (name.encode(data, section, length) != FileName::Outcome::Encoded) return false;
    const SectionAt at = findSection(data, name.bytes(), name.length(), true);
    if (at.body == kNoSection) return false;
    const KeyIndex *index = at.toIndex != nullptr ? indexSection(data, at.toIndex, at.body) : at.index;
    key = trimArgument(key, &length);
    FileName keyName;
    if (keyName.encode(data, key, length) != FileName::Outcome::Encoded) return false;
    EntryRecord scanned;
    const EntryRecord *entry = nullptr;
    if (index != nullptr) {
        entry = searchIndex(data, *index, keyName.bytes(), keyName.length());
    } else if (at.lines != nullptr) {
        // The first line of the name.
        const NameMatch match = nameMatch(keyName.bytes(), keyName.length());
        for (uint32_t e = 0; e < at.lineCount && entry == nullptr; ++e) {
            const Span found = at.lines[e].name;
            if (found.length == keyName.length() && foldedAt(data, found.start, match)) {
                entry = &at.lines[e];
            }
        }
    } else if (scanForKey(data, at.body, keyName.bytes(), keyName.length(), &scanned)) {
        entry = &scanned;
    }
    if (entry == nullptr || entry->value.start == kNoValue) return false;
    decodeCut(data, entry->value, value);
    return true;
}

bool forEachNumberedProfileKey(ProfileData *data, const Char *section, const Char *prefix, const Char *suffix,
                               Profile::NumberedVisitor visit, void *context) {
    if (!data || !section) return true;
    size_t length;
    section = trimArgument(section, &length);
    FileName name;
    const FileName::Outcome named = name.encode(data, section, length);
    if (named != FileName::Outcome::Encoded) return named == FileName::Outcome::Unwritable;  // no section of that name
    const SectionAt at = findSection(data, name.bytes(), name.length(), false);
    if (at.body == kNoSection) return true;
    size_t prefixLength = 0, suffixLength = 0;
    while (prefix[prefixLength] != 0) ++prefixLength;
    while (suffix[suffixLength] != 0) ++suffixLength;
    FileName before, after;
    // As written: numberedKeyIndex folds, and tries the case written first.
    const FileName::Outcome outcomes[] = {before.encode(data, prefix, prefixLength, false),
                                          after.encode(data, suffix, suffixLength, false)};
    for (FileName::Outcome outcome : outcomes) {
        if (outcome != FileName::Outcome::Encoded) return outcome == FileName::Outcome::Unwritable;  // no name matches
    }
    Char value[kPathUnits];
    auto list = [&](const EntryRecord &entry) {
        const int32_t number = numberedKeyIndex(data->text + entry.name.start, entry.name.length, before.bytes(),
                                                before.length(), after.bytes(), after.length());
        if (number == 0) return;
        if (entry.value.start == kNoValue) {
            visit(context, number, nullptr);
        } else {
            decodeCut(data, entry.value, value);
            visit(context, number, value);
        }
    };
    if (at.lines != nullptr) {
        for (uint32_t e = 0; e < at.lineCount; ++e) list(at.lines[e]);
        return true;
    }
    // The walk goes through every line: they are kept for the section's
    // next reads, within the file's allowance.
    size_t room = 0;
    if (at.memo != nullptr) {
        Locked locked(data);
        room = data->allowance - data->indexBytes;
    }
    EntryRecord *lines = nullptr;
    uint32_t count = 0, capacity = 0;
    forEachSplitKeyLine(data, at.body, [&](uint32_t p, const LineSplit &line) {
        const EntryRecord entry{keyName(data, p, line), keyValue(data, line)};
        if (count == capacity && room != 0) {
            const uint32_t grown = capacity != 0 ? capacity * 2 : 64;
            void *moved = static_cast<size_t>(grown) * sizeof(EntryRecord) <= room
                              ? realloc(lines, static_cast<size_t>(grown) * sizeof(EntryRecord))
                              : nullptr;
            if (moved == nullptr) room = 0;
            if (moved != nullptr) {
                lines = static_cast<EntryRecord *>(moved);
                capacity = grown;
            }
        }
        if (room != 0) lines[count++] = entry;
        list(entry);
        return true;
    });
    if (room != 0 && at.memo != nullptr) {
        Locked locked(data);
        const size_t bytes = static_cast<size_t>(capacity) * sizeof(EntryRecord);
        if (at.memo->lines == nullptr && bytes <= data->allowance - data->indexBytes) {
            at.memo->lines = lines;
            at.memo->lineCount = count;
            data->indexBytes += bytes;
            lines = nullptr;
        }
    }
    free(lines);
    return true;
}

bool readProfileString(ProfileData *data, const Char *section, const Char *key, const Char *fallback,
                       Char (&out)[kPathUnits]) {
    if (findProfileValue(data, section, key, out)) return true;
    static const Char kEmpty[1] = {0};
    if (!fallback) fallback = kEmpty;
    size_t n = 0;
    while (fallback[n] != 0) ++n;
    while (n > 0 && fallback[n - 1] == u' ') --n;
    if (n > kPathUnits - 1) n = kPathUnits - 1;
    for (size_t i = 0; i < n; ++i) out[i] = fallback[i];
    out[n] = 0;
    return false;
}

bool recallProfileAnswer(ProfileData *data, uint64_t question, int32_t (&answer)[4]) {
    if (data == nullptr) return false;
    Locked locked(data);
    for (uint32_t a = 0; a < data->answerCount; ++a) {
        if (data->answers[a].question != question) continue;
        memcpy(answer, data->answers[a].values, sizeof answer);
        return true;
    }
    return false;
}

void rememberProfileAnswer(ProfileData *data, uint64_t question, const int32_t (&answer)[4]) {
    if (data == nullptr) return;
    Locked locked(data);
    for (uint32_t a = 0; a < data->answerCount; ++a) {
        if (data->answers[a].question == question) return;
    }
    // Full: the question picks the answer it replaces.
    Answer &slot = data->answers[data->answerCount < kAnswers ? data->answerCount++ : question % kAnswers];
    slot.question = question;
    memcpy(slot.values, answer, sizeof slot.values);
}

}  // namespace platform
}  // namespace quorvel
