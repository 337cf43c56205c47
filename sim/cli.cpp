#include "sim/cli.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace finsim {
namespace {

bool ToInteger(const std::string &text, long long low, long long high, long long *value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    errno = 0;
    *value = std::strtoll(text.c_str(), nullptr, 10);
    return errno == 0 && *value >= low && *value <= high;
}

bool ToPort(const std::string &text, uint16_t *port) {
    long long value = 0;
    if (!ToInteger(text, 0, 65535, &value)) {
        return false;
    }
    *port = static_cast<uint16_t>(value);
    return true;
}

bool ToCount(const std::string &text, int *count) {
    long long value = 0;
    if (!ToInteger(text, 0, 1000000000, &value)) {
        return false;
    }
    *count = static_cast<int>(value);
    return true;
}

bool ToRate(const std::string &text, double *rate) {
    char *end = nullptr;
    errno = 0;
    *rate = std::strtod(text.c_str(), &end);
    return !text.empty() && errno == 0 && *end == '\0' && *rate >= 0 && *rate <= 1;
}

// NET.NODE[:cs|:cv]: network 0 to 127, node 1 to 254.
bool ToNode(const std::string &text, NodeConfig *node) {
    const size_t colon = text.find(':');
    const std::string address = text.substr(0, colon);
    const std::string series = colon == std::string::npos ? "cs" : text.substr(colon + 1);
    const size_t dot = address.find('.');
    long long network = 0, number = 0;
    if (dot == std::string::npos || !ToInteger(address.substr(0, dot), 0, 127, &network) ||
        !ToInteger(address.substr(dot + 1), 1, 254, &number) || (series != "cs" && series != "cv")) {
        return false;
    }
    *node = {static_cast<uint8_t>(network), static_cast<uint8_t>(number),
             series == "cs" ? Series::Cs : Series::Classic};
    return true;
}

bool ToAnimation(const std::string &text, Animation *animation) {
    const size_t colon = text.find(':');
    long long address = 0;
    if (colon == std::string::npos || colon == 0 || !ToInteger(text.substr(colon + 1), 0, 65535, &address)) {
        return false;
    }
    *animation = {text.substr(0, colon), static_cast<uint32_t>(address)};
    return true;
}

// For the repeatable options.
template <typename T>
bool Append(std::vector<T> *list, const std::string &text, bool (*parse)(const std::string &, T *)) {
    T item{};
    if (!parse(text, &item)) {
        return false;
    }
    list->push_back(item);
    return true;
}

struct Flag {
    const char *name;
    const char *meaning; // "what VALUE must be", null for a switch
    std::function<bool(Options &, const std::string &)> apply;
};

const std::vector<Flag> &Flags() {
    static const std::vector<Flag> flags = {
        {"--host", "an address",
         [](Options &o, const std::string &v) {
             o.host = v;
             return !v.empty();
         }},
        {"--udp", "a port, 0 to 65535", [](Options &o, const std::string &v) { return ToPort(v, &o.udpPort); }},
        {"--tcp", "a port, 0 to 65535", [](Options &o, const std::string &v) { return ToPort(v, &o.tcpPort); }},
        {"--no-udp", nullptr,
         [](Options &o, const std::string &) {
             o.udp = false;
             return true;
         }},
        {"--no-tcp", nullptr,
         [](Options &o, const std::string &) {
             o.tcp = false;
             return true;
         }},
        {"--node", "NET.NODE[:cs|:cv], network 0-127, node 1-254",
         [](Options &o, const std::string &v) { return Append(&o.nodes, v, ToNode); }},
        {"--image", "a file",
         [](Options &o, const std::string &v) {
             o.image = v;
             return !v.empty();
         }},
        {"--save", "a file",
         [](Options &o, const std::string &v) {
             o.save = v;
             return !v.empty();
         }},
        {"--ready-file", "a file",
         [](Options &o, const std::string &v) {
             o.readyFile = v;
             return !v.empty();
         }},
        {"--drop-every", "a count", [](Options &o, const std::string &v) { return ToCount(v, &o.faults.dropEvery); }},
        {"--drop-rate", "a fraction, 0 to 1",
         [](Options &o, const std::string &v) { return ToRate(v, &o.faults.dropRate); }},
        {"--delay", "milliseconds", [](Options &o, const std::string &v) { return ToCount(v, &o.faults.delayMs); }},
        {"--busy", "a count", [](Options &o, const std::string &v) { return ToCount(v, &o.faults.busyCount); }},
        {"--stale", nullptr,
         [](Options &o, const std::string &) {
             o.faults.staleBeforeAnswer = true;
             return true;
         }},
        {"--malformed-every", "a count",
         [](Options &o, const std::string &v) { return ToCount(v, &o.faults.malformedEvery); }},
        {"--duplicate-every", "a count",
         [](Options &o, const std::string &v) { return ToCount(v, &o.faults.duplicateEvery); }},
        {"--seed", "a number, 0 to 4294967295",
         [](Options &o, const std::string &v) {
             long long seed = 0;
             if (!ToInteger(v, 0, 4294967295LL, &seed)) {
                 return false;
             }
             o.faults.seed = static_cast<uint32_t>(seed);
             return true;
         }},
        {"--animate", "AREA:ADDRESS",
         [](Options &o, const std::string &v) { return Append(&o.animations, v, ToAnimation); }},
    };
    return flags;
}

const Flag *FindFlag(const std::string &name) {
    for (const Flag &flag : Flags()) {
        if (name == flag.name) {
            return &flag;
        }
    }
    return nullptr;
}

bool HasDuplicateNode(const std::vector<NodeConfig> &nodes, std::string *error) {
    for (size_t i = 0; i < nodes.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            if (nodes[i].network == nodes[j].network && nodes[i].node == nodes[j].node) {
                *error =
                    "node " + std::to_string(nodes[i].network) + "." + std::to_string(nodes[i].node) + " given twice";
                return true;
            }
        }
    }
    return false;
}

} // namespace

ParseResult ParseOptions(int argc, const char *const *argv, Options *options, std::string *error) {
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            return ParseResult::Help;
        }
        std::string value;
        const size_t equals = name.find('=');
        const bool inlineValue = equals != std::string::npos;
        if (inlineValue) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        const Flag *flag = FindFlag(name);
        if (flag == nullptr) {
            *error = "unknown option '" + std::string(argv[i]) + "'";
            return ParseResult::Error;
        }
        if (flag->meaning == nullptr && inlineValue) {
            *error = name + " takes no value";
            return ParseResult::Error;
        }
        if (flag->meaning != nullptr && !inlineValue) {
            if (i + 1 >= argc) {
                *error = name + " needs " + flag->meaning;
                return ParseResult::Error;
            }
            value = argv[++i];
        }
        if (!flag->apply(*options, value)) {
            *error = "bad value '" + value + "' for " + name + ": expected " + flag->meaning;
            return ParseResult::Error;
        }
    }
    if (!options->udp && !options->tcp) {
        *error = "--no-udp and --no-tcp leave nothing to serve";
        return ParseResult::Error;
    }
    if (options->nodes.empty()) {
        options->nodes.push_back({0, 1, Series::Cs});
    }
    return HasDuplicateNode(options->nodes, error) ? ParseResult::Error : ParseResult::Run;
}

const char *UsageText() {
    return R"(Usage: finsim [OPTION]...
A FINS controller simulator: answers FINS/UDP and FINS/TCP for one or more
controller nodes until SIGINT or SIGTERM.

Servers:
  --host ADDR            address to listen on (default 127.0.0.1)
  --udp PORT             FINS/UDP port; 0 picks a free one (default 0)
  --tcp PORT             FINS/TCP port; 0 picks a free one (default 0)
  --no-udp, --no-tcp     leave that server out
  --ready-file PATH      once listening, write "udp PORT" and "tcp PORT" lines there

Controllers:
  --node NET.NODE[:cs|:cv]
                         simulate this node, a CS-series (cs, the default) or a
                         classic CV-mode (cv) controller; repeatable; the first
                         node is the FINS/TCP server node (default 0.1:cs)
  --image FILE           load this memory image at start
  --save FILE            save the memory image at exit
  --animate AREA:ADDRESS count this word of the first node up by one every
                         200 ms, wrapping; repeatable

Faults (for tests):
  --drop-every N         leave every Nth request unanswered
  --drop-rate P          leave this fraction (0 to 1) of the requests unanswered
  --seed N               seed for --drop-rate (default 1)
  --delay MS             send every answer MS milliseconds late
  --busy N               answer the next N requests with end code 0204 (busy)
  --stale                before each answer send one with the previous service id
  --malformed-every N    replace every Nth answer by a malformed frame
  --duplicate-every N    send every Nth answer twice

Memory image lines:
  # comment
  node NET.NODE                  following lines go to that node (default the first)
  AREA ADDRESS VALUE [VALUE...]  AREA a hex area code (0x82) or a name:
                                   CS: CIO WR HR AR DM TIM TIMFLAG EM EM0..EMC
                                   classic: CIO DM TIM TIMFLAG EM EM0..EM7
                                 ADDRESS decimal; VALUE decimal or 0x hex
  TIM holds the timer/counter present values (CS counters from 32768),
  TIMFLAG their completion flags (0 or 1), EM the current bank (bank 0).

Options take their value as the next word or after '='. Exit status: 0 after a
clean stop, 1 if the servers, the image or the save failed, 2 for a bad option.
)";
}

} // namespace finsim
