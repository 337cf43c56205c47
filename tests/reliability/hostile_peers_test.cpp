// Peers that try to break the gateway: a half frame and silence over
// FINS/TCP, a 64 KiB datagram, a flood of strays. The gateway gives up at its
// time-out, reads nothing past its buffer and takes none of them as the
// answer.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "fins/gateway.h"
#include "gateway/finsgw.h"

namespace {

constexpr int32_t TIMEOUT_MS = 200;
constexpr uint8_t DESTINATION[3] = {0, 1, 0};
constexpr uint8_t READ_DM100[8] = {0x01, 0x01, 0x82, 0x00, 0x64, 0x00, 0x00, 0x01};
constexpr int32_t CAPACITY = 2048;

int BoundSocket(int type, uint16_t *port) {
    int fd = socket(AF_INET, type, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&address), size), 0);
    getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
    *port = ntohs(address.sin_port);
    if (type == SOCK_STREAM) {
        listen(fd, 4);
    }
    return fd;
}

GwUnitHandle OpenUnit(const char *link, uint16_t port) {
    std::string path = "/tmp/kelomr-hostile-" + std::to_string(getpid()) + ".conf";
    std::ofstream(path) << "local 0.250.0\nroute 0.1 " << link << " 127.0.0.1:" << port << "\n";
    setenv("FINSGW_CONFIG", path.c_str(), 1);
    GwOpenService(1, 0);
    GwUnitHandle unit = GwOpenUnit("0.1.0");
    unlink(path.c_str());
    return unit;
}

struct Outcome {
    int32_t result;
    int error;
    double ms;
    bool guardIntact;
    uint8_t sid;
    uint8_t receivedSid;
};

Outcome Exchange(GwUnitHandle unit) {
    uint8_t header[20], received[20] = {};
    std::vector<uint8_t> response(CAPACITY + 64, 0xA5);
    GwComposeHeader(header, 0, DESTINATION, -1);
    auto start = std::chrono::steady_clock::now();
    Outcome outcome{GwSend(unit, header, READ_DM100, sizeof READ_DM100), 0, 0, true, header[9], 0};
    if (outcome.result >= 0) {
        outcome.result = GwReceive(unit, received, response.data(), CAPACITY, TIMEOUT_MS);
    }
    outcome.error = errno;
    outcome.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    for (size_t i = CAPACITY; i < response.size(); ++i) {
        outcome.guardIntact = outcome.guardIntact && response[i] == 0xA5;
    }
    outcome.receivedSid = received[9];
    return outcome;
}

// Gives up at its time-out: the bound allows a loaded machine's scheduling.
void ExpectGivesUp(const Outcome &outcome) {
    EXPECT_LT(outcome.result, 0);
    EXPECT_TRUE(outcome.guardIntact);
    EXPECT_LT(outcome.ms, TIMEOUT_MS + 1000.0);
}

TEST(HostilePeers, TcpHalfFrameAndSilence) {
    uint16_t port = 0;
    int listener = BoundSocket(SOCK_STREAM, &port);
    std::atomic<bool> done{false};
    std::thread peer([&] {
        int client = accept(listener, nullptr, nullptr);
        uint8_t request[64];
        ASSERT_EQ(recv(client, request, 20, MSG_WAITALL), 20); // node address data send
        const uint8_t welcome[24] = {'F', 'I', 'N', 'S', 0, 0, 0, 16, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 1};
        send(client, welcome, sizeof welcome, MSG_NOSIGNAL);
        recv(client, request, sizeof request, 0);
        // The envelope of a 30-byte frame, then half of it, then nothing.
        const uint8_t half[] = {'F', 'I', 'N', 'S', 0, 0, 0, 38, 0, 0, 0, 2, 0, 0, 0, 0, 0xC0, 0, 2, 0, 7, 0};
        send(client, half, sizeof half, MSG_NOSIGNAL);
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        close(client);
    });
    GwUnitHandle unit = OpenUnit("tcp", port);
    ASSERT_NE(unit, 0u);
    Outcome outcome = Exchange(unit);
    done = true;
    peer.join();
    ExpectGivesUp(outcome);
    EXPECT_EQ(outcome.error, ETIMEDOUT);
    GwCloseUnit(unit);
    close(listener);
}

// Datagram peers answer each request with what make() gives them.
template <typename Make> Outcome UdpExchange(Make make, GwCounters *counters) {
    uint16_t port = 0;
    int peer = BoundSocket(SOCK_DGRAM, &port);
    GwUnitHandle unit = OpenUnit("udp", port);
    EXPECT_NE(unit, 0u);
    std::thread answerer([&] {
        uint8_t request[64];
        sockaddr_in from{};
        socklen_t size = sizeof from;
        ssize_t length = recvfrom(peer, request, sizeof request, 0, reinterpret_cast<sockaddr *>(&from), &size);
        if (length >= 10) {
            for (const std::vector<uint8_t> &datagram : make(request)) {
                sendto(peer, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr *>(&from), size);
            }
        }
    });
    Outcome outcome = Exchange(unit);
    answerer.join();
    GwUnitCounters(unit, counters);
    GwCloseUnit(unit);
    close(peer);
    return outcome;
}

std::vector<uint8_t> AnswerTo(const uint8_t *request, uint8_t sid) {
    return {0xC0,       0,   2,    request[6], request[7], request[8], request[3], request[4],
            request[5], sid, 0x01, 0x01,       0,          0,          0x12,       0x34};
}

TEST(HostilePeers, DatagramOf64KiB) {
    GwCounters counters{};
    Outcome outcome = UdpExchange(
        [](const uint8_t *request) {
            std::vector<uint8_t> huge(65507, 0x55);
            std::vector<uint8_t> head = AnswerTo(request, request[9]);
            std::copy(head.begin(), head.end(), huge.begin());
            return std::vector<std::vector<uint8_t>>{huge};
        },
        &counters);
    ExpectGivesUp(outcome);
    EXPECT_GE(counters.discarded, 1u);
}

TEST(HostilePeers, FloodOfStraysNeverPassesAsTheAnswer) {
    GwCounters counters{};
    Outcome outcome = UdpExchange(
        [](const uint8_t *request) {
            std::vector<std::vector<uint8_t>> flood;
            for (int i = 0; i < 20000; ++i) {
                flood.push_back(AnswerTo(request, static_cast<uint8_t>(request[9] + 1 + i % 255)));
            }
            flood.push_back(AnswerTo(request, request[9]));
            return flood;
        },
        &counters);
    EXPECT_TRUE(outcome.guardIntact);
    EXPECT_GT(counters.discarded, 0u);
    if (outcome.result >= 0) {
        EXPECT_EQ(outcome.receivedSid, outcome.sid) << "only the answer to this command";
    } else {
        EXPECT_EQ(outcome.error, ETIMEDOUT) << "the answer was lost in the flood";
        EXPECT_LT(outcome.ms, TIMEOUT_MS + 1000.0);
    }
}

} // namespace
