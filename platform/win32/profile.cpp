// Settings file, Windows side: every read is GetPrivateProfileStringW.
#include "platform/profile.h"

#include <windows.h>

#include <stdlib.h>

namespace quorvel {
namespace platform {

Profile::~Profile() {}

void Profile::readString(const Char *section, const Char *key, const Char *fallback, Char (&out)[kPathUnits]) {
    // A null file name would make the system read win.ini; a null path means
    // "no settings file", so it yields the default like a missing file.
    if (path_ == nullptr) {
        int n = 0;
        while (n < kPathUnits - 1 && fallback[n] != 0) {
            out[n] = fallback[n];
            ++n;
        }
        out[n] = 0;
        return;
    }
    GetPrivateProfileStringW(section, key, fallback, out, kPathUnits, path_);
}

namespace {

// The largest key list read: 128 MiB. A settings file is a few kilobytes.
constexpr DWORD kMaxKeyListUnits = DWORD{1} << 26;

}  // namespace

bool Profile::forEachKey(const Char *section, KeyVisitor visit, void *context) {
    if (path_ == nullptr) return true;
    // A list that does not fit comes back cut, with a count of the size
    // less two; the buffer grows until the count is smaller than that.
    for (DWORD capacity = 4096; capacity <= kMaxKeyListUnits; capacity *= 2) {
        Char *list = static_cast<Char *>(malloc(capacity * sizeof(Char)));
        if (list == nullptr) return false;
        const DWORD count = GetPrivateProfileStringW(section, nullptr, L"", list, capacity, path_);
        if (count + 2 < capacity) {
            list[count] = 0;  // the list's closing NUL, whatever the count
            for (DWORD pos = 0; pos < count && list[pos] != 0;) {
                int length = 0;
                while (pos + length < count && list[pos + length] != 0) ++length;
                visit(context, list + pos, length);
                pos += static_cast<DWORD>(length) + 1;
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
