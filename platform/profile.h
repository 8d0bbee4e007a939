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

    // Calls `visit` for each key line of `section` named `prefix`, a number
    // i and `suffix` (see numbered_key.h), in the file's order, as
    // GetPrivateProfileStringW lists the names for a null key; a name may
    // come more than once. `value` is that line's value as a read of the key
    // would give it (cut to 259 units), or null where this side does not
    // have it, or the line has none: a read of the key then tells. A missing
    // file or section lists nothing. False when the list cannot be had
    // whole (memory ran out).
    using NumberedVisitor = void (*)(void *context, int32_t number, const Char *value);
    bool forEachNumberedKey(const Char *section, const Char *prefix, const Char *suffix, NumberedVisitor visit,
                            void *context);

private:
    const Char *path_;
    ProfileData *data_ = nullptr;
    bool loaded_ = false;
};

}  // namespace platform
}  // namespace quorvel

#endif
