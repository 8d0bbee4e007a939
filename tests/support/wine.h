// Whether the Windows build runs under Wine, for the cases where Wine is
// known to answer differently from Windows. False on POSIX.
#ifndef QUORVEL_TESTS_WINE_H
#define QUORVEL_TESTS_WINE_H

#if defined(_WIN32)
#include <windows.h>
#endif

inline bool underWine() {
#if defined(_WIN32)
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

#endif
