// Numbers read as text from the registry and the settings file.
#ifndef QUORVEL_REGION_DECIMAL_H
#define QUORVEL_REGION_DECIMAL_H

#include "platform/platform.h"

namespace quorvel {
namespace region {

// The library's one text-to-number rule, the same on every build: leading
// white space skipped, an optional sign, decimal digits up to the first other
// unit, 0 when there are none. A number beyond 32 bits saturates at
// INT32_MAX or INT32_MIN, as the system's wide-string-to-long conversion
// does, so a huge value never wraps into a small or negative one. Reads at
// most `limit` units (the working buffers always hold a terminator first).
int32_t parseDecimal(const platform::Char *text, int limit = platform::kPathUnits);

}  // namespace region
}  // namespace quorvel

#endif
