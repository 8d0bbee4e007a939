// Registry export files, POSIX side: a key's records; see store.h.
#include "platform/posix/reg/store.h"

#include <stdlib.h>
#include <string.h>

#include <atomic>
#include <new>

#include "platform/posix/name_order.h"
#include "platform/posix/reg/case.h"

namespace quorvel {
namespace platform {

// A complete key: one record for each name it holds, sorted by name, and
// where each starts. Shared by every handle open on it and by the cache of
// the registry file; the last reference frees it.
struct RegistryKeyValues {
    std::atomic<uint32_t> references;
    uint8_t *records;
    size_t size;
    uint32_t *starts;  // of the records, by name
    uint32_t count;
};

namespace {

// A record: a header of three numbers in LEB128 (the type shifted left by
// one, with 1 for a deletion; the name's bytes; the data's bytes), then the
// name (UTF-16LE) and the data. Every record starts below kMaxBuffer, so
// where it starts fits 32 bits.
constexpr size_t kMostHeader = 5 + 5 + 5;

size_t putNumber(uint8_t *out, uint64_t value) {
    size_t n = 0;
    do {
        const uint8_t low = value & 0x7f;
        value >>= 7;
        out[n++] = static_cast<uint8_t>(low | (value != 0 ? 0x80 : 0));
    } while (value != 0);
    return n;
}

uint64_t takeNumber(const uint8_t *&p) {
    uint64_t value = 0;
    for (unsigned shift = 0;; shift += 7) {
        const uint8_t byte = *p++;
        value |= uint64_t{byte & 0x7fu} << shift;
        if ((byte & 0x80) == 0) return value;
    }
}

struct Record {
    uint64_t head;  // type << 1 | removed
    const uint8_t *name;
    uint32_t nameBytes;
    const uint8_t *data;
    uint32_t dataBytes;
    size_t length;  // of the whole record
};

Record recordAt(const uint8_t *records, size_t at) {
    const uint8_t *p = records + at;
    Record r;
    r.head = takeNumber(p);
    r.nameBytes = static_cast<uint32_t>(takeNumber(p));
    r.dataBytes = static_cast<uint32_t>(takeNumber(p));
    r.name = p;
    r.data = p + r.nameBytes;
    r.length = static_cast<size_t>(r.data + r.dataBytes - (records + at));
    return r;
}

// A unit as names compare: by the registry's upper case.
uint32_t folded(uint32_t unit) {
    if (unit < 0x80) return unit >= 'a' && unit <= 'z' ? unit - ('a' - 'A') : unit;
    return regfile::upperCase(unit);
}

uint32_t unitAt(const uint8_t *name, size_t p) { return name[2 * p] | (name[2 * p + 1] << 8); }

bool sameName(const Record &r, const regfile::Buffer &name) {
    if (r.nameBytes != name.size) return false;
    for (uint32_t p = 0; p < r.nameBytes / 2; ++p) {
        if (!regfile::sameUnit(unitAt(r.name, p), unitAt(name.data, p))) return false;
    }
    return true;
}

// The records' names, for sortByName: record i's name starts at names[i]
// in `records` and is units[i] units long.
struct RecordNames {
    const uint8_t *records;
    const uint32_t *names;
    const uint32_t *units;
    uint32_t length(uint32_t i) const { return units[i]; }
    uint32_t unit(uint32_t i, uint32_t p) const { return folded(unitAt(records + names[i], p)); }
};

// Orders a stored name against the caller's: negative, zero or positive.
int compareNames(const uint8_t *stored, uint32_t storedUnits, const Char *name, size_t nameUnits) {
    const size_t common = storedUnits < nameUnits ? storedUnits : nameUnits;
    for (size_t p = 0; p < common; ++p) {
        const uint32_t a = folded(unitAt(stored, static_cast<uint32_t>(p))), b = folded(name[p]);
        if (a != b) return a < b ? -1 : 1;
    }
    return storedUnits < nameUnits ? -1 : storedUnits > nameUnits ? 1 : 0;
}

// The last record of each name that is not a deletion, by name, into
// `values`. False when memory runs out.
bool settle(regfile::Records &records, RegistryKeyValues *values) {
    const uint8_t *bytes = records.bytes.data;
    uint32_t count = 0;
    for (size_t at = 0; at < records.bytes.size; at += recordAt(bytes, at).length) ++count;
    const size_t n = count != 0 ? count : 1;
    uint32_t *starts = static_cast<uint32_t *>(malloc(n * sizeof(uint32_t)));
    uint32_t *names = static_cast<uint32_t *>(malloc(n * sizeof(uint32_t)));
    uint32_t *units = static_cast<uint32_t *>(malloc(n * sizeof(uint32_t)));
    uint32_t *order = static_cast<uint32_t *>(malloc(n * sizeof(uint32_t)));
    uint32_t *scratch = static_cast<uint32_t *>(malloc(3 * n * sizeof(uint32_t)));
    uint8_t *kept = nullptr;
    bool done = false;
    if (starts != nullptr && names != nullptr && units != nullptr && order != nullptr && scratch != nullptr) {
        size_t at = 0;
        for (uint32_t i = 0; i < count; ++i) {
            const Record r = recordAt(bytes, at);
            starts[i] = static_cast<uint32_t>(at);
            names[i] = static_cast<uint32_t>(r.name - bytes);
            units[i] = r.nameBytes / 2;
            order[i] = i;
            at += r.length;
        }
        const uint32_t distinct = sortByName(order, scratch, count, RecordNames{bytes, names, units}, KeepOf::Last);
        size_t size = 0;
        uint32_t live = 0;
        for (uint32_t k = 0; k < distinct; ++k) {
            const Record r = recordAt(bytes, starts[order[k]]);
            if ((r.head & 1) != 0) continue;  // deleted
            size += r.length;
            order[live++] = order[k];
        }
        kept = static_cast<uint8_t *>(malloc(size != 0 ? size : 1));
        if (kept != nullptr) {
            // `starts` is rewritten in name order, for the kept records.
            size_t at = 0;
            for (uint32_t k = 0; k < live; ++k) {
                const Record r = recordAt(bytes, starts[order[k]]);
                memcpy(kept + at, bytes + starts[order[k]], r.length);
                order[k] = static_cast<uint32_t>(at);
                at += r.length;
            }
            memcpy(starts, order, live * sizeof(uint32_t));
            values->records = kept;
            values->size = size;
            values->starts = starts;
            values->count = live;
            done = true;
        }
    }
    free(names);
    free(units);
    free(order);
    free(scratch);
    if (!done) free(starts);
    return done;
}

}  // namespace

namespace regfile {

bool appendRecord(Records &records, uint32_t type, bool removed, const Buffer &name, const Buffer &data) {
    // A record that replaces the one just before it takes its place.
    if (records.last != 0 && sameName(recordAt(records.bytes.data, records.last - 1), name)) {
        records.bytes.size = records.last - 1;
    }
    uint8_t header[kMostHeader];
    size_t used = putNumber(header, uint64_t{type} << 1 | (removed ? 1u : 0u));
    used += putNumber(header + used, name.size);
    used += putNumber(header + used, data.size);
    const size_t start = records.bytes.size;
    if (!append(records.bytes, header, used) || !append(records.bytes, name.data, name.size) ||
        !append(records.bytes, data.data, data.size)) {
        return false;
    }
    records.last = start + 1;
    return true;
}

void clearRecords(Records &records) {
    records.bytes.size = 0;
    records.last = 0;
}

void releaseRecords(Records &records) {
    release(records.bytes);
    records.last = 0;
}

RegistryKeyValues *adoptRecords(Records &records) {
    RegistryKeyValues *values = new (std::nothrow) RegistryKeyValues();
    if (values == nullptr) return nullptr;
    values->references.store(1, std::memory_order_relaxed);
    if (!settle(records, values)) {
        delete values;
        return nullptr;
    }
    releaseRecords(records);
    return values;
}

}  // namespace regfile

bool findRegistryValue(const RegistryKeyValues *values, const Char *name, const uint8_t **data, uint32_t *size,
                       uint32_t *type) {
    if (values == nullptr) return false;
    size_t nameUnits = 0;
    if (name != nullptr) {
        while (name[nameUnits] != 0) ++nameUnits;
    }
    uint32_t low = 0, high = values->count;
    while (low < high) {
        const uint32_t middle = low + (high - low) / 2;
        const Record r = recordAt(values->records, values->starts[middle]);
        const int side = compareNames(r.name, r.nameBytes / 2, name, nameUnits);
        if (side == 0) {
            *data = r.data;
            *size = r.dataBytes;
            *type = static_cast<uint32_t>(r.head >> 1);
            return true;
        }
        if (side < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return false;
}

void freeRegistryKey(RegistryKeyValues *values) {
    if (values == nullptr || values->references.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    free(values->records);
    free(values->starts);
    delete values;
}

RegistryKeyValues *shareRegistryKey(RegistryKeyValues *values) {
    values->references.fetch_add(1, std::memory_order_relaxed);
    return values;
}

size_t registryKeyBytes(const RegistryKeyValues *values) {
    return sizeof(RegistryKeyValues) + values->size + values->count * sizeof(uint32_t);
}

}  // namespace platform
}  // namespace quorvel
