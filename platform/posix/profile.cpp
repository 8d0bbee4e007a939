// Settings file, POSIX side: GetPrivateProfileStringW over a file read once
// and kept. docs/settings-file.md gives the rules: how the file is opened and
// where that differs from Windows, what is kept between calls and how a
// change is seen.
//
// A Profile (one exported call) takes the parsed file at its first read, and
// every read after that is a look-up in it (ini/parse.h). A kept file is
// shared by the cache and every Profile reading it, and freed by the last to
// let go, so a call keeps reading the file it took while another call
// replaces it in the cache. One lock guards the cache, held only to look up,
// add and drop files.
#include "platform/profile.h"

#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <atomic>
#include <new>

#include "platform/posix/file_stamp.h"
#include "platform/posix/native_path.h"
#include "platform/posix/ini/parse.h"
#include "platform/posix/reach.h"
#include "platform/trace.h"

namespace quorvel {
namespace platform {

// A parsed settings file, shared by the cache and the Profiles reading it.
struct SharedProfile {
    std::atomic<uint32_t> references;
    char *path;  // native; null when it could not be copied
    FileStamp stamp;
    ProfileData *data;
    size_t bytes;   // profileBytes(data)
    uint64_t used;  // when a call last took it
};

namespace {

constexpr unsigned kKeptFiles = 8;
constexpr size_t kKeptBytes = size_t{32} * 1024u * 1024u;

pthread_mutex_t gLock = PTHREAD_MUTEX_INITIALIZER;
SharedProfile *gKept[kKeptFiles];
unsigned gCount;
size_t gBytes;
uint64_t gClock;

void letGo(SharedProfile *file) {
    if (file == nullptr || file->references.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    freeProfile(file->data);
    free(file->path);
    delete file;
}

void forget(unsigned i) {
    gBytes -= gKept[i]->bytes;
    letGo(gKept[i]);
    gKept[i] = gKept[--gCount];
}

int findKept(const char *name) {
    for (unsigned i = 0; i < gCount; ++i) {
        if (strcmp(gKept[i]->path, name) == 0) return static_cast<int>(i);
    }
    return -1;
}

// The kept parse of `name` while `now` shows the file unchanged, with one
// more reference; else null, and an outdated parse is let go.
SharedProfile *keptUnchanged(const char *name, const struct stat *now) {
    pthread_mutex_lock(&gLock);
    const int at = findKept(name);
    SharedProfile *file = nullptr;
    if (at >= 0 && now != nullptr && isUnchanged(gKept[at]->stamp, *now)) {
        file = gKept[at];
        file->references.fetch_add(1, std::memory_order_relaxed);
        file->used = ++gClock;
    } else if (at >= 0) {
        forget(static_cast<unsigned>(at));
    }
    pthread_mutex_unlock(&gLock);
    return file;
}

// The file `name` read and parsed, with one reference; null when it cannot
// be. Only a regular file is opened: a FIFO or a device named by mistake is
// never opened (that has effects), and reads as unreadable. The bytes are
// those `st` counts, so they go with its stamp.
SharedProfile *parsedFile(const char *name) {
    size_t size = 0;
    struct stat st;
    ProfileData *data = nullptr;
    if (unsigned char *bytes = readRegularFile(name, kMaxProfileBytes, &size, &st, "settings file")) {
        data = adoptProfile(bytes, size);
    }
    SharedProfile *file = data != nullptr ? new (std::nothrow) SharedProfile() : nullptr;
    if (file == nullptr) {
        freeProfile(data);
        return nullptr;
    }
    file->references.store(1, std::memory_order_relaxed);
    file->stamp = stampOf(st);
    file->data = data;
    file->bytes = profileBytes(data);
    return file;
}

// Keeps `file`, the parse of `name`, for later calls: in place of an older
// parse of it, and letting go of the least recently used while the bounds
// would be passed. Not kept: a file whose stamp cannot be trusted yet (it
// would not show the next change). Any file parsed fits the bounds alone.
static_assert(kMostProfileBytes <= kKeptBytes, "the largest file parsed can be kept");
void keep(SharedProfile *file, const char *name) {
    if (file->stamp.trustedUntil == kNotTrusted) return;
    const size_t nameBytes = strlen(name) + 1;
    file->path = static_cast<char *>(malloc(nameBytes));
    if (file->path == nullptr) return;
    memcpy(file->path, name, nameBytes);
    pthread_mutex_lock(&gLock);
    // Another call may have kept the file meanwhile: this one is as new.
    const int again = findKept(name);
    if (again >= 0) forget(static_cast<unsigned>(again));
    while (gCount > 0 && (gCount == kKeptFiles || gBytes + file->bytes > kKeptBytes)) {
        unsigned oldest = 0;
        for (unsigned i = 1; i < gCount; ++i) {
            if (gKept[i]->used < gKept[oldest]->used) oldest = i;
        }
        forget(oldest);
    }
    file->references.fetch_add(1, std::memory_order_relaxed);
    file->used = ++gClock;
    gKept[gCount++] = file;
    gBytes += file->bytes;
    pthread_mutex_unlock(&gLock);
}

// The parsed file `name` taken from the cache while its stamp shows it
// unchanged, else read, parsed and kept; null when it cannot be read.
SharedProfile *takeProfile(const char *name) {
    struct stat now;
    const bool there = stat(name, &now) == 0;
    if (SharedProfile *file = keptUnchanged(name, there ? &now : nullptr)) {
        if (tracing()) trace("settings file %s: kept, unchanged since it was read", name);
        return file;
    }
    if (!there) {
        if (tracing()) trace("settings file %s: missing; every read gives its default", name);
        return nullptr;
    }
    SharedProfile *file = parsedFile(name);
    if (file != nullptr) keep(file, name);
    return file;
}

}  // namespace

Profile::Profile(const Char *path) : path_(path), state_{nullptr, false, TraceBudget{}} {}

Profile::~Profile() {
    if (tracing()) state_.missing.finish("settings keys not there");
    letGo(state_.file);
}

namespace {

ProfileData *taken(const Char *path, ProfileState &state) {
    if (!state.taken) {
        state.taken = true;
        char name[kNativeBytes];
        if (toNative(path, name, sizeof name, nullptr)) state.file = takeProfile(name);
    }
    return state.file != nullptr ? state.file->data : nullptr;
}

}  // namespace

void Profile::readFromFile(const Char *section, const Char *key, const Char *fallback, Char (&out)[kPathUnits]) {
    ProfileState &state = state_;
    ProfileData *data = taken(path_, state);
    const bool found = readProfileString(data, section, key, fallback, out);
    // A missing file was told once; a key the file lacks is told here.
    if (tracing() && data != nullptr && !found && state.missing.take()) {
        trace("settings [%s] %s: not there; the default \"%s\"", TraceText(section).c_str(), TraceText(key).c_str(),
              TraceText(out).c_str());
    }
}

bool Profile::listNumberedKeys(const Char *section, const Char *prefix, const Char *suffix, NumberedVisitor visit,
                               void *context) {
    ProfileData *data = taken(path_, state_);
    return forEachNumberedProfileKey(data, section, prefix, suffix, visit, context);
}

bool Profile::recall(uint64_t question, int32_t (&answer)[4]) {
    return path_ != nullptr && recallProfileAnswer(taken(path_, state_), question, answer);
}

void Profile::remember(uint64_t question, const int32_t (&answer)[4]) {
    if (path_ != nullptr) rememberProfileAnswer(taken(path_, state_), question, answer);
}

}  // namespace platform
}  // namespace quorvel
