// The tool's commands: each checks all of its input, then builds a Document.
#ifndef QUORVEL_TOOLS_COMMANDS_H
#define QUORVEL_TOOLS_COMMANDS_H

#include <string>
#include <vector>

#include "output.h"

namespace quorvel_tool {

// A command's refusal: one line naming the problem, and the exit status
// (2 for a usage error, 1 for bad input or a failed operation). When an
// operation was carried out but fell short, `reported` keeps the document
// for --json, so scripts still get the library's raw answer.
struct Failure {
    int status = 1;
    std::string message;
    bool reported = false;
};

// Options some commands take besides --json and --help.
struct Flags {
    bool force = false;
};

struct Command {
    const char *name;
    const char *synopsis;     // "devices FILE"
    const char *summary;      // one line for the command list
    const char *details;      // the rest of its --help
    size_t minArgs, maxArgs;  // positional arguments
    bool (*run)(const std::vector<std::string> &args, const Flags &flags, Document &out, Failure &failure);
    bool takesForce;  // --force
};

const std::vector<Command> &commands();

// The tool's and the library's versions, and the build.
void versionDocument(Document &out);

}  // namespace quorvel_tool

#endif
