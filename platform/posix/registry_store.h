// Registry export files, POSIX side: the values of one key, kept as records
// in file order, superseded ones included. A look-up takes the last record
// of a name, which makes "later definitions win" and value deletions a plain
// append.
#ifndef QUORVEL_PLATFORM_POSIX_REGISTRY_STORE_H
#define QUORVEL_PLATFORM_POSIX_REGISTRY_STORE_H

#include <stddef.h>
#include <stdint.h>

#include "platform/posix/registry_file.h"
#include "platform/posix/registry_text.h"

namespace quorvel {
namespace platform {
namespace regfile {

// Appends a value's record to `records`: its registry type, whether it is a
// deletion ("name"=-), its name (UTF-16LE) and its data. False when memory
// runs out.
bool appendRecord(Buffer &records, uint32_t type, bool removed, const Buffer &name, const Buffer &data);

// The key whose values are `records`, which it takes over (`records` is
// left empty); null, and `records` kept, when memory runs out.
RegistryKeyValues *adoptRecords(Buffer &records);

}  // namespace regfile
}  // namespace platform
}  // namespace quorvel

#endif
