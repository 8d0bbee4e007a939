// Settings file, POSIX side: the parser behind platform::Profile.
//
// Turns the bytes of a settings file into an index of its values, the way
// Windows' GetPrivateProfileStringW finds them, and answers one read from
// that index. Nothing here touches a file, so a fuzzer can feed it any bytes.
// The rules reproduced, and where they follow Windows rather than Wine, are
// listed in docs/settings-file.md; profile_parse.cpp says why for each.
#ifndef QUORVEL_PLATFORM_POSIX_PROFILE_PARSE_H
#define QUORVEL_PLATFORM_POSIX_PROFILE_PARSE_H

#include <stddef.h>

#include "platform/profile.h"

namespace quorvel {
namespace platform {

// The parsed file: its bytes and an index of its lines. Opaque here. A read
// may add to the index, so one ProfileData serves one thread at a time.
struct ProfileData;

// The largest file parsed. A settings file holds a few kilobytes; a larger
// file is treated as unreadable, so that a wrong path cannot make the
// caller's process hold a hundred megabytes (the text and its index take up
// to about seventeen times the file's size, reached by a file of one-letter
// lines, each of which gets a record).
constexpr size_t kMaxProfileBytes = size_t{4} * 1024u * 1024u;

// Parses `size` bytes of a settings file, taking `bytes` (from malloc; freed
// here whatever happens). Null when memory runs out or the file is larger
// than kMaxProfileBytes: the caller then reads every key as absent, as it
// does for a file that cannot be opened. Memory is linear in `size`, and
// time grows at most as `size` log `size`, whatever names the file holds.
ProfileData *adoptProfile(unsigned char *bytes, size_t size);

// The same over bytes the caller keeps.
ProfileData *parseProfile(const unsigned char *bytes, size_t size);

// Frees what the parsers returned; null is allowed.
void freeProfile(ProfileData *data);

// The value the file gives `key` in `section` (names as the caller passes
// them: spaces around them ignored, ASCII letters matched without regard to
// case), trimmed and unquoted, cut to kPathUnits - 1 units and terminated.
// False when the file does not give the key a value; `data`, `section` and
// `key` may be null, which finds nothing.
bool findProfileValue(ProfileData *data, const Char *section, const Char *key, Char (&value)[kPathUnits]);

// Profile::forEachNumberedKey over the parsed file; a value is given for
// every line that has one. True, listing nothing, when `data` is null or
// the file has no such section.
bool forEachNumberedProfileKey(ProfileData *data, const Char *section, const Char *prefix, const Char *suffix,
                               Profile::NumberedVisitor visit, void *context);

// One GetPrivateProfileStringW(section, key, fallback, out, kPathUnits, file)
// over the parsed file, `data` being null for a file that is missing or
// unreadable: the value, else `fallback` without its trailing spaces; either
// cut to kPathUnits - 1 units and terminated. A null `fallback` reads as "".
void readProfileString(ProfileData *data, const Char *section, const Char *key, const Char *fallback,
                       Char (&out)[kPathUnits]);

}  // namespace platform
}  // namespace quorvel

#endif
