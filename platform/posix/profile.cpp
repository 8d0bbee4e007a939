// Settings file, POSIX side: not built yet; every read yields its default.
#include "platform/profile.h"

namespace quorvel {
namespace platform {
Profile::~Profile() {}
void Profile::readString(const Char *, const Char *, const Char *fallback, Char (&out)[kPathUnits]) {
    int n = 0;
    while (n < kPathUnits - 1 && fallback[n] != 0) {
        out[n] = fallback[n];
        ++n;
    }
    out[n] = 0;
}
}  // namespace platform
}  // namespace quorvel
