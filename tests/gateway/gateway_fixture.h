// A fresh routing file per test, units closed afterwards, and one-call
// exchanges through the six operations.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "gateway/finsgw.h"
#include "tests/gateway/frames.h"

// MEMORY AREA READ of one DM word at 100, sent to unit 0.1.0; the peers
// answer it with the word 0x1234.
extern const Bytes READ_DM100;
extern const Bytes TO_0_1_0;
extern const Bytes WORD_1234;

// What a time-out may overrun by on a loaded machine.
constexpr long MARGIN_MS = 600;

using Clock = std::chrono::steady_clock;
long MillisecondsSince(Clock::time_point start);

struct Exchange {
    int32_t result = 0;
    int error = 0;
    std::string errorText;
    Bytes header;   // the 10 bytes GwReceive wrote
    Bytes response; // result bytes from MRC on
};

class GatewayTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::string FilePath() const { return directory_ + "/finsgw.conf"; }
    void WriteRouting(const std::string &contents);
    // Writes the file, points FINSGW_CONFIG at it and reads it.
    int32_t LoadRouting(const std::string &contents);
    // "local 0.9.0" and the given route lines; the read must succeed.
    void UseRoutes(const std::string &routes);

    GwUnitHandle Open(const char *station);
    // Routes node 0.1 by route (a line) and opens unit 0.1.0.
    GwUnitHandle OpenUnit010(const std::string &route);
    Exchange Run(GwUnitHandle unit, const Bytes &destination, const Bytes &command = READ_DM100,
                 int32_t timeoutMs = 2000);
    Exchange Receive(GwUnitHandle unit, int32_t timeoutMs);
    GwCounters Counters(GwUnitHandle unit);
    // An exchange that must bring back the word 0x1234.
    void ExpectWord(GwUnitHandle unit);

    std::string directory_;
    std::vector<GwUnitHandle> opened_;
};

std::string UdpRoute(const std::string &node, uint16_t port);
std::string TcpRoute(const std::string &node, uint16_t port);
