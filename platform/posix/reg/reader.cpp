// Registry export files, POSIX side: one key read from the file.
//
// The file is read line by line, once for each key opened. Only the sections
// of the key asked for are kept, but every value line is parsed in full
// wherever it stands, so that a value's continuation lines are consumed the
// same way in every section. Beside this file in reg/: text (buffers, the
// file as UTF-16 lines), grammar (key and value lines), case (how names
// compare), store (the key's values as records).
#include "platform/posix/reg/reader.h"

#include <stdlib.h>

#include "platform/posix/reg/grammar.h"
#include "platform/posix/reg/store.h"
#include "platform/posix/reg/text.h"
#include "platform/trace.h"

namespace quorvel {
namespace platform {

namespace {

using namespace regfile;

// One reading of the file for one key.
struct Reading {
    Text text;
    Records records;
    Value value;
    const Char *target;  // the key asked for, [target, targetEnd)
    const Char *targetEnd;
    Root wanted;
    bool eightBitText;  // REGEDIT4: strings other than REG_SZ are 8-bit text
    bool exists;        // the key asked for, so far
    bool inTarget;      // value lines belong to the key asked for
    TraceBudget ignored;
};

void releaseReading(Reading &r) {
    free(r.text.units);
    releaseRecords(r.records);
    release(r.value.name);
    release(r.value.data);
}

// A line of the key asked for that gives it nothing, told with its number
// and text; counted from the text's start only when traced.
void traceIgnored(Reading &r, const Char *line, const Char *end, const char *why) {
    if (!tracing() || !r.ignored.take()) return;
    unsigned long number = 1;
    for (const Char *p = r.text.units; p < line; ++p) number += *p == u'\n' ? 1 : 0;
    trace("registry file line %lu ignored (%s): %s", number, why, TraceText(line, end).c_str());
}

// The first line that is not blank names the format. False for anything but
// the two headers.
bool readHeader(Reading &r) {
    const Char *line, *end;
    while (nextLine(r.text, &line, &end)) {
        line = skipBlanks(line, end);
        while (end > line && isBlank(end[-1])) --end;
        if (line == end) continue;
        r.eightBitText = isExactly(line, end, "REGEDIT4");
        return r.eightBitText || isExactly(line, end, "Windows Registry Editor Version 5.00");
    }
    return false;
}

// A key line, from its '[' at `p`: a section of the key asked for makes it
// exist and takes the value lines that follow; a deletion of it, or of a key
// above it, takes it away with what it held. Values after a malformed key
// line or in another root belong to no key the library can open.
void applyKeyLine(Reading &r, const Char *line, const Char *p, const Char *end) {
    KeyLine key;
    r.inTarget = false;
    if (!parseKeyLine(p, end, &key)) {
        traceIgnored(r, line, end, "not a key line");
        return;
    }
    if (key.root != r.wanted) return;
    const Relation relation = relate(key.path, key.pathEnd, r.target, r.targetEnd);
    if (key.deletion) {
        // A root cannot be deleted.
        if (hasComponents(key.path, key.pathEnd) && (relation == Relation::Same || relation == Relation::Ancestor)) {
            r.exists = false;
            clearRecords(r.records);
        }
    } else if (relation == Relation::Same || relation == Relation::Descendant) {
        r.exists = true;
        r.inTarget = relation == Relation::Same;
    }
}

// A value line, from its first unit at `p`, with the lines its hex data
// continues on; kept when it belongs to the key asked for. False when
// memory runs out.
bool applyValueLine(Reading &r, const Char *line, const Char *p, const Char *end) {
    Cursor c{line, p, end};
    const Parse parsed = parseValueLine(r.text, c, r.eightBitText, r.value);
    if (parsed == Parse::NoMemory) return false;
    // A malformed value is skipped with the lines it has taken, and no
    // more: a backslash that does not continue hex data joins nothing.
    if (parsed == Parse::Malformed) {
        if (r.inTarget) traceIgnored(r, line, c.end, "not a value the registry editor imports");
        return true;
    }
    return !r.inTarget || appendRecord(r.records, r.value.type, r.value.removed, r.value.name, r.value.data);
}

}  // namespace

RegistryKeyValues *loadRegistryKey(const uint8_t *bytes, size_t size, RegistryRoot root, const Char *subkey) {
    if (bytes == nullptr) size = 0;
    Reading r{};
    r.target = subkey != nullptr ? subkey : QTEXT("");
    r.targetEnd = r.target;
    while (*r.targetEnd != 0) ++r.targetEnd;
    // The system refuses a key path that starts with a backslash.
    if (r.target < r.targetEnd && *r.target == u'\\') return nullptr;
    r.wanted = root == RegistryRoot::CurrentUser ? Root::CurrentUser : Root::LocalMachine;
    // The root itself is always there; any other key exists once a section
    // names it or a key below it, until a deletion takes it away.
    r.exists = !hasComponents(r.target, r.targetEnd);

    if (!decodeFile(bytes, size, &r.text) || !readHeader(r)) {
        if (r.text.units != nullptr && tracing()) {
            trace(
                "registry file: its first line is no registry header (REGEDIT4 or Windows Registry Editor Version "
                "5.00); the registry is empty");
        }
        releaseReading(r);
        return nullptr;
    }
    const Char *line, *end;
    bool enoughMemory = true;
    while (enoughMemory && nextLine(r.text, &line, &end)) {
        const Char *p = skipBlanks(line, end);
        if (p == end || *p == u';') continue;
        if (*p == u'[') {
            applyKeyLine(r, line, p, end);
        } else if (*p == u'"' || *p == u'@') {
            enoughMemory = applyValueLine(r, line, p, end);
        } else if (r.inTarget) {
            // Not a line of this format: skipped.
            traceIgnored(r, line, end, "neither a key nor a value");
        }
    }
    if (tracing()) r.ignored.finish("registry file lines ignored");
    // The text goes first: settling the records takes memory of its own.
    free(r.text.units);
    r.text.units = nullptr;
    RegistryKeyValues *values = enoughMemory && r.exists ? adoptRecords(r.records) : nullptr;
    releaseReading(r);
    return values;
}

}  // namespace platform
}  // namespace quorvel
