#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/fins/fins_fixture.h"

namespace {

using ::testing::ElementsAreArray;
using Texts = std::vector<std::string>;

class EndCodeTest : public FinsTest {};

const Texts ROUTING = {"KelOMR : Service Manager or routing table problem",
                       "KelOMR : Start your Service Manager or check your routing table"};

struct EndCodeCase {
    uint16_t endCode; // as the controller sends it
    int32_t result;
    const char *gateCode; // the masked code as the gate text prints it; null: no gate text
    bool routingTexts;
    bool paused;
};

const EndCodeCase END_CODES[] = {
    {0x0000, RC_OK, nullptr, false, false},
    {0x0040, RC_OK, nullptr, false, false},      // non-fatal CPU error flag
    {0x8000, RC_OK, nullptr, false, false},      // network relay error flag
    {0x80C0, RC_LINK_ERROR, "80", false, false}, // the fatal CPU error flag stays
    {0x0080, RC_LINK_ERROR, "80", false, false},
    {0x0101, RC_LINK_ERROR, "101", false, false},
    {0x0205, RC_LINK_ERROR, "205", false, false},
    {0x0204, RC_ITEM_ERROR, "204", false, true}, // destination busy
    {0x8244, RC_ITEM_ERROR, "204", false, true},
    {0x03FF, RC_LINK_ERROR, "3BF", false, false}, // bit 6 of SRES goes too
    {0x0400, RC_ITEM_ERROR, "400", false, false},
    {0x0401, RC_ITEM_ERROR, "401", false, false},
    {0x0500, RC_LINK_ERROR, "500", false, false},
    {0x0501, RC_LINK_ERROR, "501", false, false},
    {0x0503, RC_LINK_ERROR, "503", true, false},
    {0x05FF, RC_LINK_ERROR, "5BF", false, false},
    {0x0600, RC_ITEM_ERROR, "600", false, false},
    {0x1103, RC_ITEM_ERROR, "1103", false, false},
    {0x1143, RC_ITEM_ERROR, "1103", false, false},
    {0x2101, RC_ITEM_ERROR, "2101", false, false},
    {0x7FBF, RC_ITEM_ERROR, "7FBF", false, false},
};

// The texts after the opening text: the gate text with the masked code, the
// routing texts, and for a read the summary with the result.
Texts ExpectedTexts(const EndCodeCase &c, bool read) {
    Texts texts;
    if (c.gateCode == nullptr) {
        if (read) {
            texts.push_back("KELOMR: BlockRead() tag 'Motor speed' blocksize: 1 success !");
        }
        return texts;
    }
    texts.push_back(std::string("KelOMR: Read/Write gate Motor speed failed ") + c.gateCode);
    if (c.routingTexts) {
        texts.insert(texts.end(), ROUTING.begin(), ROUTING.end());
    }
    if (read) {
        texts.push_back("KELOMR: BlockRead() tag 'Motor speed' blocksize: 1 failed. rc = " + std::to_string(c.result));
    }
    return texts;
}

TEST_F(EndCodeTest, ClassifiesTheMaskedCode) {
    for (const EndCodeCase &c : END_CODES) {
        for (int32_t function : {FN_READ_BLOCK, FN_WRITE_BLOCK}) {
            bool read = function == FN_READ_BLOCK;
            SCOPED_TRACE(testing::Message() << std::hex << c.endCode << (read ? " read" : " write"));
            fakeGateway.Reset();
            log.clear();
            pausesTaken.clear();
            fakeGateway.RespondWith(c.endCode, read ? std::vector<uint8_t>{0x12, 0x34} : std::vector<uint8_t>{});
            uint16_t values[2] = {0x5555, 0x5555};
            IoRequest request = Request(CLASSIC, 1, 0, 1, values, NO_BIT, 16, "Motor speed");
            EXPECT_EQ(Call(function, &request), c.result);
            Texts texts = LogTexts();
            if (read) {
                texts.erase(texts.begin()); // the opening text
            }
            EXPECT_THAT(texts, ElementsAreArray(ExpectedTexts(c, read)));
            EXPECT_EQ(pausesTaken, c.paused ? std::vector<int32_t>{1000} : std::vector<int32_t>{});
            EXPECT_EQ(Sent().size(), 1u) << "an end code is never retried";
            uint16_t expected = read && c.result == RC_OK ? 0x1234 : 0x5555;
            EXPECT_EQ(values[0], expected) << "values only after a good end code";
            EXPECT_EQ(values[1], 0x5555);
        }
    }
}

TEST_F(EndCodeTest, TextLevels) {
    fakeGateway.RespondWith(0x0503);
    uint16_t values[1];
    IoRequest request = Request(CS1, 1, 0, 1, values, NO_BIT, 16, "T");
    EXPECT_EQ(Call(FN_READ_BLOCK, &request), RC_LINK_ERROR);
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0], (LogEntry{LOG_DETAIL, "KELOMR: BlockRead() Reading from CS1 PLC. tag 'T' blocksize: 1"}));
    for (size_t i = 1; i < log.size(); ++i) {
        EXPECT_EQ(log[i].level, LOG_DRIVER) << log[i].text;
    }
}

} // namespace
