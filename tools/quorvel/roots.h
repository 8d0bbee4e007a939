// The volume roots the library knows, for listing free space per root.
#ifndef QUORVEL_TOOLS_ROOTS_H
#define QUORVEL_TOOLS_ROOTS_H

#include <string>
#include <vector>

namespace quorvel_tool {

struct Root {
    std::string path;        // UTF-8
    std::string kind;        // the drive type: fixed, removable, remote, optical, RAM, ...
    std::string fileSystem;  // POSIX: the mount's file-system type ("ext4")
};

// Each root once, with the drive type the library gives it: on Windows the
// logical drives, typed by the system; elsewhere the mount points that hold
// files, as the library's own drive list finds and types them.
std::vector<Root> systemRoots();

}  // namespace quorvel_tool

#endif
