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

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/native_path.h"
#include "platform/posix/profile_parse.h"
#include "platform/posix/reach.h"

namespace quorvel {
namespace platform {

namespace {

// Reads an open regular file whole, `info` being its status when it was
// reached. Null when it is too large, cannot be read, or memory runs out.
// Only the bytes the status counts are read: a file that grows meanwhile is
// read as it was when it was opened, so no read looks past them (one read in
// all, unless the file shrank).
ProfileData *readOpenFile(int fd, const struct stat &info) {
    if (!S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<unsigned long long>(info.st_size) > kMaxProfileBytes) {
        return nullptr;
    }
    const size_t expected = static_cast<size_t>(info.st_size);
    unsigned char *bytes = static_cast<unsigned char *>(malloc(expected ? expected : 1));
    if (!bytes) return nullptr;
    size_t size = 0;
    while (size < expected) {
        const ssize_t got = read(fd, bytes + size, expected - size);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            free(bytes);
            return nullptr;
        }
        if (got == 0) break;
        size += static_cast<size_t>(got);
    }
    return adoptProfile(bytes, size);
}

ProfileData *loadProfile(const Char *path) {
    char name[kNativeBytes];
    if (!toNative(path, name, sizeof name, nullptr)) return nullptr;
    // Only a regular file is opened: a FIFO or a device named by mistake
    // is never opened (that has effects), and reads as unreadable.
    struct stat info;
    const int fd = openRegularFile(name, &info);
    if (fd < 0) return nullptr;
    ProfileData *data = readOpenFile(fd, info);
    close(fd);
    return data;
}

}  // namespace

Profile::~Profile() { freeProfile(data_); }

void Profile::readString(const Char *section, const Char *key, const Char *fallback, Char (&out)[kPathUnits]) {
    if (path_ == nullptr) {
        int n = 0;
        while (fallback && n < kPathUnits - 1 && fallback[n] != 0) {
            out[n] = fallback[n];
            ++n;
        }
        out[n] = 0;
        return;
    }
    if (!loaded_) {
        loaded_ = true;
        data_ = loadProfile(path_);
    }
    readProfileString(data_, section, key, fallback, out);
}

bool Profile::forEachNumberedKey(const Char *section, const Char *prefix, const Char *suffix, NumberedVisitor visit,
                                 void *context) {
    if (path_ == nullptr) return true;
    if (!loaded_) {
        loaded_ = true;
        data_ = loadProfile(path_);
    }
    return forEachNumberedProfileKey(data_, section, prefix, suffix, visit, context);
}

}  // namespace platform
}  // namespace quorvel
