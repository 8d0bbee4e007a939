// Registry export files, POSIX side: the values of one key as records. While
// the file is read they are appended in file order, superseded ones
// included ("later definitions win", and a value's deletion is a record
// too); a record that replaces the one before it takes its place at once.
// When the key is complete only the last record of each name stays, sorted
// by name, deletions dropped: the key then holds what it shows, and a
// look-up is a binary search.
#ifndef QUORVEL_PLATFORM_POSIX_REGISTRY_STORE_H
#define QUORVEL_PLATFORM_POSIX_REGISTRY_STORE_H

#include <stddef.h>
#include <stdint.h>

#include "platform/posix/registry_file.h"
#include "platform/posix/registry_text.h"

namespace quorvel {
namespace platform {
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
