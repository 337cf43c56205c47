// The gateway's receive path on a FINS/UDP unit, fed arbitrary datagrams by a
// peer on loopback after each command it sends.
//
// Input: byte 0 holds flags (bit 0: the peer puts the command's service id
// into each datagram, bit 1: the command's destination as source); then
// datagrams, each a length byte and that many bytes.
//
// Beyond crashes, each run aborts when GwReceive hands back more than its
// capacity, or takes a frame that is not the answer to the command sent.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fins/gateway.h"

namespace {

constexpr int32_t CAPACITY = 64; // small, so long datagrams must be refused
constexpr uint8_t DESTINATION[3] = {0, 1, 0};
constexpr uint8_t COMMAND[8] = {0x01, 0x01, 0x82, 0x00, 0x64, 0x00, 0x00, 0x01};

int peer = -1;
GwUnitHandle unit = 0;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

uint16_t BindPeer() {
    peer = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (peer < 0 || bind(peer, reinterpret_cast<sockaddr *>(&address), size) != 0 ||
        getsockname(peer, reinterpret_cast<sockaddr *>(&address), &size) != 0) {
        std::perror("peer");
        std::abort();
    }
    return ntohs(address.sin_port);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    uint16_t port = BindPeer();
    char config[] = "/tmp/kelomr-fuzz-gw-XXXXXX";
    int file = mkstemp(config);
    std::string text = "local 0.250.0\nroute 0.1 udp 127.0.0.1:" + std::to_string(port) + "\n";
    Check(file >= 0 && write(file, text.data(), text.size()) == static_cast<ssize_t>(text.size()));
    close(file);
    setenv("FINSGW_CONFIG", config, 1);
    GwOpenService(1, 0);
    unit = GwOpenUnit("0.1.0");
    unlink(config);
    Check(unit != 0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) {
        return 0;
    }
    uint8_t header[20];
    Check(GwComposeHeader(header, 0, DESTINATION, -1) >= 0);
    Check(GwSend(unit, header, COMMAND, sizeof COMMAND) >= 0);
    uint8_t sent[64];
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    ssize_t sentLength = recvfrom(peer, sent, sizeof sent, 0, reinterpret_cast<sockaddr *>(&from), &fromSize);
    Check(sentLength >= 10);

    uint8_t flags = data[0];
    size_t at = 1;
    while (at < size) {
        size_t length = data[at++];
        length = length < size - at ? length : size - at;
        uint8_t datagram[256];
        std::memcpy(datagram, data + at, length);
        if ((flags & 1) != 0 && length >= 10) {
            datagram[9] = sent[9];
        }
        if ((flags & 2) != 0 && length >= 9) {
            std::memcpy(datagram + 6, DESTINATION, 3);
        }
        sendto(peer, datagram, length, 0, reinterpret_cast<sockaddr *>(&from), fromSize);
        at += length;
    }

    uint8_t received[20];
    uint8_t response[CAPACITY + 16];
    std::memset(response, 0xA5, sizeof response);
    int32_t result = GwReceive(unit, received, response, CAPACITY, 2);
    Check(result <= CAPACITY);
    for (size_t i = CAPACITY; i < sizeof response; ++i) {
        Check(response[i] == 0xA5);
    }
    if (result >= 0) {
        Check(received[9] == sent[9]);                                    // its service id
        Check(std::memcmp(received + 6, DESTINATION, 3) == 0);            // from the destination
        Check(result >= 2 && response[0] == 0x01 && response[1] == 0x01); // to this command
    }
    return 0;
}
