// The tool's commands: each checks all of its input, then builds a Document.
#ifndef QUORVEL_TOOLS_COMMANDS_H
#define QUORVEL_TOOLS_COMMANDS_H

#include <string>
#include <vector>

#include "output.h"

namespace quorvel_tool {

// A command's refusal: one line naming the problem, and the exit status
// (2 for a usage error, 1 for bad input or a failed operation).
struct Failure {
    int status = 1;
    std::string message;
};

struct Command {
    const char *name;
    const char *synopsis;     // "devices FILE"
    const char *summary;      // one line for the command list
    const char *details;      // the rest of its --help
    size_t minArgs, maxArgs;  // positional arguments
    bool (*run)(const std::vector<std::string> &args, Document &out, Failure &failure);
};

const std::vector<Command> &commands();

}  // namespace quorvel_tool

#endif
