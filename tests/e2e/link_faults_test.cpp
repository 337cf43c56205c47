// A link that loses, spoils, repeats or delays frames, a controller that
// stops answering and one that restarts: the host gets the controller's
// current values or RC_LINK_ERROR, never a value from another exchange.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/e2e/controller_fixture.h"

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t OTHER_TYPE = 1;
constexpr int ATTEMPTS = 6;
constexpr auto TIMEOUT = std::chrono::milliseconds(100); // QUICK_TIMEOUT
// Room for a loaded machine on top of the time-outs themselves.
constexpr auto MARGIN = std::chrono::seconds(5);

class LinkFaults : public ControllerTest, public ::testing::WithParamInterface<Link> {
  protected:
    void SetUp() override { StartController({finsim::Series::Cs, GetParam()}, QUICK_TIMEOUT); }

    // Rounds of a host's poll: the controller's word changes, the host reads
    // it and writes another; every exchange must see the current memory.
    void PollRounds(int rounds, uint16_t seed) {
        for (int round = 0; round < rounds; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            const uint16_t value = static_cast<uint16_t>(seed + round * 0x0101);
            Preset(0x82, 100, {value});
            const WordRead read = ReadWord("01DM00100");
            EXPECT_EQ(read.result, RC_OK) << log.Dump();
            EXPECT_EQ(read.value, value);
            const uint16_t written = static_cast<uint16_t>(~value);
            EXPECT_EQ(WriteWord("01DM00101", written), RC_OK) << log.Dump();
            EXPECT_EQ(Memory(0x82, 101, 1), std::vector<uint16_t>{written});
        }
    }

    size_t FailedAttempts() const {
        return log.CountContaining("KelOMR : Failed to send data(") +
               log.CountContaining("KelOMR : Failed to recv data(");
    }
};

finsim::Faults DropEvery(int n) {
    finsim::Faults faults;
    faults.dropEvery = n;
    return faults;
}
finsim::Faults MalformedEvery(int n) {
    finsim::Faults faults;
    faults.malformedEvery = n;
    return faults;
}
finsim::Faults StaleFirst() {
    finsim::Faults faults;
    faults.staleBeforeAnswer = true;
    return faults;
}
finsim::Faults DuplicateEvery(int n) {
    finsim::Faults faults;
    faults.duplicateEvery = n;
    return faults;
}

struct RideOutCase {
    std::string name;
    finsim::Faults faults;
    uint64_t finsim::Counters::*proof; // shows that the fault happened
    bool gatewayDiscards;              // the spoilt frames reach the gateway, which drops them
    bool retries;                      // the driver needs further attempts
};

const RideOutCase RIDE_OUT_CASES[] = {
    {"DroppedRequests", DropEvery(2), &finsim::Counters::dropped, false, true},
    {"MalformedAnswers", MalformedEvery(2), &finsim::Counters::malformedSent, true, true},
    {"StaleAnswerBeforeEachAnswer", StaleFirst(), &finsim::Counters::staleSent, true, false},
    {"EveryAnswerTwice", DuplicateEvery(1), &finsim::Counters::duplicatesSent, true, false},
};

TEST_P(LinkFaults, RetriesAndMatchingRideOutASpoiltLink) {
    for (const RideOutCase &item : RIDE_OUT_CASES) {
        SCOPED_TRACE(item.name);
        simulator->SetFaults(item.faults);
        simulator->ResetCounters();
        const GwCounters before = Gateway();
        log.Clear();
        PollRounds(4, 0x1000);
        EXPECT_GT(simulator->GetCounters().*item.proof, 0u) << "the fault did not happen";
        if (item.gatewayDiscards) {
            EXPECT_GT(Gateway().discarded, before.discarded);
        }
        if (item.retries) {
            EXPECT_GT(FailedAttempts(), 0u) << log.Dump();
        } else {
            EXPECT_EQ(FailedAttempts(), 0u) << log.Dump();
        }
        simulator->SetFaults({});
    }
}

// A controller that takes every request and never answers: six time-outs,
// then RC_LINK_ERROR, for a read and for a write.
TEST_P(LinkFaults, SilentControllerGivesLinkErrorAfterSixTimeouts) {
    Preset(0x82, 100, {0x0C0C});
    simulator->SetFaults(DropEvery(1));
    for (const int32_t function : {FN_READ_TAG, FN_WRITE_TAG}) {
        SCOPED_TRACE(function == FN_READ_TAG ? "read" : "write");
        simulator->ResetCounters();
        log.Clear();
        const auto begun = Clock::now();
        uint16_t cells[2] = {UNTOUCHED_CELL, function == FN_READ_TAG ? UNTOUCHED_CELL : uint16_t{0x0D0D}};
        const uint16_t host = cells[1];
        EXPECT_EQ(driver.Transfer(function, "01DM00100", Tag("01DM00100", OTHER_TYPE), 1, cells), RC_LINK_ERROR);
        const auto took = Clock::now() - begun;
        EXPECT_GE(took, ATTEMPTS * TIMEOUT);
        EXPECT_LT(took, ATTEMPTS * TIMEOUT + MARGIN);
        EXPECT_EQ(cells[1], host);
        EXPECT_EQ(Memory(0x82, 100, 1), std::vector<uint16_t>{0x0C0C});
        EXPECT_EQ(simulator->GetCounters().requests, static_cast<uint64_t>(ATTEMPTS));
        // ETIMEDOUT is 0x6E.
        EXPECT_EQ(log.CountContaining("KelOMR : Failed to recv data(-1,6E) to UNIT 1"), static_cast<size_t>(ATTEMPTS))
            << log.Dump();
        if (function == FN_READ_TAG) {
            EXPECT_TRUE(log.Holds("KELOMR: BlockRead() tag '01DM00100' blocksize: 1 failed. rc = -1")) << log.Dump();
        }
    }
}

// Answers that come after the driver gave up on their attempt carry old
// memory: the gateway drops them, during the transfer that gave up and in
// every later one.
TEST_P(LinkFaults, LateAnswersNeverReachTheHost) {
    Preset(0x82, 100, {0x0A0A});
    finsim::Faults late;
    late.delayMs = 3 * static_cast<int>(TIMEOUT.count());
    simulator->SetFaults(late);
    const WordRead lost = ReadWord("01DM00100");
    EXPECT_EQ(lost.result, RC_LINK_ERROR) << log.Dump();
    EXPECT_EQ(lost.value, UNTOUCHED_CELL);
    EXPECT_EQ(simulator->GetCounters().answered, static_cast<uint64_t>(ATTEMPTS)) << "every attempt was answered";
    EXPECT_GT(Gateway().discarded, 0u) << "late answers arrived while the read still waited";

    simulator->SetFaults({});
    const auto deadline = Clock::now() + MARGIN;
    for (uint16_t round = 1; Gateway().discarded < static_cast<uint64_t>(ATTEMPTS) && Clock::now() < deadline;
         ++round) {
        const uint16_t value = static_cast<uint16_t>(0x0B00 + round);
        Preset(0x82, 100, {value});
        const WordRead read = ReadWord("01DM00100");
        ASSERT_EQ(read.result, RC_OK) << log.Dump();
        ASSERT_EQ(read.value, value) << "an answer of the lost read reached the host";
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(Gateway().discarded, static_cast<uint64_t>(ATTEMPTS)) << "all six late answers were dropped";
}

struct RestartCase {
    std::string name;
    bool pollWhileDown;
};

const RestartCase RESTART_CASES[] = {
    {"PolledWhileDown", true},
    {"QuietWhileDown", false},
};

// The controller goes away in the middle of a poll and comes back on the
// same port with the same memory: while it is away the host gets
// RC_LINK_ERROR and keeps its values; once it is back the next read succeeds.
TEST_P(LinkFaults, ControllerRestartMidPollIsRecovered) {
    for (const RestartCase &item : RESTART_CASES) {
        SCOPED_TRACE(item.name);
        PollRounds(2, 0x2000);
        Preset(0x82, 100, {0x5A01});
        StopSimulator();
        if (item.pollWhileDown) {
            log.Clear();
            const auto begun = Clock::now();
            const WordRead down = ReadWord("01DM00100");
            EXPECT_LT(Clock::now() - begun, ATTEMPTS * TIMEOUT + MARGIN);
            EXPECT_EQ(down.result, RC_LINK_ERROR) << log.Dump();
            EXPECT_EQ(down.value, UNTOUCHED_CELL);
            EXPECT_EQ(FailedAttempts(), static_cast<size_t>(ATTEMPTS)) << log.Dump();
            EXPECT_EQ(WriteWord("01DM00101", 1), RC_LINK_ERROR);
        }
        StartSimulatorAgain();
        log.Clear();
        const WordRead back = ReadWord("01DM00100");
        EXPECT_EQ(back.result, RC_OK) << log.Dump();
        EXPECT_EQ(back.value, 0x5A01) << "the memory came back with the controller";
        if (GetParam() == Link::Udp) {
            EXPECT_EQ(FailedAttempts(), 0u) << "a datagram needs no connection: " << log.Dump();
        }
        PollRounds(2, 0x3000);
    }
}

INSTANTIATE_TEST_SUITE_P(Links, LinkFaults, ::testing::Values(Link::Udp, Link::Tcp), LinkParamName);

} // namespace
} // namespace e2e
