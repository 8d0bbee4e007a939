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
#include "device_file.h"
#include "system.h"

#if defined(_WIN32)
#include <windows.h>
#include <shellapi.h>
#endif

using namespace quorvel_tool;

namespace {

// The arguments as the tool's text (see textToUnits): the bytes given on
// POSIX; on Windows, which hands them over in UTF-16, UTF-8 that keeps a lone
// surrogate.
std::vector<std::string> arguments(int argc, char **argv) {
#if defined(_WIN32)
    (void)argc;
    (void)argv;
    std::vector<std::string> out;
    int count = 0;
    LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide != nullptr && i < count; ++i) out.push_back(unitsToText(wide[i]));
    LocalFree(wide);
    return out;
#else
    return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

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

void printHelp() {
    std::printf("usage: quorvel [--json] COMMAND [ARGS]\n"
                "       quorvel help [COMMAND] | quorvel --version\n\n"
                "Asks the Quorvel library about capture devices, regional broadcast defaults and storage.\n"
                "--json (anywhere on the line) prints the result for scripts; 'quorvel help COMMAND' or\n"
                "'quorvel COMMAND --help' describes one command.\n\n"
                "commands:\n");
    for (const auto &c : commands()) std::printf("  %-32s %s\n", c.synopsis, c.summary);
}

void printCommandHelp(const Command &c) {
    std::printf("usage: quorvel %s [--json]\n\n%s\n", c.synopsis, c.summary);
    if (c.details[0] != 0) std::printf("\n%s\n", c.details);
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

}  // namespace

int main(int argc, char **argv) {
    const std::vector<std::string> args = arguments(argc, argv);
    bool json = false, help = false, version = false, optionsDone = false;
    Flags flags;
    std::string name, unknown;
    std::vector<std::string> positional;
    for (const auto &a : args) {
        if (optionsDone || !isOption(a)) {
            if (name.empty())
                name = a;
            else
                positional.push_back(a);
        } else if (a == "--") {
            optionsDone = true;
        } else if (a == "--json") {
            json = true;
        } else if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--version" || a == "-V") {
            version = true;
        } else if (a == "--force") {
            flags.force = true;
        } else if (unknown.empty()) {
            unknown = a;
        }
    }
    const Command *command = name.empty() || name == "help" ? nullptr : findCommand(name);
    if (!name.empty() && name != "help" && command == nullptr) return refuse(2, "unknown command '" + name + "'");
    if (!unknown.empty()) return refuse(2, "unknown option '" + unknown + "'", name == "help" ? "" : name);
    if (flags.force && (command == nullptr || !command->takesForce))
        return refuse(2, "unknown option '--force'" + (command ? " for " + name : std::string()), name);
    if (version) {
        Document doc;
        versionDocument(doc);
        return emit(json ? renderJson(doc) : renderText(doc), 0);
    }
    if (name == "help") {
        if (positional.size() > 1) return refuse(2, "help takes one command name", "help");
        if (positional.empty()) {
            printHelp();
            return emit("", 0);
        }
        if (positional[0] == "help") {
            std::printf("usage: quorvel help [COMMAND]\n\nDescribes COMMAND, or lists the commands.\n");
            return emit("", 0);
        }
        command = findCommand(positional[0]);
        if (command == nullptr) return refuse(2, "no help for '" + positional[0] + "': not a command");
        printCommandHelp(*command);
        return emit("", 0);
    }
    if (command == nullptr) {
        if (!help) return refuse(2, "no command given");
        printHelp();
        return emit("", 0);
    }
    if (help) {
        printCommandHelp(*command);
        return emit("", 0);
    }
    if (positional.size() < command->minArgs || positional.size() > command->maxArgs)
        return refuse(2, std::string("wrong number of arguments: quorvel ") + command->synopsis, name);

    captureLibraryTrace();
    Document doc;
    Failure failure;
    if (command->run(positional, flags, doc, failure)) return emit(json ? renderJson(doc) : renderText(doc), 0);
    // A shortfall of an operation that ran: scripts still get its result.
    if (failure.reported && json && emit(renderJson(doc), 0) != 0) return 1;
    return refuse(failure.status, failure.message, name);
}
