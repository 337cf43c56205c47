// kelomr: a command-line host for the KelOMR driver.
#include <cstdio>
#include <string>
#include <vector>

#include "host/cli/commands.h"
#include "host/cli/exit_codes.h"
#include "host/cli/help_text.h"
#include "host/cli/options.h"

#ifndef KELOMR_VERSION
#define KELOMR_VERSION "unknown"
#endif

namespace {

int ShowHelp(const kelomr::Options &options) {
    kelomr::Command about = options.command;
    if (about == kelomr::Command::Help && !options.operands.empty()) {
        auto named = kelomr::CommandNamed(options.operands.front());
        if (!named) {
            std::fprintf(stderr, "kelomr: no help for '%s'; try kelomr --help\n", options.operands.front().c_str());
            return kelomr::EXIT_USAGE;
        }
        about = *named;
    }
    std::fputs(kelomr::HelpText(about).c_str(), stdout);
    return kelomr::EXIT_ALL_GOOD;
}

int Run(const kelomr::Options &options) {
    switch (options.command) {
    case kelomr::Command::Info:
        return kelomr::RunInfo(options);
    case kelomr::Command::Read:
        return kelomr::RunRead(options);
    case kelomr::Command::Write:
        return kelomr::RunWrite(options);
    case kelomr::Command::Poll:
        return kelomr::RunPoll(options);
    case kelomr::Command::Demo:
        return kelomr::RunDemo(options);
    default:
        return ShowHelp(options);
    }
}

} // namespace

int main(int argc, char **argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    kelomr::Options options;
    std::string error;
    if (!kelomr::ParseOptions(arguments, &options, &error)) {
        std::fprintf(stderr, "kelomr: %s\nTry 'kelomr --help'.\n", error.c_str());
        return kelomr::EXIT_USAGE;
    }
    if (options.version) {
        std::printf("kelomr %s\n", KELOMR_VERSION);
        return kelomr::EXIT_ALL_GOOD;
    }
    if (options.command == kelomr::Command::None && !options.help) {
        std::fputs(kelomr::HelpText(kelomr::Command::None).c_str(), stderr);
        std::fprintf(stderr, "kelomr: name a command\n");
        return kelomr::EXIT_USAGE;
    }
    if (options.help) {
        return ShowHelp(options);
    }
    return Run(options);
}
