// Registry, Windows side: RegOpenKeyExW / RegQueryValueExW / RegCloseKey.
#include "platform/registry.h"

#include <windows.h>

namespace quorvel {
namespace platform {

bool openRegistryKey(RegistryRoot root, const Char *subkey, RegistryKey *key) {
    HKEY base = root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    HKEY opened = nullptr;
    const LONG rc = RegOpenKeyExW(base, subkey, 0, KEY_READ, &opened);
    if (tracing()) {
        traceKeyOpened(root, subkey,
                       rc == ERROR_SUCCESS          ? RegistryOutcome::Read
                       : rc == ERROR_FILE_NOT_FOUND ? RegistryOutcome::Missing
                                                    : RegistryOutcome::Refused);
    }
    if (rc != ERROR_SUCCESS) return false;
    key->handle = opened;
    return true;
}

bool queryRegistryValue(RegistryKey key, const Char *name, void *data, uint32_t *size) {
    // The type is preset, REG_DWORD for a 4-byte read and REG_SZ otherwise,
    // and never looked at afterwards: the bytes are what counts.
    DWORD type = *size == 4 ? REG_DWORD : REG_SZ;
    DWORD bytes = *size;
    LONG rc = RegQueryValueExW(static_cast<HKEY>(key.handle), name, nullptr, &type, static_cast<BYTE *>(data), &bytes);
    if (tracing()) {
        traceValueRead(name, bytes,
                       rc == ERROR_SUCCESS          ? RegistryOutcome::Read
                       : rc == ERROR_MORE_DATA      ? RegistryOutcome::TooLarge
                       : rc == ERROR_FILE_NOT_FOUND ? RegistryOutcome::Missing
                                                    : RegistryOutcome::Refused);
    }
    if (rc != ERROR_SUCCESS) return false;
    *size = bytes;
    return true;
}

void closeRegistryKey(RegistryKey key) { RegCloseKey(static_cast<HKEY>(key.handle)); }

}  // namespace platform
}  // namespace quorvel
