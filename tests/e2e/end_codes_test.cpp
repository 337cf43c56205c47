// The end codes a controller answers reach the host as the driver classifies
// them: one exchange, no retry, the gate text, and values left alone.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "tests/e2e/controller_fixture.h"

namespace e2e {
namespace {

constexpr int32_t OTHER = 1;

struct Guard {
    uint8_t area;
    uint32_t address;
    uint16_t value; // preset before, and still there after the refused write
};

struct EndCodeCase {
    std::string name;
    std::string tag;
    int32_t function;
    int32_t count;
    uint16_t endCode;
    Guard guard;
};

const EndCodeCase END_CODE_CASES[] = {
    {"AddressBeyondDm", "01DM40000", FN_READ_TAG, 1, 0x1103, {0x82, 0, 0}},
    {"BlockEndsBeyondDm", "01DM32760", FN_READ_BLOCK, 10, 0x1104, {0x82, 32760, 0x1111}},
    {"WriteEndsBeyondDm", "01DM32767", FN_WRITE_BLOCK, 2, 0x1104, {0x82, 32767, 0x7777}},
    {"NoSuchEmBank", "01ED00000", FN_WRITE_TAG, 1, 0x1101, {0x98, 0, 0x2222}},
    {"TimerStatusIsAFlag", "01TS00007", FN_WRITE_TAG, 1, 0x110C, {0x09, 7, 1}},
};

class EndCodes : public ControllerTest, public ::testing::WithParamInterface<Link> {
  protected:
    void SetUp() override { StartController({finsim::Series::Cs, GetParam()}); }
};

TEST_P(EndCodes, ReachTheHostAsTheItemsError) {
    for (const EndCodeCase &item : END_CODE_CASES) {
        SCOPED_TRACE(item.name + " " + item.tag);
        Preset(item.guard.area, item.guard.address, {item.guard.value});
        const bool block = item.function == FN_READ_BLOCK || item.function == FN_WRITE_BLOCK;
        const TagAddress tag = block ? BlockTag(item.tag, OTHER, item.count) : Tag(item.tag, OTHER);
        // Two host cells per item: the single item's value lies in the second.
        std::vector<uint16_t> cells(2 * static_cast<size_t>(item.count), UNTOUCHED_CELL);
        if (item.function == FN_WRITE_TAG || item.function == FN_WRITE_BLOCK) {
            std::fill(cells.begin(), cells.end(), 2);
        }
        const std::vector<uint16_t> before = cells;
        simulator->ResetCounters();
        log.Clear();

        EXPECT_EQ(driver.Transfer(item.function, item.tag, tag, item.count, cells.data()), RC_ITEM_ERROR) << log.Dump();
        EXPECT_EQ(cells, before) << "the host's values are left alone";
        EXPECT_EQ(Memory(item.guard.area, item.guard.address, 1), std::vector<uint16_t>{item.guard.value});
        EXPECT_EQ(simulator->GetCounters().requests, 1u) << "an end code is not tried again";
        char text[96];
        std::snprintf(text, sizeof text, "KelOMR: Read/Write gate %s failed %X", item.tag.c_str(), item.endCode);
        EXPECT_TRUE(log.Holds(text)) << log.Dump();
        if (item.function == FN_READ_TAG || item.function == FN_READ_BLOCK) {
            std::snprintf(text, sizeof text, "KELOMR: BlockRead() tag '%s' blocksize: %d failed. rc = 1",
                          item.tag.c_str(), block ? item.count : 1);
            EXPECT_TRUE(log.Holds(text)) << log.Dump();
        }
        EXPECT_EQ(log.CountContaining("Failed to"), 0u) << log.Dump();
    }
}

// An address a FINS command cannot carry is the driver's own refusal: nothing
// goes out, where cutting it to 16 bits would read another word.
TEST_P(EndCodes, AddressesBeyondAFinsCommandNeverLeave) {
    Preset(0x82, 70000 - 65536, {0x4444});
    simulator->ResetCounters();
    const WordRead read = ReadWord("01DM70000");
    EXPECT_EQ(read.result, RC_ITEM_ERROR);
    EXPECT_EQ(read.value, UNTOUCHED_CELL);
    EXPECT_EQ(WriteWord("01DM70000", 1), RC_ITEM_ERROR);
    EXPECT_EQ(Memory(0x82, 70000 - 65536, 1), std::vector<uint16_t>{0x4444});
    EXPECT_EQ(simulator->GetCounters().requests, 0u);
    EXPECT_EQ(log.CountContaining("refused: word address 70000"), 2u) << log.Dump();
}

INSTANTIATE_TEST_SUITE_P(Links, EndCodes, ::testing::Values(Link::Udp, Link::Tcp), LinkParamName);

// A busy controller costs the driver a real pause of one second, once, and
// the next read goes through.
class BusyController : public ControllerTest {};

TEST_F(BusyController, PausesOnceAndTheNextReadSucceeds) {
    StartController({finsim::Series::Cs, Link::Udp});
    Preset(0x82, 100, {0x0BB0});
    finsim::Faults busy;
    busy.busyCount = 1;
    simulator->SetFaults(busy);

    const auto begun = std::chrono::steady_clock::now();
    const WordRead refused = ReadWord("01DM00100");
    const auto waited = std::chrono::steady_clock::now() - begun;
    EXPECT_EQ(refused.result, RC_ITEM_ERROR) << log.Dump();
    EXPECT_EQ(refused.value, UNTOUCHED_CELL);
    EXPECT_GE(waited, std::chrono::milliseconds(1000));
    const finsim::Counters counters = simulator->GetCounters();
    EXPECT_EQ(counters.busySent, 1u);
    EXPECT_EQ(counters.requests, 1u) << "busy is not tried again";
    EXPECT_TRUE(log.Holds("KelOMR: Read/Write gate 01DM00100 failed 204")) << log.Dump();

    const WordRead next = ReadWord("01DM00100");
    EXPECT_EQ(next.result, RC_OK) << log.Dump();
    EXPECT_EQ(next.value, 0x0BB0);
}

} // namespace
} // namespace e2e
