// Registry export files, POSIX side: a key's records; see registry_store.h.
#include "platform/posix/registry_store.h"

#include <stdlib.h>
#include <string.h>

#include "platform/posix/registry_case.h"

namespace quorvel {
namespace platform {

struct RegistryKeyValues {
    uint8_t *records;  // see appendRecord
    size_t size;
};

namespace {

// A record: four 32-bit fields (type, removed, name bytes, data bytes) in
// host order, the name (UTF-16LE), the data, zero padding to 4 bytes.
constexpr size_t kRecordHeader = 16;

}  // namespace

namespace regfile {

bool appendRecord(Buffer &records, uint32_t type, bool removed, const Buffer &name, const Buffer &data) {
    const uint32_t header[4] = {type, removed ? 1u : 0u, static_cast<uint32_t>(name.size),
                                static_cast<uint32_t>(data.size)};
    static const uint8_t kPadding[4] = {0, 0, 0, 0};
    size_t padding = (4 - (name.size + data.size) % 4) % 4;
    return append(records, header, sizeof header) && append(records, name.data, name.size) &&
           append(records, data.data, data.size) && append(records, kPadding, padding);
}

RegistryKeyValues *adoptRecords(Buffer &records) {
    RegistryKeyValues *values = static_cast<RegistryKeyValues *>(malloc(sizeof(RegistryKeyValues)));
    if (values == nullptr) return nullptr;
    values->records = records.data;
    values->size = records.size;
    records = Buffer{nullptr, 0, 0};
    return values;
}

}  // namespace regfile

using regfile::sameUnit;

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
