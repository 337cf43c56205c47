// The command line: a command, its operands, and the flags that may appear
// before or after them. Each flag belongs to the commands it makes sense for;
// any other use is a usage error.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kelomr {

enum class Command { None, Help, Info, Read, Write, Poll, Demo };
enum class Format { Auto, Table, Csv, Json };

struct Options {
    Command command = Command::None;
    std::string commandName;
    std::vector<std::string> operands;

    int instance = 1;
    std::string dir;
    int timeout = 100; // units of 10 ms
    std::string driver;
    bool verbose = false;
    bool quiet = false;
    std::optional<int> count; // read: block size; poll: rounds
    std::optional<int> valueType;
    std::string file;
    std::optional<int> intervalMs;
    Format format = Format::Auto;
    int seconds = 0; // demo: 0 runs until Ctrl-C
    bool tcp = false;
    bool raw = false;
    bool help = false;
    bool version = false;
};

// False with a message naming the offending argument.
bool ParseOptions(const std::vector<std::string> &arguments, Options *options, std::string *error);

std::optional<Command> CommandNamed(const std::string &name);

} // namespace kelomr
