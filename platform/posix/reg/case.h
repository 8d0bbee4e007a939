// Registry export files, POSIX side: names compare as the registry compares
// them, by the system's simple upper-case mapping of UTF-16 units, which
// folds letters beyond ASCII too.
#ifndef QUORVEL_PLATFORM_POSIX_REG_CASE_H
#define QUORVEL_PLATFORM_POSIX_REG_CASE_H

#include <stdint.h>

namespace quorvel {
namespace platform {
namespace regfile {

// The upper case of one UTF-16 unit; a unit without one (a surrogate too) is
// its own.
uint32_t upperCase(uint32_t unit);

// Whether two units are the same letter in the registry's eyes.
inline bool sameUnit(uint32_t a, uint32_t b) { return a == b || upperCase(a) == upperCase(b); }

}  // namespace regfile
}  // namespace platform
}  // namespace quorvel

#endif
