// quorvel: the library's answers from the command line.
//
//   quorvel COMMAND [--json] [ARGS]     quorvel help | quorvel COMMAND --help
//
// Every command checks all of its input before it prints anything; a
// problem gives one line on stderr and a nonzero status (2: usage, 1: input
// or operation).
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"

#if defined(_WIN32)
#include <windows.h>
#include <shellapi.h>
#endif

using namespace quorvel_tool;

namespace {

// The arguments in UTF-8 on every system (Windows hands them over in UTF-16).
std::vector<std::string> arguments(int argc, char **argv) {
#if defined(_WIN32)
    (void)argc;
    (void)argv;
    std::vector<std::string> out;
    int count = 0;
    LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide != nullptr && i < count; ++i) {
        int bytes = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string s(bytes > 0 ? static_cast<size_t>(bytes - 1) : 0, '\0');
        if (bytes > 1) WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &s[0], bytes, nullptr, nullptr);
        out.push_back(s);
    }
    LocalFree(wide);
    return out;
#else
    return std::vector<std::string>(argv + 1, argv + argc);
#endif
}

int refuse(int status, const std::string &message) {
    (void)std::fprintf(stderr, "quorvel: %s\n", message.c_str());
    if (status == 2) (void)std::fprintf(stderr, "Try 'quorvel help'.\n");
    return status;
}

void printHelp() {
    std::printf("usage: quorvel COMMAND [--json] [ARGS]\n\n"
                "Asks the Quorvel library about capture devices, regional broadcast defaults and storage.\n"
                "--json prints the result for scripts; 'quorvel COMMAND --help' describes one command.\n\n"
                "commands:\n");
    for (const auto &c : commands()) std::printf("  %-32s %s\n", c.synopsis, c.summary);
}

void printCommandHelp(const Command &c) {
    std::printf("usage: quorvel %s [--json]\n\n%s\n", c.synopsis, c.summary);
    if (c.details[0] != 0) std::printf("\n%s\n", c.details);
}

}  // namespace

int main(int argc, char **argv) {
    const std::vector<std::string> args = arguments(argc, argv);
    if (args.empty()) return refuse(2, "no command given");
    if (args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
        printHelp();
        return 0;
    }
    const Command *command = nullptr;
    for (const auto &c : commands())
        if (args[0] == c.name) command = &c;
    if (command == nullptr) return refuse(2, "unknown command '" + args[0] + "'");

    bool json = false, help = false, optionsDone = false;
    std::vector<std::string> positional;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string &a = args[i];
        // Only "--" words are options, so negative numbers stay arguments.
        if (!optionsDone && a == "--") {
            optionsDone = true;
        } else if (!optionsDone && (a == "--help" || a == "-h")) {
            help = true;
        } else if (!optionsDone && a == "--json") {
            json = true;
        } else if (!optionsDone && a.compare(0, 2, "--") == 0) {
            return refuse(2, "unknown option '" + a + "' for " + command->name);
        } else {
            positional.push_back(a);
        }
    }
    if (help) {
        printCommandHelp(*command);
        return 0;
    }
    if (positional.size() < command->minArgs || positional.size() > command->maxArgs)
        return refuse(2, std::string("wrong number of arguments: quorvel ") + command->synopsis);

    Document doc;
    Failure failure;
    if (!command->run(positional, doc, failure)) return refuse(failure.status, failure.message);
    const std::string text = json ? renderJson(doc) : renderText(doc);
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}
