#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/driver_fixture.h"

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

class StationFileTest : public DriverTest {
protected:
    // Starts with the file and returns the log texts of the file reading
    // (the connect texts after them are dropped).
    std::vector<std::string> Load(const std::string &contents) {
        WriteStationFile(contents);
        Start();
        std::vector<std::string> texts;
        for (const LogEntry &entry : log) {
            EXPECT_EQ(entry.level, LOG_DRIVER) << entry.text;
            if (entry.text.rfind("KelOMR: Connect", 0) != 0 && entry.text.rfind("KelOMR; Create", 0) != 0) {
                texts.push_back(entry.text);
            }
        }
        return texts;
    }
    int OpenedUnits() const { return static_cast<int>(fakeGateway.CallsOf(GatewayCall::OPEN_UNIT).size()); }
};

const char *const ADDRESS_OF = "KELOMR: ReadIntFile() Station #";

std::string AddressText(int station, const std::string &text) {
    return ADDRESS_OF + std::to_string(station) + " Network/Node/Unit Address is ' " + text + " '";
}

TEST_F(StationFileTest, ExampleFile) {
    EXPECT_THAT(Load("01=0.1.0\n01=CS1\n02 = 1.20.0\n"),
                ElementsAre(AddressText(1, "0.1.0"), "KELOMR: ReadIntFile() Station #1 defined as CS1 PLC",
                            AddressText(2, "1.20.0")));
    EXPECT_STREQ(instance->stationAddress[1], "0.1.0");
    EXPECT_EQ(instance->isCs1[1], 1);
    EXPECT_STREQ(instance->stationAddress[2], "1.20.0");
    EXPECT_EQ(instance->isCs1[2], 0);
    for (int station = 3; station <= 99; ++station) {
        ASSERT_STREQ(instance->stationAddress[station], "");
    }
}

// Each line alone in a file: what it stores, and the text it logs.
TEST_F(StationFileTest, LineRules) {
    struct Case {
        const char *file;
        int station;          // 0: nothing stored
        const char *address;  // stored text, or null for a CS1 line
        const char *logText;  // null: no text
    };
    const Case cases[] = {
        {"", 0, nullptr, nullptr},
        {"\n \n\t\r\n", 0, nullptr, nullptr},
        {"00=0.1.0\n", 0, nullptr, "KelOMR: Illegat Plc Address (valid 01..99)"},
        {"100=0.1.0\n", 10, "=0.1.0", nullptr},
        {"1A=0.1.0\n", 27, "0.1.0", nullptr},
        {"5\n", 2, "", nullptr},
        {"01 0.1.0\n", 1, ".1.0", nullptr},
        {"03=abc\n", 3, "ABC", nullptr},
        {"01=CS1X\n", 1, "CS1X", nullptr},
        {"# comment\n", 0, nullptr, "KelOMR: Illegat Plc Address (valid 01..99)"},
        {"02=0.2.0", 0, nullptr, nullptr},             // 8 kept characters, no line feed: lost
        {"01=1.20.0", 0, nullptr, nullptr},            // 9: lost
        {"01=10.20.30", 1, "10.20.30", nullptr},       // 11: used
        {"02=0.2.0\n", 2, "0.2.0", nullptr},
        {"04=1.2.3\n04=4.5.6\n", 4, "4.5.6", nullptr},
        {"09=123.123.123.1\n", 9, "123.123.123.1", nullptr}, // 15 characters, terminated
        {"0\x81" "1=0.1.0\n", 1, "0.1.0", nullptr},   // bytes 0x80 to 0xFF are dropped
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::string(c.file)));
        std::vector<std::string> texts = Load(c.file);
        if (c.logText != nullptr) {
            EXPECT_THAT(texts, ElementsAre(c.logText));
        } else if (c.station == 0) {
            EXPECT_THAT(texts, IsEmpty());
        }
        if (c.station != 0 && c.address != nullptr) {
            EXPECT_STREQ(instance->stationAddress[c.station], c.address);
            EXPECT_EQ(texts.back(), AddressText(c.station, c.address));
        }
        if (c.station == 0) {
            EXPECT_EQ(OpenedUnits(), 0);
        }
        fakeGateway.Reset();
        log.clear();
    }
}

TEST_F(StationFileTest, Cs1InAnyCaseAndEitherOrder) {
    Load("01:cs1\n02=CS1\n02=0.2.0\n");
    EXPECT_EQ(instance->isCs1[1], 1);
    EXPECT_STREQ(instance->stationAddress[1], "");
    EXPECT_EQ(instance->isCs1[2], 1);
    EXPECT_STREQ(instance->stationAddress[2], "0.2.0");
    EXPECT_EQ(OpenedUnits(), 1) << "a CS1 station without an address gets no unit";
}

TEST_F(StationFileTest, EveryStationNumber) {
    std::string file;
    for (int station = 1; station <= 99; ++station) {
        char line[32];
        std::snprintf(line, sizeof line, "%02d=1.%d.0\n", station, station);
        file += line;
    }
    Load(file);
    EXPECT_EQ(OpenedUnits(), 99);
    EXPECT_STREQ(instance->stationAddress[99], "1.99.0");
}

// An address text of 16 characters or more would leave its entry without a
// terminator: the line is refused with a text and the station keeps what it had.
TEST_F(StationFileTest, OverlongAddressTextIsRefused) {
    std::vector<std::string> texts = Load("05=1.2.3\n05=1234567890123456\n06=12345678901234567890\n");
    EXPECT_STREQ(instance->stationAddress[5], "1.2.3");
    EXPECT_STREQ(instance->stationAddress[6], "");
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_NE(texts[1].find("too long"), std::string::npos) << texts[1];
    EXPECT_NE(texts[2].find("Station #6"), std::string::npos) << texts[2];
}

// A line of more than 135 kept characters is cut there; the next line is read
// as a line of its own.
TEST_F(StationFileTest, OverlongLineIsCutAndTheNextLineStaysInStep) {
    std::string longLine = "07=" + std::string(300, 'x') + "\n";
    std::vector<std::string> texts = Load(longLine + "08=0.8.0\n");
    EXPECT_STREQ(instance->stationAddress[7], "");
    EXPECT_STREQ(instance->stationAddress[8], "0.8.0");
    EXPECT_EQ(texts.back(), AddressText(8, "0.8.0"));
}

TEST_F(StationFileTest, FileNameFromInstanceNumber) {
    for (int number : {1, 12, 123}) {
        SCOPED_TRACE(number);
        WriteStationFile("01=0.1.0\n", number);
        Start(10, number);
        EXPECT_STREQ(instance->stationAddress[1], "0.1.0");
    }
    Start(10, INT32_MIN); // a name longer than usual is still formed safely
    EXPECT_EQ(LogTexts().back(), "KelOMR: File KelOMRnn.int not found !");
}

} // namespace
