// Each fault first shows that it happened, on the wire and in the counters.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "sim/simulator.h"
#include "tests/sim/fins_test_client.h"

namespace {

using namespace fins_test;

constexpr int kSilenceMs = 300; // how long an answer that should not come is waited for

Bytes ReadDm(uint16_t address, uint8_t sid) {
    return Command(0x01, 0x01, AreaParams(0x82, address, 0, 1), {}, sid);
}

class FaultTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(simulator.Start()) << simulator.LastError();
        const uint16_t value = 0x1234;
        simulator.WriteWords(0, 1, 0x82, 10, &value, 1);
    }
    // Which of count requests (SIDs 1..count) got an answer.
    std::string AnsweredPattern(UdpClient &client, int count) {
        std::string pattern;
        for (int sid = 1; sid <= count; ++sid) {
            client.Send(ReadDm(10, static_cast<uint8_t>(sid)));
            pattern += client.Receive(kSilenceMs).empty() ? '-' : 'a';
        }
        return pattern;
    }
    finsim::Simulator simulator;
};

TEST_F(FaultTest, DropEvery) {
    finsim::Faults faults;
    faults.dropEvery = 3;
    simulator.SetFaults(faults);
    UdpClient client(simulator.UdpPort());
    EXPECT_EQ(AnsweredPattern(client, 6), "aa-aa-");
    EXPECT_EQ(simulator.GetCounters().dropped, 2u);
    EXPECT_EQ(simulator.GetCounters().answered, 4u);
}

TEST_F(FaultTest, DropRateIsSeededAndRepeatable) {
    finsim::Faults faults;
    faults.dropRate = 0.5;
    faults.seed = 7;
    UdpClient client(simulator.UdpPort());
    simulator.SetFaults(faults);
    const std::string first = AnsweredPattern(client, 24);
    EXPECT_NE(first.find('a'), std::string::npos) << first;
    EXPECT_NE(first.find('-'), std::string::npos) << first;
    simulator.SetFaults(faults);
    EXPECT_EQ(AnsweredPattern(client, 24), first);
    faults.dropRate = 1;
    simulator.SetFaults(faults);
    EXPECT_EQ(AnsweredPattern(client, 3), "---");
}

TEST_F(FaultTest, DelayHoldsEveryAnswer) {
    finsim::Faults faults;
    faults.delayMs = 400;
    simulator.SetFaults(faults);
    UdpClient client(simulator.UdpPort());
    const auto sent = std::chrono::steady_clock::now();
    client.Send(ReadDm(10, 1));
    client.Send(ReadDm(10, 2));
    const Bytes first = client.Receive(3000);
    const auto elapsed = std::chrono::steady_clock::now() - sent;
    ASSERT_FALSE(first.empty());
    EXPECT_GE(elapsed, std::chrono::milliseconds(400));
    EXPECT_EQ(first[9], 1) << "answers keep their order";
    EXPECT_EQ(client.Receive(3000)[9], 2);
}

TEST_F(FaultTest, BusyAnswersAreNotExecuted) {
    finsim::Faults faults;
    faults.busyCount = 2;
    simulator.SetFaults(faults);
    UdpClient client(simulator.UdpPort());
    const Bytes write = Command(0x01, 0x02, Concat(AreaParams(0x82, 10, 0, 1), Words({0x9999})));
    EXPECT_EQ(EndCode(client.Exchange(write)), 0x0204);
    uint16_t value = 0;
    simulator.ReadWords(0, 1, 0x82, 10, &value, 1);
    EXPECT_EQ(value, 0x1234) << "a busy controller did not write";
    EXPECT_EQ(EndCode(client.Exchange(write)), 0x0204);
    EXPECT_EQ(EndCode(client.Exchange(write)), 0x0000);
    simulator.ReadWords(0, 1, 0x82, 10, &value, 1);
    EXPECT_EQ(value, 0x9999);
    EXPECT_EQ(simulator.GetCounters().busySent, 2u);
}

TEST_F(FaultTest, StaleAnswerComesFirst) {
    finsim::Faults faults;
    faults.staleBeforeAnswer = true;
    simulator.SetFaults(faults);
    UdpClient client(simulator.UdpPort());
    client.Send(ReadDm(10, 0x20));
    const Bytes stale = client.Receive();
    const Bytes right = client.Receive();
    ASSERT_EQ(stale.size(), 16u);
    EXPECT_EQ(stale[9], 0x1F);
    EXPECT_EQ(AnswerWords(stale), std::vector<uint16_t>{0xEDCB}) << "its data differ from the right answer's";
    EXPECT_EQ(right[9], 0x20);
    EXPECT_EQ(AnswerWords(right), std::vector<uint16_t>{0x1234});
    EXPECT_EQ(simulator.GetCounters().staleSent, 1u);
}

TEST_F(FaultTest, MalformedAnswersTakeTurns) {
    finsim::Faults faults;
    faults.malformedEvery = 2;
    simulator.SetFaults(faults);
    UdpClient client(simulator.UdpPort());
    std::vector<Bytes> answers;
    for (uint8_t sid = 1; sid <= 6; ++sid) {
        answers.push_back(client.Exchange(ReadDm(10, sid)));
    }
    for (size_t i : {0u, 2u, 4u}) {
        EXPECT_EQ(AnswerWords(answers[i]), std::vector<uint16_t>{0x1234}) << i;
    }
    EXPECT_EQ(answers[1].size(), 11u) << "truncated";
    ASSERT_EQ(answers[3].size(), 16u);
    EXPECT_EQ(answers[3][0] & 0x40, 0) << "ICF marks a command";
    ASSERT_EQ(answers[5].size(), 16u);
    EXPECT_EQ(answers[5][0], 0xC0);
    EXPECT_NE(answers[5][7], 1) << "source node is not the controller";
    EXPECT_EQ(simulator.GetCounters().malformedSent, 3u);
}

TEST_F(FaultTest, DuplicateEvery) {
    finsim::Faults faults;
    faults.duplicateEvery = 2;
    simulator.SetFaults(faults);
    UdpClient client(simulator.UdpPort());
    EXPECT_FALSE(client.Exchange(ReadDm(10, 1)).empty());
    EXPECT_TRUE(client.Receive(kSilenceMs).empty());
    const Bytes second = client.Exchange(ReadDm(10, 2));
    EXPECT_EQ(client.Receive(), second);
    EXPECT_EQ(simulator.GetCounters().duplicatesSent, 1u);
}

TEST_F(FaultTest, FaultsOffAgain) {
    finsim::Faults faults;
    faults.dropEvery = 1;
    simulator.SetFaults(faults);
    UdpClient client(simulator.UdpPort());
    EXPECT_EQ(AnsweredPattern(client, 2), "--");
    simulator.SetFaults(finsim::Faults());
    EXPECT_EQ(AnsweredPattern(client, 2), "aa");
}

TEST_F(FaultTest, FaultsApplyOverTcp) {
    TcpClient client(simulator.TcpPort());
    ASSERT_EQ(client.Handshake(0).error, 0u);
    finsim::Faults faults;
    faults.busyCount = 1;
    faults.staleBeforeAnswer = true;
    faults.delayMs = 50;
    simulator.SetFaults(faults);
    EXPECT_EQ(EndCode(client.Exchange(ReadDm(10, 5))), 0x0204);
    client.SendMessage(2, ReadDm(10, 6));
    const TcpMessage stale = client.Receive();
    const TcpMessage right = client.Receive();
    EXPECT_EQ(stale.data[9], 5);
    EXPECT_EQ(right.data[9], 6);
    EXPECT_EQ(AnswerWords(right.data), std::vector<uint16_t>{0x1234});

    faults = finsim::Faults();
    faults.malformedEvery = 1;
    simulator.SetFaults(faults);
    const TcpMessage truncated = [&] {
        client.SendMessage(2, ReadDm(10, 7));
        return client.Receive();
    }();
    ASSERT_TRUE(truncated.ok) << "a malformed frame still travels in a whole message";
    EXPECT_EQ(truncated.data.size(), 11u);
}

} // namespace
