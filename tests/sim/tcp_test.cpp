// The FINS/TCP server: node handshake, framing, several clients.
#include <gtest/gtest.h>

#include <memory>

#include "sim/simulator.h"
#include "tests/sim/fins_test_client.h"

namespace {

using namespace fins_test;

constexpr uint32_t kFrame = 2;
constexpr uint32_t kNodeAnswer = 1;
constexpr uint32_t kErrorNotice = 3;

uint32_t U32At(const Bytes &data, size_t offset) {
    return uint32_t{data[offset]} << 24 | uint32_t{data[offset + 1]} << 16 | uint32_t{data[offset + 2]} << 8 |
           data[offset + 3];
}

class TcpServerTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(simulator.Start()) << simulator.LastError(); }
    std::unique_ptr<TcpClient> Connect(uint32_t node = 0) {
        auto client = std::make_unique<TcpClient>(simulator.TcpPort());
        EXPECT_TRUE(client->Connected());
        const TcpMessage answer = client->Handshake(node);
        EXPECT_TRUE(answer.ok);
        EXPECT_EQ(answer.command, kNodeAnswer);
        EXPECT_EQ(answer.error, 0u);
        return client;
    }
    finsim::Simulator simulator;
};

TEST_F(TcpServerTest, AssignsNodesSkippingTheServerNode) {
    TcpClient first(simulator.TcpPort());
    const TcpMessage one = first.Handshake(0);
    ASSERT_TRUE(one.ok);
    ASSERT_EQ(one.data.size(), 8u);
    EXPECT_EQ(U32At(one.data, 0), 2u) << "node 1 is the server's";
    EXPECT_EQ(U32At(one.data, 4), 1u) << "server node";
    TcpClient second(simulator.TcpPort());
    EXPECT_EQ(U32At(second.Handshake(0).data, 0), 3u);
    EXPECT_EQ(simulator.GetCounters().tcpAccepted, 2u);
}

TEST_F(TcpServerTest, HandshakeRefusals) {
    auto holder = Connect(10);
    struct Case {
        const char *name;
        uint32_t node;
        uint32_t error;
    };
    const Case cases[] = {
        {"node already connected", 10, 0x21},
        {"client node out of range", 255, 0x23},
        {"same node as the server", 1, 0x24},
    };
    for (const Case &c : cases) {
        TcpClient client(simulator.TcpPort());
        const TcpMessage answer = client.Handshake(c.node);
        ASSERT_TRUE(answer.ok) << c.name;
        EXPECT_EQ(answer.command, kNodeAnswer) << c.name;
        EXPECT_EQ(answer.error, c.error) << c.name;
        EXPECT_TRUE(client.ClosedByServer()) << c.name;
    }
    holder.reset();
    // Once its client is gone the node can be had again.
    for (int attempt = 0; attempt < 100; ++attempt) {
        TcpClient again(simulator.TcpPort());
        const TcpMessage answer = again.Handshake(10);
        if (answer.error == 0) {
            SUCCEED();
            return;
        }
    }
    ADD_FAILURE() << "node 10 never freed";
}

TEST_F(TcpServerTest, BrokenEnvelopesCloseTheConnection) {
    struct Case {
        const char *name;
        Bytes bytes;
        uint32_t error;
    };
    Bytes absurd = TcpClient::Envelope(0, 0, {0, 0, 0, 0});
    absurd[4] = 0x7F;
    Bytes tooShortLength = TcpClient::Envelope(0, 0, {});
    tooShortLength[7] = 4;
    const Case cases[] = {
        {"not FINS", {'F', 'I', 'N', 'X', 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0x01},
        {"absurd length", absurd, 0x02},
        {"length shorter than its own fields", tooShortLength, 0x01},
        {"frame before the handshake", TcpClient::Envelope(2, 0, Command(0x06, 0x01, {})), 0x03},
    };
    for (const Case &c : cases) {
        TcpClient client(simulator.TcpPort());
        client.SendRaw(c.bytes);
        const TcpMessage notice = client.Receive();
        ASSERT_TRUE(notice.ok) << c.name;
        EXPECT_EQ(notice.error, c.error) << c.name;
        EXPECT_TRUE(client.ClosedByServer()) << c.name;
    }
    EXPECT_EQ(simulator.GetCounters().tcpRefused, 4u);
}

TEST_F(TcpServerTest, UnsupportedCommandIsNotedAndTheLinkStays) {
    auto client = Connect();
    client->SendMessage(6, {});
    const TcpMessage notice = client->Receive();
    EXPECT_EQ(notice.command, kErrorNotice);
    EXPECT_EQ(notice.error, 0x03u);
    EXPECT_EQ(EndCode(client->Exchange(Command(0x06, 0x01, {}))), 0x0000);
}

TEST_F(TcpServerTest, SplitAndMergedMessages) {
    auto client = Connect();
    const Bytes write =
        TcpClient::Envelope(kFrame, 0, Command(0x01, 0x02, Concat(AreaParams(0x82, 7, 0, 1), Words({0x0A0B}))));
    for (uint8_t byte : write) {
        client->SendRaw({byte});
    }
    EXPECT_EQ(EndCode(client->Receive().data), 0x0000);

    Bytes merged;
    for (uint8_t sid = 1; sid <= 3; ++sid) {
        merged =
            Concat(merged, TcpClient::Envelope(kFrame, 0, Command(0x01, 0x01, AreaParams(0x82, 7, 0, 1), {}, sid)));
    }
    // Three messages in one write, the last one cut and finished later.
    client->SendRaw(Bytes(merged.begin(), merged.end() - 5));
    client->SendRaw(Bytes(merged.end() - 5, merged.end()));
    for (uint8_t sid = 1; sid <= 3; ++sid) {
        const TcpMessage answer = client->Receive();
        ASSERT_TRUE(answer.ok);
        EXPECT_EQ(answer.data[9], sid);
        EXPECT_EQ(AnswerWords(answer.data), std::vector<uint16_t>{0x0A0B});
    }
}

TEST_F(TcpServerTest, LargeFramesAndTheirLimits) {
    auto client = Connect();
    const Bytes read = client->Exchange(Command(0x01, 0x01, AreaParams(0x82, 0, 0, 999)));
    EXPECT_EQ(read.size(), 2012u);
    EXPECT_EQ(EndCode(client->Exchange(Command(0x01, 0x02, Bytes(3000, 0)))), 0x1001);
}

TEST_F(TcpServerTest, SeveralClientsAtOnce) {
    std::vector<std::unique_ptr<TcpClient>> clients;
    for (int i = 0; i < 4; ++i) {
        clients.push_back(Connect());
    }
    for (uint16_t i = 0; i < clients.size(); ++i) {
        clients[i]->SendMessage(kFrame, Command(0x01, 0x02, Concat(AreaParams(0x82, 40 + i, 0, 1), Words({i}))));
    }
    for (auto &client : clients) {
        EXPECT_EQ(EndCode(client->Receive().data), 0x0000);
    }
    UdpClient udp(simulator.UdpPort());
    const Bytes all = udp.Exchange(Command(0x01, 0x01, AreaParams(0x82, 40, 0, 4)));
    EXPECT_EQ(AnswerWords(all), (std::vector<uint16_t>{0, 1, 2, 3}));
}

TEST_F(TcpServerTest, AllConnectionsInUse) {
    std::vector<std::unique_ptr<TcpClient>> clients;
    for (int i = 0; i < 64; ++i) {
        clients.push_back(Connect());
    }
    TcpClient extra(simulator.TcpPort());
    const TcpMessage answer = extra.Handshake(0);
    ASSERT_TRUE(answer.ok);
    EXPECT_EQ(answer.error, 0x20u);
    EXPECT_TRUE(extra.ClosedByServer());
}

} // namespace
