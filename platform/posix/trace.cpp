// Where trace lines go on POSIX: standard error, or a file appended to.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <errno.h>

#include "platform/trace.h"

namespace quorvel {
namespace platform {

namespace {

int gTraceFd = -1;

}  // namespace

bool openTraceSink() {
    // Not taken from the environment of a set-user-ID program: it would write
    // where its caller chose.
    const char *value = secure_getenv("QUORVEL_TRACE");
    if (value == nullptr || *value == 0 || strcmp(value, "0") == 0) return false;
    gTraceFd = STDERR_FILENO;
    if (strcmp(value, "1") == 0) return true;
    // Without blocking: a FIFO nobody reads is no sink, and a full one drops
    // lines rather than stall a call. Not through a link: one planted at the
    // name in a shared folder would have lines appended to its target.
    const int fd = open(value, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW, 0644);
    if (fd >= 0) {
        gTraceFd = fd;
    } else {
        char reason[128];
        trace("trace file %s cannot be opened (%s); tracing to standard error", value,
              strerror_r(errno, reason, sizeof reason));
    }
    return true;
}

int formatTraceText(char (&out)[kTraceLineBytes], const char *format, va_list args) {
    return vsnprintf(out, sizeof out, format, args);
}

void writeTraceLine(const char *line, int length) {
    if (gTraceFd >= 0) {
        const ssize_t written = write(gTraceFd, line, static_cast<size_t>(length));
        (void)written;  // a line that cannot be written is dropped
    }
}

}  // namespace platform
}  // namespace quorvel
