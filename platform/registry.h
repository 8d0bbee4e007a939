// Read-only access to the system registry.
#ifndef QUORVEL_PLATFORM_REGISTRY_H
#define QUORVEL_PLATFORM_REGISTRY_H

#include "platform/platform.h"

namespace quorvel {
namespace platform {

enum class RegistryRoot { CurrentUser, LocalMachine };

struct RegistryKey {
    void *handle = nullptr;
};

// Opens `subkey` under `root` for reading (RegOpenKeyExW with KEY_READ).
// Key names are matched without regard to case.
bool openRegistryKey(RegistryRoot root, const Char *subkey, RegistryKey *key);

// Reads the raw bytes of value `name` whatever its type (RegQueryValueExW).
// On entry *size is the capacity of `data` in bytes. A value larger than that
// is not read at all (false, `data` untouched); otherwise its bytes are copied
// to the start of `data`, the rest of `data` is untouched, and *size becomes
// the value's size. An absent value gives false.
bool queryRegistryValue(RegistryKey key, const Char *name, void *data, uint32_t *size);

// Closes a key that openRegistryKey opened.
void closeRegistryKey(RegistryKey key);

}  // namespace platform
}  // namespace quorvel

#endif
