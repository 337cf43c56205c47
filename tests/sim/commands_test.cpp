// The commands and their end codes, through the socket-free frame handler.
#include <gtest/gtest.h>

#include <string>

#include "sim/simulator.h"
#include "tests/sim/fins_test_client.h"

namespace {

using fins_test::Address;
using fins_test::AnswerData;
using fins_test::AreaParams;
using fins_test::Bytes;
using fins_test::Command;
using fins_test::Concat;
using fins_test::EndCode;
using fins_test::Words;
using finsim::Series;

constexpr Address kCs = {0, 1, 0};
constexpr Address kClassic = {0, 2, 0};

class CommandTest : public ::testing::Test {
  protected:
    CommandTest() : simulator({{0, 1, Series::Cs}, {0, 2, Series::Classic}}) {
        Preset(kCs, 0x82, 100, {0x1234, 0x5678});
        Preset(kCs, 0xB0, 10, {0x8001});
        Preset(kCs, 0x09, 8, {1});
        Preset(kCs, 0x89, 0x8000, {77});
        Preset(kClassic, 0x82, 100, {0x4321});
        Preset(kClassic, 0x01, 3, {1});
    }
    void Preset(Address node, uint8_t area, uint32_t address, const std::vector<uint16_t> &words) {
        ASSERT_TRUE(simulator.WriteWords(node.network, node.node, area, address, words.data(), words.size()));
    }
    uint16_t Word(Address node, uint8_t area, uint32_t address) {
        uint16_t value = 0xFFFF;
        EXPECT_TRUE(simulator.ReadWords(node.network, node.node, area, address, &value, 1));
        return value;
    }
    Bytes Handle(const Bytes &frame, size_t capacity = 4096) {
        Bytes answer(capacity);
        answer.resize(simulator.HandleFrame(frame.data(), frame.size(), answer.data(), answer.size()));
        return answer;
    }
    finsim::Simulator simulator;
};

Bytes Read(Address to, uint8_t area, uint16_t address, uint16_t count, uint8_t bit = 0) {
    return Command(0x01, 0x01, AreaParams(area, address, bit, count), to);
}

struct Case {
    const char *name;
    Bytes frame;
    uint16_t endCode;
    Bytes data; // expected answer data when the end code is 0
};

TEST_F(CommandTest, EndCodesAndData) {
    const Bytes manyItems(168 * 4, 0x82);
    const std::vector<Case> cases = {
        {"read DM words", Read(kCs, 0x82, 100, 2), 0x0000, {0x12, 0x34, 0x56, 0x78}},
        {"read of zero words", Read(kCs, 0x82, 100, 0), 0x0000, {}},
        {"read the last DM word", Read(kCs, 0x82, 32767, 1), 0x0000, {0, 0}},
        {"read past the end of DM", Read(kCs, 0x82, 32767, 2), 0x1104, {}},
        {"read beyond DM", Read(kCs, 0x82, 32768, 1), 0x1103, {}},
        {"read with a bit number on a word area", Read(kCs, 0x82, 100, 1, 3), 0x1103, {}},
        {"read of 1000 words", Read(kCs, 0x82, 0, 1000), 0x110B, {}},
        {"read unknown area", Read(kCs, 0x99, 0, 1), 0x1101, {}},
        {"read classic CIO code on CS", Read(kCs, 0x80, 0, 1), 0x1101, {}},
        {"read EM bank D on CS", Read(kCs, 0xAD, 0, 1), 0x1101, {}},
        {"read CS CIO end", Read(kCs, 0xB0, 6143, 1), 0x0000, {0, 0}},
        {"read beyond CS CIO", Read(kCs, 0xB0, 6144, 1), 0x1103, {}},
        {"read WR end", Read(kCs, 0xB1, 511, 1), 0x0000, {0, 0}},
        {"read LR at 1000 as WR on CS", Read(kCs, 0xB1, 1005, 1), 0x1103, {}},
        {"read beyond HR", Read(kCs, 0xB2, 512, 1), 0x1103, {}},
        {"read AR end", Read(kCs, 0xB3, 959, 1), 0x0000, {0, 0}},
        {"read beyond AR", Read(kCs, 0xB3, 960, 1), 0x1103, {}},
        {"read timer PV end", Read(kCs, 0x89, 4095, 1), 0x0000, {0, 0}},
        {"read timer PV across the timers' end", Read(kCs, 0x89, 4095, 2), 0x1104, {}},
        {"read between timers and counters", Read(kCs, 0x89, 4096, 1), 0x1103, {}},
        {"read counter PV", Read(kCs, 0x89, 0x8000, 1), 0x0000, {0, 77}},
        {"read completion flags, a byte each", Read(kCs, 0x09, 7, 3), 0x0000, {0, 1, 0}},
        {"read CIO bits", Read(kCs, 0x30, 10, 3, 14), 0x0000, {0, 1, 0}},
        {"read CIO bits across a word", Read(kCs, 0x30, 10, 2, 15), 0x0000, {1, 0}},
        {"read bit number 16", Read(kCs, 0x30, 10, 1, 16), 0x1103, {}},
        {"read DM bit", Read(kCs, 0x02, 100, 1, 2), 0x0000, {1}},
        {"read parameters short", Command(0x01, 0x01, {0x82, 0, 100, 0, 0}, kCs), 0x1002, {}},
        {"read parameters long", Command(0x01, 0x01, Concat(AreaParams(0x82, 1, 0, 1), {0}), kCs), 0x1001, {}},
        {"read classic CIO end", Read(kClassic, 0x80, 2555, 1), 0x0000, {0, 0}},
        {"read beyond classic CIO", Read(kClassic, 0x80, 2556, 1), 0x1103, {}},
        {"read CS CIO code on classic", Read(kClassic, 0xB0, 0, 1), 0x1101, {}},
        {"read classic DM", Read(kClassic, 0x82, 100, 1), 0x0000, {0x43, 0x21}},
        {"read classic timer PV end", Read(kClassic, 0x81, 2047, 1), 0x0000, {0, 0}},
        {"read beyond classic timer PV", Read(kClassic, 0x81, 2048, 1), 0x1103, {}},
        {"read classic completion flag", Read(kClassic, 0x01, 3, 1), 0x0000, {1}},
        {"read classic EM bank 7", Read(kClassic, 0x97, 32767, 1), 0x0000, {0, 0}},
        {"read classic EM bank 8 code", Read(kClassic, 0xE8, 0, 1), 0x1101, {}},
        {"read CS EM bank code on classic", Read(kClassic, 0xA0, 0, 1), 0x1101, {}},
        {"write data short of the count",
         Command(0x01, 0x02, Concat(AreaParams(0x82, 200, 0, 2), {1, 2, 3}), kCs),
         0x1003,
         {}},
        {"write data beyond the count",
         Command(0x01, 0x02, Concat(AreaParams(0x82, 200, 0, 1), Words({1, 2})), kCs),
         0x1003,
         {}},
        {"write parameters short", Command(0x01, 0x02, {0x82, 0, 200, 0, 0}, kCs), 0x1002, {}},
        {"write past the end",
         Command(0x01, 0x02, Concat(AreaParams(0x82, 32767, 0, 2), Words({1, 2})), kCs),
         0x1104,
         {}},
        {"write flag other than 0 or 1", Command(0x01, 0x02, Concat(AreaParams(0x09, 1, 0, 1), {2}), kCs), 0x110C, {}},
        {"write frame over 2012 bytes",
         Command(0x01, 0x02, Concat(AreaParams(0x82, 0, 0, 998), Bytes(1996, 0)), kCs),
         0x1001,
         {}},
        {"fill parameters short", Command(0x01, 0x03, Concat(AreaParams(0x82, 0, 0, 1), {0}), kCs), 0x1002, {}},
        {"fill parameters long", Command(0x01, 0x03, Concat(AreaParams(0x82, 0, 0, 1), {0, 0, 0}), kCs), 0x1001, {}},
        {"fill completion flags", Command(0x01, 0x03, Concat(AreaParams(0x09, 0, 0, 1), Words({1})), kCs), 0x1101, {}},
        {"fill past the end", Command(0x01, 0x03, Concat(AreaParams(0xB1, 500, 0, 20), Words({1})), kCs), 0x1104, {}},
        {"multiple read",
         Command(0x01, 0x04, {0x82, 0, 100, 0, 0x09, 0, 8, 0, 0x30, 0, 10, 15}, kCs),
         0x0000,
         {0x82, 0x12, 0x34, 0x09, 0x01, 0x30, 0x01}},
        {"multiple read of nothing", Command(0x01, 0x04, {}, kCs), 0x1002, {}},
        {"multiple read of a partial item", Command(0x01, 0x04, {0x82, 0, 100, 0, 0x82, 0}, kCs), 0x1002, {}},
        {"multiple read of 168 items", Command(0x01, 0x04, manyItems, kCs), 0x1001, {}},
        {"multiple read with an unknown area", Command(0x01, 0x04, {0x82, 0, 100, 0, 0x99, 0, 0, 0}, kCs), 0x1101, {}},
        {"multiple read out of range", Command(0x01, 0x04, {0xB3, 0x03, 0xC0, 0}, kCs), 0x1103, {}},
        {"controller data read, bad part", Command(0x05, 0x01, {0x02}, kCs), 0x110C, {}},
        {"controller data read, parameters long", Command(0x05, 0x01, {0x00, 0x00}, kCs), 0x1001, {}},
        {"controller status read, parameters long", Command(0x06, 0x01, {0x00}, kCs), 0x1001, {}},
        {"undefined command", Command(0x07, 0x01, {}, kCs), 0x0401, {}},
        {"undefined sub-command", Command(0x01, 0x05, {}, kCs), 0x0401, {}},
    };
    for (const Case &c : cases) {
        const Bytes answer = Handle(c.frame);
        EXPECT_EQ(EndCode(answer), c.endCode) << c.name;
        if (c.endCode == 0) {
            EXPECT_EQ(AnswerData(answer), c.data) << c.name;
        } else {
            EXPECT_EQ(answer.size(), 14u) << c.name << ": an error answer carries no data";
        }
    }
}

TEST_F(CommandTest, LargestReadFillsTheFrame) {
    const Bytes answer = Handle(Read(kCs, 0x82, 0, 999));
    EXPECT_EQ(EndCode(answer), 0x0000);
    EXPECT_EQ(answer.size(), 2012u);
}

TEST_F(CommandTest, WritesLandInMemory) {
    struct WriteCase {
        const char *name;
        Bytes frame;
        Address node;
        uint8_t area;
        uint32_t address;
        std::vector<uint16_t> expected;
    };
    const std::vector<WriteCase> cases = {
        {"DM words",
         Command(0x01, 0x02, Concat(AreaParams(0x82, 200, 0, 2), Words({0xAAAA, 0x0102})), kCs),
         kCs,
         0x82,
         200,
         {0xAAAA, 0x0102}},
        {"flags", Command(0x01, 0x02, Concat(AreaParams(0x09, 20, 0, 2), {1, 1}), kCs), kCs, 0x09, 20, {1, 1}},
        {"bits of a CIO word",
         Command(0x01, 0x02, Concat(AreaParams(0x30, 10, 0, 2), {0, 1}), kCs),
         kCs,
         0xB0,
         10,
         {0x8002}},
        {"fill",
         Command(0x01, 0x03, Concat(AreaParams(0x82, 300, 0, 3), Words({0xBEEF})), kCs),
         kCs,
         0x82,
         299,
         {0, 0xBEEF, 0xBEEF, 0xBEEF, 0}},
        {"EM bank 3 only", Command(0x01, 0x02, Concat(AreaParams(0xA3, 5, 0, 1), Words({7})), kCs), kCs, 0xA3, 5, {7}},
        {"current EM bank is bank 0",
         Command(0x01, 0x02, Concat(AreaParams(0x98, 6, 0, 1), Words({9})), kCs),
         kCs,
         0xA0,
         6,
         {9}},
        {"classic CIO holding HR",
         Command(0x01, 0x02, Concat(AreaParams(0x80, 1074, 0, 1), Words({5})), kClassic),
         kClassic,
         0x80,
         1074,
         {5}},
        {"classic EM bank 7",
         Command(0x01, 0x02, Concat(AreaParams(0x97, 1, 0, 1), Words({3})), kClassic),
         kClassic,
         0x97,
         1,
         {3}},
    };
    for (const WriteCase &c : cases) {
        EXPECT_EQ(EndCode(Handle(c.frame)), 0x0000) << c.name;
        std::vector<uint16_t> memory(c.expected.size());
        ASSERT_TRUE(simulator.ReadWords(c.node.network, c.node.node, c.area, c.address, memory.data(), memory.size()));
        EXPECT_EQ(memory, c.expected) << c.name;
    }
    EXPECT_EQ(Word(kCs, 0xA2, 5), 0) << "banks are separate";
    EXPECT_EQ(Word(kCs, 0xA4, 5), 0) << "banks are separate";
    EXPECT_EQ(Word(kClassic, 0x82, 200), 0) << "nodes are separate";
}

TEST_F(CommandTest, RefusedWritesChangeNothing) {
    for (const Bytes &frame : {Command(0x01, 0x02, Concat(AreaParams(0x82, 100, 0, 2), {9, 9, 9}), kCs),
                               Command(0x01, 0x02, Concat(AreaParams(0x82, 32767, 0, 2), Words({9, 9})), kCs),
                               Command(0x01, 0x02, Concat(AreaParams(0x09, 8, 0, 2), {0, 2}), kCs)}) {
        EXPECT_NE(EndCode(Handle(frame)), 0x0000);
    }
    EXPECT_EQ(Word(kCs, 0x82, 100), 0x1234);
    EXPECT_EQ(Word(kCs, 0x82, 32767), 0);
    EXPECT_EQ(Word(kCs, 0x09, 8), 1);
}

TEST_F(CommandTest, ControllerDataAndStatus) {
    const Bytes all = Handle(Command(0x05, 0x01, {}, kCs));
    ASSERT_EQ(EndCode(all), 0x0000);
    const Bytes data = AnswerData(all);
    ASSERT_EQ(data.size(), 158u);
    EXPECT_EQ(std::string(data.begin(), data.begin() + 20), "CS1H-CPU67H         ");
    EXPECT_EQ(data[20], 'V');
    EXPECT_EQ(data[80 + 6], 13) << "EM banks of a CS node";
    EXPECT_EQ(AnswerData(Handle(Command(0x05, 0x01, {0x00}, kCs))).size(), 80u);
    EXPECT_EQ(AnswerData(Handle(Command(0x05, 0x01, {0x01}, kCs))).size(), 78u);
    const Bytes classic = AnswerData(Handle(Command(0x05, 0x01, {0x00}, kClassic)));
    EXPECT_EQ(std::string(classic.begin(), classic.begin() + 6), "CV1000");

    const Bytes status = Handle(Command(0x06, 0x01, {}, kCs));
    ASSERT_EQ(EndCode(status), 0x0000);
    ASSERT_EQ(AnswerData(status).size(), 26u);
    EXPECT_EQ(AnswerData(status)[0], 0x01) << "running";
}

TEST_F(CommandTest, AnswerHeaderSwapsAddresses) {
    Bytes request = Read({0, 1, 0}, 0x82, 100, 1);
    request[2] = 0x07; // GCT
    request[6] = 3;    // SNA
    request[7] = 0x21; // SA1
    request[8] = 0x05; // SA2
    request[9] = 0xEE; // SID
    const Bytes answer = Handle(request);
    ASSERT_GE(answer.size(), 14u);
    EXPECT_EQ(Bytes(answer.begin(), answer.begin() + 12),
              (Bytes{0xC0, 0x00, 0x07, 3, 0x21, 0x05, 0, 1, 0, 0xEE, 0x01, 0x01}));
}

TEST(FrameRouting, WhichFramesGetAnAnswer) {
    finsim::Simulator simulator({{0, 1, Series::Cs}, {1, 5, Series::Cs}});
    const auto answered = [&](Bytes frame) {
        uint8_t answer[2048];
        return simulator.HandleFrame(frame.data(), frame.size(), answer, sizeof answer) > 0;
    };
    struct RouteCase {
        const char *name;
        Bytes frame;
        bool answered;
    };
    Bytes response = Read({0, 1, 0}, 0x82, 0, 1);
    response[0] = 0xC0;
    Bytes noResponse = Read({0, 1, 0}, 0x82, 0, 1);
    noResponse[0] = 0x81;
    const std::vector<RouteCase> cases = {
        {"local network, simulated node", Read({0, 1, 0}, 0x82, 0, 1), true},
        {"node 0 means the first node", Read({0, 0, 0}, 0x82, 0, 1), true},
        {"second node on network 1", Read({1, 5, 0}, 0x82, 0, 1), true},
        {"node 5 is not on the local network", Read({0, 5, 0}, 0x82, 0, 1), false},
        {"node not simulated", Read({0, 9, 0}, 0x82, 0, 1), false},
        {"network not simulated", Read({2, 1, 0}, 0x82, 0, 1), false},
        {"unit other than the CPU", Read({0, 1, 0x10}, 0x82, 0, 1), false},
        {"a response frame", response, false},
        {"no response asked", noResponse, false},
        {"header only", Bytes(10, 0x80), false},
        {"header and MRC", Bytes{0x80, 0, 2, 0, 1, 0, 0, 100, 0, 1, 0x01}, false},
        {"empty", Bytes{}, false},
    };
    for (const RouteCase &c : cases) {
        EXPECT_EQ(answered(c.frame), c.answered) << c.name;
    }
    uint8_t small[13];
    const Bytes frame = Read({0, 1, 0}, 0x82, 0, 1);
    EXPECT_EQ(simulator.HandleFrame(frame.data(), frame.size(), small, sizeof small), 0u) << "no room for an end code";
}

TEST(FrameRouting, CommandWithoutResponseIsExecuted) {
    finsim::Simulator simulator;
    Bytes frame = Command(0x01, 0x02, Concat(AreaParams(0x82, 1, 0, 1), Words({42})));
    frame[0] = 0x81;
    uint8_t answer[64];
    EXPECT_EQ(simulator.HandleFrame(frame.data(), frame.size(), answer, sizeof answer), 0u);
    uint16_t value = 0;
    ASSERT_TRUE(simulator.ReadWords(0, 1, 0x82, 1, &value, 1));
    EXPECT_EQ(value, 42);
}

TEST(MemoryAccess, HostSideChecks) {
    finsim::Simulator simulator;
    uint16_t words[2] = {1, 2};
    EXPECT_TRUE(simulator.WriteWords(0, 1, 0x82, 32766, words, 2));
    EXPECT_FALSE(simulator.WriteWords(0, 1, 0x82, 32767, words, 2)) << "past the end";
    EXPECT_FALSE(simulator.WriteWords(0, 2, 0x82, 0, words, 1)) << "node not simulated";
    EXPECT_FALSE(simulator.WriteWords(0, 1, 0x80, 0, words, 1)) << "classic code on a CS node";
    EXPECT_FALSE(simulator.WriteWords(0, 1, 0x30, 0, words, 1)) << "bit view";
    words[0] = 2;
    EXPECT_FALSE(simulator.WriteWords(0, 1, 0x09, 0, words, 1)) << "flag must be 0 or 1";
    EXPECT_FALSE(simulator.ReadWords(0, 1, 0x82, 0, nullptr, 1));
    EXPECT_TRUE(simulator.ReadWords(0, 1, 0x82, 32766, words, 2));
    EXPECT_EQ(words[1], 2);
}

} // namespace

namespace {

// Hostile frames: every command code the simulator knows, random parameter
// bytes of any length. The sanitizer build turns a stray read into a failure.
TEST(HostileFrames, AnswersStayInsideTheirBuffer) {
    finsim::Simulator simulator({{0, 1, Series::Cs}, {0, 2, Series::Classic}});
    const uint8_t commands[][2] = {{1, 1}, {1, 2}, {1, 3}, {1, 4}, {5, 1}, {6, 1}, {1, 9}};
    uint32_t state = 2024;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<uint8_t>(state >> 24);
    };
    for (int round = 0; round < 20000; ++round) {
        const uint8_t *code = commands[round % 7];
        Bytes params(next() % 32 + (round % 50 == 0 ? 2100 : 0));
        for (uint8_t &b : params) {
            b = next();
        }
        if (params.size() >= 6 && round % 2 == 0) {
            params[0] = round % 4 == 0 ? 0x82 : 0x30; // reach the range checks more often
        }
        const Bytes frame = Command(code[0], code[1], params, Address{0, static_cast<uint8_t>(1 + round % 2), 0});
        const size_t capacity = round % 3 == 0 ? 14 + next() % 40 : 2048;
        std::vector<uint8_t> answer(capacity);
        const size_t length = simulator.HandleFrame(frame.data(), frame.size(), answer.data(), answer.size());
        ASSERT_GE(length, 14u);
        ASSERT_LE(length, capacity);
    }
}

} // namespace
