// Small string helpers shared by the storage decisions. Every scan is bounded,
// so no caller string, however long, is read further than the decision needs.
#ifndef QUORVEL_STORAGE_PATHS_H
#define QUORVEL_STORAGE_PATHS_H

#include "platform/platform.h"

namespace quorvel {
namespace storage {

// The length of `s` when it is shorter than `limit` units, else `limit`: a
// result equal to `limit` means "does not fit", and no unit past s[limit - 1]
// has been read.
inline int boundedLength(const platform::Char *s, int limit) {
    int n = 0;
    while (n < limit && s[n] != 0) ++n;
    return n;
}

// Copies the `length` units of `s` to `out`, which has room for them and a
// terminator, and terminates it.
inline void copyString(platform::Char *out, const platform::Char *s, int length) {
    for (int i = 0; i < length; ++i) out[i] = s[i];
    out[length] = 0;
}

}  // namespace storage
}  // namespace quorvel

#endif
