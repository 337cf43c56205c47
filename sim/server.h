// The FINS/UDP and FINS/TCP servers of a Simulator: one thread, one epoll loop.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "sim/memory.h"
#include "sim/simulator.h"

namespace finsim {

class Server {
  public:
    explicit Server(NodeSet &nodes);
    ~Server();
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    bool Start(const std::string &host, uint16_t udpPort, uint16_t tcpPort, bool udp, bool tcp, std::string *error);
    void Stop();
    uint16_t UdpPort() const;
    uint16_t TcpPort() const;
    void SetFaults(const Faults &faults);
    Counters GetCounters() const;
    void ResetCounters();

  private:
    struct Shared;
    class Loop;
    NodeSet &nodes_;
    std::unique_ptr<Shared> shared_;
    std::unique_ptr<Loop> loop_;
};

} // namespace finsim
