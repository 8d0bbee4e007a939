// An opt-in account of what the library read and why it fell back, one line
// per event, for a person finding out why an answer is the default. It never
// changes a result.
//
// QUORVEL_TRACE, read once per process at the first event:
//   unset, empty or "0"  off: each event costs one atomic load;
//   "1"                  on, to standard error (POSIX) or the debugger's
//                        output (Windows, OutputDebugStringW);
//   anything else        on, appended to the file of that name (on Windows
//                        to the debugger's output as well); where the file
//                        cannot be opened, to where "1" goes.
// Lines start with "quorvel: ", are at most kTraceLineBytes long, and carry
// no control character and nothing that is not UTF-8 (escaped as \xNN), so
// a hostile file cannot forge lines or steer a terminal. Each line is one
// write, so lines of threads tracing at once do not interleave.
#ifndef QUORVEL_PLATFORM_TRACE_H
#define QUORVEL_PLATFORM_TRACE_H

#include <stdarg.h>

#include <atomic>

#include "platform/platform.h"

#if defined(__GNUC__)
#define QUORVEL_PRINTF(string, first) __attribute__((format(printf, string, first)))
#else
#define QUORVEL_PRINTF(string, first)
#endif

namespace quorvel {
namespace platform {

constexpr int kTraceLineBytes = 512;

// 0: not read yet, 1: off, 2: on, 3: being read.
extern std::atomic<int> gTraceState;
bool readTraceSetting();

inline bool tracing() {
    const int state = gTraceState.load(std::memory_order_acquire);
    return state == 1 ? false : state == 2 ? true : readTraceSetting();
}

// One line: "quorvel: " and the text, escaped and cut as above. Call only
// when tracing() is true. Formats use %s, %d, %u, %lu and %x alone: the
// Windows side formats with the system's wvsprintfA.
void trace(const char *format, ...) QUORVEL_PRINTF(1, 2);

// A string of the library's units as UTF-8 for a trace line, cut to fit one.
class TraceText {
public:
    explicit TraceText(const Char *units);
    // The units [units, end), which need not be terminated.
    TraceText(const Char *units, const Char *end);
    const char *c_str() const { return bytes_; }

private:
    char bytes_[kTraceLineBytes];
};

// Events that one file can repeat without end (a line ignored, a mount not
// typed) are traced at most kTraceRepeats times per reading; the rest are
// counted and told in one line at the end.
constexpr unsigned kTraceRepeats = 16;

struct TraceBudget {
    unsigned used = 0;
    // True while another line of this kind may be written.
    bool take() { return used++ < kTraceRepeats; }
    // "... and N more <what>", when some were left out.
    void finish(const char *what) const;
};

// Each side's part. openTraceSink reads the setting and opens where lines
// go: false when tracing is off. formatTraceText formats into `out`, cut
// and terminated, and gives the length the whole text has (or at least
// `out`'s size when cut), negative on error. writeTraceLine writes `length`
// bytes ending in '\n' at once.
bool openTraceSink();
int formatTraceText(char (&out)[kTraceLineBytes], const char *format, va_list args);
void writeTraceLine(const char *line, int length);

}  // namespace platform
}  // namespace quorvel

#endif
