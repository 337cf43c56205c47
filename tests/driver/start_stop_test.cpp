#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "tests/support/driver_fixture.h"

namespace {

using ::testing::ElementsAre;

class StartStopTest : public DriverTest {};

TEST_F(StartStopTest, DisabledStartChangesNothingButActive) {
    WriteStationFile("01=0.1.0\n");
    instance->receiveTimeout = 4321;
    instance->active = 1;
    std::strcpy(instance->stationAddress[5], "9.9.9");
    instance->unitHandle[5] = 77;
    StartParams params{};
    params.enabled = 0;
    params.timeout = 50;
    EXPECT_EQ(Call(FN_START, &params), RC_OK);
    EXPECT_EQ(instance->active, 0u);
    EXPECT_EQ(instance->receiveTimeout, 4321);
    EXPECT_STREQ(instance->stationAddress[5], "9.9.9");
    EXPECT_EQ(instance->unitHandle[5], 77u);
    EXPECT_TRUE(fakeGateway.calls.empty());
    EXPECT_TRUE(log.empty());
}

TEST_F(StartStopTest, ReceiveTimeoutFromStartParameter) {
    struct Case {
        int32_t timeout;
        int32_t milliseconds;
    };
    const Case cases[] = {
        {10, 100}, {9, 1000}, {0, 1000}, {-5, 1000}, {50, 500}, {INT32_MIN, 1000},
        // A tenfold beyond 32 bits holds at the largest time-out instead of wrapping.
        {INT32_MAX, INT32_MAX}, {214748365, INT32_MAX}, {214748364, 2147483640},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.timeout);
        EXPECT_EQ(Start(c.timeout), RC_OK);
        EXPECT_EQ(instance->receiveTimeout, c.milliseconds);
        EXPECT_EQ(instance->active, 1u);
    }
}

TEST_F(StartStopTest, OnlyStationsThatOpenGetHandles) {
    fakeGateway.unopenable = {"0.3.0"};
    WriteStationFile("03=0.3.0\n07=0.7.0\n");
    EXPECT_EQ(Start(), RC_OK);
    EXPECT_EQ(instance->unitHandle[3], 0u);
    EXPECT_NE(instance->unitHandle[7], 0u);
    EXPECT_STREQ(instance->stationAddress[3], "0.3.0") << "the text stays, so addresses are still accepted";
    EXPECT_THAT(log, ElementsAre(LogEntry{LOG_DRIVER, "KELOMR: ReadIntFile() Station #3 Network/Node/Unit Address is ' 0.3.0 '"},
                                 LogEntry{LOG_DRIVER, "KELOMR: ReadIntFile() Station #7 Network/Node/Unit Address is ' 0.7.0 '"},
                                 LogEntry{LOG_DRIVER, "KelOMR; Create handle to Unit 0.3.0 fails"},
                                 LogEntry{LOG_DRIVER, "KelOMR: Connect to Unit 7 (0.7.0) success !!!"}));
    ASSERT_EQ(fakeGateway.calls.size(), 3u);
    EXPECT_EQ(fakeGateway.calls[0].kind, GatewayCall::OPEN_SERVICE);
    EXPECT_EQ(fakeGateway.calls[0].arguments, (std::vector<int64_t>{1, 0}));
    EXPECT_EQ(fakeGateway.calls[1].text, "0.3.0");
    EXPECT_EQ(fakeGateway.calls[2].text, "0.7.0");
}

TEST_F(StartStopTest, MissingFileStillStartsTheService) {
    EXPECT_EQ(Start(), RC_OK);
    EXPECT_THAT(LogTexts(), ElementsAre("KelOMR: File KelOMRnn.int not found !"));
    ASSERT_EQ(fakeGateway.calls.size(), 1u);
    EXPECT_EQ(fakeGateway.calls[0].kind, GatewayCall::OPEN_SERVICE);
}

TEST_F(StartStopTest, StopClosesEachOpenHandleOnce) {
    StartWith("03=0.3.0\n07=0.7.0\n");
    uint32_t handle3 = instance->unitHandle[3], handle7 = instance->unitHandle[7];
    EXPECT_EQ(Call(FN_STOP, nullptr), RC_OK);
    auto closes = fakeGateway.CallsOf(GatewayCall::CLOSE_UNIT);
    ASSERT_EQ(closes.size(), 2u);
    EXPECT_EQ(closes[0].arguments[0], handle3);
    EXPECT_EQ(closes[1].arguments[0], handle7);
    EXPECT_EQ(instance->unitHandle[3], 0u);
    EXPECT_STREQ(instance->stationAddress[3], "0.3.0");
    fakeGateway.calls.clear();
    EXPECT_EQ(Call(FN_STOP, nullptr), RC_OK);
    EXPECT_TRUE(fakeGateway.calls.empty()) << "a second stop closes nothing twice";
    EXPECT_TRUE(log.empty());
}

TEST_F(StartStopTest, StopAfterNothingOpenedClosesNothing) {
    Start();
    fakeGateway.calls.clear();
    EXPECT_EQ(Call(FN_STOP, nullptr), RC_OK);
    EXPECT_TRUE(fakeGateway.calls.empty());
}

TEST_F(StartStopTest, SecondStartRebuildsWithoutClosing) {
    WriteStationFile("03=0.3.0\n01=CS1\n");
    Start();
    uint32_t first = instance->unitHandle[3];
    instance->unitHandle[100] = 555;
    std::strcpy(instance->stationAddress[101], "keep");
    WriteStationFile("04=0.4.0\n");
    fakeGateway.calls.clear();
    Start();
    EXPECT_TRUE(fakeGateway.CallsOf(GatewayCall::CLOSE_UNIT).empty());
    EXPECT_EQ(instance->unitHandle[3], 0u);
    EXPECT_STREQ(instance->stationAddress[3], "");
    EXPECT_EQ(instance->isCs1[1], 0);
    EXPECT_NE(instance->unitHandle[4], 0u);
    EXPECT_NE(instance->unitHandle[4], first);
    EXPECT_EQ(instance->unitHandle[100], 555u) << "rows 100 and 101 are never touched";
    EXPECT_STREQ(instance->stationAddress[101], "keep");
}

} // namespace
