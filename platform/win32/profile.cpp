// Settings file, Windows side: every read is GetPrivateProfileStringW.
#include "platform/profile.h"

#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

#include "platform/numbered_key.h"

namespace quorvel {
namespace platform {

// Every read goes to the system, which keeps nothing for us between them.
Profile::Profile(const Char *path) : path_(path), state_() {}

Profile::~Profile() {}

bool Profile::recall(uint64_t, int32_t (&)[4]) { return false; }

void Profile::remember(uint64_t, const int32_t (&)[4]) {}

void Profile::readFromFile(const Char *section, const Char *key, const Char *fallback, Char (&out)[kPathUnits]) {
    GetPrivateProfileStringW(section, key, fallback, out, kPathUnits, path_);
}

namespace {

// The largest key list read: 128 MiB. A settings file is a few kilobytes.
constexpr DWORD kMaxKeyListUnits = DWORD{1} << 26;

}  // namespace

bool Profile::listNumberedKeys(const Char *section, const Char *prefix, const Char *suffix, NumberedVisitor visit,
                               void *context) {
    const size_t prefixLength = wcslen(prefix), suffixLength = wcslen(suffix);
    // A list that does not fit comes back cut, with a count of the size
    // less two; the buffer grows until the count is smaller than that.
    for (DWORD capacity = 4096; capacity <= kMaxKeyListUnits; capacity *= 2) {
        Char *list = static_cast<Char *>(malloc(capacity * sizeof(Char)));
        if (list == nullptr) return false;
        const DWORD count = GetPrivateProfileStringW(section, nullptr, L"", list, capacity, path_);
        if (count + 2 < capacity) {
            list[count] = 0;  // the list's closing NUL, whatever the count
            for (DWORD pos = 0; pos < count && list[pos] != 0;) {
                size_t length = wcslen(list + pos);
                const Char *name = list + pos;
                pos += static_cast<DWORD>(length) + 1;
                // The list may keep blanks around a name that a look-up ignores.
                while (length > 0 && (name[0] == L' ' || name[0] == L'\t')) ++name, --length;
                while (length > 0 && (name[length - 1] == L' ' || name[length - 1] == L'\t')) --length;
                const int32_t number = numberedKeyIndex(name, length, prefix, prefixLength, suffix, suffixLength);
                // Only a keyed read says which line of a repeated name decides.
                if (number != 0) visit(context, number, nullptr);
            }
            free(list);
            return true;
        }
        free(list);
    }
    return false;
}

}  // namespace platform
}  // namespace quorvel
