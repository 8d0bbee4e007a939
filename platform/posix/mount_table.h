// The mount table behind the POSIX side's drive list and drive types.
//
// logicalDriveStrings, driveType and readDriveRoots read the process's own
// table, /proc/self/mounts; these read the table in that format at `table`,
// so that tests can hand in a table of their own.
#ifndef QUORVEL_PLATFORM_POSIX_MOUNT_TABLE_H
#define QUORVEL_PLATFORM_POSIX_MOUNT_TABLE_H

#include "platform/files.h"

namespace quorvel {
namespace platform {

uint32_t driveStringsFromTable(const char *table, uint32_t capacity, Char *buffer);
bool driveRootsFromTable(const char *table, DriveRoots *out);
uint32_t driveTypeFromTable(const char *table, const Char *root);

// The drive type of a mount from its table fields.
uint32_t mountDriveType(const char *fsType, const char *device);

}  // namespace platform
}  // namespace quorvel

#endif
