// Settings file, Windows side: every read is GetPrivateProfileStringW.
#include "platform/profile.h"

#include <windows.h>

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

}  // namespace platform
}  // namespace quorvel
