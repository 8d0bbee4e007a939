// What the seam's types hold on the POSIX side. The build puts this folder
// (or win32/ for Windows) on the include path, so platform/files.h and
// platform/profile.h hold these as real members; only this side's code
// touches them.
#ifndef QUORVEL_PLATFORM_POSIX_SEAM_STATE_H
#define QUORVEL_PLATFORM_POSIX_SEAM_STATE_H

#include <dirent.h>
#include <stdint.h>

#include "platform/trace.h"

namespace quorvel {
namespace platform {

// Which directory an entry is: device and inode.
struct FileIdentity {
    uint64_t device;
    uint64_t inode;
};

// A directory of a tree being removed: its descriptor, opened with O_PATH so
// that a directory that may not be listed can still be removed once empty;
// for the tree's root only, the directory holding it (else -1); the running
// listing, if any; the mount it lies on; its identity; where the walk found
// it: the directory it was opened from (`up`), or for the root the identity
// of the directory holding it (zero where there is none to check).
struct TreeDirectoryState {
    int fd;
    int parent;
    DIR *search;
    uint64_t volume;
    FileIdentity self;
    const TreeDirectoryState *up;
    FileIdentity above;
};

// A settings file for one call: the parsed file it took from those kept,
// once its first read tried, and the trace's budget for keys not found.
struct SharedProfile;
struct ProfileState {
    SharedProfile *file;
    bool taken;
    TraceBudget missing;
};

}  // namespace platform
}  // namespace quorvel

#endif
