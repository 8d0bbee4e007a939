// Key names, Windows side: wsprintfW.
#include "platform/text.h"

#include <windows.h>

namespace quorvel {
namespace platform {

void formatDecimal(Char (&out)[kPathUnits], const Char *format, int32_t value) {
    wsprintfW(out, format, static_cast<int>(value));
}

}  // namespace platform
}  // namespace quorvel
