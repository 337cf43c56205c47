#include "bench/peer.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

#include "bench/bench_util.h"

namespace bench {

namespace {

const std::string SCRIPT = std::string(BENCH_SOURCE_DIR) + "/bench/omron_fins_peer.js";
const std::string MODULES = std::string(BENCH_SOURCE_DIR) + "/tests/crosscheck/node_modules";

bool Exists(const std::string &path) {
    struct stat status;
    return stat(path.c_str(), &status) == 0;
}

} // namespace

bool PeerAvailable(std::string *why) {
    if (std::system("command -v node >/dev/null 2>&1") != 0) {
        *why = "node is not installed";
        return false;
    }
    if (!Exists(MODULES + "/omron-fins")) {
        *why = "omron-fins is not installed in tests/crosscheck/node_modules (run scripts/setup-debian)";
        return false;
    }
    return true;
}

double PeerReadRate(uint16_t udpPort, int exchanges) {
    std::string command = "node '" + SCRIPT + "' " + std::to_string(udpPort) + " " + std::to_string(exchanges) + " '" +
                          MODULES + "' 2>&1";
    FILE *output = popen(command.c_str(), "r");
    if (output == nullptr) {
        Die("cannot run node");
    }
    double rate = 0;
    std::string said;
    char line[512];
    while (std::fgets(line, sizeof line, output) != nullptr) {
        if (std::sscanf(line, "rate %lf", &rate) != 1) {
            said += line;
        }
    }
    if (pclose(output) != 0 || rate <= 0) {
        Die("the omron-fins peer failed: " + said);
    }
    return rate;
}

} // namespace bench
