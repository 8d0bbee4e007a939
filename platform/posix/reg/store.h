// Registry export files, POSIX side: the values of one key as records. While
// the file is read they are appended in file order, superseded ones
// included ("later definitions win", and a value's deletion is a record
// too); a record that replaces the one before it takes its place at once.
// When the key is complete only the last record of each name stays, sorted
// by name, deletions dropped: the key then holds what it shows, and a
// look-up is a binary search.
#ifndef QUORVEL_PLATFORM_POSIX_REG_STORE_H
#define QUORVEL_PLATFORM_POSIX_REG_STORE_H

#include <stddef.h>
#include <stdint.h>

#include "platform/posix/reg/text.h"
#include "platform/registry.h"

namespace quorvel {
namespace platform {

// The values of one key as the file leaves them. Opaque: made by
// loadRegistryKey, read by findRegistryValue, shared by shareRegistryKey,
// let go by freeRegistryKey. Never changed once made, so any number of
// threads may read one at once.
struct RegistryKeyValues;

// Finds value `name` (null or empty: the key's default value). On success
// *data points to the value's bytes inside `values` (valid until it is
// freed), *size is their count and *type the value's registry type.
bool findRegistryValue(const RegistryKeyValues *values, const Char *name, const uint8_t **data, uint32_t *size,
                       uint32_t *type);

// Lets go of one reference to `values` (loadRegistryKey's, or one
// shareRegistryKey added); the last frees it. Null is allowed.
void freeRegistryKey(RegistryKeyValues *values);

// `values` with one more reference, for another holder to let go of.
RegistryKeyValues *shareRegistryKey(RegistryKeyValues *values);

// The memory `values` takes.
size_t registryKeyBytes(const RegistryKeyValues *values);

namespace regfile {

// The records of a key being read; all zero is empty.
struct Records {
    Buffer bytes;
    size_t last;  // where the last record starts, plus one; 0 for none
};

// Appends a value's record: its registry type, whether it is a deletion
// ("name"=-), its name (UTF-16LE) and its data. False when memory runs out.
bool appendRecord(Records &records, uint32_t type, bool removed, const Buffer &name, const Buffer &data);

// Drops every record (the key was deleted), keeping the buffer.
void clearRecords(Records &records);

void releaseRecords(Records &records);

// The key whose values are `records`, which it takes over (`records` is
// left empty); null, and `records` kept, when memory runs out.
RegistryKeyValues *adoptRecords(Records &records);

}  // namespace regfile
}  // namespace platform
}  // namespace quorvel

#endif
