#include "host/cli/options.h"

#include <array>
#include <cstdlib>
#include <functional>

#include "host/cli/tag_kind.h"

namespace kelomr {

namespace {

enum CommandMask : unsigned {
    INFO = 1u << 0,
    READ = 1u << 1,
    WRITE = 1u << 2,
    POLL = 1u << 3,
    DEMO = 1u << 4,
    ANY = INFO | READ | WRITE | POLL | DEMO,
    TRANSFERS = READ | WRITE | POLL | DEMO,
};

struct CommandName {
    const char *name;
    Command command;
    unsigned mask;
};

constexpr std::array<CommandName, 6> COMMANDS = {{
    {"help", Command::Help, ANY},
    {"info", Command::Info, INFO},
    {"read", Command::Read, READ},
    {"write", Command::Write, WRITE},
    {"poll", Command::Poll, POLL},
    {"demo", Command::Demo, DEMO},
}};

using Setter = std::function<bool(Options &, const std::string &value, std::string *why)>;

struct Flag {
    const char *name;
    char shortName;
    bool takesValue;
    unsigned commands;
    Setter set;
};

bool ParseNumber(const std::string &text, long low, long high, int *out, std::string *why) {
    char *end = nullptr;
    long number = text.empty() ? 0 : std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || number < low || number > high) {
        *why = "needs a whole number from " + std::to_string(low) + " to " + std::to_string(high);
        return false;
    }
    *out = static_cast<int>(number);
    return true;
}

Setter Number(long low, long high, int Options::*field) {
    return
        [=](Options &o, const std::string &v, std::string *why) { return ParseNumber(v, low, high, &(o.*field), why); };
}

Setter OptionalNumber(long low, long high, std::optional<int> Options::*field) {
    return [=](Options &o, const std::string &v, std::string *why) {
        int number = 0;
        if (!ParseNumber(v, low, high, &number, why)) {
            return false;
        }
        o.*field = number;
        return true;
    };
}

Setter Switch(bool Options::*field) {
    return [=](Options &o, const std::string &, std::string *) { return o.*field = true; };
}

Setter Text(std::string Options::*field) {
    return [=](Options &o, const std::string &v, std::string *why) {
        if (v.empty()) {
            *why = "needs a value";
            return false;
        }
        o.*field = v;
        return true;
    };
}

bool SetFormat(Options &o, const std::string &v, std::string *why) {
    static const std::array<std::pair<const char *, Format>, 3> formats = {
        {{"table", Format::Table}, {"csv", Format::Csv}, {"json", Format::Json}}};
    for (const auto &[name, format] : formats) {
        if (v == name) {
            o.format = format;
            return true;
        }
    }
    *why = "is table, csv or json";
    return false;
}

bool SetType(Options &o, const std::string &v, std::string *why) {
    o.valueType = ParseValueTypeName(v);
    if (!o.valueType) {
        *why = "is float, long, bit, text, word or a type number";
        return false;
    }
    return true;
}

const std::array<Flag, 16> &Flags() {
    static const std::array<Flag, 16> flags = {{
        {"help", 'h', false, ANY, Switch(&Options::help)},
        {"version", 0, false, ANY, Switch(&Options::version)},
        {"driver", 0, true, ANY, Text(&Options::driver)},
        {"verbose", 'v', false, ANY, Switch(&Options::verbose)},
        {"quiet", 'q', false, ANY, Switch(&Options::quiet)},
        {"instance", 0, true, TRANSFERS, Number(0, 999, &Options::instance)},
        {"dir", 0, true, READ | WRITE | POLL, Text(&Options::dir)},
        {"timeout", 0, true, TRANSFERS, Number(0, 100000, &Options::timeout)},
        {"count", 0, true, READ | POLL, OptionalNumber(1, 1000000, &Options::count)},
        {"type", 0, true, READ | WRITE | POLL, SetType},
        {"file", 0, true, POLL, Text(&Options::file)},
        {"interval", 0, true, POLL | DEMO, OptionalNumber(0, 3600000, &Options::intervalMs)},
        {"format", 0, true, POLL | DEMO, SetFormat},
        {"seconds", 0, true, DEMO, Number(0, 31536000, &Options::seconds)},
        {"tcp", 0, false, DEMO, Switch(&Options::tcp)},
        {"raw", 0, false, INFO, Switch(&Options::raw)},
    }};
    return flags;
}

const Flag *FindFlag(const std::string &argument, std::string *inlineValue, bool *hasInlineValue) {
    *hasInlineValue = false;
    std::string name;
    if (argument.size() == 2 && argument[0] == '-' && argument[1] != '-') {
        for (const Flag &flag : Flags()) {
            if (flag.shortName == argument[1]) {
                return &flag;
            }
        }
        return nullptr;
    }
    name = argument.substr(2);
    size_t equals = name.find('=');
    if (equals != std::string::npos) {
        *inlineValue = name.substr(equals + 1);
        *hasInlineValue = true;
        name.resize(equals);
    }
    for (const Flag &flag : Flags()) {
        if (name == flag.name) {
            return &flag;
        }
    }
    return nullptr;
}

// A negative number is an operand (a value to write), not a flag.
bool LooksLikeFlag(const std::string &argument) {
    if (argument.size() < 2 || argument[0] != '-') {
        return false;
    }
    return !(argument[1] >= '0' && argument[1] <= '9') && argument[1] != '.';
}

unsigned MaskOf(Command command) {
    for (const CommandName &entry : COMMANDS) {
        if (entry.command == command) {
            return entry.mask;
        }
    }
    return ANY;
}

} // namespace

std::optional<Command> CommandNamed(const std::string &name) {
    for (const CommandName &entry : COMMANDS) {
        if (name == entry.name) {
            return entry.command;
        }
    }
    return std::nullopt;
}

bool ParseOptions(const std::vector<std::string> &arguments, Options *options, std::string *error) {
    *options = Options{};
    std::vector<const Flag *> used;
    bool operandsOnly = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (!operandsOnly && argument == "--") {
            operandsOnly = true;
            continue;
        }
        if (operandsOnly || !LooksLikeFlag(argument)) {
            if (options->command == Command::None) {
                auto command = CommandNamed(argument);
                if (!command) {
                    *error = "unknown command '" + argument + "' (info, read, write, poll, demo, help)";
                    return false;
                }
                options->command = *command;
                options->commandName = argument;
            } else {
                options->operands.push_back(argument);
            }
            continue;
        }
        std::string value;
        bool hasInlineValue = false;
        const Flag *flag = FindFlag(argument, &value, &hasInlineValue);
        if (flag == nullptr) {
            *error = "unknown option '" + argument + "'";
            return false;
        }
        if (flag->takesValue && !hasInlineValue) {
            if (i + 1 >= arguments.size()) {
                *error = "option --" + std::string(flag->name) + " needs a value";
                return false;
            }
            value = arguments[++i];
        } else if (!flag->takesValue && hasInlineValue) {
            *error = "option --" + std::string(flag->name) + " takes no value";
            return false;
        }
        std::string why;
        if (!flag->set(*options, value, &why)) {
            *error = "option --" + std::string(flag->name) + " " + why + ", not '" + value + "'";
            return false;
        }
        used.push_back(flag);
    }
    // Flags are judged against the command only once it is known, since they
    // may come first.
    unsigned mask = MaskOf(options->command);
    for (const Flag *flag : used) {
        if ((flag->commands & mask) == 0) {
            *error = "option --" + std::string(flag->name) + " does not apply to '" + options->commandName + "'";
            return false;
        }
    }
    return true;
}

} // namespace kelomr
