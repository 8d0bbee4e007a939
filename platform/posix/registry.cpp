// Registry, POSIX side: the registry is a registry export file named by the
// environment variable QUORVEL_REGISTRY_FILE (docs/registry-file.md). The
// file is read afresh at every open, so a change to it shows at the next
// open and nothing is kept between calls; an open key holds a copy of its
// values until it is closed. A variable naming a file that cannot be read or
// is no registry file: an empty registry, where no key opens.
//
// No variable, or an empty one: the user's nation and country code come from
// the territory of the user's locale, as the system sets them from the
// locale it starts with; nothing else is there. A locale without a territory
// the system numbers gives an empty registry, as before.
#include "platform/registry.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/registry_file.h"
#include "platform/posix/territories.h"

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

// The locale name the C library takes for addresses: the first of LC_ALL,
// LC_ADDRESS and LANG that is set and not empty. Only read, never installed:
// the process's locale is the caller's.
const char *addressLocale() {
    static const char *const kVariables[] = {"LC_ALL", "LC_ADDRESS", "LANG"};
    for (const char *variable : kVariables) {
        const char *name = getenv(variable);
        if (name != nullptr && name[0] != 0) return name;
    }
    return nullptr;
}

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The territory of "language_TERRITORY.codeset@modifier", from the name
// alone, so that a locale not installed here still counts. Null without a
// two-letter territory the table knows: no country is guessed. A name with
// a slash is a path to locale data, which says nothing by its name.
const Territory *localeTerritory(const char *name) {
    if (name == nullptr || strchr(name, '/') != nullptr) return nullptr;
    const char *p = name;
    while (*p != 0 && *p != '_' && *p != '.' && *p != '@') ++p;
    if (p == name || *p != '_') return nullptr;
    const char *code = p + 1;
    size_t length = 0;
    while (code[length] != 0 && code[length] != '.' && code[length] != '@') ++length;
    if (length != 2) return nullptr;
    return findTerritory(upperAscii(code[0]), upperAscii(code[1]));
}

// The two values as a registry file, so that keys open and values read
// exactly as they would from a file: REG_SZ in UTF-16 with its terminator.
bool openLocaleKey(RegistryRoot root, const Char *subkey, RegistryKey *key) {
    if (root != RegistryRoot::CurrentUser) return false;
    const Territory *territory = localeTerritory(addressLocale());
    if (territory == nullptr) return false;
    // A territory of no known locale has a nation but no country code.
    char country[32] = "";
    if (territory->telephone != 0) {
        (void)snprintf(country, sizeof country, "\"iCountry\"=\"%d\"\r\n", static_cast<int>(territory->telephone));
    }
    char text[256];
    const int length = snprintf(text, sizeof text,
                                "Windows Registry Editor Version 5.00\r\n"
                                "[HKEY_CURRENT_USER\\Control Panel\\International\\Geo]\r\n\"Nation\"=\"%d\"\r\n"
                                "[HKEY_CURRENT_USER\\Control Panel\\International]\r\n%s",
                                static_cast<int>(territory->nation), country);
    if (length < 0 || static_cast<size_t>(length) >= sizeof text) return false;
    RegistryKeyValues *values =
        loadRegistryKey(reinterpret_cast<const uint8_t *>(text), static_cast<size_t>(length), root, subkey);
    if (values == nullptr) return false;
    key->handle = values;
    return true;
}

}  // namespace

bool openRegistryKey(RegistryRoot root, const Char *subkey, RegistryKey *key) {
    if (key == nullptr) return false;
    const char *path = getenv("QUORVEL_REGISTRY_FILE");
    if (path == nullptr || path[0] == 0) return openLocaleKey(root, subkey, key);
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
