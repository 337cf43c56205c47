// FINS/UDP exchanges: only the response to the command last sent is handed
// over; everything else is discarded and counted.
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "tests/gateway/gateway_fixture.h"

namespace {

using UdpTest = GatewayTest;

constexpr int32_t SHORT_TIMEOUT_MS = 150;

TEST_F(UdpTest, AnswerComesBackWithItsHeader) {
    UdpPeer peer([](const Bytes &request, size_t) { return std::vector<Bytes>{ResponseTo(request, 0, WORD_1234)}; });
    GwUnitHandle unit = OpenUnit010(UdpRoute("0.1", peer.Port()));
    Exchange got = Run(unit, TO_0_1_0);
    ASSERT_EQ(got.result, 6) << got.errorText;
    EXPECT_EQ(Hex(got.response), "01 01 00 00 12 34");
    ASSERT_EQ(peer.Requests().size(), 1u);
    Bytes request = peer.Requests()[0];
    EXPECT_EQ(Hex(Prefix(request, 9)), "80 00 02 00 01 00 00 09 00");
    EXPECT_EQ(Hex(Bytes(request.begin() + 10, request.end())), Hex(READ_DM100));
    EXPECT_EQ(Hex(got.header), Hex(Prefix(ResponseTo(request), 10)));
    GwCounters counters = Counters(unit);
    EXPECT_EQ(counters.sent, 1u);
    EXPECT_EQ(counters.received, 1u);
    EXPECT_EQ(counters.discarded, 0u);
}

struct Stray {
    const char *name;
    std::function<Bytes(const Bytes &request)> make;
};

Bytes Changed(Bytes frame, size_t at, uint8_t value) {
    frame.at(at) = value;
    return frame;
}

const Stray STRAYS[] = {
    {"stale service id", [](const Bytes &r) { return Changed(ResponseTo(r), 9, static_cast<uint8_t>(r[9] - 1)); }},
    {"forged source network", [](const Bytes &r) { return Changed(ResponseTo(r), 6, 1); }},
    {"forged source node", [](const Bytes &r) { return Changed(ResponseTo(r), 7, 2); }},
    {"forged source unit", [](const Bytes &r) { return Changed(ResponseTo(r), 8, 0x10); }},
    {"other command", [](const Bytes &r) { return Changed(ResponseTo(r), 11, 0x02); }},
    {"other main command", [](const Bytes &r) { return Changed(ResponseTo(r), 10, 0x05); }},
    {"command frame, not a response", [](const Bytes &r) { return Changed(ResponseTo(r), 0, 0x80); }},
    {"no end code", [](const Bytes &r) { return Prefix(ResponseTo(r), 12); }},
    {"half an end code", [](const Bytes &r) { return Prefix(ResponseTo(r), 13); }},
    {"header only", [](const Bytes &r) { return Prefix(ResponseTo(r), 10); }},
    {"three bytes",
     [](const Bytes &) {
         return Bytes{0xC0, 0, 2};
     }},
    {"empty datagram", [](const Bytes &) { return Bytes{}; }},
    {"longer than any frame", [](const Bytes &r) { return ResponseTo(r, 0, Bytes(3000, 0x55)); }},
};

TEST_F(UdpTest, StrayFramesAreDiscardedAndCountedBeforeTheAnswer) {
    for (const Stray &stray : STRAYS) {
        SCOPED_TRACE(stray.name);
        UdpPeer peer([&stray](const Bytes &request, size_t) {
            return std::vector<Bytes>{stray.make(request), ResponseTo(request, 0, WORD_1234)};
        });
        GwUnitHandle unit = OpenUnit010(UdpRoute("0.1", peer.Port()));
        ExpectWord(unit);
        GwCounters counters = Counters(unit);
        EXPECT_EQ(counters.discarded, 1u);
        EXPECT_EQ(counters.received, 1u);
        GwCloseUnit(unit);
    }
}

TEST_F(UdpTest, OnlyStraysEndInTimeOut) {
    UdpPeer peer([](const Bytes &request, size_t) {
        return std::vector<Bytes>{STRAYS[0].make(request), STRAYS[2].make(request), STRAYS[4].make(request)};
    });
    GwUnitHandle unit = OpenUnit010(UdpRoute("0.1", peer.Port()));
    Exchange got = Run(unit, TO_0_1_0, READ_DM100, SHORT_TIMEOUT_MS);
    EXPECT_EQ(got.result, -1);
    EXPECT_EQ(got.error, ETIMEDOUT);
    GwCounters counters = Counters(unit);
    EXPECT_EQ(counters.discarded, 3u);
    EXPECT_EQ(counters.timeouts, 1u);
    EXPECT_EQ(counters.received, 0u);
}

// The answer to an attempt that timed out arrives during the next attempt:
// it is that earlier command's answer, not this one's.
TEST_F(UdpTest, LateAnswerToEarlierAttemptIsNotTaken) {
    Bytes first;
    UdpPeer peer([&first](const Bytes &request, size_t index) {
        if (index == 0) {
            first = request;
            return std::vector<Bytes>{};
        }
        return std::vector<Bytes>{ResponseTo(first, 0, {0xDE, 0xAD}), ResponseTo(request, 0, WORD_1234)};
    });
    GwUnitHandle unit = OpenUnit010(UdpRoute("0.1", peer.Port()));
    EXPECT_EQ(Run(unit, TO_0_1_0, READ_DM100, SHORT_TIMEOUT_MS).error, ETIMEDOUT);
    ExpectWord(unit);
    EXPECT_EQ(Counters(unit).discarded, 1u);
}

TEST_F(UdpTest, SilentPeerTimesOutWithinTheTimeOut) {
    UdpPeer peer([](const Bytes &, size_t) { return std::vector<Bytes>{}; });
    GwUnitHandle unit = OpenUnit010(UdpRoute("0.1", peer.Port()));
    Clock::time_point start = Clock::now();
    Exchange got = Run(unit, TO_0_1_0, READ_DM100, SHORT_TIMEOUT_MS);
    long elapsed = MillisecondsSince(start);
    EXPECT_EQ(got.result, -1);
    EXPECT_EQ(got.error, ETIMEDOUT);
    EXPECT_EQ(got.errorText, "unit 0.1.0: no answer within 150 ms");
    EXPECT_GE(elapsed, SHORT_TIMEOUT_MS);
    EXPECT_LT(elapsed, SHORT_TIMEOUT_MS + MARGIN_MS);
    EXPECT_EQ(Counters(unit).timeouts, 1u);
}

TEST_F(UdpTest, ClosedPortIsRefusedAtOnce) {
    UseRoutes(UdpRoute("0.1", FreePort(SOCK_DGRAM)));
    GwUnitHandle unit = Open("0.1.0");
    ASSERT_NE(unit, 0u) << "a unit whose controller is down can be opened";
    constexpr int32_t LONG_TIMEOUT_MS = 10000;
    Clock::time_point start = Clock::now();
    Exchange got = Run(unit, TO_0_1_0, READ_DM100, LONG_TIMEOUT_MS);
    EXPECT_LT(MillisecondsSince(start), LONG_TIMEOUT_MS / 2);
    EXPECT_EQ(got.result, -1);
    EXPECT_EQ(got.error, ECONNREFUSED);
    EXPECT_NE(got.errorText.find("unit 0.1.0 (127.0.0.1:"), std::string::npos) << got.errorText;
    EXPECT_NE(got.errorText.find(" udp): connection refused"), std::string::npos) << got.errorText;
}

// The refusal of a datagram whose answer nobody waited for is no failure of
// the next send.
TEST_F(UdpTest, EarlierRefusalDoesNotFailTheNextSend) {
    UseRoutes(UdpRoute("0.1", FreePort(SOCK_DGRAM)));
    GwUnitHandle unit = Open("0.1.0");
    uint8_t header[20];
    ASSERT_EQ(GwComposeHeader(header, 0, TO_0_1_0.data(), -1), 0);
    ASSERT_EQ(GwSend(unit, header, READ_DM100.data(), static_cast<int32_t>(READ_DM100.size())),
              static_cast<int32_t>(READ_DM100.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the refusal comes back meanwhile
    EXPECT_EQ(GwSend(unit, header, READ_DM100.data(), static_cast<int32_t>(READ_DM100.size())),
              static_cast<int32_t>(READ_DM100.size()))
        << GwLastErrorText();
    EXPECT_EQ(Counters(unit).sent, 2u);
}

TEST_F(UdpTest, AnswerLongerThanTheBufferIsRefusedWithoutWritingPastIt) {
    UdpPeer peer([](const Bytes &request, size_t) { return std::vector<Bytes>{ResponseTo(request, 0, Bytes(20, 7))}; });
    GwUnitHandle unit = OpenUnit010(UdpRoute("0.1", peer.Port()));
    uint8_t header[20];
    ASSERT_EQ(GwComposeHeader(header, 0, TO_0_1_0.data(), -1), 0);
    ASSERT_EQ(GwSend(unit, header, READ_DM100.data(), 8), 8);
    uint8_t area[64];
    std::memset(area, 0xEE, sizeof area);
    uint8_t receivedHeader[20];
    errno = 0;
    EXPECT_EQ(GwReceive(unit, receivedHeader, area + 8, 16, 2000), -1);
    EXPECT_EQ(errno, EMSGSIZE);
    EXPECT_EQ(std::string(GwLastErrorText()), "unit 0.1.0: answer of 24 bytes does not fit the buffer of 16 bytes");
    EXPECT_EQ(Hex(Bytes(area, area + sizeof area)), Hex(Bytes(sizeof area, 0xEE)));
}

TEST_F(UdpTest, BindSendsFromTheLocalPort) {
    UdpPeer peer([](const Bytes &request, size_t) { return std::vector<Bytes>{ResponseTo(request)}; });
    uint16_t localPort = FreePort(SOCK_DGRAM);
    ASSERT_EQ(LoadRouting("local 0.9.0 bind " + std::to_string(localPort) + "\n" + UdpRoute("0.1", peer.Port()) +
                          UdpRoute("0.2", peer.Port())),
              0)
        << GwLastErrorText();
    GwUnitHandle first = Open("0.1.0");
    GwUnitHandle second = Open("0.2.0");
    ASSERT_NE(first, 0u) << GwLastErrorText();
    ASSERT_NE(second, 0u) << "units share the bound port: " << GwLastErrorText();
    ASSERT_EQ(Run(first, TO_0_1_0).result, 4);
    EXPECT_EQ(peer.LastSourcePort(), localPort);
}

} // namespace
