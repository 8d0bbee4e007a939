// Printing a number into a key name.
#ifndef QUORVEL_PLATFORM_TEXT_H
#define QUORVEL_PLATFORM_TEXT_H

#include "platform/platform.h"

namespace quorvel {
namespace platform {

// wsprintfW(out, format, value): `format` holds exactly one "%d".
void formatDecimal(Char (&out)[kPathUnits], const Char *format, int32_t value);

}  // namespace platform
}  // namespace quorvel

#endif
