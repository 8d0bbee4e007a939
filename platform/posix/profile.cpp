// Settings file, POSIX side: GetPrivateProfileStringW over a file read once.
//
// Windows opens and reads the file at every GetPrivateProfileStringW call.
// Here the file is opened, read and indexed at the first read of a Profile
// (one exported call), and every read after that is a look-up in the index
// (profile_parse.h); a change to the file during the call is not seen, and a
// file that could not be read stays unread for the rest of the call.
//
// Opening, and where it differs from Windows:
//  - The path's UTF-16 is converted to the system's bytes as every path of
//    the library is (native_path.h); one that cannot be, or is longer than
//    the system's path limit, reads as a missing file.
//  - The path is used as given: no 260-unit limit, no search of a Windows
//    directory for a bare file name, '\' is an ordinary character.
//  - Anything but a regular file (a directory, a FIFO, a device) reads as an
//    unreadable file without being opened (opening a FIFO would wake a
//    writer waiting on it); so does a file over kMaxProfileBytes.
//  - A missing or unreadable file, and running out of memory, make every
//    read yield its default, as a missing file does on Windows.
//  - A null path (no settings file) yields the default as the caller passes
//    it, cut to 259 units: the Windows side does the same without calling
//    the system.
#include "platform/profile.h"

#include <new>

#include <sys/stat.h>

#include "platform/posix/native_path.h"
#include "platform/posix/profile_parse.h"
#include "platform/posix/reach.h"

namespace quorvel {
namespace platform {

namespace {

ProfileData *loadProfile(const Char *path) {
    char name[kNativeBytes];
    if (!toNative(path, name, sizeof name, nullptr)) return nullptr;
    // Only a regular file is opened: a FIFO or a device named by mistake
    // is never opened (that has effects), and reads as unreadable.
    size_t size = 0;
    struct stat info;
    unsigned char *bytes = readRegularFile(name, kMaxProfileBytes, &size, &info);
    return bytes != nullptr ? adoptProfile(bytes, size) : nullptr;
}

}  // namespace

namespace {

// What a Profile keeps here: the parsed file, once the first read tried.
struct FileState {
    ProfileData *data;
    bool loaded;
};

}  // namespace

static_assert(sizeof(FileState) <= 16 && alignof(FileState) <= 8, "Profile's state holds a FileState");

Profile::Profile(const Char *path) : path_(path), state_() { new (state_) FileState{nullptr, false}; }

Profile::~Profile() { freeProfile(reinterpret_cast<FileState *>(state_)->data); }

namespace {

ProfileData *loaded(const Char *path, FileState &file) {
    if (!file.loaded) {
        file.loaded = true;
        file.data = loadProfile(path);
    }
    return file.data;
}

}  // namespace

void Profile::readFromFile(const Char *section, const Char *key, const Char *fallback, Char (&out)[kPathUnits]) {
    readProfileString(loaded(path_, *reinterpret_cast<FileState *>(state_)), section, key, fallback, out);
}

bool Profile::listNumberedKeys(const Char *section, const Char *prefix, const Char *suffix, NumberedVisitor visit,
                               void *context) {
    ProfileData *data = loaded(path_, *reinterpret_cast<FileState *>(state_));
    return forEachNumberedProfileKey(data, section, prefix, suffix, visit, context);
}

}  // namespace platform
}  // namespace quorvel
