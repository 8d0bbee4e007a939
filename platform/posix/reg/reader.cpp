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

struct Reading {
    Text text;
    Records records;
    Value value;
};

void releaseReading(Reading &r) {
    free(r.text.units);
    releaseRecords(r.records);
    release(r.value.name);
    release(r.value.data);
}

// A line of the key asked for that gives it nothing, told with its number
// and text; counted from the text's start only when traced.
void traceIgnored(const Text &t, const Char *line, const Char *end, const char *why, TraceBudget &budget) {
    if (!budget.take()) return;
    unsigned long number = 1;
    for (const Char *p = t.units; p < line; ++p) number += *p == u'\n' ? 1 : 0;
    trace("registry file line %lu ignored (%s): %s", number, why, TraceText(line, end).c_str());
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
        if (tracing()) {
            trace("registry file: its first line is no registry header (REGEDIT4 or Windows Registry Editor Version "
                  "5.00); the registry is empty");
        }
        releaseReading(r);
        return nullptr;
    }
    TraceBudget ignored;

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
            if (!parseKeyLine(p, end, &key)) {
                if (tracing()) traceIgnored(r.text, line, end, "not a key line", ignored);
                continue;
            }
            if (key.root != wanted) continue;
            const Relation relation = relate(key.path, key.pathEnd, target, targetEnd);
            if (key.deletion) {
                // A root cannot be deleted.
                if (hasComponents(key.path, key.pathEnd) &&
                    (relation == Relation::Same || relation == Relation::Ancestor)) {
                    exists = false;
                    clearRecords(r.records);
                }
            } else if (relation == Relation::Same || relation == Relation::Descendant) {
                exists = true;
                inTarget = relation == Relation::Same;
            }
            continue;
        }
        if (*p != u'"' && *p != u'@') {
            // Not a line of this format: skipped.
            if (inTarget && tracing()) traceIgnored(r.text, line, end, "neither a key nor a value", ignored);
            continue;
        }

        Cursor c{line, p, end};
        const Parse parsed = parseValueLine(r.text, c, eightBitText, r.value);
        if (parsed == Parse::NoMemory) {
            releaseReading(r);
            return nullptr;
        }
        // A malformed value is skipped with the lines it has taken, and no
        // more: a backslash that does not continue hex data joins nothing.
        if (parsed == Parse::Malformed) {
            if (inTarget && tracing()) traceIgnored(r.text, line, c.end, "not a value the registry editor imports", ignored);
            continue;
        }
        if (inTarget && !appendRecord(r.records, r.value.type, r.value.removed, r.value.name, r.value.data)) {
            releaseReading(r);
            return nullptr;
        }
    }

    if (tracing()) ignored.finish("registry file lines ignored");
    // The text goes first: settling the records takes memory of its own.
    free(r.text.units);
    r.text.units = nullptr;
    RegistryKeyValues *values = exists ? adoptRecords(r.records) : nullptr;
    releaseReading(r);
    return values;
}

}  // namespace platform
}  // namespace quorvel
