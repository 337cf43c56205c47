#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "tests/fins/fins_fixture.h"

namespace {

using ::testing::ElementsAre;
using Bytes = std::vector<uint8_t>;

class SingleItemTest : public FinsTest {
  protected:
    uint16_t cells[4] = {0x1111, 0x2222, 0x3333, 0x4444};
    IoRequest item = Request(CLASSIC, 1, 100, 10, cells, NO_BIT, 16, "Lamp");

    static Bytes WordData(uint16_t word) { return {static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)}; }

    // The request comes back as the caller gave it, with count 1.
    void ExpectRequestAsGiven(const IoRequest &given) const {
        EXPECT_EQ(item.values, given.values);
        EXPECT_EQ(item.tag.bit, given.tag.bit);
        EXPECT_EQ(item.tag.address, given.tag.address);
        EXPECT_EQ(item.count, 1);
    }
};

TEST_F(SingleItemTest, WordReadFillsTheSecondCell) {
    fakeGateway.RespondWith(0, {0xAB, 0xCD});
    IoRequest given = item;
    EXPECT_EQ(Call(FN_READ_TAG, &item), RC_OK);
    EXPECT_THAT(cells, ElementsAre(0x1111, 0xABCD, 0x3333, 0x4444));
    EXPECT_EQ(LastSent(), (Bytes{1, 1, 0x82, 0, 100, 0, 0, 1})) << "count 10 became 1";
    ExpectRequestAsGiven(given);
}

TEST_F(SingleItemTest, BitRead) {
    struct Case {
        uint16_t word;
        int32_t bit;
        uint16_t cell;
    };
    const Case cases[] = {{0x8000, 15, 1}, {0xFFFE, 0, 0}, {0x0010, 4, 1}, {0xFFEF, 4, 0}, {0x0001, 0, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.word << " bit " << std::dec << c.bit);
        fakeGateway.Reset();
        fakeGateway.RespondWith(0, WordData(c.word));
        item.tag.bit = c.bit;
        IoRequest given = item;
        EXPECT_EQ(Call(FN_READ_TAG, &item), RC_OK);
        EXPECT_EQ(cells[1], c.cell);
        EXPECT_EQ(cells[0], 0x1111);
        EXPECT_EQ(LastSent()[5], 0) << "the whole word travels";
        ExpectRequestAsGiven(given);
    }
}

// A failed read is no reading: the host's cell keeps what it held, it does
// not become a bit of its old content.
TEST_F(SingleItemTest, FailedBitReadLeavesTheCell) {
    cells[1] = 0xFFFF;
    item.tag.bit = 3;
    fakeGateway.RespondWith(0x0101);
    EXPECT_EQ(Call(FN_READ_TAG, &item), RC_LINK_ERROR);
    for (int i = 0; i < 6; ++i) {
        fakeGateway.FailReceive();
    }
    EXPECT_EQ(Call(FN_READ_TAG, &item), RC_LINK_ERROR);
    fakeGateway.RespondWith(0x1103);
    EXPECT_EQ(Call(FN_READ_TAG, &item), RC_ITEM_ERROR);
    EXPECT_THAT(cells, ElementsAre(0x1111, 0xFFFF, 0x3333, 0x4444));
}

TEST_F(SingleItemTest, WordWriteSendsTheSecondCell) {
    fakeGateway.RespondWith(0, {}, 0x02);
    IoRequest given = item;
    EXPECT_EQ(Call(FN_WRITE_TAG, &item), RC_OK);
    EXPECT_EQ(LastSent(), (Bytes{1, 2, 0x82, 0, 100, 0, 0, 1, 0x22, 0x22}));
    EXPECT_THAT(cells, ElementsAre(0x1111, 0x2222, 0x3333, 0x4444));
    ExpectRequestAsGiven(given);
}

TEST_F(SingleItemTest, BitWriteIsReadModifyWrite) {
    struct Case {
        uint16_t controllerWord;
        int32_t bit;
        uint16_t cell; // only its bit 0 counts
        uint16_t written;
    };
    const Case cases[] = {
        {0x00F0, 4, 1, 0x00F0},  {0x00F0, 4, 0, 0x00E0},      {0x0000, 4, 2, 0x0000}, {0x0000, 4, 3, 0x0010},
        {0x7FFF, 15, 1, 0xFFFF}, {0xFFFF, 0, 0xFFFE, 0xFFFE}, {0x1234, 8, 1, 0x1334},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.controllerWord << " bit " << std::dec << c.bit);
        fakeGateway.Reset();
        fakeGateway.RespondWith(0, WordData(c.controllerWord));
        fakeGateway.RespondWith(0, {}, 0x02);
        cells[1] = c.cell;
        item.tag.bit = c.bit;
        IoRequest given = item;
        EXPECT_EQ(Call(FN_WRITE_TAG, &item), RC_OK);
        auto sent = Sent();
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_EQ(sent[0], (Bytes{1, 1, 0x82, 0, 100, 0, 0, 1}));
        Bytes write{1, 2, 0x82, 0, 100, 0, 0, 1};
        Bytes word = WordData(c.written);
        write.insert(write.end(), word.begin(), word.end());
        EXPECT_EQ(sent[1], write);
        EXPECT_THAT(cells, ElementsAre(0x1111, c.cell, 0x3333, 0x4444)) << "the caller's value comes back";
        ExpectRequestAsGiven(given);
    }
}

TEST_F(SingleItemTest, BitWriteWhoseReadFailsSendsNoWrite) {
    struct Case {
        const char *name;
        std::function<void()> script;
        int32_t result;
    };
    const Case cases[] = {
        {"link",
         [] {
             for (int i = 0; i < 6; ++i)
                 fakeGateway.FailSend();
         },
         RC_LINK_ERROR},
        {"end code", [] { fakeGateway.RespondWith(0x1103); }, RC_ITEM_ERROR},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fakeGateway.Reset();
        c.script();
        cells[1] = 1;
        item.tag.bit = 7;
        IoRequest given = item;
        EXPECT_EQ(Call(FN_WRITE_TAG, &item), c.result);
        for (const auto &sent : Sent()) {
            EXPECT_EQ(sent[1], 0x01) << "reads only";
        }
        EXPECT_THAT(cells, ElementsAre(0x1111, 1, 0x3333, 0x4444));
        ExpectRequestAsGiven(given);
    }
}

TEST_F(SingleItemTest, FailedWriteStillHandsTheRequestBack) {
    fakeGateway.RespondWith(0, WordData(0x0000));
    fakeGateway.RespondWith(0x2101, {}, 0x02);
    cells[1] = 1;
    item.tag.bit = 2;
    IoRequest given = item;
    EXPECT_EQ(Call(FN_WRITE_TAG, &item), RC_ITEM_ERROR);
    EXPECT_EQ(Sent().size(), 2u);
    EXPECT_THAT(cells, ElementsAre(0x1111, 1, 0x3333, 0x4444));
    ExpectRequestAsGiven(given);
}

TEST_F(SingleItemTest, RepeatedBitWritesAddressTheSameBitAndCell) {
    item.tag.bit = 9;
    cells[1] = 1;
    for (int i = 0; i < 2; ++i) {
        fakeGateway.RespondWith(0, WordData(0x0000));
        fakeGateway.RespondWith(0, {}, 0x02);
        ASSERT_EQ(Call(FN_WRITE_TAG, &item), RC_OK);
    }
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[3], sent[1]);
    EXPECT_EQ(sent[3].back(), 0x00);
    EXPECT_EQ(sent[3][8], 0x02) << "bit 9";
}

TEST_F(SingleItemTest, ThirtyTwoBitItemsStartAtTheFirstCell) {
    item.tag = TagAddress{CS1, 0x201, 50, NO_BIT, 32};
    fakeGateway.RespondWith(0, {0x00, 0x00, 0x41, 0x20});
    EXPECT_EQ(Call(FN_READ_TAG, &item), RC_OK);
    EXPECT_THAT(cells, ElementsAre(0x0000, 0x4120, 0x3333, 0x4444));
    EXPECT_EQ(LastSent(), (Bytes{1, 1, 0x82, 0, 100, 0, 0, 2}));

    item.tag = TagAddress{CS1, 0x101, 50, NO_BIT, 32};
    cells[0] = 5678;
    cells[1] = 0;
    fakeGateway.RespondWith(0, {}, 0x02);
    EXPECT_EQ(Call(FN_WRITE_TAG, &item), RC_OK);
    EXPECT_EQ(LastSent(), (Bytes{1, 2, 0x82, 0, 100, 0, 0, 2, 0x56, 0x78, 0x00, 0x00}));
    EXPECT_EQ(item.values, static_cast<void *>(cells));
}

TEST_F(SingleItemTest, TextItemMovesItsWholeText) {
    char text[16];
    std::memset(text, '.', sizeof text);
    item = Request(CLASSIC, 0x401, 200 | 6 << 24, 1, text, NO_BIT, 8, "Recipe");
    fakeGateway.RespondWith(0, Bytes{'M', 'I', 'X', 'E', 'R', '1', 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(Call(FN_READ_TAG, &item), RC_OK);
    EXPECT_EQ(std::string(text, 8), "MIXER1..");
    EXPECT_THAT(log, ElementsAre(LogEntry{LOG_DETAIL,
                                          "KELOMR: BlockRead() Reading from a NON-CS1 PLC. tag 'Recipe' blocksize: 1"},
                                 LogEntry{LOG_DETAIL, "KELOMR: BlockRead() tag 'Recipe' blocksize: 6 success !"}));
    EXPECT_EQ(item.count, 6);
    EXPECT_EQ(item.tag.address, 200);
    EXPECT_EQ(LastSent(), (Bytes{1, 1, 0x82, 0, 200, 0, 0, 6}));
}

TEST_F(SingleItemTest, TimerStatusUsesTheSecondCell) {
    item.tag = TagAddress{CS1, 7, 7, NO_BIT, 16};
    fakeGateway.RespondWith(0, {0x01});
    EXPECT_EQ(Call(FN_READ_TAG, &item), RC_OK);
    EXPECT_THAT(cells, ElementsAre(0x1111, 0x0001, 0x3333, 0x4444));
    EXPECT_EQ(LastSent(), (Bytes{1, 1, 0x09, 0, 7, 0, 0, 1}));
}

TEST_F(SingleItemTest, BadBitsAndMissingValuesAreRefused) {
    struct Case {
        const char *name;
        int32_t bit;
        int32_t width;
        int32_t areaFlags;
        bool values;
        const char *reason;
    };
    const Case cases[] = {
        {"bit 16", 16, 16, 1, true, "bit 16 is not 0 to 15"},
        {"bit -1", -1, 16, 1, true, "bit -1 is not 0 to 15"},
        {"bit 40", 40, 16, 1, true, "bit 40 is not 0 to 15"},
        {"bit on a 32-bit item", 5, 32, 1, true, "bit 5 of an item that is not 16 bits wide"},
        {"float in the second cell", NO_BIT, 16, 0x201, true, "width 16 does not match the item's format"},
        {"BCD in the second cell", NO_BIT, 16, 0x101, true, "width 16 does not match the item's format"},
        {"text in the second cell", NO_BIT, 16, 0x401, true, "width 16 does not match the item's format"},
        {"no value area", NO_BIT, 16, 1, false, "no value area (count 1)"},
        {"no value area for a bit", 3, 16, 1, false, "no value area (count 1)"},
    };
    for (const Case &c : cases) {
        for (int32_t function : {FN_READ_TAG, FN_WRITE_TAG}) {
            SCOPED_TRACE(testing::Message() << c.name << " " << function);
            fakeGateway.Reset();
            log.clear();
            item.tag.bit = c.bit;
            item.tag.width = c.width;
            item.tag.areaFlags = c.areaFlags;
            item.values = c.values ? cells : nullptr;
            EXPECT_EQ(Call(function, &item), RC_ITEM_ERROR);
            std::string operation = function == FN_READ_TAG ? "ReadTag" : "WriteTag";
            EXPECT_THAT(
                log, ElementsAre(LogEntry{LOG_DRIVER, "KelOMR: " + operation + "() tag 'Lamp' refused: " + c.reason}));
            EXPECT_TRUE(fakeGateway.calls.empty());
            EXPECT_THAT(cells, ElementsAre(0x1111, 0x2222, 0x3333, 0x4444));
        }
    }
}

} // namespace
