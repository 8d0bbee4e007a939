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
// One pass over the lines gives every section header and key line a record,
// in file order. Sections are few, and their records are sorted by folded
// name at once. A section's keys are searched record by record for its first
// few reads (the first line of a name is the one met first) and sorted at
// the next, so many reads cost n log n in all and a few cost a few passes.
// Sorted, not hashed: no choice of names slows this sort past n log n plus
// the names' length (sortByName), while names chosen to share an unkeyed
// hash make a hash index quadratic, and a keyed hash needs a random key.
#include "platform/posix/profile_parse.h"

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <new>

#include "platform/numbered_key.h"
#include "platform/posix/text_codec.h"

namespace quorvel {
namespace platform {

namespace {

// A run of the text.
struct Span {
    uint32_t start;
    uint32_t length;
};

constexpr uint32_t kUnsorted = UINT32_MAX;

struct SectionRecord {
    Span name;
    // Its key lines: the entry records [keys, keysEnd), in file order.
    uint32_t keys;
    uint32_t keysEnd;
    // kUnsorted until its keys are sorted; then entryOrder[keys, namesEnd)
    // lists its records by name, the first line of each name.
    uint32_t namesEnd;
    // Reads that went through the records one by one.
    uint32_t scans;
};

// value.start of a line without '=' (text offsets stay below 2^23).
constexpr uint32_t kNoValue = UINT32_MAX;

struct EntryRecord {
    Span name;
    Span value;
};

enum class Encoding : uint8_t { Unknown, Utf8, Windows1252 };

}  // namespace

struct ProfileData {
    unsigned char *text = nullptr;
    uint32_t size = 0;
    Encoding encoding = Encoding::Unknown;  // of an 8-bit file, until settled

    // Every section header and every key line under one, in file order.
    SectionRecord *sections = nullptr;
    uint32_t sectionCount = 0;
    uint32_t sectionCapacity = 0;
    EntryRecord *entries = nullptr;
    uint32_t entryCount = 0;
    uint32_t entryCapacity = 0;

    // The first section record of each name, by name.
    uint32_t *sectionOrder = nullptr;
    uint32_t sectionNames = 0;
    // Entry records by section, then name, for the sections sorted so far;
    // see SectionRecord.namesEnd. Made at the first sort.
    uint32_t *entryOrder = nullptr;
};

namespace {

// ------------------------------------------------------------------- text

Encoding encodingOf(ProfileData *data) {
    if (data->encoding == Encoding::Unknown)
        data->encoding = isUtf8(data->text, data->size) ? Encoding::Utf8 : Encoding::Windows1252;
    return data->encoding;
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

// The blanks Wine trims around lines, names and values. Windows is shown to
// trim space, tab and vertical tab; CR and LF end a line before any trimming;
// form feed and ^Z (an old DOS end-of-file mark) follow Wine.
bool isBlank(unsigned char c) { return c == 0x20 || (c >= 0x09 && c <= 0x0D) || c == 0x1A; }

unsigned char fold(unsigned char c) { return static_cast<unsigned char>(foldAscii(c)); }

// A caller's name in the file's text, its ASCII letters folded unless asked
// not to: what the records' names are compared with. Short names are kept in
// place.
class FileName {
public:
    enum Outcome { kEncoded, kUnwritable, kNoMemory };

    FileName() = default;
    FileName(const FileName &) = delete;
    FileName &operator=(const FileName &) = delete;
    ~FileName() { free(heap_); }

    // kUnwritable when `units` holds a character the file's text cannot
    // hold, so that no name there equals it: a character past Windows-1252
    // in a file read as that, a lone surrogate in a UTF-8 file.
    Outcome encode(ProfileData *data, const Char *units, size_t length, bool foldLetters = true) {
        if (length > sizeof local_ / 3) {
            heap_ = static_cast<unsigned char *>(malloc(3 * length));
            if (heap_ == nullptr) return kNoMemory;
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
                if (byte < 0) return kUnwritable;
                bytes_[n++] = static_cast<unsigned char>(byte);
                ++i;
            } else {
                n += encodeUtf8(nextUtf16(units, length, &i), bytes_ + n);
            }
        }
        length_ = n;
        return kEncoded;
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

// ------------------------------------------------------------------ index

// Grows `capacity` so that one more record fits. A record takes at least
// two bytes of a text of at most 1.5 kMaxProfileBytes, so counts stay below
// 2^23 and doubling cannot overflow.
template <typename Record>
bool makeRoom(Record *&records, uint32_t count, uint32_t &capacity) {
    if (count < capacity) return true;
    uint32_t grown = capacity ? capacity * 2 : 64;
    void *moved = realloc(records, static_cast<size_t>(grown) * sizeof(Record));
    if (!moved) return false;
    records = static_cast<Record *>(moved);
    capacity = grown;
    return true;
}

// A record's name by its number, for sortByName and findByName.
struct SectionName {
    const SectionRecord *sections;
    Span operator()(uint32_t s) const { return sections[s].name; }
};

struct EntryName {
    const EntryRecord *entries;
    Span operator()(uint32_t e) const { return entries[e].name; }
};

// Sorts the record numbers order[0, count) by name, keeping records of one
// name in file order, then keeps the first of each name; returns how many
// are kept. `nameOf` gives a record's name; `scratch` holds 3 * count
// numbers. A bottom-up merge sort in which every element carries how many
// bytes it shares with the one before it: a merge compares two names only
// past what both share with the name it output last, so each compared byte
// either is the last or lengthens what an element shares with the one
// before it, which never shrinks and never exceeds its length. Any content
// then costs O(count log count + the names' length): names chosen to share
// long prefixes cost no more than others.
template <typename NameOf>
uint32_t sortByName(const unsigned char *text, uint32_t *order, uint32_t *scratch, uint32_t count, NameOf nameOf) {
    uint32_t *from = order, *to = scratch;
    uint32_t *fromShared = scratch + count, *toShared = scratch + 2 * static_cast<size_t>(count);
    for (uint32_t i = 0; i < count; ++i) fromShared[i] = 0;
    for (uint32_t width = 1; width < count; width *= 2) {
        for (uint32_t low = 0; low < count; low += 2 * width) {
            const uint32_t middle = count - low > width ? low + width : count;
            const uint32_t high = count - middle > width ? middle + width : count;
            uint32_t i = low, j = middle, k = low;
            // What the heads of the two runs share with the last name output
            // (nothing yet). The head sharing more is the smaller.
            uint32_t left = 0, right = 0;
            while (i < middle && j < high) {
                bool takeLeft = left > right;
                if (left == right) {
                    const Span a = nameOf(from[i]), b = nameOf(from[j]);
                    const unsigned char *x = text + a.start, *y = text + b.start;
                    uint32_t p = left;
                    while (p < a.length && p < b.length && fold(x[p]) == fold(y[p])) ++p;
                    // Equal names take the left run's first: the earlier line.
                    takeLeft = p == a.length || (p < b.length && fold(x[p]) < fold(y[p]));
                    if (takeLeft) {
                        right = p;
                    } else {
                        left = p;
                    }
                }
                if (takeLeft) {
                    to[k] = from[i];
                    toShared[k++] = left;
                    if (++i < middle) left = fromShared[i];
                } else {
                    to[k] = from[j];
                    toShared[k++] = right;
                    if (++j < high) right = fromShared[j];
                }
            }
            for (uint32_t rest = i; rest < middle; ++rest) {
                to[k] = from[rest];
                toShared[k++] = rest == i ? left : fromShared[rest];
            }
            for (uint32_t rest = j; rest < high; ++rest) {
                to[k] = from[rest];
                toShared[k++] = rest == j ? right : fromShared[rest];
            }
        }
        uint32_t *swap = from;
        from = to;
        to = swap;
        swap = fromShared;
        fromShared = toShared;
        toShared = swap;
    }
    uint32_t kept = 0, lastLength = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t length = nameOf(from[i]).length;
        // A repeat shares all of the name before it, and is as long.
        if (i > 0 && fromShared[i] == length && length == lastLength) continue;
        lastLength = length;
        order[kept++] = from[i];
    }
    return kept;
}

// Where order[first, last), sorted by name one record per name, holds the
// record named `name`; `last` when none is.
template <typename NameOf>
uint32_t findByName(const unsigned char *text, const uint32_t *order, uint32_t first, uint32_t last, NameOf nameOf,
                    const unsigned char *name, size_t length) {
    uint32_t low = first, high = last;
    while (low < high) {
        const uint32_t middle = low + (high - low) / 2;
        const Span found = nameOf(order[middle]);
        const int side = compareNames(text + found.start, found.length, name, length);
        if (side == 0) return middle;
        if (side < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return last;
}

// Builds sectionOrder from the records. False when memory runs out.
bool sortSections(ProfileData *data) {
    const uint32_t count = data->sectionCount;
    if (count == 0) return true;
    data->sectionOrder = static_cast<uint32_t *>(malloc(count * sizeof(uint32_t)));
    uint32_t *scratch = static_cast<uint32_t *>(malloc(3 * static_cast<size_t>(count) * sizeof(uint32_t)));
    if (data->sectionOrder != nullptr && scratch != nullptr) {
        for (uint32_t s = 0; s < count; ++s) data->sectionOrder[s] = s;
        data->sectionNames = sortByName(data->text, data->sectionOrder, scratch, count, SectionName{data->sections});
    }
    free(scratch);
    return data->sectionOrder != nullptr && scratch != nullptr;
}

// Sorts the keys of `section`, the first of its name. False when memory
// runs out; its records can still be searched one by one.
bool sortKeys(ProfileData *data, SectionRecord &section) {
    const uint32_t count = section.keysEnd - section.keys;
    if (data->entryOrder == nullptr) {
        data->entryOrder = static_cast<uint32_t *>(malloc(data->entryCount * sizeof(uint32_t)));
        if (data->entryOrder == nullptr) return false;
    }
    uint32_t *scratch = static_cast<uint32_t *>(malloc(3 * static_cast<size_t>(count) * sizeof(uint32_t)));
    if (scratch == nullptr) return false;
    uint32_t *order = data->entryOrder + section.keys;
    for (uint32_t e = 0; e < count; ++e) order[e] = section.keys + e;
    section.namesEnd = section.keys + sortByName(data->text, order, scratch, count, EntryName{data->entries});
    free(scratch);
    return true;
}

// Reads of one section that go through its records one by one before its
// keys are sorted: a few reads cost a few passes, many cost n log n.
constexpr uint32_t kScannedReads = 8;

// The first line of `section` named `name` (folded), or null.
const EntryRecord *findKey(ProfileData *data, SectionRecord &section, const unsigned char *name, size_t length) {
    if (section.namesEnd == kUnsorted && (section.scans < kScannedReads || !sortKeys(data, section))) {
        if (section.scans < kScannedReads) ++section.scans;
        for (uint32_t e = section.keys; e < section.keysEnd; ++e) {
            const Span found = data->entries[e].name;
            if (found.length == length && compareNames(data->text + found.start, length, name, length) == 0)
                return &data->entries[e];
        }
        return nullptr;
    }
    const uint32_t keyed =
        findByName(data->text, data->entryOrder, section.keys, section.namesEnd, EntryName{data->entries}, name, length);
    return keyed == section.namesEnd ? nullptr : &data->entries[data->entryOrder[keyed]];
}

// The first section named `section`, or null; *failed when memory ran out.
SectionRecord *findSection(ProfileData *data, const Char *section, bool *failed) {
    size_t length;
    section = trimArgument(section, &length);
    FileName name;
    const FileName::Outcome outcome = name.encode(data, section, length);
    *failed = outcome == FileName::kNoMemory;
    if (outcome != FileName::kEncoded) return nullptr;
    const uint32_t named = findByName(data->text, data->sectionOrder, 0, data->sectionNames,
                                      SectionName{data->sections}, name.bytes(), name.length());
    return named == data->sectionNames ? nullptr : &data->sections[data->sectionOrder[named]];
}

// ---------------------------------------------------------------- parsing

constexpr uint32_t kNoSection = UINT32_MAX;
constexpr uint32_t kNone = UINT32_MAX;

// Sixteen bytes compared at once (SSE2, NEON, or plain code elsewhere).
typedef unsigned char Bytes16 __attribute__((vector_size(16)));

// One bit for each of the 16 bytes at `p` that is CR, LF, '=' or NUL, the
// first byte in bit 0. The compare gives 0xFF per such byte; the multiply
// gathers the top bit of each byte of a half into its top eight bits (the
// shifted copies never overlap, so nothing carries).
uint64_t notableBits16(const unsigned char *p) {
    Bytes16 bytes;
    memcpy(&bytes, p, sizeof bytes);
    const auto hits = (bytes == '\r') | (bytes == '\n') | (bytes == '=') | (bytes == 0);
    uint64_t halves[2];
    memcpy(halves, &hits, sizeof halves);
    uint64_t bits = 0;
    for (int k = 0; k < 2; ++k) {
#if __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
        halves[k] = __builtin_bswap64(halves[k]);
#endif
        bits |= (((halves[k] & 0x8080808080808080ull) * 0x0002040810204081ull) >> 56) << (8 * k);
    }
    return bits;
}

// The same for the 64 bytes at `p`.
uint64_t notableBits(const unsigned char *p) {
    return notableBits16(p) | notableBits16(p + 16) << 16 | notableBits16(p + 32) << 32 | notableBits16(p + 48) << 48;
}

// A section header line [start, end), trimmed: its name, from after the '['
// to the first ']' or the end of the line. Every header gets a record, a
// repeated name too; sortSections drops the repeats. False when memory runs
// out.
bool enterSection(ProfileData *data, uint32_t start, uint32_t end, uint32_t *section) {
    const unsigned char *text = data->text;
    const void *close = memchr(text + start + 1, ']', end - start - 1);
    uint32_t nameStart = start + 1;
    uint32_t nameEnd = close != nullptr ? static_cast<uint32_t>(static_cast<const unsigned char *>(close) - text) : end;
    while (nameStart < nameEnd && isBlank(text[nameStart])) ++nameStart;
    while (nameEnd > nameStart && isBlank(text[nameEnd - 1])) --nameEnd;
    // A name ends at its first U+0000, trimmed before it is cut (as in Wine,
    // which trims the line and then hands the text on as a C string).
    const void *nul = memchr(text + nameStart, 0, nameEnd - nameStart);
    if (nul != nullptr) nameEnd = static_cast<uint32_t>(static_cast<const unsigned char *>(nul) - text);
    if (!makeRoom(data->sections, data->sectionCount, data->sectionCapacity)) return false;
    data->sections[data->sectionCount] =
        SectionRecord{Span{nameStart, nameEnd - nameStart}, data->entryCount, data->entryCount, kUnsorted, 0};
    *section = data->sectionCount++;
    return true;
}

// Where a key line splits: its first '=', and the first U+0000 before and
// after that; kNone for each the line lacks.
struct KeyLine {
    uint32_t equals, nameNul, valueNul;
};

// A key line [start, end), trimmed, in `section`, the last section record.
// Every line gets a record; a read finds the first line of a name, even one
// without '=' (Wine: a later "name=value" stays hidden behind it). False
// when memory runs out.
bool enterKey(ProfileData *data, uint32_t section, uint32_t start, uint32_t end, const KeyLine &line) {
    const unsigned char *text = data->text;
    // U+0000 is no blank, so each cut lies inside the trimmed part.
    uint32_t nameEnd = line.equals != kNone ? line.equals : end;
    while (nameEnd > start && isBlank(text[nameEnd - 1])) --nameEnd;
    if (line.nameNul < nameEnd) nameEnd = line.nameNul;

    Span value{kNoValue, 0};
    if (line.equals != kNone) {
        uint32_t valueStart = line.equals + 1, valueEnd = end;
        while (valueStart < valueEnd && isBlank(text[valueStart])) ++valueStart;
        if (line.valueNul < valueEnd) valueEnd = line.valueNul;
        value = Span{valueStart, valueEnd - valueStart};
        if (value.length >= 2) {
            const unsigned char first = text[value.start];
            if ((first == '"' || first == '\'') && text[value.start + value.length - 1] == first) {
                value.start += 1;
                value.length -= 2;
            }
        }
    }

    if (!makeRoom(data->entries, data->entryCount, data->entryCapacity)) return false;
    data->entries[data->entryCount] = EntryRecord{Span{start, nameEnd - start}, value};
    data->sections[section].keysEnd = ++data->entryCount;
    return true;
}

// A line [start, end) without its CR or LF: a header, a key line or
// nothing. False when memory runs out.
bool enterLine(ProfileData *data, uint32_t start, uint32_t end, const KeyLine &line, uint32_t *section) {
    const unsigned char *text = data->text;
    while (start < end && isBlank(text[start])) ++start;
    while (end > start && isBlank(text[end - 1])) --end;
    if (start == end || text[start] == ';') return true;
    if (text[start] == '[') return enterSection(data, start, end, section);
    return *section == kNoSection || enterKey(data, *section, start, end, line);
}

// The one pass over the text, 64 bytes at a time: each block gives the
// places of its CR, LF, '=' and NUL as bits, and only those are visited. A
// line ends at each CR or LF (a CRLF leaves an empty line, which says
// nothing); on the way its first '=' and U+0000 are noted.
bool indexLines(ProfileData *data) {
    const unsigned char *text = data->text;
    const uint32_t size = data->size;
    uint32_t section = kNoSection;  // no section yet
    uint32_t start = 0;
    KeyLine line{kNone, kNone, kNone};
    for (uint32_t base = 0; base < size; base += 64) {
        const unsigned char *block = text + base;
        unsigned char last[64];
        if (size - base < sizeof last) {
            // The last block, filled out with a byte that is not notable.
            memset(last, ' ', sizeof last);
            memcpy(last, block, size - base);
            block = last;
        }
        for (uint64_t bits = notableBits(block); bits != 0; bits &= bits - 1) {
            const uint32_t at = base + static_cast<uint32_t>(__builtin_ctzll(bits));
            const unsigned char c = text[at];
            if (c == '=') {
                if (line.equals == kNone) line.equals = at;
            } else if (c == 0) {
                if (line.equals == kNone) {
                    if (line.nameNul == kNone) line.nameNul = at;
                } else if (line.valueNul == kNone) {
                    line.valueNul = at;
                }
            } else {
                // The empty line inside a CRLF is common, and says nothing.
                if (at != start && !enterLine(data, start, at, line, &section)) return false;
                start = at + 1;
                line = KeyLine{kNone, kNone, kNone};
            }
        }
    }
    return start >= size || enterLine(data, start, size, line, &section);
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
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        data->text = fromUtf16(bytes, size, &data->size);
        data->encoding = Encoding::Utf8;
        free(bytes);
        if (data->text == nullptr) {
            delete data;
            return nullptr;
        }
    } else {
        data->text = bytes;
        data->size = static_cast<uint32_t>(size);
    }
    if (!indexLines(data) || !sortSections(data)) {
        freeProfile(data);
        return nullptr;
    }
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
    free(data->text);
    free(data->sections);
    free(data->entries);
    free(data->sectionOrder);
    free(data->entryOrder);
    delete data;
}

bool findProfileValue(ProfileData *data, const Char *section, const Char *key, Char (&value)[kPathUnits]) {
    if (!data || !section || !key) return false;
    bool failed;
    SectionRecord *found = findSection(data, section, &failed);
    if (found == nullptr) return false;
    size_t length;
    key = trimArgument(key, &length);
    FileName name;
    if (name.encode(data, key, length) != FileName::kEncoded) return false;
    const EntryRecord *entry = findKey(data, *found, name.bytes(), name.length());
    if (entry == nullptr || entry->value.start == kNoValue) return false;
    decodeCut(data, entry->value, value);
    return true;
}

bool forEachNumberedProfileKey(ProfileData *data, const Char *section, const Char *prefix, const Char *suffix,
                               Profile::NumberedVisitor visit, void *context) {
    if (!data || !section) return true;
    bool failed;
    const SectionRecord *found = findSection(data, section, &failed);
    if (found == nullptr) return !failed;
    size_t prefixLength = 0, suffixLength = 0;
    while (prefix[prefixLength] != 0) ++prefixLength;
    while (suffix[suffixLength] != 0) ++suffixLength;
    FileName before, after;
    // As written: numberedKeyIndex folds, and tries the case written first.
    const FileName::Outcome outcomes[] = {before.encode(data, prefix, prefixLength, false),
                                          after.encode(data, suffix, suffixLength, false)};
    for (FileName::Outcome outcome : outcomes) {
        if (outcome != FileName::kEncoded) return outcome == FileName::kUnwritable;  // no name matches
    }
    Char value[kPathUnits];
    for (uint32_t e = found->keys; e < found->keysEnd; ++e) {
        const EntryRecord &entry = data->entries[e];
        const int32_t number = numberedKeyIndex(data->text + entry.name.start, entry.name.length, before.bytes(),
                                                before.length(), after.bytes(), after.length());
        if (number == 0) continue;
        if (entry.value.start == kNoValue) {
            visit(context, number, nullptr);
            continue;
        }
        decodeCut(data, entry.value, value);
        visit(context, number, value);
    }
    return true;
}

void readProfileString(ProfileData *data, const Char *section, const Char *key, const Char *fallback,
                       Char (&out)[kPathUnits]) {
    if (findProfileValue(data, section, key, out)) return;
    static const Char kEmpty[1] = {0};
    if (!fallback) fallback = kEmpty;
    size_t n = 0;
    while (fallback[n] != 0) ++n;
    while (n > 0 && fallback[n - 1] == u' ') --n;
    if (n > kPathUnits - 1) n = kPathUnits - 1;
    for (size_t i = 0; i < n; ++i) out[i] = fallback[i];
    out[n] = 0;
}

}  // namespace platform
}  // namespace quorvel
