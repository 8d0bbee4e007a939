// The settings file, read as the system's profile-string reader reads it.
#ifndef QUORVEL_PLATFORM_PROFILE_H
#define QUORVEL_PLATFORM_PROFILE_H

#include "platform/platform.h"
#include "seam_state.h"

namespace quorvel {
namespace platform {

// One settings file, for the length of one exported call. On Windows every
// read goes to GetPrivateProfileStringW. On POSIX the file is read once, at
// the first read, and every read of the call looks at what was read then;
// the parsed file is kept from call to call while its stamp shows it
// unchanged (docs/settings-file.md), so a call on an unchanged file reads
// nothing but the file's status.
class Profile {
public:
    // `path` may be null: every read then yields its default.
    explicit Profile(const Char *path);
    ~Profile();
    Profile(const Profile &) = delete;
    Profile &operator=(const Profile &) = delete;

    // GetPrivateProfileStringW(section, key, fallback, out, 260, path): the
    // value, or `fallback` when the key or the file is missing, cut to 259
    // units and terminated. A null `fallback` reads as "".
    void readString(const Char *section, const Char *key, const Char *fallback, Char (&out)[kPathUnits]) {
        // A null path is "no settings file", not a file to look for (the
        // system would read win.ini): the default as passed, only cut.
        if (path_ != nullptr) return readFromFile(section, key, fallback, out);
        int n = 0;
        while (fallback != nullptr && n < kPathUnits - 1 && fallback[n] != 0) {
            out[n] = fallback[n];
            ++n;
        }
        out[n] = 0;
    }

    // Calls `visit` for each key line of `section` named `prefix`, a number
    // i and `suffix` (see numbered_key.h), in the file's order, as
    // GetPrivateProfileStringW lists the names for a null key; a name may
    // come more than once. `value` is that line's value as a read of the key
    // would give it (cut to 259 units), or null where this side does not
    // have it, or the line has none: a read of the key then tells. A missing
    // file or section, or a null path, lists nothing. False when the list
    // cannot be had whole (memory ran out).
    using NumberedVisitor = void (*)(void *context, int32_t number, const Char *value);
    bool forEachNumberedKey(const Char *section, const Char *prefix, const Char *suffix, NumberedVisitor visit,
                            void *context) {
        return path_ == nullptr || listNumberedKeys(section, prefix, suffix, visit, context);
    }

    // Answers the caller worked out from the file, kept with it: on POSIX
    // for as long as the parsed file is kept, so that a later call on the
    // unchanged file need not work them out again; on Windows not at all
    // (recall finds nothing). `question` names the question and its inputs;
    // the answer is up to four numbers. Null path: nothing is kept.
    bool recall(uint64_t question, int32_t (&answer)[4]);
    void remember(uint64_t question, const int32_t (&answer)[4]);

private:
    // Each side's reads of the file at path_, which is not null.
    void readFromFile(const Char *section, const Char *key, const Char *fallback, Char (&out)[kPathUnits]);
    bool listNumberedKeys(const Char *section, const Char *prefix, const Char *suffix, NumberedVisitor visit,
                          void *context);

    const Char *path_;
    // What the side keeps for the length of the call (seam_state.h).
    ProfileState state_;
};

}  // namespace platform
}  // namespace quorvel

#endif
