// Disk choice and free space. Figures are reported in kilobytes as a signed
// 32-bit number; volumes with 2 TiB or more free report the largest such
// number, on both queries, so that they still compare as the biggest.
#include "storage/disk_space.h"

#include "storage/paths.h"

namespace quorvel {
namespace storage {

namespace {

constexpr int32_t kMaxKilobytes = INT32_MAX;

int32_t clampKilobytes(uint64_t kilobytes) {
    return kilobytes > static_cast<uint64_t>(kMaxKilobytes) ? kMaxKilobytes : static_cast<int32_t>(kilobytes);
}

// The older query's figures in kilobytes, rounded to the nearest.
int32_t clusterKilobytes(const VolumeOps &ops, const platform::ClusterSpace &c) {
    // A 32-bit product, as the system's figures are meant to be multiplied.
    const uint32_t bytesPerCluster = c.sectorsPerCluster * c.bytesPerSector;
    if (bytesPerCluster <= static_cast<uint32_t>(INT32_MAX) && c.freeClusters <= static_cast<uint32_t>(INT32_MAX)) {
        const int32_t kilobytes =
            ops.mulDiv(static_cast<int32_t>(bytesPerCluster), static_cast<int32_t>(c.freeClusters), 1024);
        // Both factors are non-negative, so -1 can only mean "does not fit".
        return kilobytes == -1 ? kMaxKilobytes : kilobytes;
    }
    // Figures beyond what MulDiv takes as signed numbers: the same rounding,
    // done here. The product of two 32-bit numbers plus 512 fits 64 bits.
    const uint64_t bytes = static_cast<uint64_t>(bytesPerCluster) * c.freeClusters;
    return clampKilobytes((bytes + 512) / 1024);
}

}  // namespace

int32_t freeDiskSpace(const VolumeOps &ops, const platform::Char *rootPath) {
    if (rootPath == nullptr) return -1;
    const int length = boundedLength(rootPath, platform::kPathUnits);
    if (length >= platform::kPathUnits) return -1;
    platform::Char root[platform::kPathUnits];
    copyString(root, rootPath, length);

    platform::VolumeSpace space;
    // The whole volume's free space, not the part a quota leaves the caller.
    if (ops.freeSpaceEx(root, &space)) return clampKilobytes(space.totalFree >> 10);
    platform::ClusterSpace clusters;
    if (ops.freeSpace(root, &clusters)) return clusterKilobytes(ops, clusters);
    return -1;
}

namespace {

// The search so far: the most free space seen, and where it was.
struct Choice {
    int32_t best = 0;
    platform::Char *rootOut;
};

// Takes the root entry[0, length) of type `type` (read on demand when
// `type` is null) into the choice.
void consider(const VolumeOps &ops, const platform::Char *entry, int length, const uint32_t *type, Choice *choice) {
    // A root that would not fit the caller's buffer is never chosen.
    if (length >= platform::kLargestRootUnits) return;
    platform::Char root[platform::kPathUnits];
    copyString(root, entry, length);
    if ((type != nullptr ? *type : ops.driveType(root)) != platform::kDriveFixed) return;
    const int32_t kilobytes = freeDiskSpace(ops, root);
    // Strictly greater: of equal drives the earlier stays chosen.
    if (kilobytes > choice->best) {
        choice->best = kilobytes;
        copyString(choice->rootOut, root, length);
    }
}

// Walks a drive list of `count` units, with the types of its roots when
// known.
void walk(const VolumeOps &ops, const platform::Char *list, uint32_t count, const uint32_t *types, Choice *choice) {
    uint32_t pos = 0;
    for (uint32_t k = 0; pos < count && list[pos] != 0; ++k) {
        int length = 0;
        while (list[pos + length] != 0) ++length;
        consider(ops, list + pos, length, types != nullptr ? types + k : nullptr, choice);
        pos += static_cast<uint32_t>(length) + 1;
    }
}

}  // namespace

// NOLINTNEXTLINE(readability-non-const-parameter): written through the choice
int32_t largestDisk(const VolumeOps &ops, platform::Char *rootOut) {
    if (rootOut == nullptr) return 0;
    Choice choice{0, rootOut};
    platform::DriveRoots roots;
    if (ops.readRoots != nullptr) {
        // One reading gives every root with its type.
        if (ops.readRoots(&roots)) {
            walk(ops, roots.list, roots.units, roots.types, &choice);
            ops.freeRoots(&roots);
        }
        return 0;
    }
    // The list belongs to this call, so calls may overlap.
    platform::Char list[platform::kDriveListUnits];
    const uint32_t count = ops.driveStrings(platform::kDriveListUnits, list);
    if (count == 0 || count >= static_cast<uint32_t>(platform::kDriveListUnits)) return 0;
    // The list's closing NUL, set here too so that no scan can run past it.
    list[count] = 0;
    walk(ops, list, count, nullptr, &choice);
    return 0;
}

}  // namespace storage
}  // namespace quorvel

extern "C" {

int32_t QUORVEL_CALL Quorvel_GetFreeDiskSpace(const QuorvelChar *rootPath) {
    return quorvel::storage::freeDiskSpace(quorvel::storage::kSystemVolumes, rootPath);
}

int32_t QUORVEL_CALL Quorvel_GetLargestDiskName(QuorvelChar *rootOut) {
    return quorvel::storage::largestDisk(quorvel::storage::kSystemVolumes, rootOut);
}

}  // extern "C"
