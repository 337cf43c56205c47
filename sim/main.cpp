// finsim: serves simulated FINS controllers until SIGINT or SIGTERM.
#include <signal.h>
#include <time.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "sim/areas.h"
#include "sim/cli.h"
#include "sim/simulator.h"

namespace {

using finsim::Animation;
using finsim::Options;

constexpr long kAnimateNs = 200L * 1000 * 1000;

struct Counter {
    uint8_t areaCode;
    uint32_t address;
};

bool ResolveAnimations(const Options &options, std::vector<Counter> *counters) {
    const finsim::SeriesLayout &layout = finsim::LayoutOf(options.nodes.front().series);
    for (const Animation &animation : options.animations) {
        const finsim::AreaInfo *area = finsim::FindAreaByText(layout, animation.area);
        if (area == nullptr || area->kind != finsim::AreaKind::Word) {
            std::fprintf(stderr, "finsim: --animate: no word area '%s' on the first node\n", animation.area.c_str());
            return false;
        }
        counters->push_back({area->code, animation.address});
    }
    return true;
}

std::string Endpoint(const std::string &host, uint16_t port) {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool WriteReadyFile(const std::string &path, const finsim::Simulator &simulator, const Options &options) {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::trunc);
        if (options.udp) {
            file << "udp " << simulator.UdpPort() << "\n";
        }
        if (options.tcp) {
            file << "tcp " << simulator.TcpPort() << "\n";
        }
        if (!file.flush()) {
            return false;
        }
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

void Animate(finsim::Simulator &simulator, const finsim::NodeConfig &node, const std::vector<Counter> &counters) {
    for (const Counter &counter : counters) {
        uint16_t value = 0;
        if (simulator.ReadWords(node.network, node.node, counter.areaCode, counter.address, &value, 1)) {
            value = static_cast<uint16_t>(value + 1);
            simulator.WriteWords(node.network, node.node, counter.areaCode, counter.address, &value, 1);
        }
    }
}

// Until a stop signal: the animated words tick every 200 ms.
void Serve(finsim::Simulator &simulator, const Options &options, const std::vector<Counter> &counters,
           const sigset_t &stopSignals) {
    const timespec tick = {0, kAnimateNs};
    while (true) {
        const int signal = sigtimedwait(&stopSignals, nullptr, &tick);
        if (signal == SIGINT || signal == SIGTERM) {
            return;
        }
        Animate(simulator, options.nodes.front(), counters);
    }
}

int Run(const Options &options) {
    std::vector<Counter> counters;
    if (!ResolveAnimations(options, &counters)) {
        return 2;
    }
    finsim::Simulator simulator(options.nodes);
    simulator.SetTransports(options.udp, options.tcp);
    simulator.SetFaults(options.faults);
    std::string error;
    if (!options.image.empty() && !simulator.LoadImage(options.image, &error)) {
        std::fprintf(stderr, "finsim: %s\n", error.c_str());
        return 1;
    }
    // Blocked before the server thread starts, so that only sigtimedwait sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    if (!simulator.Start(options.host, options.udpPort, options.tcpPort)) {
        std::fprintf(stderr, "finsim: %s\n", simulator.LastError().c_str());
        return 1;
    }
    if (options.udp) {
        std::printf("finsim: udp %s\n", Endpoint(options.host, simulator.UdpPort()).c_str());
    }
    if (options.tcp) {
        std::printf("finsim: tcp %s\n", Endpoint(options.host, simulator.TcpPort()).c_str());
    }
    if (!options.readyFile.empty() && !WriteReadyFile(options.readyFile, simulator, options)) {
        std::fprintf(stderr, "finsim: cannot write %s\n", options.readyFile.c_str());
        return 1;
    }
    std::printf("finsim: ready\n");
    std::fflush(stdout);
    Serve(simulator, options, counters, stopSignals);
    simulator.Stop();
    if (!options.save.empty() && !simulator.SaveImage(options.save, &error)) {
        std::fprintf(stderr, "finsim: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    Options options;
    std::string error;
    switch (finsim::ParseOptions(argc, argv, &options, &error)) {
    case finsim::ParseResult::Help:
        std::fputs(finsim::UsageText(), stdout);
        return 0;
    case finsim::ParseResult::Error:
        std::fprintf(stderr, "finsim: %s\nTry 'finsim --help' for the options.\n", error.c_str());
        return 2;
    case finsim::ParseResult::Run:
        break;
    }
    return Run(options);
}
