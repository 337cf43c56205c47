#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "tests/fins/fins_fixture.h"

namespace {

using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Bytes = std::vector<uint8_t>;
using Texts = std::vector<std::string>;

class TransferTest : public FinsTest {
  protected:
    Bytes values = Bytes(4096, 0x5A);
    IoRequest words = Request(CLASSIC, 1, 100, 3, values.data(), NO_BIT, 16, "Level");

    bool ValuesUntouched() const {
        return std::all_of(values.begin(), values.end(), [](uint8_t byte) { return byte == 0x5A; });
    }
};

TEST_F(TransferTest, SixFailedSendsThenLinkError) {
    for (int32_t function : {FN_READ_BLOCK, FN_WRITE_BLOCK}) {
        SCOPED_TRACE(function);
        fakeGateway.Reset();
        log.clear();
        for (int i = 0; i < 5; ++i) {
            fakeGateway.FailSend(-3, 104);
        }
        fakeGateway.FailSend(-7, 32);
        std::memset(instance->response, 0xCC, RESPONSE_SIZE);
        EXPECT_EQ(Call(function, &words), RC_LINK_ERROR);
        EXPECT_THAT(instance->response, Each(0)) << "the last response is cleared";
        Texts expected(5, "KelOMR : Failed to send data(-3,68) to UNIT 1");
        expected.push_back("KelOMR : Failed to send data(-7,20) to UNIT 1");
        if (function == FN_READ_BLOCK) {
            expected.insert(expected.begin(),
                            "KELOMR: BlockRead() Reading from a NON-CS1 PLC. tag 'Level' blocksize: 3");
            expected.push_back("KELOMR: BlockRead() tag 'Level' blocksize: 3 failed. rc = -7");
        }
        EXPECT_THAT(LogTexts(), ElementsAreArray(expected));
        EXPECT_EQ(Sent().size(), 6u);
        EXPECT_TRUE(fakeGateway.CallsOf(GatewayCall::RECEIVE).empty());
        EXPECT_TRUE(ValuesUntouched());
    }
}

TEST_F(TransferTest, SixFailedReceivesThenLinkError) {
    for (int i = 0; i < 6; ++i) {
        fakeGateway.FailReceive(-1, 110);
    }
    EXPECT_EQ(Call(FN_READ_BLOCK, &words), RC_LINK_ERROR);
    Texts texts = LogTexts();
    ASSERT_EQ(texts.size(), 8u);
    EXPECT_THAT(Texts(texts.begin() + 1, texts.end() - 1),
                Each(std::string("KelOMR : Failed to recv data(-1,6E) to UNIT 1")));
    EXPECT_EQ(texts.back(), "KELOMR: BlockRead() tag 'Level' blocksize: 3 failed. rc = -1");
    for (const GatewayCall &receive : fakeGateway.CallsOf(GatewayCall::RECEIVE)) {
        EXPECT_THAT(receive.arguments, ElementsAre(instance->unitHandle[CLASSIC], 2048, instance->receiveTimeout));
    }
    EXPECT_EQ(fakeGateway.CallsOf(GatewayCall::COMPOSE_HEADER).size(), 6u) << "composed anew at every attempt";
    EXPECT_TRUE(ValuesUntouched());
}

TEST_F(TransferTest, RecoversOnTheSecondAttempt) {
    struct Case {
        uint16_t endCode;
        int32_t result;
    };
    for (const Case &c : {Case{0x0000, RC_OK}, Case{0x0401, RC_ITEM_ERROR}}) {
        SCOPED_TRACE(c.endCode);
        fakeGateway.Reset();
        log.clear();
        fakeGateway.FailReceive(-1, 110);
        fakeGateway.RespondWith(c.endCode, {0, 1, 0, 2, 0, 3});
        EXPECT_EQ(Call(FN_READ_BLOCK, &words), c.result);
        Texts texts = LogTexts();
        EXPECT_EQ(std::count(texts.begin(), texts.end(), "KelOMR : Failed to recv data(-1,6E) to UNIT 1"), 1);
        EXPECT_EQ(Sent().size(), 2u);
    }
}

TEST_F(TransferTest, TextItemIsResentWithTheSameCountAndAddress) {
    for (int32_t function : {FN_READ_BLOCK, FN_WRITE_BLOCK}) {
        SCOPED_TRACE(function);
        fakeGateway.Reset();
        std::memcpy(values.data(), "ABCDEFGHIJ", 10);
        IoRequest text = Request(CS1, 0x401, 50 | 10 << 24, 1, values.data());
        fakeGateway.FailSend();
        fakeGateway.FailReceive();
        fakeGateway.RespondWith(0, Bytes(20, 'x'));
        EXPECT_EQ(Call(function, &text), RC_OK);
        auto sent = Sent();
        ASSERT_EQ(sent.size(), 3u);
        EXPECT_EQ(sent[1], sent[0]);
        EXPECT_EQ(sent[2], sent[0]);
        EXPECT_EQ(sent[0][7], function == FN_READ_BLOCK ? 10 : 5);
        EXPECT_EQ(sent[0][4], 50);
        EXPECT_EQ(text.count, 10) << "the text length stays in count";
        EXPECT_EQ(text.tag.address, 50) << "and the word address in address";
    }
}

// A response that cannot be this command's answer is a damaged frame: tried
// again like a lost one, and never handed to the host as readings.
TEST_F(TransferTest, ShortResponsesAreFailedAttempts) {
    struct Case {
        const char *name;
        int32_t function;
        Bytes response;
        const char *text;
    };
    const Case cases[] = {
        {"read completion without all its data",
         FN_READ_BLOCK,
         {1, 1, 0, 0, 0x12, 0x34, 0x56, 0x78},
         "KelOMR : Short response (8 of 10 bytes) from UNIT 1"},
        {"read completion flags masked",
         FN_READ_BLOCK,
         {1, 1, 0x80, 0x40},
         "KelOMR : Short response (4 of 10 bytes) from UNIT 1"},
        {"read without an end code", FN_READ_BLOCK, {1, 1, 0}, "KelOMR : Short response (3 of 10 bytes) from UNIT 1"},
        {"write without an end code", FN_WRITE_BLOCK, {1, 2}, "KelOMR : Short response (2 of 4 bytes) from UNIT 1"},
        {"empty", FN_WRITE_BLOCK, {}, "KelOMR : Short response (0 of 4 bytes) from UNIT 1"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        bool read = c.function == FN_READ_BLOCK;
        fakeGateway.Reset();
        log.clear();
        for (int i = 0; i < 6; ++i) {
            fakeGateway.Respond(c.response);
        }
        EXPECT_EQ(Call(c.function, &words), RC_LINK_ERROR);
        Texts expected(6, c.text);
        if (read) {
            expected.insert(expected.begin(),
                            "KELOMR: BlockRead() Reading from a NON-CS1 PLC. tag 'Level' blocksize: 3");
            expected.push_back("KELOMR: BlockRead() tag 'Level' blocksize: 3 failed. rc = 2");
        }
        EXPECT_THAT(LogTexts(), ElementsAreArray(expected));
        EXPECT_TRUE(ValuesUntouched());

        fakeGateway.Reset();
        log.clear();
        fakeGateway.Respond(c.response);
        fakeGateway.RespondWith(0, {0, 1, 0, 2, 0, 3}, read ? 1 : 2);
        EXPECT_EQ(Call(c.function, &words), RC_OK) << "a whole answer at the next attempt";
        EXPECT_EQ(Sent().size(), 2u);
        if (read) {
            EXPECT_EQ(Bytes(values.begin(), values.begin() + 6), CellBytes({1, 2, 3}));
            std::fill(values.begin(), values.end(), 0x5A);
        }
    }
}

TEST_F(TransferTest, ErrorEndCodeNeedsNoData) {
    fakeGateway.RespondWith(0x1103);
    EXPECT_EQ(Call(FN_READ_BLOCK, &words), RC_ITEM_ERROR);
    EXPECT_EQ(Sent().size(), 1u);
}

struct RefusalCase {
    const char *name;
    int32_t function;
    std::function<void(IoRequest &)> change;
    const char *reason; // null: accepted
};

TEST_F(TransferTest, RequestsBeyondTheBuffersAreRefusedBeforeSending) {
    const RefusalCase cases[] = {
        {"station 0", FN_READ_BLOCK, [](IoRequest &r) { r.tag.station = 0; }, "station 0 is not 1 to 99"},
        {"station 100", FN_WRITE_BLOCK, [](IoRequest &r) { r.tag.station = 100; }, "station 100 is not 1 to 99"},
        {"station -1", FN_READ_BLOCK, [](IoRequest &r) { r.tag.station = -1; }, "station -1 is not 1 to 99"},
        {"station far out", FN_READ_BLOCK, [](IoRequest &r) { r.tag.station = INT32_MIN; },
         "station -2147483648 is not 1 to 99"},
        {"area 0", FN_READ_BLOCK, [](IoRequest &r) { r.tag.areaFlags = FMT_FLOAT32; }, "area index 0 is not 1 to 25"},
        {"area 26", FN_WRITE_BLOCK, [](IoRequest &r) { r.tag.areaFlags = 26; }, "area index 26 is not 1 to 25"},
        {"area 255", FN_READ_BLOCK, [](IoRequest &r) { r.tag.areaFlags = 0x1FF; }, "area index 255 is not 1 to 25"},
        {"negative count", FN_READ_BLOCK, [](IoRequest &r) { r.count = -1; }, "count -1 is negative"},
        {"negative write count", FN_WRITE_BLOCK, [](IoRequest &r) { r.count = INT32_MIN; },
         "count -2147483648 is negative"},
        {"1022 words fill a response", FN_READ_BLOCK, [](IoRequest &r) { r.count = 1022; }, nullptr},
        {"1023 words do not", FN_READ_BLOCK, [](IoRequest &r) { r.count = 1023; },
         "1023 items do not fit the transfer buffers"},
        {"huge count", FN_READ_BLOCK, [](IoRequest &r) { r.count = INT32_MAX; },
         "2147483647 items do not fit the transfer buffers"},
        {"1020 words fill the write data", FN_WRITE_BLOCK, [](IoRequest &r) { r.count = 1020; }, nullptr},
        {"1021 words do not", FN_WRITE_BLOCK, [](IoRequest &r) { r.count = 1021; },
         "1021 items do not fit the transfer buffers"},
        {"511 floats read", FN_READ_BLOCK, [](IoRequest &r) { r.count = 511, r.tag.areaFlags = 0x201; }, nullptr},
        {"512 floats read", FN_READ_BLOCK, [](IoRequest &r) { r.count = 512, r.tag.areaFlags = 0x201; },
         "512 items do not fit the transfer buffers"},
        {"510 BCD written", FN_WRITE_BLOCK, [](IoRequest &r) { r.count = 510, r.tag.areaFlags = 0x101; }, nullptr},
        {"511 BCD written", FN_WRITE_BLOCK, [](IoRequest &r) { r.count = 511, r.tag.areaFlags = 0x101; },
         "511 items do not fit the transfer buffers"},
        {"2044 TS read", FN_READ_BLOCK, [](IoRequest &r) { r.count = 2044, r.tag.areaFlags = 7; }, nullptr},
        {"2045 TS read", FN_READ_BLOCK, [](IoRequest &r) { r.count = 2045, r.tag.areaFlags = 7; },
         "2045 items do not fit the transfer buffers"},
        {"2041 TS written", FN_WRITE_BLOCK, [](IoRequest &r) { r.count = 2041, r.tag.areaFlags = 7; },
         "2041 items do not fit the transfer buffers"},
        {"no value area", FN_READ_BLOCK, [](IoRequest &r) { r.values = nullptr; }, "no value area (count 3)"},
        {"no value area to write", FN_WRITE_BLOCK, [](IoRequest &r) { r.values = nullptr; }, "no value area (count 3)"},
        {"no value area, no items", FN_READ_BLOCK, [](IoRequest &r) { r.values = nullptr, r.count = 0; }, nullptr},
        // The command carries 16 bits of word address: the high bits are not dropped
        // into another word.
        {"word address 70000", FN_READ_BLOCK, [](IoRequest &r) { r.tag.address = 70000; },
         "word address 70000 is beyond the 16 bits of a FINS address"},
        {"HR 64471 classic reaches 65535", FN_READ_BLOCK,
         [](IoRequest &r) { r.tag.areaFlags = 4, r.tag.address = 64471, r.count = 1; }, nullptr},
        {"HR 64472 classic", FN_WRITE_BLOCK, [](IoRequest &r) { r.tag.areaFlags = 4, r.tag.address = 64472; },
         "word address 65536 is beyond the 16 bits of a FINS address"},
        {"float pair 32768", FN_WRITE_BLOCK,
         [](IoRequest &r) { r.tag.areaFlags = 0x201, r.tag.address = 32768, r.count = 1; },
         "word address 65536 is beyond the 16 bits of a FINS address"},
        {"text at 70000", FN_READ_BLOCK,
         [](IoRequest &r) { r.tag.areaFlags = 0x401, r.tag.address = 70000 | 10 << 24; },
         "word address 70000 is beyond the 16 bits of a FINS address"},
        {"negative address", FN_READ_BLOCK, [](IoRequest &r) { r.tag.address = -2; },
         "word address -2 is beyond the 16 bits of a FINS address"},
        {"text of length 0", FN_READ_BLOCK, [](IoRequest &r) { r.tag.areaFlags = 0x401; }, "text length 0"},
        {"text with its length", FN_WRITE_BLOCK,
         [](IoRequest &r) { r.tag.areaFlags = 0x401, r.tag.address |= 80 << 24; }, nullptr},
    };
    for (const RefusalCase &c : cases) {
        SCOPED_TRACE(c.name);
        fakeGateway.Reset();
        log.clear();
        std::memset(instance->command, 0xCC, COMMAND_SIZE);
        std::memset(instance->response, 0xCC, RESPONSE_SIZE);
        IoRequest request = words;
        c.change(request);
        IoRequest given = request;
        fakeGateway.RespondWith(0, Bytes(2044), c.function == FN_READ_BLOCK ? 1 : 2);
        int32_t result = Call(c.function, &request);
        if (c.reason == nullptr) {
            EXPECT_EQ(result, RC_OK);
            std::fill(values.begin(), values.end(), 0x5A);
            continue;
        }
        EXPECT_EQ(result, RC_ITEM_ERROR);
        const char *operation = c.function == FN_READ_BLOCK ? "BlockRead" : "BlockWrite";
        EXPECT_THAT(log, ElementsAre(LogEntry{LOG_DRIVER, std::string("KelOMR: ") + operation +
                                                              "() tag 'Level' refused: " + c.reason}));
        EXPECT_TRUE(fakeGateway.calls.empty());
        EXPECT_EQ(instance->command[0], 0xCC) << "nothing composed";
        EXPECT_EQ(instance->response[0], 0xCC);
        EXPECT_EQ(std::memcmp(&request, &given, sizeof request), 0) << "the request as given";
        EXPECT_TRUE(ValuesUntouched());
    }
}

TEST_F(TransferTest, TagTextInTheLog) {
    const std::string longName = "Line 4 / Oven 2 / Zone 3 / Temperature setpoint";
    fakeGateway.RespondWith(0x0401);
    IoRequest request = words;
    request.tagText = longName.c_str();
    EXPECT_EQ(Call(FN_READ_BLOCK, &request), RC_ITEM_ERROR);
    const std::string cut = longName.substr(0, 32);
    EXPECT_THAT(LogTexts(),
                ElementsAre("KELOMR: BlockRead() Reading from a NON-CS1 PLC. tag '" + cut + "' blocksize: 3",
                            "KelOMR: Read/Write gate " + longName + " failed 401",
                            "KELOMR: BlockRead() tag '" + cut + "' blocksize: 3 failed. rc = 1"));

    log.clear();
    fakeGateway.RespondWith(0x0401);
    request.tagText = nullptr;
    EXPECT_EQ(Call(FN_READ_BLOCK, &request), RC_ITEM_ERROR);
    EXPECT_THAT(LogTexts(), ElementsAre("KELOMR: BlockRead() Reading from a NON-CS1 PLC. tag '' blocksize: 3",
                                        "KelOMR: Read/Write gate  failed 401",
                                        "KELOMR: BlockRead() tag '' blocksize: 3 failed. rc = 1"));
}

TEST_F(TransferTest, EachStationThroughItsOwnUnit) {
    fakeGateway.FailSend(-1, 104);
    fakeGateway.RespondWith(0, {0, 1, 0, 2, 0, 3});
    IoRequest request = words;
    request.tag.station = CS1;
    EXPECT_EQ(Call(FN_READ_BLOCK, &request), RC_OK);
    EXPECT_EQ(log[1].text, "KelOMR : Failed to send data(-1,68) to UNIT 2");
    for (const GatewayCall &send : fakeGateway.CallsOf(GatewayCall::SEND)) {
        EXPECT_EQ(send.arguments[0], instance->unitHandle[CS1]);
    }
    EXPECT_EQ(fakeGateway.CallsOf(GatewayCall::RECEIVE)[0].arguments[0], instance->unitHandle[CS1]);
    EXPECT_THAT(log.back(), (LogEntry{LOG_DETAIL, "KELOMR: BlockRead() tag 'Level' blocksize: 3 success !"}));
}

} // namespace
