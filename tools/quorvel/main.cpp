// quorvel: the library's answers from the command line.
//
//   quorvel [--json] COMMAND [ARGS]     quorvel help [COMMAND] | quorvel --version
//
// Every command checks all of its input before it prints anything; a
// problem gives one line on stderr and a nonzero status (2: usage, 1: input
// or operation). Options may stand anywhere before "--".
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "system.h"

using namespace quorvel_tool;

namespace {

int refuse(int status, const std::string &message, const std::string &command = std::string()) {
    // Line by line, so that a list (what stayed of a tree) keeps its lines
    // while anything else from a name is escaped.
    const char *prefix = "quorvel: ";
    for (size_t start = 0; start <= message.size();) {
        size_t end = message.find('\n', start);
        if (end == std::string::npos) end = message.size();
        (void)std::fprintf(stderr, "%s%s\n", prefix, printable(message.substr(start, end - start)).c_str());
        prefix = "";
        start = end + 1;
    }
    if (status == 2)
        (void)std::fprintf(stderr, "Try 'quorvel %s--help'.\n", command.empty() ? "" : (command + " ").c_str());
    return status;
}

// Writes the whole result; a full disk or a closed pipe is an error too.
int emit(const std::string &text, int status) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (written && std::fflush(stdout) == 0) return status;
    const int code = errno;
    (void)std::fprintf(stderr, "quorvel: cannot write the output: %s\n",
                       code != 0 ? std::strerror(code) : "write error");
    return 1;
}

int printHelp() {
    std::printf(
        "usage: quorvel [--json] COMMAND [ARGS]\n"
        "       quorvel help [COMMAND] | quorvel --version\n\n"
        "Asks the Quorvel library about capture devices, regional broadcast defaults and storage.\n"
        "--json (anywhere on the line) prints the result for scripts; 'quorvel help COMMAND' or\n"
        "'quorvel COMMAND --help' describes one command.\n\n"
        "commands:\n");
    for (const auto &c : commands()) std::printf("  %-32s %s\n", c.synopsis, c.summary);
    return emit("", 0);
}

int printCommandHelp(const Command &c) {
    std::printf("usage: quorvel %s [--json]\n\n%s\n", c.synopsis, c.summary);
    if (c.details[0] != 0) std::printf("\n%s\n", c.details);
    return emit("", 0);
}

const Command *findCommand(const std::string &name) {
    for (const auto &c : commands())
        if (name == c.name) return &c;
    return nullptr;
}

// An option word: "--x", or "-x" with a letter, so that "-5" stays a number.
bool isOption(const std::string &a) {
    return a.size() > 1 && a[0] == '-' && (a[1] == '-' || std::isalpha(static_cast<unsigned char>(a[1])));
}

// The command line, read once: the options wherever they stand, the command
// and its arguments.
struct CommandLine {
    bool json = false, help = false, version = false;
    Flags flags;
    std::string name;     // the command, or "help", or empty
    std::string unknown;  // the first option the tool does not know
    std::vector<std::string> positional;
};

CommandLine parseCommandLine(const std::vector<std::string> &args) {
    CommandLine line;
    bool optionsDone = false;
    for (const auto &a : args) {
        if (optionsDone || !isOption(a)) {
            if (line.name.empty())
                line.name = a;
            else
                line.positional.push_back(a);
        } else if (a == "--") {
            optionsDone = true;
        } else if (a == "--json") {
            line.json = true;
        } else if (a == "--help" || a == "-h") {
            line.help = true;
        } else if (a == "--version" || a == "-V") {
            line.version = true;
        } else if (a == "--force") {
            line.flags.force = true;
        } else if (line.unknown.empty()) {
            line.unknown = a;
        }
    }
    return line;
}

// Refuses a line no command runs with: an unknown command or option, or
// --force for a command that takes none. 0 when there is nothing to refuse.
int refuseUsage(const CommandLine &line, const Command *command) {
    const std::string &name = line.name;
    if (!name.empty() && name != "help" && command == nullptr) return refuse(2, "unknown command '" + name + "'");
    if (!line.unknown.empty()) return refuse(2, "unknown option '" + line.unknown + "'", name == "help" ? "" : name);
    if (line.flags.force && (command == nullptr || !command->takesForce))
        return refuse(2, "unknown option '--force'" + (command ? " for " + name : std::string()), name);
    return 0;
}

int emitDocument(const Document &doc, bool json) { return emit(json ? renderJson(doc) : renderText(doc), 0); }

int printVersion(bool json) {
    Document doc;
    versionDocument(doc);
    return emitDocument(doc, json);
}

// "quorvel help [COMMAND]".
int helpCommand(const std::vector<std::string> &names) {
    if (names.size() > 1) return refuse(2, "help takes one command name", "help");
    if (names.empty()) return printHelp();
    if (names[0] == "help") {
        std::printf("usage: quorvel help [COMMAND]\n\nDescribes COMMAND, or lists the commands.\n");
        return emit("", 0);
    }
    const Command *command = findCommand(names[0]);
    if (command == nullptr) return refuse(2, "no help for '" + names[0] + "': not a command");
    return printCommandHelp(*command);
}

int runCommand(const Command &command, const CommandLine &line) {
    if (line.positional.size() < command.minArgs || line.positional.size() > command.maxArgs)
        return refuse(2, std::string("wrong number of arguments: quorvel ") + command.synopsis, line.name);
    captureLibraryTrace();
    Document doc;
    Failure failure;
    if (command.run(line.positional, line.flags, doc, failure)) return emitDocument(doc, line.json);
    // A shortfall of an operation that ran: scripts still get its result.
    if (failure.reported && line.json && emit(renderJson(doc), 0) != 0) return 1;
    return refuse(failure.status, failure.message, line.name);
}

}  // namespace

int main(int argc, char **argv) {
    const CommandLine line = parseCommandLine(commandArguments(argc, argv));
    const Command *command = line.name.empty() || line.name == "help" ? nullptr : findCommand(line.name);
    if (const int status = refuseUsage(line, command); status != 0) return status;
    if (line.version) return printVersion(line.json);
    if (line.name == "help") return helpCommand(line.positional);
    if (command == nullptr) return line.help ? printHelp() : refuse(2, "no command given");
    if (line.help) return printCommandHelp(*command);
    return runCommand(*command, line);
}
