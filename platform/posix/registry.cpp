// Registry, POSIX side: not built yet; every key is absent.
#include "platform/registry.h"

namespace quorvel {
namespace platform {
bool openRegistryKey(RegistryRoot, const Char *, RegistryKey *) { return false; }
bool queryRegistryValue(RegistryKey, const Char *, void *, uint32_t *) { return false; }
void closeRegistryKey(RegistryKey) {}
}  // namespace platform
}  // namespace quorvel
