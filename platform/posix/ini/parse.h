// Settings file, POSIX side: the parser behind platform::Profile.
//
// Holds the bytes of a settings file and answers reads from them the way
// Windows' GetPrivateProfileStringW finds values, indexing the sections read
// most as it goes. Nothing here touches a file, so a fuzzer can feed it any
// bytes.
// The rules reproduced, and where they follow Windows rather than Wine, are
// listed in docs/settings-file.md; parse.cpp says why for each.
#ifndef QUORVEL_PLATFORM_POSIX_INI_PARSE_H
#define QUORVEL_PLATFORM_POSIX_INI_PARSE_H

#include <stddef.h>
#include <stdint.h>

#include "platform/profile.h"

namespace quorvel {
namespace platform {

// The parsed file: its text and what reads learnt of it. Opaque here. Any
// number of threads may read one at once.
struct ProfileData;

// The largest file parsed. A settings file holds a few kilobytes; a larger
// file is treated as unreadable.
constexpr size_t kMaxProfileBytes = size_t{4} * 1024u * 1024u;

// What the indexes of a parsed file, and the section names it remembers,
// may take: six bytes for each byte of its text and 64 KiB, at most 24 MiB.
// A section's index takes 16 bytes for each name (a name of two bytes or
// more takes a line of three), so within that every section read often is
// indexed; one that would pass it is read line by line at every read.
constexpr size_t kIndexBytesPerByte = 6;
constexpr size_t kIndexBaseBytes = size_t{64} * 1024u;
constexpr size_t kMostIndexBytes = size_t{24} * 1024u * 1024u;

// Parses `size` bytes of a settings file, taking `bytes` (from malloc; freed
// here whatever happens). Null when memory runs out or the file is larger
// than kMaxProfileBytes: the caller then reads every key as absent, as it
// does for a file that cannot be opened. A UTF-16 file is rewritten as
// UTF-8 here; nothing else is done until a read. A read costs at most a
// pass over the file's bytes, and a section's first index n log n in its
// lines, whatever the file holds.
ProfileData *adoptProfile(unsigned char *bytes, size_t size);

// The same over bytes the caller keeps.
ProfileData *parseProfile(const unsigned char *bytes, size_t size);

// Frees what the parsers returned; null is allowed.
void freeProfile(ProfileData *data);

// The most memory `data` can come to take: its text, and all its indexes
// may take. Never more than kMostProfileBytes: a UTF-16 file's text grows
// by half at most as UTF-8.
size_t profileBytes(const ProfileData *data);
constexpr size_t kMostProfileBytes = kMaxProfileBytes / 2 * 3 + kMostIndexBytes + 4096;

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
// True when the file gave the value.
bool readProfileString(ProfileData *data, const Char *section, const Char *key, const Char *fallback,
                       Char (&out)[kPathUnits]);

// Profile::recall and Profile::remember over the parsed file, which keeps
// the last answers of up to 16 questions. `data` may be null: nothing is
// kept.
bool recallProfileAnswer(ProfileData *data, uint64_t question, int32_t (&answer)[4]);
void rememberProfileAnswer(ProfileData *data, uint64_t question, const int32_t (&answer)[4]);

}  // namespace platform
}  // namespace quorvel

#endif
