// Where trace lines go on Windows: the debugger's output, and a file
// appended to when the variable names one.
#include <string.h>
#include <windows.h>

#include "platform/trace.h"

namespace quorvel {
namespace platform {

namespace {

HANDLE gTraceFile = INVALID_HANDLE_VALUE;

}  // namespace

bool openTraceSink() {
    wchar_t value[MAX_PATH * 4];
    const DWORD n = GetEnvironmentVariableW(L"QUORVEL_TRACE", value, MAX_PATH * 4);
    if (n == 0 || (n == 1 && value[0] == L'0')) return false;
    // A value too long for the buffer traces to the debugger only.
    if (n < MAX_PATH * 4 && !(n == 1 && value[0] == L'1')) {
        // A plain file only: a pipe could stall a call, and a link planted in
        // a shared folder could lead the lines anywhere.
        const HANDLE file =
            CreateFileW(value, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        BY_HANDLE_FILE_INFORMATION info;
        if (file == INVALID_HANDLE_VALUE) {
            trace("trace file %s cannot be opened (error %lu)", TraceText(value).c_str(), GetLastError());
        } else if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
                   (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
            CloseHandle(file);
            trace("trace file %s is not a plain file, so not written", TraceText(value).c_str());
        } else {
            gTraceFile = file;
        }
    }
    return true;
}

int formatTraceText(char (&out)[kTraceLineBytes], const char *format, va_list args) {
    // The system's own formatter, as the library's other text uses: the C
    // runtime's would bring its whole printf into the DLL. It writes at most
    // 1,024 characters and needs room for them.
    char text[1025];
    const int n = wvsprintfA(text, format, args);
    if (n < 0) return n;
    const int kept = n < kTraceLineBytes ? n : kTraceLineBytes - 1;
    memcpy(out, text, static_cast<size_t>(kept));
    out[kept] = 0;
    return n;
}

void writeTraceLine(const char *line, int length) {
    wchar_t wide[kTraceLineBytes + 8];
    const int units = MultiByteToWideChar(CP_UTF8, 0, line, length, wide, kTraceLineBytes + 7);
    if (units > 0) {
        wide[units] = 0;
        OutputDebugStringW(wide);
    }
    if (gTraceFile != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(gTraceFile, line, static_cast<DWORD>(length), &written, nullptr);
    }
}

}  // namespace platform
}  // namespace quorvel
