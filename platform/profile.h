// The settings file, read as the system's profile-string reader reads it.
#ifndef QUORVEL_PLATFORM_PROFILE_H
#define QUORVEL_PLATFORM_PROFILE_H

#include "platform/platform.h"

namespace quorvel {
namespace platform {

struct ProfileData;  // the POSIX side's parsed file; unused on Windows

// One settings file, for the length of one exported call. On Windows every
// read goes to GetPrivateProfileStringW. On POSIX the file is read and
// indexed once, at the first read, so a call that reads many keys parses the
// file once; each read is then a look-up.
class Profile {
public:
    // `path` may be null: every read then yields its default.
    explicit Profile(const Char *path) : path_(path) {}
    ~Profile();
    Profile(const Profile &) = delete;
    Profile &operator=(const Profile &) = delete;

    // GetPrivateProfileStringW(section, key, fallback, out, 260, path): the
    // value, or `fallback` when the key or the file is missing, cut to 259
    // units and terminated.
    void readString(const Char *section, const Char *key, const Char *fallback, Char (&out)[kPathUnits]);

    // Calls `visit` with each key name of `section`, as
    // GetPrivateProfileStringW lists them for a null key, in the file's
    // order; names may repeat. A missing file or section lists nothing.
    // False when the list cannot be had whole (memory ran out).
    using KeyVisitor = void (*)(void *context, const Char *name, int length);
    bool forEachKey(const Char *section, KeyVisitor visit, void *context);

private:
    const Char *path_;
    ProfileData *data_ = nullptr;
    bool loaded_ = false;
};

}  // namespace platform
}  // namespace quorvel

#endif
