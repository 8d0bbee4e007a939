// Read-only access to the system registry.
#ifndef QUORVEL_PLATFORM_REGISTRY_H
#define QUORVEL_PLATFORM_REGISTRY_H

#include "platform/platform.h"
#include "platform/trace.h"

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

// How an open or a read went, in the trace's words. Both sides trace the
// same lines; call only when tracing() is true.
enum class RegistryOutcome { Read, Missing, Refused, TooLarge };

inline void traceKeyOpened(RegistryRoot root, const Char *subkey, RegistryOutcome outcome) {
    trace("registry key %s\\%s: %s", root == RegistryRoot::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE",
          TraceText(subkey).c_str(),
          outcome == RegistryOutcome::Read      ? "opened"
          : outcome == RegistryOutcome::Missing ? "not there"
                                                : "cannot be opened");
}

inline void traceValueRead(const Char *name, uint32_t bytes, RegistryOutcome outcome) {
    if (outcome == RegistryOutcome::Read) {
        trace("registry value \"%s\": %u bytes", TraceText(name).c_str(), static_cast<unsigned>(bytes));
    } else {
        trace("registry value \"%s\": %s", TraceText(name).c_str(),
              outcome == RegistryOutcome::Missing    ? "not there"
              : outcome == RegistryOutcome::TooLarge ? "larger than the buffer, not read"
                                                     : "cannot be read");
    }
}

}  // namespace platform
}  // namespace quorvel

#endif
