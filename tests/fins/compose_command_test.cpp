#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "fins/compose_command.h"
#include "tests/fins/fins_fixture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Bytes = std::vector<uint8_t>;

class ComposeTest : public FinsTest {};

constexpr int32_t TEXT_10 = 10 << 24;

struct CommandCase {
    const char *name;
    int32_t station;
    int32_t function;
    int32_t areaFlags;
    int32_t address;
    int32_t count;
    Bytes command; // the eight command bytes
    int32_t sendLength;
};

TEST_F(ComposeTest, CommandBytes) {
    const CommandCase cases[] = {
        {"DM 100, 10 words, classic", CLASSIC, FN_READ_BLOCK, 1, 100, 10, {1, 1, 0x82, 0x00, 0x64, 0, 0x00, 0x0A}, 8},
        {"DM 100, 10 words, CS1", CS1, FN_READ_BLOCK, 1, 100, 10, {1, 1, 0x82, 0x00, 0x64, 0, 0x00, 0x0A}, 8},
        {"float read doubles address and count",
         CLASSIC,
         FN_READ_BLOCK,
         0x201,
         100,
         2,
         {1, 1, 0x82, 0x00, 0xC8, 0, 0, 4},
         8},
        {"float write", CLASSIC, FN_WRITE_BLOCK, 0x201, 100, 2, {1, 2, 0x82, 0x00, 0xC8, 0, 0, 4}, 16},
        {"BCD write", CS1, FN_WRITE_BLOCK, 0x101, 50, 1, {1, 2, 0x82, 0x00, 0x64, 0, 0, 2}, 12},
        {"LR 5 on CS1", CS1, FN_READ_BLOCK, 3, 5, 1, {1, 1, 0xB1, 0x03, 0xED, 0, 0, 1}, 8},
        {"LR 5 classic", CLASSIC, FN_READ_BLOCK, 3, 5, 1, {1, 1, 0x80, 0x03, 0xED, 0, 0, 1}, 8},
        {"HR 10 classic", CLASSIC, FN_READ_BLOCK, 4, 10, 1, {1, 1, 0x80, 0x04, 0x32, 0, 0, 1}, 8},
        {"HR 10 CS1", CS1, FN_READ_BLOCK, 4, 10, 1, {1, 1, 0xB2, 0x00, 0x0A, 0, 0, 1}, 8},
        {"AR 3 classic", CLASSIC, FN_READ_BLOCK, 5, 3, 1, {1, 1, 0x80, 0x04, 0x8F, 0, 0, 1}, 8},
        {"AR 3 CS1", CS1, FN_READ_BLOCK, 5, 3, 1, {1, 1, 0xB3, 0x00, 0x03, 0, 0, 1}, 8},
        {"TS 7 classic", CLASSIC, FN_READ_BLOCK, 7, 7, 1, {1, 1, 0x01, 0x00, 0x07, 0, 0, 1}, 8},
        {"TS 7 CS1", CS1, FN_READ_BLOCK, 7, 7, 1, {1, 1, 0x09, 0x00, 0x07, 0, 0, 1}, 8},
        {"text read asks a word per character",
         CLASSIC,
         FN_READ_BLOCK,
         0x401,
         50 + TEXT_10,
         1,
         {1, 1, 0x82, 0, 0x32, 0, 0, 10},
         8},
        {"text write sends two characters a word",
         CLASSIC,
         FN_WRITE_BLOCK,
         0x401,
         50 + TEXT_10,
         1,
         {1, 2, 0x82, 0, 0x32, 0, 0, 5},
         18},
        {"highest word address", CLASSIC, FN_READ_BLOCK, 1, 65535, 1, {1, 1, 0x82, 0xFF, 0xFF, 0, 0, 1}, 8},
        {"TS write, 3 items", CLASSIC, FN_WRITE_BLOCK, 7, 0, 3, {1, 2, 0x01, 0, 0, 0, 0, 3}, 11},
        {"word write, 500 items", CS1, FN_WRITE_BLOCK, 1, 0, 500, {1, 2, 0x82, 0, 0, 0, 0x01, 0xF4}, 1008},
        {"count 0", CLASSIC, FN_READ_BLOCK, 1, 0, 0, {1, 1, 0x82, 0, 0, 0, 0, 0}, 8},
    };
    for (const CommandCase &c : cases) {
        SCOPED_TRACE(c.name);
        fakeGateway.Reset();
        fakeGateway.RespondWith(0, Bytes(2048 - 4));
        Bytes values(2048);
        IoRequest request = Request(c.station, c.areaFlags, c.address, c.count, values.data());
        EXPECT_EQ(Call(c.function, &request), RC_OK);
        auto sends = fakeGateway.CallsOf(GatewayCall::SEND);
        ASSERT_EQ(sends.size(), 1u);
        EXPECT_EQ(sends[0].arguments[1], c.sendLength);
        ASSERT_GE(sends[0].bytes.size(), 8u);
        EXPECT_EQ(Bytes(sends[0].bytes.begin(), sends[0].bytes.begin() + 8), c.command);
        EXPECT_EQ(sends[0].arguments[0], instance->unitHandle[c.station]);
    }
}

TEST_F(ComposeTest, AreaCodesByStationKind) {
    // Index 1 to 25: DM IR LR HR AR IO TS TV EM E0 .. EF.
    const uint8_t classic[] = {0x82, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01, 0x81, 0x98, 0x90, 0x91, 0x92, 0x93,
                               0x94, 0x95, 0x96, 0x97, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF};
    const uint8_t cs1[] = {0x82, 0xB0, 0xB1, 0xB2, 0xB3, 0xB0, 0x09, 0x89, 0x98, 0xA0, 0xA1, 0xA2, 0xA3,
                           0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xED, 0xEE, 0xEF};
    for (int32_t area = 1; area <= 25; ++area) {
        SCOPED_TRACE(area);
        for (int32_t station : {CLASSIC, CS1}) {
            fakeGateway.Reset();
            fakeGateway.RespondWith(0, {0, 0});
            uint8_t values[2];
            IoRequest request = Request(station, area, 0, 1, values);
            ASSERT_EQ(Call(FN_READ_BLOCK, &request), RC_OK);
            EXPECT_EQ(LastSent()[2], station == CS1 ? cs1[area - 1] : classic[area - 1]) << "station " << station;
        }
    }
}

TEST_F(ComposeTest, DestinationFromTheStationText) {
    StartWith("03=1.300.0\n");
    fakeGateway.RespondWith(0, {0, 0});
    uint8_t values[2];
    IoRequest request = Request(3, 1, 0, 1, values);
    ASSERT_EQ(Call(FN_READ_BLOCK, &request), RC_OK);
    auto composes = fakeGateway.CallsOf(GatewayCall::COMPOSE_HEADER);
    ASSERT_EQ(composes.size(), 1u);
    EXPECT_THAT(composes[0].bytes, ElementsAre(0x01, 0x2C, 0x00));
    EXPECT_THAT(composes[0].arguments, ElementsAre(0, -1));
}

TEST(ScanStationAddress, NumbersOfTheText) {
    struct Case {
        const char *text;
        Bytes destination;
    };
    const Case cases[] = {
        {"0.1.0", {0, 1, 0}},
        {"1.300.0", {1, 0x2C, 0}},
        {"255.254.16", {255, 254, 16}},
        {" 3. 4.\t5", {3, 4, 5}},
        {"-1.2.3", {0xFF, 2, 3}},
        {"7.8", {7, 8, 0}},
        {"7..8", {7, 0, 0}},
        {"7 .8.9", {7, 0, 0}},
        {"x.1.2", {0, 0, 0}},
        {"", {0, 0, 0}},
        {"1.2.3.4", {1, 2, 3}},
        {"0000000000001.2.", {1, 2, 0}},
        {"4294967297.2.3", {1, 2, 3}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        uint8_t destination[3] = {0xAA, 0xAA, 0xAA};
        ScanStationAddress(c.text, destination);
        EXPECT_THAT(destination, ElementsAreArray(c.destination));
    }
}

// A full 16-character row has no terminator: the scan stops at its end.
TEST(ScanStationAddress, StopsAtTheEndOfAFullRow) {
    char rows[2][STATION_ADDRESS_SIZE];
    std::memcpy(rows[0], "1.2.0000000000003", STATION_ADDRESS_SIZE);
    std::memcpy(rows[1], "99999999999999999", STATION_ADDRESS_SIZE);
    uint8_t destination[3];
    ScanStationAddress(rows[0], destination);
    EXPECT_THAT(destination, ElementsAre(1, 2, 0)) << "the unit's digit 3 lies beyond the row";
}

TEST_F(ComposeTest, HeaderFailureIsLoggedAtEveryAttemptAndSendsAnyway) {
    fakeGateway.composes = {-1, -1};
    fakeGateway.FailReceive(-1, 110);
    fakeGateway.RespondWith(0, {0x12, 0x34});
    uint8_t values[2];
    IoRequest request = Request(CLASSIC, 1, 100, 1, values, NO_BIT, 16, "T1");
    EXPECT_EQ(Call(FN_READ_BLOCK, &request), RC_OK);
    EXPECT_EQ(Sent().size(), 2u);
    EXPECT_THAT(
        log, ElementsAre(LogEntry{LOG_DETAIL, "KELOMR: BlockRead() Reading from a NON-CS1 PLC. tag 'T1' blocksize: 1"},
                         LogEntry{LOG_DRIVER, "KelOMR : Failed to Compose header"},
                         LogEntry{LOG_DRIVER, "KelOMR : Failed to recv data(-1,6E) to UNIT 1"},
                         LogEntry{LOG_DRIVER, "KelOMR : Failed to Compose header"},
                         LogEntry{LOG_DETAIL, "KELOMR: BlockRead() tag 'T1' blocksize: 1 success !"}));
}

} // namespace
