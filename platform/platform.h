// The seam between the library's decisions and the operating system.
//
// Every call the library makes to the system goes through the functions
// declared in this folder's headers. Two sides implement them: win32/ passes
// straight through to the Win32 calls with the arguments the decisions need;
// posix/ reproduces what those calls do on Windows in every respect the
// library can observe. The build picks one side; there is no dispatch at run
// time. Nothing outside platform/ includes a system header.
#ifndef QUORVEL_PLATFORM_PLATFORM_H
#define QUORVEL_PLATFORM_PLATFORM_H

#include <stdint.h>

#include "quorvel/quorvel.h"

// A string literal in the library's 16-bit unit type.
#if defined(_WIN32)
#define QTEXT(s) L##s
#else
#define QTEXT(s) u##s
#endif

namespace quorvel {
namespace platform {

using Char = QuorvelChar;

// Units in a working string buffer, terminator included: the system path limit.
constexpr int kPathUnits = 260;

}  // namespace platform
}  // namespace quorvel

#endif
