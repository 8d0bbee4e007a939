// What the seam's types hold on the Windows side. The build puts this folder
// (or posix/ elsewhere) on the include path, so platform/files.h and
// platform/profile.h hold these as real members; only this side's code
// touches them. Handles are declared as what HANDLE is, void *, so that the
// library's other folders need no windows.h.
#ifndef QUORVEL_PLATFORM_WIN32_SEAM_STATE_H
#define QUORVEL_PLATFORM_WIN32_SEAM_STATE_H

#include "platform/trace.h"

namespace quorvel {
namespace platform {

// A directory of a tree being removed: the handle pinning it, and the
// running search (INVALID_HANDLE_VALUE when none).
struct TreeDirectoryState {
    void *handle;
    void *search;
};

// A settings file for one call, for the trace only: whether the file was told
// of, and the budget for keys not found. Every read goes to the system.
struct ProfileState {
    bool fileTold;
    TraceBudget missing;
};

}  // namespace platform
}  // namespace quorvel

#endif
