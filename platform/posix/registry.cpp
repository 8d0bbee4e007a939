// Registry, POSIX side: the registry is a registry export file named by the
// environment variable QUORVEL_REGISTRY_FILE (docs/registry-file.md). The
// file is kept, parsed, while it is unchanged; a change to it shows at the
// next open. An open key holds a copy of its values until it is closed. A variable naming a file that cannot be read or
// is no registry file: an empty registry, where no key opens.
//
// No variable, or an empty one: the user's nation and country code come from
// the territory of the user's locale, as the system sets them from the
// locale it starts with; nothing else is there. A locale without a territory
// the system numbers gives an empty registry, as before.
#include "platform/registry.h"

#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include "platform/posix/reach.h"
#include "platform/posix/registry_file.h"
#include "platform/posix/territories.h"

namespace quorvel {
namespace platform {

namespace {

// Larger files are taken as unreadable: a registry file for this library
// holds a handful of keys.
constexpr size_t kFileLimit = 16u << 20;

// --- The registry file, kept while it is unchanged -----------------------------
//
// The file is read and its keys parsed once, and kept while its identity and
// stamp (device, inode, size, change and modification times in nanoseconds)
// stay the same; each open compares them with one stat, so a change shows
// at the next open. A file changed within one tick of the file system's
// clock before it was read may change again without a new stamp, so it is
// read afresh until it is older (isSettled). One file is kept, with at most
// kKeptKeys keys, under one lock.

// How long after its last change a file's stamp can be trusted: the file
// system's clock ticks at most every 10 ms where stamps carry nanoseconds
// (the kernel's coarse clock), and every second or two where they do not.
constexpr int64_t kFineMargin = 20'000'000;        // ns
constexpr int64_t kCoarseMargin = 2'000'000'000;   // ns
constexpr unsigned kKeptKeys = 64;

struct Stamp {
    dev_t device;
    ino_t inode;
    off_t size;
    struct timespec modified;
    struct timespec changed;
};

struct KeptKey {
    RegistryRoot root;
    uint32_t hash;              // of the subkey, to pass over others quickly
    Char *subkey;               // as asked for, terminated
    RegistryKeyValues *values;  // null: the file has no such key
};

struct KeptFile {
    char *path;
    Stamp stamp;
    bool settled;  // unchanged long enough before it was read to be kept
    uint8_t *bytes;
    size_t size;
    KeptKey keys[kKeptKeys];
    unsigned keyCount;
    unsigned nextKey;
};

pthread_mutex_t gLock = PTHREAD_MUTEX_INITIALIZER;
KeptFile gKept;  // zero-initialized: nothing kept

int64_t nanoseconds(const struct timespec &t) { return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec; }

// Whether the file was last changed long enough before now that a change
// made after it was read must show in its stamp.
bool isSettled(const struct stat &st) {
    struct timespec clock;
    clock_gettime(CLOCK_REALTIME, &clock);
    const bool coarse = st.st_mtim.tv_nsec == 0 && st.st_ctim.tv_nsec == 0;
    const int64_t margin = coarse ? kCoarseMargin : kFineMargin;
    const int64_t now = nanoseconds(clock);
    return nanoseconds(st.st_mtim) + margin < now && nanoseconds(st.st_ctim) + margin < now;
}

Stamp stampOf(const struct stat &st) { return Stamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim}; }

bool sameTime(const struct timespec &a, const struct timespec &b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool sameStamp(const Stamp &a, const Stamp &b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size && sameTime(a.modified, b.modified) &&
           sameTime(a.changed, b.changed);
}

void forgetKeys(KeptFile *f) {
    for (unsigned i = 0; i < f->keyCount; ++i) {
        free(f->keys[i].subkey);
        freeRegistryKey(f->keys[i].values);
    }
    f->keyCount = 0;
    f->nextKey = 0;
}

void forgetFile(KeptFile *f) {
    forgetKeys(f);
    free(f->path);
    free(f->bytes);
    *f = KeptFile{};
}

// Makes gKept hold the file at `path` as it is now. False when it cannot be
// read: not there, not a regular file, too large, no memory.
bool keepCurrent(const char *path) {
    struct stat now;
    const bool samePath = gKept.path != nullptr && strcmp(gKept.path, path) == 0;
    if (stat(path, &now) != 0) {
        forgetFile(&gKept);
        return false;
    }
    if (gKept.settled && samePath && sameStamp(gKept.stamp, stampOf(now))) return true;
    struct stat st;
    size_t size = 0;
    // Larger than the limit: unreadable. The bytes are those `st` counts, so
    // they go with its stamp.
    uint8_t *bytes = readRegularFile(path, kFileLimit, &size, &st);
    if (bytes == nullptr) {
        forgetFile(&gKept);
        return false;
    }
    const bool settled = isSettled(st);
    // Read afresh but the same bytes (a file too new to trust its stamp, or
    // one touched): the keys parsed from them still hold.
    if (samePath && gKept.size == size && memcmp(gKept.bytes, bytes, size) == 0) {
        free(bytes);
        gKept.stamp = stampOf(st);
        gKept.settled = settled;
        return true;
    }
    forgetFile(&gKept);
    const size_t pathBytes = strlen(path) + 1;
    char *copy = static_cast<char *>(malloc(pathBytes));
    if (copy == nullptr) {
        free(bytes);
        return false;
    }
    memcpy(copy, path, pathBytes);
    gKept.path = copy;
    gKept.stamp = stampOf(st);
    gKept.settled = settled;
    gKept.bytes = bytes;
    gKept.size = size;
    return true;
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

// The key from the kept file, parsed once; a copy for the caller to close.
bool openKeptKey(RegistryRoot root, const Char *subkey, RegistryKey *key) {
    const Char *name = subkey != nullptr ? subkey : QTEXT("");
    const uint32_t hash = subkeyHash(name);
    for (unsigned i = 0; i < gKept.keyCount; ++i) {
        const KeptKey &k = gKept.keys[i];
        if (k.hash != hash || k.root != root || !sameSubkey(k.subkey, name)) continue;
        if (k.values == nullptr) return false;
        key->handle = copyRegistryKey(k.values);
        return key->handle != nullptr;
    }
    RegistryKeyValues *values = loadRegistryKey(gKept.bytes, gKept.size, root, subkey);
    size_t units = 0;
    while (name[units] != 0) ++units;
    Char *kept = static_cast<Char *>(malloc((units + 1) * sizeof(Char)));
    if (kept != nullptr) {
        memcpy(kept, name, (units + 1) * sizeof(Char));
        KeptKey *slot;
        if (gKept.keyCount < kKeptKeys) {
            slot = &gKept.keys[gKept.keyCount++];
        } else {
            // Full: the oldest kept key makes room.
            slot = &gKept.keys[gKept.nextKey++ % kKeptKeys];
            free(slot->subkey);
            freeRegistryKey(slot->values);
        }
        *slot = KeptKey{root, hash, kept, values};
        if (values == nullptr) return false;
        key->handle = copyRegistryKey(values);
        return key->handle != nullptr;
    }
    if (values == nullptr) return false;
    key->handle = values;
    return true;
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
    pthread_mutex_lock(&gLock);
    const bool opened = keepCurrent(path) && openKeptKey(root, subkey, key);
    pthread_mutex_unlock(&gLock);
    return opened;
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
