// Disk choice and free space over a set of volume operations, so that the
// decisions can be exercised with volume figures no test machine has. The
// exports pass the system's own operations.
#ifndef QUORVEL_STORAGE_DISK_SPACE_H
#define QUORVEL_STORAGE_DISK_SPACE_H

#include "platform/files.h"

namespace quorvel {
namespace storage {

struct VolumeOps {
    uint32_t (*driveStrings)(uint32_t capacity, platform::Char *buffer);
    uint32_t (*driveType)(const platform::Char *root);
    bool (*freeSpaceEx)(const platform::Char *root, platform::VolumeSpace *out);
    bool (*freeSpace)(const platform::Char *root, platform::ClusterSpace *out);
    int32_t (*mulDiv)(int32_t a, int32_t b, int32_t c);
    // The roots and their types in one reading: when given, the search uses
    // it instead of driveStrings and driveType. The system's operations give
    // it; a table that leaves it null is asked root by root.
    bool (*readRoots)(platform::DriveRoots *out) = nullptr;
    void (*freeRoots)(platform::DriveRoots *roots) = nullptr;
};

constexpr VolumeOps kSystemVolumes = {
    platform::logicalDriveStrings, platform::driveType, platform::diskFreeSpaceEx,
    platform::diskFreeSpace,       platform::mulDiv,    platform::readDriveRoots,
    platform::freeDriveRoots,
};

// Kilobytes free on the volume of `rootPath`, INT32_MAX for 2 TiB or more, or
// -1 when neither query answers, the path is null or longer than 259 units.
int32_t freeDiskSpace(const VolumeOps &ops, const platform::Char *rootPath);

// Writes the root of the fixed drive with the most free space to `rootOut`
// (platform::kLargestRootUnits units at most) and returns 0; `rootOut` is
// left untouched when no fixed drive has free space, and may then be null.
int32_t largestDisk(const VolumeOps &ops, platform::Char *rootOut);

}  // namespace storage
}  // namespace quorvel

#endif
