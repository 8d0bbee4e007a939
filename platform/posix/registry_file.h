// Registry export files, POSIX side: the text of a registry export file,
// read for the values of one key.
//
// The reader works on bytes held in memory and touches nothing else, so that
// any sequence of bytes can be fed to it. docs/registry-file.md describes the
// format it accepts and how it treats what it does not.
#ifndef QUORVEL_PLATFORM_POSIX_REGISTRY_FILE_H
#define QUORVEL_PLATFORM_POSIX_REGISTRY_FILE_H

#include <stddef.h>
#include <stdint.h>

#include "platform/registry.h"

namespace quorvel {
namespace platform {

// The values of one key as the file leaves them. Opaque: made by
// loadRegistryKey, read by findRegistryValue, shared by shareRegistryKey,
// let go by freeRegistryKey. Never changed once made, so any number of
// threads may read one at once.
struct RegistryKeyValues;

// Reads the registry file held in `bytes` (`size` bytes, no terminator
// needed) and gathers key `subkey` under `root`. A null or empty `subkey`
// names the root itself. Gives null when the file does not hold that key,
// when the bytes are not a registry file, when `subkey` starts with a
// backslash, or when memory runs out.
RegistryKeyValues *loadRegistryKey(const uint8_t *bytes, size_t size, RegistryRoot root, const Char *subkey);

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

}  // namespace platform
}  // namespace quorvel

#endif
