// The FINS/UDP server: real datagrams over loopback.
#include <gtest/gtest.h>

#include "sim/simulator.h"
#include "tests/sim/fins_test_client.h"

namespace {

using namespace fins_test;

class UdpServerTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(simulator.Start()) << simulator.LastError(); }
    finsim::Simulator simulator;
};

TEST_F(UdpServerTest, WriteThenReadOverTheWire) {
    UdpClient client(simulator.UdpPort());
    const Bytes written =
        client.Exchange(Command(0x01, 0x02, Concat(AreaParams(0x82, 500, 0, 3), Words({1, 0xFFFF, 0x8000}))));
    EXPECT_EQ(EndCode(written), 0x0000);
    const Bytes read = client.Exchange(Command(0x01, 0x01, AreaParams(0x82, 500, 0, 3), {}, 0x42));
    EXPECT_EQ(EndCode(read), 0x0000);
    EXPECT_EQ(AnswerWords(read), (std::vector<uint16_t>{1, 0xFFFF, 0x8000}));
    EXPECT_EQ(read[9], 0x42) << "same service id";
    uint16_t memory[3] = {};
    ASSERT_TRUE(simulator.ReadWords(0, 1, 0x82, 500, memory, 3));
    EXPECT_EQ(memory[2], 0x8000);
    EXPECT_EQ(simulator.GetCounters().answered, 2u);
}

TEST_F(UdpServerTest, OverlongDatagramsAreTooLong) {
    UdpClient client(simulator.UdpPort());
    for (size_t padding : {2100u, 9000u}) {
        const Bytes answer = client.Exchange(Command(0x01, 0x02, Bytes(padding, 0)));
        EXPECT_EQ(EndCode(answer), 0x1001) << padding;
    }
}

TEST_F(UdpServerTest, StrayAndHostileDatagramsGetNoAnswerAndDoNoHarm) {
    UdpClient client(simulator.UdpPort());
    Bytes response = Command(0x01, 0x01, AreaParams(0x82, 0, 0, 1));
    response[0] = 0xC0;
    client.Send(response);
    client.Send(Bytes{0x80, 0x00});
    client.Send(Bytes{});
    client.Send(Command(0x01, 0x01, AreaParams(0x82, 0, 0, 1), {0, 7, 0}));
    uint32_t state = 12345;
    for (int i = 0; i < 200; ++i) {
        Bytes junk(i % 40);
        for (uint8_t &b : junk) {
            state = state * 1103515245u + 12345u;
            b = static_cast<uint8_t>(state >> 16);
        }
        junk.resize(std::min<size_t>(junk.size(), 11)); // no full command: never answered
        client.Send(junk);
    }
    // The server still serves, and the first answer is to this request.
    const Bytes answer = client.Exchange(Command(0x01, 0x01, AreaParams(0x82, 0, 0, 1), {}, 0x77));
    ASSERT_EQ(EndCode(answer), 0x0000);
    EXPECT_EQ(answer[9], 0x77);
    const finsim::Counters counters = simulator.GetCounters();
    EXPECT_EQ(counters.notForUs, 1u);
    EXPECT_EQ(counters.unusable, 203u);
    EXPECT_EQ(counters.requests, 1u);
}

TEST(UdpServer, TransportsCanBeLeftOut) {
    finsim::Simulator simulator;
    simulator.SetTransports(true, false);
    ASSERT_TRUE(simulator.Start());
    EXPECT_NE(simulator.UdpPort(), 0);
    EXPECT_EQ(simulator.TcpPort(), 0);
}

TEST(UdpServer, BusyPortIsReported) {
    finsim::Simulator first;
    ASSERT_TRUE(first.Start());
    finsim::Simulator second;
    EXPECT_FALSE(second.Start("127.0.0.1", first.UdpPort(), 0));
    EXPECT_NE(second.LastError().find("cannot bind udp"), std::string::npos) << second.LastError();
}

TEST(UdpServer, RestartsAfterStop) {
    finsim::Simulator simulator;
    ASSERT_TRUE(simulator.Start());
    simulator.Stop();
    EXPECT_EQ(simulator.UdpPort(), 0);
    ASSERT_TRUE(simulator.Start());
    UdpClient client(simulator.UdpPort());
    EXPECT_EQ(EndCode(client.Exchange(Command(0x06, 0x01, {}))), 0x0000);
}

} // namespace
