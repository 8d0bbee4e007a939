// Registry, POSIX side: the registry is a registry export file named by the
// environment variable QUORVEL_REGISTRY_FILE (docs/registry-file.md). The
// file is read afresh at every open, so a change to it shows at the next
// open and nothing is kept between calls; an open key holds a copy of its
// values until it is closed. No variable, an empty one, or a file that
// cannot be read or is no registry file: an empty registry, where no key
// opens.
#include "platform/registry.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/registry_file.h"

namespace quorvel {
namespace platform {

namespace {

// Larger files are taken as unreadable: a registry file for this library
// holds a handful of keys.
constexpr size_t kFileLimit = 16u << 20;

// The whole file in a malloc'd buffer, or null. Only regular files are
// read, so that a device or a pipe named by mistake cannot block the call.
uint8_t *readFile(const char *path, size_t *size) {
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<unsigned long long>(st.st_size) > kFileLimit) {
        close(fd);
        return nullptr;
    }
    // One byte more than the file had, to see it grow past the limit.
    size_t capacity = static_cast<size_t>(st.st_size) + 1;
    uint8_t *data = static_cast<uint8_t *>(malloc(capacity));
    size_t used = 0;
    while (data != nullptr) {
        if (used == capacity) {
            if (capacity > kFileLimit) {
                free(data);
                data = nullptr;
                break;
            }
            size_t grown = capacity * 2 > kFileLimit + 1 ? kFileLimit + 1 : capacity * 2;
            uint8_t *bigger = static_cast<uint8_t *>(realloc(data, grown));
            if (bigger == nullptr) {
                free(data);
                data = nullptr;
                break;
            }
            data = bigger;
            capacity = grown;
        }
        ssize_t n = read(fd, data + used, capacity - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            free(data);
            data = nullptr;
        } else if (n == 0) {
            break;
        } else {
            used += static_cast<size_t>(n);
        }
    }
    close(fd);
    *size = used;
    return data;
}

}  // namespace

bool openRegistryKey(RegistryRoot root, const Char *subkey, RegistryKey *key) {
    if (key == nullptr) return false;
    const char *path = getenv("QUORVEL_REGISTRY_FILE");
    if (path == nullptr || path[0] == 0) return false;
    size_t size = 0;
    uint8_t *bytes = readFile(path, &size);
    if (bytes == nullptr) return false;
    RegistryKeyValues *values = loadRegistryKey(bytes, size, root, subkey);
    free(bytes);
    if (values == nullptr) return false;
    key->handle = values;
    return true;
}

bool queryRegistryValue(RegistryKey key, const Char *name, void *data, uint32_t *size) {
    if (key.handle == nullptr || size == nullptr) return false;
    const uint8_t *bytes;
    uint32_t length, type;
    if (!findRegistryValue(static_cast<const RegistryKeyValues *>(key.handle), name, &bytes, &length, &type)) {
        return false;
    }
    // Too large a value is not read at all, and a shorter one leaves the
    // rest of the caller's buffer as it was.
    if (length > *size) return false;
    if (data != nullptr && length != 0) memcpy(data, bytes, length);
    *size = length;
    return true;
}

void closeRegistryKey(RegistryKey key) { freeRegistryKey(static_cast<RegistryKeyValues *>(key.handle)); }

}  // namespace platform
}  // namespace quorvel
