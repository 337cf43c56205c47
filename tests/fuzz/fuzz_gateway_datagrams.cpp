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

#include "tests/fuzz/gateway_unit.h"

namespace {

using namespace gateway_fuzz;

int peer = -1;
GwUnitHandle unit = 0;

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
    unit = OpenUnitTo("udp", BindPeer());
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

    ReceiveAndCheck(unit, header, 2);
    return 0;
}
