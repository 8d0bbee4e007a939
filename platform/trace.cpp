// The trace's common part: the setting read once, lines formatted, escaped
// and cut. Where a line goes is each side's (openTraceSink, writeTraceLine).
#include "platform/trace.h"

#include <stdarg.h>

#include "platform/text_codec.h"

namespace quorvel {
namespace platform {

std::atomic<int> gTraceState{0};

bool readTraceSetting() {
    int expected = 0;
    if (gTraceState.compare_exchange_strong(expected, 3, std::memory_order_acq_rel)) {
        gTraceState.store(openTraceSink() ? 2 : 1, std::memory_order_release);
    } else {
        // Another thread reads the setting: its answer is a moment away.
        while (gTraceState.load(std::memory_order_acquire) == 3) {
        }
    }
    return gTraceState.load(std::memory_order_acquire) == 2;
}

namespace {

// The length of the UTF-8 sequence at text[0, n) if it is one of a printable
// character (no C0 or C1 control, no DEL; well formed), else 0.
int printableLength(const unsigned char *text, int n) {
    uint32_t c;
    const size_t length = decodeUtf8(text, static_cast<size_t>(n), &c);
    return length == 0 || c < 0x20 || (c >= 0x7f && c <= 0x9f) ? 0 : static_cast<int>(length);
}

}  // namespace

// printf-style, so that the system formatter does the work; the format
// attribute checks every call.
void trace(const char *format, ...) {  // NOLINT(cert-dcl50-cpp)
    char raw[kTraceLineBytes];
    va_list args;
    va_start(args, format);
    const int formatted = formatTraceText(raw, format, args);
    va_end(args);
    if (formatted < 0) return;
    const int n = formatted < static_cast<int>(sizeof raw) ? formatted : static_cast<int>(sizeof raw) - 1;

    static const char kPrefix[] = "quorvel: ";
    static const char kHex[] = "0123456789abcdef";
    char line[kTraceLineBytes + 8];
    int w = sizeof kPrefix - 1;
    for (int i = 0; i < w; ++i) line[i] = kPrefix[i];
    // Room for the longest step (an escape, 4 bytes), "...", and '\n'.
    const int end = kTraceLineBytes - 8;
    const unsigned char *text = reinterpret_cast<const unsigned char *>(raw);
    bool cut = formatted >= static_cast<int>(sizeof raw);
    for (int i = 0; i < n;) {
        if (w >= end) {
            cut = true;
            break;
        }
        const int length = printableLength(text + i, n - i);
        if (length > 0) {
            for (int k = 0; k < length; ++k) line[w++] = raw[i + k];
            i += length;
        } else {
            line[w++] = '\\';
            line[w++] = 'x';
            line[w++] = kHex[text[i] >> 4];
            line[w++] = kHex[text[i] & 15];
            ++i;
        }
    }
    if (cut) {
        for (int k = 0; k < 3; ++k) line[w++] = '.';
    }
    line[w++] = '\n';
    writeTraceLine(line, w);
}

void TraceBudget::finish(const char *what) const {
    if (used > kTraceRepeats) trace("... and %u more %s", used - kTraceRepeats, what);
}

TraceText::TraceText(const Char *units) : TraceText(units, nullptr) {}

TraceText::TraceText(const Char *units, const Char *end) {
    // UTF-16 to UTF-8; a lone surrogate is written as its escape. The line
    // is cut anyway, so the text stops where it would not fit. Without an
    // end the units stop at their terminator.
    int w = 0;
    const int room = static_cast<int>(sizeof bytes_) - 8;
    const size_t n = end != nullptr ? static_cast<size_t>(end - units) : SIZE_MAX;
    for (size_t i = 0; units != nullptr && i < n && (end != nullptr || units[i] != 0) && w < room;) {
        const uint32_t c = nextUtf16(units, n, &i);
        if (c >= 0xd800 && c < 0xe000) {
            static const char kHex[] = "0123456789abcdef";
            const char escape[] = {'\\', 'u', kHex[c >> 12], kHex[(c >> 8) & 15], kHex[(c >> 4) & 15], kHex[c & 15]};
            for (char e : escape) bytes_[w++] = e;
        } else {
            w += static_cast<int>(encodeUtf8(c, reinterpret_cast<unsigned char *>(bytes_ + w)));
        }
    }
    bytes_[w] = 0;
}

}  // namespace platform
}  // namespace quorvel
