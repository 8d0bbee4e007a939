// The volume roots the system reports, for listing free space per root.
#ifndef QUORVEL_TOOLS_ROOTS_H
#define QUORVEL_TOOLS_ROOTS_H

#include <string>
#include <vector>

namespace quorvel_tool {

struct Root {
    std::string path;  // UTF-8
    std::string kind;  // what the system says of it: "fixed", "ext4", ...
};

// Windows: the logical drives and their drive types. Elsewhere: the mount
// points of the mount table and their file-system types.
std::vector<Root> systemRoots();

}  // namespace quorvel_tool

#endif
