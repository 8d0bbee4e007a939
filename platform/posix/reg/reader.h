// Registry export files, POSIX side: the text of a registry export file,
// read for the values of one key.
//
// The reader works on bytes held in memory and touches nothing else, so that
// any sequence of bytes can be fed to it. docs/registry-file.md describes the
// format it accepts and how it treats what it does not.
#ifndef QUORVEL_PLATFORM_POSIX_REG_READER_H
#define QUORVEL_PLATFORM_POSIX_REG_READER_H

#include <stddef.h>
#include <stdint.h>

#include "platform/posix/reg/store.h"
#include "platform/registry.h"

namespace quorvel {
namespace platform {

// Reads the registry file held in `bytes` (`size` bytes, no terminator
// needed) and gathers key `subkey` under `root`. A null or empty `subkey`
// names the root itself. Gives null when the file does not hold that key,
// when the bytes are not a registry file, when `subkey` starts with a
// backslash, or when memory runs out.
RegistryKeyValues *loadRegistryKey(const uint8_t *bytes, size_t size, RegistryRoot root, const Char *subkey);

}  // namespace platform
}  // namespace quorvel

#endif
