// The routing file: this host's own FINS address and where each FINS node
// is reached.
//
//   local NET.NODE.UNIT [bind PORT]
//   route NET.NODE udp|tcp HOST[:PORT]      (port 9600 when left out)
//
// '#' starts a comment; blank lines are allowed.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

namespace finsgw {

constexpr uint16_t FINS_PORT = 9600;

enum class TransportKind { UDP, TCP };

struct Route {
    uint8_t network = 0;
    uint8_t node = 0;
    TransportKind kind = TransportKind::UDP;
    std::string host;
    uint16_t port = FINS_PORT;
    int line = 0;
};

struct RoutingTable {
    std::string fileName;
    uint8_t local[3] = {0, 0, 0}; // network, node, unit of this host
    uint16_t bindPort = 0;        // local UDP port to send from; 0: any
    std::vector<Route> routes;
};

// The file named by FINSGW_CONFIG, else finsgw.conf in the current directory.
std::string RoutingFileName();

// Reads the routing text; on a bad line fails with "FILE:LINE: what".
bool ParseRoutingText(std::istream &in, const std::string &fileName, RoutingTable *table);

// Reads RoutingFileName(); false with the error text and errno set.
bool LoadRoutingFile(RoutingTable *table);

const Route *FindRoute(const RoutingTable &table, uint8_t network, uint8_t node);

} // namespace finsgw
