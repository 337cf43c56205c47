// Every kind of item, read and written through KelMain, the gateway and a
// socket, lands where a controller of the station's series keeps it, and
// nowhere else; places a controller does not have come back as the item's
// error with the controller's end code.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/controller_fixture.h"

namespace e2e {
namespace {

constexpr int32_t OTHER = 1; // a host value type without rules of its own
constexpr size_t TAIL = 4;   // bytes after the value that the driver must leave alone

// Where a controller keeps an item, or the end code it refuses it with.
struct Place {
    uint8_t area;
    uint32_t address;
    uint16_t endCode; // non-zero: the controller has no such place
};

constexpr Place At(uint8_t area, uint32_t address) {
    return {area, address, 0};
}
constexpr Place Refused(uint16_t endCode) {
    return {0, 0, endCode};
}

struct ItemCase {
    std::string name;
    std::string tag;
    int32_t valueType;
    int32_t blockCount; // 0: one item through FN_READ_TAG and FN_WRITE_TAG
    Place cs;
    Place classic;
    std::vector<uint16_t> stored;      // controller words before the read
    std::vector<uint8_t> read;         // what the host gets
    std::vector<uint8_t> written;      // what the host then writes
    std::vector<uint16_t> storedAfter; // controller words after the write
};

std::vector<uint16_t> Pattern(size_t count, uint16_t seed, uint16_t step) {
    std::vector<uint16_t> words(count);
    for (size_t i = 0; i < count; ++i) {
        words[i] = static_cast<uint16_t>(seed + i * step);
    }
    return words;
}

std::vector<float> FloatPattern(size_t count, float first, float step) {
    std::vector<float> values(count);
    for (size_t i = 0; i < count; ++i) {
        values[i] = first + static_cast<float>(i) * step;
    }
    return values;
}

ItemCase Word(std::string name, std::string tag, Place cs, Place classic) {
    return {name, tag, OTHER, 0, cs, classic, {0xBEEF}, CellBytes({0xBEEF}), CellBytes({0x1234}), {0x1234}};
}

std::vector<ItemCase> SingleItems() {
    return {
        Word("DmWord", "01DM00100", At(0x82, 100), At(0x82, 100)),
        Word("IrWord", "01IR00010", At(0xB0, 10), At(0x80, 10)),
        Word("IoWord", "01IO02000", At(0xB0, 2000), At(0x80, 2000)),
        Word("LrWord", "01LR00005", Refused(0x1103), At(0x80, 1005)),
        Word("HrWord", "01HR00010", At(0xB2, 10), At(0x80, 1074)),
        Word("ArWord", "01AR00003", At(0xB3, 3), At(0x80, 1167)),
        Word("TimerValue", "01TV00007", At(0x89, 7), At(0x81, 7)),
        Word("EmCurrentBank", "01EM00010", At(0x98, 10), At(0x98, 10)),
        Word("EmBank0", "01E000020", At(0xA0, 20), At(0x90, 20)),
        Word("EmBank7", "01E700030", At(0xA7, 30), At(0x97, 30)),
        Word("EmBank8", "01E800040", At(0xA8, 40), Refused(0x1101)),
        Word("EmBankC", "01EC00050", At(0xAC, 50), Refused(0x1101)),
        Word("EmBankD", "01ED00060", Refused(0x1101), Refused(0x1101)),
        {"TimerStatus", "01TS00007", OTHER, 0, At(0x09, 7), At(0x01, 7), {1}, CellBytes({1}), CellBytes({0}), {0}},
        {"Float",
         "01DM00200F",
         TYPE_FLOAT,
         0,
         At(0x82, 200),
         At(0x82, 200),
         {0x0000, 0x4120},
         FloatBytes({10.0f}),
         FloatBytes({-2.5f}),
         {0x0000, 0xC020}},
        {"Bcd",
         "01DM00300B",
         TYPE_LONG,
         0,
         At(0x82, 300),
         At(0x82, 300),
         {0x5678, 0x1234},
         LongBytes({12345678}),
         LongBytes({87654321}),
         {0x4321, 0x8765}},
        {"Text", "01DM00400S10", TYPE_TEXT, 0, At(0x82, 400), At(0x82, 400), TextWords("ABCDEFGHIJ"),
         TextBytes("ABCDEFGHIJ"), TextBytes("kelomr e2e"), TextWords("kelomr e2e")},
        {"TextInHr", "01HR00020S04", TYPE_TEXT, 0, At(0xB2, 20), At(0x80, 1084), TextWords("OMRN"), TextBytes("OMRN"),
         TextBytes("fins"), TextWords("fins")},
        {"BitSetThenCleared",
         "01DM0050003",
         TYPE_BIT,
         0,
         At(0x82, 500),
         At(0x82, 500),
         {0xF0F8},
         CellBytes({1}),
         CellBytes({0}),
         {0xF0F0}},
        {"BitClearThenSet",
         "01IR0001215",
         TYPE_BIT,
         0,
         At(0xB0, 12),
         At(0x80, 12),
         {0x7FFF},
         CellBytes({0}),
         CellBytes({1}),
         {0xFFFF}},
        // Only bit 0 of the host's cell is the new state: 3 sets the bit.
        {"BitInHr",
         "01HR0000104",
         TYPE_BIT,
         0,
         At(0xB2, 1),
         At(0x80, 1065),
         {0x0000},
         CellBytes({0}),
         CellBytes({3}),
         {0x0010}},
    };
}

std::vector<ItemCase> Blocks() {
    const std::vector<uint16_t> words = Pattern(500, 0x0101, 7919);
    const std::vector<uint16_t> otherWords = Pattern(500, 0xFEFE, 4099);
    const std::vector<float> floats = FloatPattern(250, -31.5f, 0.25f);
    const std::vector<float> otherFloats = FloatPattern(250, 1.0e6f, -3.75f);
    const std::vector<uint16_t> hrAr = Pattern(10, 0x0100, 1);
    const std::vector<uint16_t> otherHrAr = Pattern(10, 0x0200, 1);
    const std::vector<uint16_t> bank = Pattern(100, 0x3000, 3);
    const std::vector<uint16_t> otherBank = Pattern(100, 0x4000, 5);
    return {
        {"DmWords", "01DM01000", OTHER, 500, At(0x82, 1000), At(0x82, 1000), words, CellBytes(words),
         CellBytes(otherWords), otherWords},
        {"Floats", "01DM02000F", TYPE_FLOAT, 250, At(0x82, 2000), At(0x82, 2000), FloatWords(floats),
         FloatBytes(floats), FloatBytes(otherFloats), FloatWords(otherFloats)},
        // 123456789 keeps its first eight digits.
        {"Bcd", "01DM03000B", TYPE_LONG, 3, At(0x82, 3000), At(0x82, 3000),
         BcdWords({0x00000000, 0x99999999, 0x00001234}), LongBytes({0, 99999999, 1234}),
         LongBytes({123456789, 5, 10000}), BcdWords({0x12345678, 0x00000005, 0x00010000})},
        {"TimerStatus",
         "01TS00100",
         OTHER,
         4,
         At(0x09, 100),
         At(0x01, 100),
         {1, 0, 1, 1},
         CellBytes({1, 0, 1, 1}),
         CellBytes({0, 1, 0, 0}),
         {0, 1, 0, 0}},
        {"TimerValues",
         "01TV00010",
         OTHER,
         5,
         At(0x89, 10),
         At(0x81, 10),
         {1, 2, 3, 4, 5},
         CellBytes({1, 2, 3, 4, 5}),
         CellBytes({9, 8, 7, 6, 5}),
         {9, 8, 7, 6, 5}},
        {"HrIntoAr", "01HR00095", OTHER, 10, At(0xB2, 95), At(0x80, 1159), hrAr, CellBytes(hrAr), CellBytes(otherHrAr),
         otherHrAr},
        {"EmBank3", "01E300000", OTHER, 100, At(0xA3, 0), At(0x93, 0), bank, CellBytes(bank), CellBytes(otherBank),
         otherBank},
        {"LrWords",
         "01LR00060",
         OTHER,
         4,
         Refused(0x1103),
         At(0x80, 1060),
         {1, 2, 3, 4},
         CellBytes({1, 2, 3, 4}),
         CellBytes({5, 6, 7, 8}),
         {5, 6, 7, 8}},
    };
}

std::vector<uint8_t> Framed(size_t offset, const std::vector<uint8_t> &value) {
    std::vector<uint8_t> area(offset, UNTOUCHED);
    area.insert(area.end(), value.begin(), value.end());
    area.insert(area.end(), TAIL, UNTOUCHED);
    return area;
}

class ItemsLand : public ControllerTest, public ::testing::WithParamInterface<ControllerSetup> {
  protected:
    void SetUp() override { StartController(GetParam()); }

    // Words on either side of the item, to show that nothing else changes.
    static uint16_t GuardFor(uint8_t area) { return area == 0x09 || area == 0x01 ? 1 : 0x5A5A; }

    void PresetWithGuards(const Place &place, const std::vector<uint16_t> &words, size_t span) {
        const uint16_t guard = GuardFor(place.area);
        if (place.address > 0) {
            Preset(place.area, place.address - 1, {guard});
        }
        Preset(place.area, place.address, words);
        Preset(place.area, place.address + static_cast<uint32_t>(span), {guard});
    }

    void ExpectGuards(const Place &place, size_t span) {
        const std::vector<uint16_t> guard = {GuardFor(place.area)};
        if (place.address > 0) {
            EXPECT_EQ(Memory(place.area, place.address - 1, 1), guard) << "the word before the item";
        }
        EXPECT_EQ(Memory(place.area, place.address + static_cast<uint32_t>(span), 1), guard)
            << "the word after the item";
    }

    void Check(const ItemCase &item) {
        SCOPED_TRACE(item.name + " " + item.tag);
        const Place place = setup.series == finsim::Series::Cs ? item.cs : item.classic;
        const bool block = item.blockCount > 0;
        const TagAddress tag =
            block ? BlockTag(item.tag, item.valueType, item.blockCount) : Tag(item.tag, item.valueType);
        // A 16-bit single item sits in the second cell; the count of a single item is not the driver's to use.
        const size_t offset = !block && tag.width == 16 ? 2 : 0;
        const int32_t count = block ? item.blockCount : 3;
        const size_t span = item.storedAfter.size();
        const bool exists = place.endCode == 0;
        if (exists) {
            PresetWithGuards(place, item.stored, span);
        }

        std::vector<uint8_t> area = Framed(offset, std::vector<uint8_t>(item.read.size(), UNTOUCHED));
        log.Clear();
        const int32_t read = driver.Transfer(block ? FN_READ_BLOCK : FN_READ_TAG, item.tag, tag, count, area.data());
        EXPECT_EQ(read, exists ? RC_OK : RC_ITEM_ERROR) << log.Dump();
        EXPECT_EQ(Hex(area), Hex(exists ? Framed(offset, item.read)
                                        : Framed(offset, std::vector<uint8_t>(item.read.size(), UNTOUCHED))));

        area = Framed(offset, item.written);
        const int32_t write = driver.Transfer(block ? FN_WRITE_BLOCK : FN_WRITE_TAG, item.tag, tag, count, area.data());
        EXPECT_EQ(write, exists ? RC_OK : RC_ITEM_ERROR) << log.Dump();
        EXPECT_EQ(Hex(area), Hex(Framed(offset, item.written))) << "a write leaves the host's values alone";
        if (exists) {
            EXPECT_EQ(Memory(place.area, place.address, span), item.storedAfter);
            ExpectGuards(place, span);
            return;
        }
        char code[8];
        std::snprintf(code, sizeof code, "%X", place.endCode);
        EXPECT_EQ(log.CountContaining("KelOMR: Read/Write gate " + item.tag + " failed " + code), 2u) << log.Dump();
    }
};

TEST_P(ItemsLand, SingleItemsWhereTheControllerKeepsThem) {
    for (const ItemCase &item : SingleItems()) {
        Check(item);
    }
}

TEST_P(ItemsLand, BlocksWhereTheControllerKeepsThem) {
    for (const ItemCase &item : Blocks()) {
        Check(item);
    }
}

INSTANTIATE_TEST_SUITE_P(Controllers, ItemsLand, ::testing::ValuesIn(AllSetups()), SetupName);

// One instance, two stations of different series over different links: each
// command takes its area codes and its route from its own station.
class TwoStations : public ControllerTest {};

TEST_F(TwoStations, EachStationKeepsItsSeriesAndLink) {
    simulator = std::make_unique<finsim::Simulator>(
        std::vector<finsim::NodeConfig>{{0, 1, finsim::Series::Cs}, {0, 2, finsim::Series::Classic}});
    ASSERT_TRUE(simulator->Start()) << simulator->LastError();
    folder.WriteFile("kelOMR01.int", StationLines(1, 0, 1, true) + StationLines(2, 0, 2, false));
    // The simulator's FINS/TCP server speaks as its first node, so that one
    // takes the TCP route.
    folder.WriteFile("finsgw.conf", RoutingText({RouteLine(0, 1, Link::Tcp, simulator->TcpPort()),
                                                 RouteLine(0, 2, Link::Udp, simulator->UdpPort())}));
    ASSERT_EQ(driver.Start(PATIENT_TIMEOUT), RC_OK);

    EXPECT_EQ(WriteWord("01HR00010", 0x1111), RC_OK) << log.Dump();
    EXPECT_EQ(WriteWord("02HR00010", 0x2222), RC_OK) << log.Dump();
    uint16_t word = 0;
    ASSERT_TRUE(simulator->ReadWords(0, 1, 0xB2, 10, &word, 1));
    EXPECT_EQ(word, 0x1111);
    ASSERT_TRUE(simulator->ReadWords(0, 2, 0x80, 1074, &word, 1));
    EXPECT_EQ(word, 0x2222);

    const WordRead first = ReadWord("01HR00010");
    const WordRead second = ReadWord("02HR00010");
    EXPECT_EQ(first.result, RC_OK);
    EXPECT_EQ(first.value, 0x1111);
    EXPECT_EQ(second.result, RC_OK);
    EXPECT_EQ(second.value, 0x2222);
    EXPECT_TRUE(log.Holds("KELOMR: BlockRead() Reading from CS1 PLC. tag '01HR00010' blocksize: 1")) << log.Dump();
    EXPECT_TRUE(log.Holds("KELOMR: BlockRead() Reading from a NON-CS1 PLC. tag '02HR00010' blocksize: 1"))
        << log.Dump();
}

} // namespace
} // namespace e2e
