// Registry, POSIX side: the registry is a registry export file named by the
// environment variable QUORVEL_REGISTRY_FILE, or without one the user's
// locale; docs/registry-file.md says how each is read, kept and checked.
#include "platform/registry.h"

#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "platform/posix/file_stamp.h"
#include "platform/posix/reach.h"
#include "platform/posix/reg/reader.h"
#include "platform/territories.h"

namespace quorvel {
namespace platform {

namespace {

// Larger files are taken as unreadable: a registry file for this library
// holds a handful of keys.
constexpr size_t kFileLimit = 16u << 20;

// --- The registry file, kept while it is unchanged -----------------------------
//
// The keys asked of the file are parsed once and kept, shared by every
// handle open on them, while the file's stamp shows it unchanged
// (file_stamp.h: one stat per open, and the one-tick rule). A key not kept
// yet is parsed from the file read afresh, and kept with the others if the
// file is still the one they came from. One file is kept, with at most
// kKeptKeys keys taking at most kKeptKeyBytes, the longest unused going
// first; a larger key is parsed at each open. The file's bytes are kept
// only while its stamp cannot be trusted yet, so that a file read again
// unchanged keeps its keys. One lock guards it all, held for the look-up,
// and for the read and the parse when the file changed.

constexpr unsigned kKeptKeys = 64;
constexpr size_t kKeptKeyBytes = 32u << 20;

struct KeptKey {
    RegistryRoot root;
    uint32_t hash;              // of the subkey, to pass over others quickly
    Char *subkey;               // as asked for, terminated
    RegistryKeyValues *values;  // null: the file has no such key
    size_t bytes;               // what the key takes, subkey included
    uint64_t used;              // when it was last asked for
};

struct KeptFile {
    char *path;
    FileStamp stamp;
    uint8_t *bytes;  // while the stamp is not trusted
    size_t size;
    KeptKey keys[kKeptKeys];
    unsigned keyCount;
    size_t keyBytes;
    uint64_t clock;  // counts look-ups, for KeptKey::used
};

pthread_mutex_t gLock = PTHREAD_MUTEX_INITIALIZER;
KeptFile gKept;  // zero-initialized: nothing kept

void forgetKey(KeptFile *f, unsigned i) {
    free(f->keys[i].subkey);
    freeRegistryKey(f->keys[i].values);
    f->keyBytes -= f->keys[i].bytes;
    f->keys[i] = f->keys[--f->keyCount];
}

void forgetFile(KeptFile *f) {
    while (f->keyCount != 0) forgetKey(f, 0);
    free(f->path);
    free(f->bytes);
    *f = KeptFile{};
}

// Kept keys share long prefixes ("Software\Microsoft\...\TS"), so the
// names are told apart by a hash first. A collision costs one comparison.
uint32_t subkeyHash(const Char *name) {
    uint32_t hash = 2166136261u;
    for (; *name != 0; ++name) hash = (hash ^ *name) * 16777619u;
    return hash;
}

bool sameSubkey(const Char *a, const Char *b) {
    while (*a != 0 && *a == *b) ++a, ++b;
    return *a == *b;
}

KeptKey *findKept(RegistryRoot root, uint32_t hash, const Char *name) {
    for (unsigned i = 0; i < gKept.keyCount; ++i) {
        KeptKey &k = gKept.keys[i];
        if (k.hash == hash && k.root == root && sameSubkey(k.subkey, name)) return &k;
    }
    return nullptr;
}

// The caller's handle on a kept key: one more reference to its values.
bool give(KeptKey &k, RegistryKey *key) {
    k.used = ++gKept.clock;
    if (k.values == nullptr) return false;
    key->handle = shareRegistryKey(k.values);
    return true;
}

// Keeps `values` (null: no such key) as the key `name` of the kept file and
// gives the caller a handle on it; a key too large to keep, or one whose
// name cannot be copied, goes to the caller alone.
bool keepKey(RegistryRoot root, uint32_t hash, const Char *name, RegistryKeyValues *values, RegistryKey *key) {
    size_t units = 0;
    while (name[units] != 0) ++units;
    const size_t bytes = (units + 1) * sizeof(Char) + (values != nullptr ? registryKeyBytes(values) : 0);
    Char *copy = bytes <= kKeptKeyBytes ? static_cast<Char *>(malloc((units + 1) * sizeof(Char))) : nullptr;
    if (copy == nullptr) {
        key->handle = values;
        return values != nullptr;
    }
    memcpy(copy, name, (units + 1) * sizeof(Char));
    while (gKept.keyCount == kKeptKeys || gKept.keyBytes + bytes > kKeptKeyBytes) {
        unsigned oldest = 0;
        for (unsigned i = 1; i < gKept.keyCount; ++i) {
            if (gKept.keys[i].used < gKept.keys[oldest].used) oldest = i;
        }
        forgetKey(&gKept, oldest);
    }
    KeptKey &k = gKept.keys[gKept.keyCount++];
    k = KeptKey{root, hash, copy, values, bytes, 0};
    gKept.keyBytes += bytes;
    return give(k, key);
}

// The key from the kept file, which is made the file at `path` as it is
// now; `now` is the file's status seen before the lock was taken, null when
// there is none. False when the file cannot be read or has no such key.
bool openKeptKey(const char *path, const struct stat *now, RegistryRoot root, const Char *subkey, RegistryKey *key) {
    if (now == nullptr) {
        if (tracing()) trace("registry file %s: missing; the registry is empty", path);
        forgetFile(&gKept);
        return false;
    }
    const Char *name = subkey != nullptr ? subkey : QTEXT("");
    const uint32_t hash = subkeyHash(name);
    const bool samePath = gKept.path != nullptr && strcmp(gKept.path, path) == 0;
    if (samePath && isUnchanged(gKept.stamp, *now)) {
        if (KeptKey *k = findKept(root, hash, name)) return give(*k, key);
    }
    // Larger than the limit: unreadable. The bytes are those `st` counts, so
    // they go with its stamp.
    struct stat st;
    size_t size = 0;
    uint8_t *bytes = readRegularFile(path, kFileLimit, &size, &st, "registry file");
    if (bytes == nullptr) {
        forgetFile(&gKept);
        return false;
    }
    // The keys kept still hold when the file is the one they came from, or
    // (read afresh while its stamp could not be trusted) the same bytes.
    const bool keysHold = samePath && (isUnchanged(gKept.stamp, st) || (gKept.bytes != nullptr && gKept.size == size &&
                                                                        memcmp(gKept.bytes, bytes, size) == 0));
    if (!keysHold) {
        forgetFile(&gKept);
        const size_t pathBytes = strlen(path) + 1;
        gKept.path = static_cast<char *>(malloc(pathBytes));
        if (gKept.path == nullptr) {
            free(bytes);
            return false;
        }
        memcpy(gKept.path, path, pathBytes);
    }
    gKept.stamp = stampOf(st);
    free(gKept.bytes);
    gKept.bytes = nullptr;
    KeptKey *k = findKept(root, hash, name);
    const bool opened =
        k != nullptr ? give(*k, key) : keepKey(root, hash, name, loadRegistryKey(bytes, size, root, subkey), key);
    if (gKept.stamp.trustedUntil == kNotTrusted) {
        gKept.bytes = bytes;
        gKept.size = size;
    } else {
        free(bytes);
    }
    return opened;
}

// The locale name the C library takes for addresses: the first of LC_ALL,
// LC_ADDRESS and LANG that is set and not empty. Only read, never installed:
// the process's locale is the caller's.
const char *addressLocale(const char **variableOut) {
    static const char *const kVariables[] = {"LC_ALL", "LC_ADDRESS", "LANG"};
    for (const char *variable : kVariables) {
        const char *name = getenv(variable);
        if (name != nullptr && name[0] != 0) {
            *variableOut = variable;
            return name;
        }
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

void traceLocale(const char *variable, const char *locale, const Territory *territory) {
    if (locale == nullptr) {
        trace("registry: no QUORVEL_REGISTRY_FILE and no locale in LC_ALL, LC_ADDRESS or LANG; the registry is empty");
    } else if (territory == nullptr) {
        trace(
            "registry: no QUORVEL_REGISTRY_FILE; the locale %s (%s) has no territory the system numbers; the "
            "registry is empty",
            locale, variable);
    } else {
        trace("registry: no QUORVEL_REGISTRY_FILE; the locale %s (%s) gives territory %s: Nation %d, iCountry %d",
              locale, variable, territory->code, static_cast<int>(territory->nation),
              static_cast<int>(territory->telephone));
    }
}

// The two values as a registry file, so that keys open and values read
// exactly as they would from a file: REG_SZ in UTF-16 with its terminator.
bool openLocaleKey(RegistryRoot root, const Char *subkey, RegistryKey *key) {
    if (root != RegistryRoot::CurrentUser) return false;
    const char *variable = nullptr;
    const char *locale = addressLocale(&variable);
    const Territory *territory = localeTerritory(locale);
    if (tracing()) traceLocale(variable, locale, territory);
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
    bool opened;
    if (path == nullptr || path[0] == 0) {
        opened = openLocaleKey(root, subkey, key);
    } else {
        // The stat before the lock: a file changed meanwhile is at worst
        // read once more.
        struct stat now;
        const bool there = stat(path, &now) == 0;
        pthread_mutex_lock(&gLock);
        opened = openKeptKey(path, there ? &now : nullptr, root, subkey, key);
        pthread_mutex_unlock(&gLock);
    }
    if (tracing()) traceKeyOpened(root, subkey, opened ? RegistryOutcome::Read : RegistryOutcome::Missing);
    return opened;
}

bool queryRegistryValue(RegistryKey key, const Char *name, void *data, uint32_t *size) {
    if (key.handle == nullptr || size == nullptr) return false;
    const uint8_t *bytes;
    uint32_t length, type;
    if (!findRegistryValue(static_cast<const RegistryKeyValues *>(key.handle), name, &bytes, &length, &type)) {
        if (tracing()) traceValueRead(name, 0, RegistryOutcome::Missing);
        return false;
    }
    // Too large a value is not read at all, and a shorter one leaves the
    // rest of the caller's buffer as it was.
    if (length > *size) {
        if (tracing()) traceValueRead(name, length, RegistryOutcome::TooLarge);
        return false;
    }
    if (data != nullptr && length != 0) memcpy(data, bytes, length);
    *size = length;
    if (tracing()) traceValueRead(name, length, RegistryOutcome::Read);
    return true;
}

void closeRegistryKey(RegistryKey key) { freeRegistryKey(static_cast<RegistryKeyValues *>(key.handle)); }

}  // namespace platform
}  // namespace quorvel
