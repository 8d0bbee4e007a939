// Key names, POSIX side: what wsprintfW does with one "%d" and a 32-bit
// value: the number in decimal, a minus sign for negative values, no
// padding; the rest of the format copied as it stands. The result is cut to
// the buffer, which the library's formats never reach.
#include "platform/text.h"

namespace quorvel {
namespace platform {

void formatDecimal(Char (&out)[kPathUnits], const Char *format, int32_t value) {
    Char digits[12];
    int count = 0;
    // Work in unsigned arithmetic so that INT32_MIN prints without overflow.
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do {
        digits[count++] = static_cast<Char>(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) digits[count++] = u'-';

    int n = 0;
    bool printed = false;
    for (int i = 0; format[i] != 0 && n < kPathUnits - 1; ++i) {
        if (!printed && format[i] == u'%' && format[i + 1] == u'd') {
            while (count > 0 && n < kPathUnits - 1) out[n++] = digits[--count];
            printed = true;
            ++i;
            continue;
        }
        out[n++] = format[i];
    }
    out[n] = 0;
}

}  // namespace platform
}  // namespace quorvel
