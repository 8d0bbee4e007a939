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
// The file is decoded once into UTF-16, and every section header and key
// line gets a record, in file order. The index is arrays of record numbers
// sorted by folded name, stably, so that the first line of a name stays
// first: one of the sections, and for each first section of a name one of
// its keys, each name kept once. A read is two binary searches. Sorted, not
// hashed: no choice of names slows this sort past n log n plus the names'
// length (sortByName), while names chosen to share an unkeyed hash make a
// hash index quadratic, and a keyed hash needs a random key.
#include "platform/posix/profile_parse.h"

#include <stdint.h>
#include <stdlib.h>

#include <new>

namespace quorvel {
namespace platform {

namespace {

// A run of the decoded text.
struct Span {
    uint32_t start;
    uint32_t length;
};

struct SectionRecord {
    Span name;
    // Its key lines: the entry records [keys, keysEnd), in file order.
    uint32_t keys;
    uint32_t keysEnd;
    // Once indexed, for the first section of a name: entryOrder[keys,
    // namesEnd) lists those records by name, the first line of each name.
    uint32_t namesEnd;
};

// value.start of a line without '=' (text offsets stay below 2^22).
constexpr uint32_t kNoValue = UINT32_MAX;

struct EntryRecord {
    Span name;
    Span value;
};

}  // namespace

struct ProfileData {
    Char *text = nullptr;
    uint32_t textUnits = 0;

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
    // Entry records by section, then name; see SectionRecord.namesEnd.
    uint32_t *entryOrder = nullptr;
};

namespace {

// ---------------------------------------------------------------- decoding

// Windows-1252 for the bytes 0x80-0x9F; every other byte is its own code
// point. The five bytes that code page leaves undefined map to the C1
// controls of the same value, as MultiByteToWideChar maps them.
const uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr size_t kNotUtf8 = SIZE_MAX;

// The length in UTF-16 units of `bytes` read as UTF-8, or kNotUtf8 when they
// are not well-formed UTF-8 (overlong forms, surrogates, values past
// U+10FFFF and cut sequences are not).
size_t utf8Units(const unsigned char *bytes, size_t size) {
    size_t units = 0;
    size_t i = 0;
    while (i < size) {
        unsigned lead = bytes[i];
        if (lead < 0x80) {
            ++i;
            ++units;
            continue;
        }
        size_t length;
        unsigned low = 0x80, high = 0xBF;  // range of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            return kNotUtf8;
        }
        if (size - i < length) return kNotUtf8;
        if (bytes[i + 1] < low || bytes[i + 1] > high) return kNotUtf8;
        for (size_t k = 2; k < length; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80) return kNotUtf8;
        }
        units += length == 4 ? 2 : 1;
        i += length;
    }
    return units;
}

// Decodes well-formed UTF-8 (checked by utf8Units) into UTF-16.
void decodeUtf8(const unsigned char *bytes, size_t size, Char *out) {
    size_t i = 0;
    while (i < size) {
        uint32_t c = bytes[i];
        if (c < 0x80) {
            ++i;
        } else if (c < 0xE0) {
            c = ((c & 0x1F) << 6) | (bytes[i + 1] & 0x3F);
            i += 2;
        } else if (c < 0xF0) {
            c = ((c & 0x0F) << 12) | ((bytes[i + 1] & 0x3Fu) << 6) | (bytes[i + 2] & 0x3F);
            i += 3;
        } else {
            c = ((c & 0x07) << 18) | ((bytes[i + 1] & 0x3Fu) << 12) | ((bytes[i + 2] & 0x3Fu) << 6) |
                (bytes[i + 3] & 0x3F);
            i += 4;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            *out++ = static_cast<Char>(0xD800 + (c >> 10));
            *out++ = static_cast<Char>(0xDC00 + (c & 0x3FF));
        } else {
            *out++ = static_cast<Char>(c);
        }
    }
}

// The file's text in UTF-16. False when memory runs out.
bool decodeText(const unsigned char *bytes, size_t size, ProfileData *data) {
    size_t units;
    const bool utf16 = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    size_t utf8 = kNotUtf8;
    if (utf16) {
        units = (size - 2) / 2;  // an odd last byte is not a unit; it is dropped
    } else {
        utf8 = utf8Units(bytes, size);
        units = utf8 != kNotUtf8 ? utf8 : size;
    }
    // At least one unit, so that an empty file is not mistaken for a failure.
    Char *text = static_cast<Char *>(malloc((units ? units : 1) * sizeof(Char)));
    if (!text) return false;
    if (utf16) {
        for (size_t i = 0; i < units; ++i) {
            text[i] = static_cast<Char>(bytes[2 + 2 * i] | (bytes[3 + 2 * i] << 8));
        }
    } else if (utf8 != kNotUtf8) {
        decodeUtf8(bytes, size, text);
    } else {
        for (size_t i = 0; i < size; ++i) {
            unsigned b = bytes[i];
            text[i] = static_cast<Char>(b >= 0x80 && b < 0xA0 ? kWindows1252High[b - 0x80] : b);
        }
    }
    data->text = text;
    data->textUnits = static_cast<uint32_t>(units);  // fits: size <= kMaxProfileBytes
    return true;
}

// ------------------------------------------------------------------ names

// The blanks Wine trims around lines, names and values. Windows is shown to
// trim space, tab and vertical tab; CR and LF end a line before any trimming;
// form feed and ^Z (an old DOS end-of-file mark) follow Wine.
bool isBlank(Char c) { return c == 0x20 || (c >= 0x09 && c <= 0x0D) || c == 0x1A; }

Char foldCase(Char c) { return c >= u'A' && c <= u'Z' ? static_cast<Char>(c + (u'a' - u'A')) : c; }

// Orders names by their folded units, a name before any longer one it
// starts: negative, zero or positive as `a` sorts before, with or after `b`.
// Costs at most the shorter name's length.
int compareNames(const Char *a, size_t aLength, const Char *b, size_t bLength) {
    const size_t common = aLength < bLength ? aLength : bLength;
    for (size_t i = 0; i < common; ++i) {
        const Char x = foldCase(a[i]), y = foldCase(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return aLength < bLength ? -1 : aLength > bLength ? 1 : 0;
}

// Drops the blanks at both ends of [start, end).
void trimBlanks(const Char *text, uint32_t &start, uint32_t &end) {
    while (start < end && isBlank(text[start])) ++start;
    while (end > start && isBlank(text[end - 1])) --end;
}

// A name or value ends at its first U+0000, trimmed before it is cut (as in
// Wine, which trims the line and then hands the text on as a C string).
Span cString(const Char *text, uint32_t start, uint32_t end) {
    uint32_t stop = start;
    while (stop < end && text[stop] != 0) ++stop;
    return Span{start, stop - start};
}

// ------------------------------------------------------------------ index

// Grows `capacity` so that one more record fits. A record takes at least
// two units of a file of at most kMaxProfileBytes, so counts stay below 2^22
// and doubling cannot overflow.
template <typename Record>
bool makeRoom(Record *&records, uint32_t count, uint32_t &capacity) {
    if (count < capacity) return true;
    uint32_t grown = capacity ? capacity * 2 : 16;
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
// units it shares with the one before it: a merge compares two names only
// past what both share with the name it output last, so each compared unit
// either is the last or lengthens what an element shares with the one
// before it, which never shrinks and never exceeds its length. Any content
// then costs O(count log count + the names' length): names chosen to share
// long prefixes cost no more than others.
template <typename NameOf>
uint32_t sortByName(const Char *text, uint32_t *order, uint32_t *scratch, uint32_t count, NameOf nameOf) {
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
                    const Char *x = text + a.start, *y = text + b.start;
                    uint32_t p = left;
                    while (p < a.length && p < b.length && foldCase(x[p]) == foldCase(y[p])) ++p;
                    // Equal names take the left run's first: the earlier line.
                    takeLeft = p == a.length || (p < b.length && foldCase(x[p]) < foldCase(y[p]));
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
uint32_t findByName(const Char *text, const uint32_t *order, uint32_t first, uint32_t last, NameOf nameOf,
                    const Char *name, size_t length) {
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

// Builds sectionOrder and entryOrder from the records. False when memory
// runs out.
bool sortRecords(ProfileData *data) {
    const uint32_t most = data->sectionCount > data->entryCount ? data->sectionCount : data->entryCount;
    if (most == 0) return true;
    uint32_t *scratch = static_cast<uint32_t *>(malloc(3 * static_cast<size_t>(most) * sizeof(uint32_t)));
    if (!scratch) return false;
    bool enough = true;
    if (data->sectionCount) {
        data->sectionOrder = static_cast<uint32_t *>(malloc(data->sectionCount * sizeof(uint32_t)));
        enough = data->sectionOrder != nullptr;
    }
    if (enough && data->entryCount) {
        data->entryOrder = static_cast<uint32_t *>(malloc(data->entryCount * sizeof(uint32_t)));
        enough = data->entryOrder != nullptr;
    }
    if (!enough) {
        free(scratch);
        return false;
    }
    for (uint32_t s = 0; s < data->sectionCount; ++s) data->sectionOrder[s] = s;
    data->sectionNames =
        sortByName(data->text, data->sectionOrder, scratch, data->sectionCount, SectionName{data->sections});
    // Only the first section of a name is searched, so only its keys are
    // sorted; the keys under a repeated header are never found.
    for (uint32_t n = 0; n < data->sectionNames; ++n) {
        SectionRecord &section = data->sections[data->sectionOrder[n]];
        const uint32_t count = section.keysEnd - section.keys;
        if (count == 0) continue;
        for (uint32_t e = section.keys; e < section.keysEnd; ++e) data->entryOrder[e] = e;
        section.namesEnd = section.keys + sortByName(data->text, data->entryOrder + section.keys, scratch, count,
                                                     EntryName{data->entries});
    }
    free(scratch);
    return true;
}

constexpr uint32_t kNoSection = UINT32_MAX;

// ---------------------------------------------------------------- parsing

// A section header line: its name, from after the '[' to the first ']' or
// the end of the line. Every header gets a record, a repeated name too;
// sortRecords drops the repeats. False when memory runs out.
bool enterSection(ProfileData *data, uint32_t start, uint32_t end, uint32_t *section) {
    const Char *text = data->text;
    uint32_t close = start + 1;
    while (close < end && text[close] != u']') ++close;
    uint32_t nameStart = start + 1, nameEnd = close;
    trimBlanks(text, nameStart, nameEnd);
    Span name = cString(text, nameStart, nameEnd);
    if (!makeRoom(data->sections, data->sectionCount, data->sectionCapacity)) return false;
    data->sections[data->sectionCount] = SectionRecord{name, data->entryCount, data->entryCount, data->entryCount};
    *section = data->sectionCount++;
    return true;
}

// A key line in `section`, the last section record. Every line gets a
// record; sortRecords keeps the first line of a name, even one without '='
// (Wine: a later "name=value" stays hidden behind it). False when memory
// runs out.
bool enterKey(ProfileData *data, uint32_t section, uint32_t start, uint32_t end) {
    const Char *text = data->text;
    uint32_t equals = start;
    while (equals < end && text[equals] != u'=') ++equals;

    uint32_t nameEnd = equals;
    uint32_t nameStart = start;
    trimBlanks(text, nameStart, nameEnd);
    Span name = cString(text, nameStart, nameEnd);

    Span value{kNoValue, 0};
    if (equals < end) {
        uint32_t valueStart = equals + 1, valueEnd = end;
        trimBlanks(text, valueStart, valueEnd);
        value = cString(text, valueStart, valueEnd);
        if (value.length >= 2) {
            Char first = text[value.start];
            if ((first == u'"' || first == u'\'') && text[value.start + value.length - 1] == first) {
                value.start += 1;
                value.length -= 2;
            }
        }
    }

    if (!makeRoom(data->entries, data->entryCount, data->entryCapacity)) return false;
    data->entries[data->entryCount] = EntryRecord{name, value};
    data->sections[section].keysEnd = ++data->entryCount;
    return true;
}

bool indexLines(ProfileData *data) {
    const Char *text = data->text;
    const uint32_t units = data->textUnits;
    uint32_t section = kNoSection;  // no section yet
    uint32_t next = 0;
    while (next < units) {
        uint32_t start = next;
        while (next < units && text[next] != u'\r' && text[next] != u'\n') ++next;
        uint32_t end = next;
        if (next < units) ++next;  // the CR or LF; a CRLF leaves an empty line
        trimBlanks(text, start, end);
        if (start == end || text[start] == u';') continue;
        if (text[start] == u'[') {
            if (!enterSection(data, start, end, &section)) return false;
        } else if (section != kNoSection) {
            if (!enterKey(data, section, start, end)) return false;
        }
    }
    return true;
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

void copyCut(const Char *from, size_t units, Char (&out)[kPathUnits]) {
    size_t n = units < static_cast<size_t>(kPathUnits - 1) ? units : static_cast<size_t>(kPathUnits - 1);
    for (size_t i = 0; i < n; ++i) out[i] = from[i];
    out[n] = 0;
}

}  // namespace

ProfileData *parseProfile(const unsigned char *bytes, size_t size) {
    if (size > kMaxProfileBytes || (!bytes && size != 0)) return nullptr;
    ProfileData *data = new (std::nothrow) ProfileData();
    if (!data) return nullptr;
    if (!decodeText(bytes, size, data) || !indexLines(data) || !sortRecords(data)) {
        freeProfile(data);
        return nullptr;
    }
    return data;
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

bool findProfileValue(const ProfileData *data, const Char *section, const Char *key, const Char **value,
                      size_t *units) {
    if (!data || !section || !key) return false;
    size_t sectionLength, keyLength;
    section = trimArgument(section, &sectionLength);
    key = trimArgument(key, &keyLength);
    const uint32_t named = findByName(data->text, data->sectionOrder, 0, data->sectionNames,
                                      SectionName{data->sections}, section, sectionLength);
    if (named == data->sectionNames) return false;
    const SectionRecord &found = data->sections[data->sectionOrder[named]];
    const uint32_t keyed = findByName(data->text, data->entryOrder, found.keys, found.namesEnd,
                                      EntryName{data->entries}, key, keyLength);
    if (keyed == found.namesEnd) return false;
    const EntryRecord &entry = data->entries[data->entryOrder[keyed]];
    if (entry.value.start == kNoValue) return false;
    *value = data->text + entry.value.start;
    *units = entry.value.length;
    return true;
}

void forEachProfileKey(const ProfileData *data, const Char *section, void (*visit)(void *, const Char *, int),
                       void *context) {
    if (!data || !section) return;
    size_t sectionLength;
    section = trimArgument(section, &sectionLength);
    const uint32_t named = findByName(data->text, data->sectionOrder, 0, data->sectionNames,
                                      SectionName{data->sections}, section, sectionLength);
    if (named == data->sectionNames) return;
    const SectionRecord &found = data->sections[data->sectionOrder[named]];
    for (uint32_t e = found.keys; e < found.keysEnd; ++e) {
        const Span name = data->entries[e].name;
        visit(context, data->text + name.start, static_cast<int>(name.length));
    }
}

void readProfileString(const ProfileData *data, const Char *section, const Char *key, const Char *fallback,
                       Char (&out)[kPathUnits]) {
    const Char *value;
    size_t units;
    if (findProfileValue(data, section, key, &value, &units)) {
        copyCut(value, units, out);
        return;
    }
    static const Char kEmpty[1] = {0};
    if (!fallback) fallback = kEmpty;
    size_t n = 0;
    while (fallback[n] != 0) ++n;
    while (n > 0 && fallback[n - 1] == u' ') --n;
    copyCut(fallback, n, out);
}

}  // namespace platform
}  // namespace quorvel
