// Memory images: load, save, round trip and refused lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "sim/simulator.h"

namespace {

using finsim::Series;

class ImageTest : public ::testing::Test {
  protected:
    ImageTest() : simulator({{0, 1, Series::Cs}, {0, 2, Series::Classic}}) {
        char pattern[] = "/tmp/finsim-image-XXXXXX";
        directory = ::mkdtemp(pattern);
    }
    ~ImageTest() override {
        for (const char *name : {"image.txt", "saved.txt", "again.txt"}) {
            std::remove((directory + "/" + name).c_str());
            std::remove((directory + "/" + name + ".tmp").c_str());
        }
        ::rmdir(directory.c_str());
    }
    std::string Write(const std::string &text, const std::string &name = "image.txt") {
        const std::string path = directory + "/" + name;
        std::ofstream(path) << text;
        return path;
    }
    static std::string Read(const std::string &path) {
        std::ifstream file(path);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    std::vector<uint16_t> Words(uint8_t node, uint8_t area, uint32_t address, size_t count) {
        std::vector<uint16_t> words(count, 0xFFFF);
        EXPECT_TRUE(simulator.ReadWords(0, node, area, address, words.data(), count));
        return words;
    }
    std::string directory;
    finsim::Simulator simulator;
};

TEST_F(ImageTest, LinesAndNames) {
    std::string error;
    ASSERT_TRUE(simulator.LoadImage(Write("# presets\n"
                                          "DM 100 1 2 0x00FF   # trailing comment\n"
                                          "dm 103 -1\n"
                                          "0xB2 5 7\n"
                                          "TimFlag 8 1\n"
                                          "TIM 32768 9\n"
                                          "em3 32767 0xabcd\n"
                                          "EM 4 6\n"
                                          "\n"
                                          "node 0.2\n"
                                          "CIO 2555 3\n"
                                          "EM7 0 4\n"
                                          "NODE 0.1\n"
                                          "HR 6 8\n"),
                                    &error))
        << error;
    EXPECT_EQ(Words(1, 0x82, 100, 4), (std::vector<uint16_t>{1, 2, 0xFF, 0xFFFF}));
    EXPECT_EQ(Words(1, 0xB2, 5, 2), (std::vector<uint16_t>{7, 8}));
    EXPECT_EQ(Words(1, 0x09, 8, 1), std::vector<uint16_t>{1});
    EXPECT_EQ(Words(1, 0x89, 0x8000, 1), std::vector<uint16_t>{9});
    EXPECT_EQ(Words(1, 0xA3, 32767, 1), std::vector<uint16_t>{0xABCD});
    EXPECT_EQ(Words(1, 0xA0, 4, 1), std::vector<uint16_t>{6}) << "EM is the current bank, bank 0";
    EXPECT_EQ(Words(2, 0x80, 2555, 1), std::vector<uint16_t>{3});
    EXPECT_EQ(Words(2, 0x97, 0, 1), std::vector<uint16_t>{4});
    EXPECT_EQ(Words(2, 0x82, 100, 1), std::vector<uint16_t>{0}) << "went to the first node";
}

TEST_F(ImageTest, SaveAndLoadRoundTrip) {
    const std::vector<uint16_t> run(40, 0x1111);
    simulator.WriteWords(0, 1, 0x82, 0, run.data(), run.size());
    const uint16_t flag = 1, word = 0x8000;
    simulator.WriteWords(0, 1, 0x09, 0x8FFF, &flag, 1);
    simulator.WriteWords(0, 1, 0xAC, 32767, &word, 1);
    simulator.WriteWords(0, 1, 0xB3, 959, &word, 1);
    simulator.WriteWords(0, 2, 0x81, 2047, &word, 1);
    simulator.WriteWords(0, 2, 0x01, 0, &flag, 1);
    std::string error;
    const std::string saved = directory + "/saved.txt";
    ASSERT_TRUE(simulator.SaveImage(saved, &error)) << error;

    finsim::Simulator other({{0, 1, Series::Cs}, {0, 2, Series::Classic}});
    ASSERT_TRUE(other.LoadImage(saved, &error)) << error;
    const std::string again = directory + "/again.txt";
    ASSERT_TRUE(other.SaveImage(again, &error)) << error;
    EXPECT_EQ(Read(again), Read(saved));
    std::vector<uint16_t> words(40);
    other.ReadWords(0, 1, 0x82, 0, words.data(), words.size());
    EXPECT_EQ(words, run);
    uint16_t value = 0;
    other.ReadWords(0, 1, 0x09, 0x8FFF, &value, 1);
    EXPECT_EQ(value, 1);
    other.ReadWords(0, 2, 0x81, 2047, &value, 1);
    EXPECT_EQ(value, 0x8000);
    EXPECT_EQ(Read(saved).find("EM 0"), std::string::npos) << "the current bank is saved once, as its bank";
}

TEST_F(ImageTest, LoadingReplacesMemory) {
    const uint16_t old = 5;
    simulator.WriteWords(0, 1, 0x82, 1, &old, 1);
    simulator.WriteWords(0, 2, 0x82, 1, &old, 1);
    std::string error;
    ASSERT_TRUE(simulator.LoadImage(Write("DM 2 6\n"), &error)) << error;
    EXPECT_EQ(Words(1, 0x82, 1, 2), (std::vector<uint16_t>{0, 6}));
    EXPECT_EQ(Words(2, 0x82, 1, 1), std::vector<uint16_t>{0});
}

TEST_F(ImageTest, BadLinesAreNamedAndChangeNothing) {
    struct Case {
        const char *line;
        const char *message;
    };
    const Case cases[] = {
        {"XX 1 2", "unknown area 'XX' for a CS node"},
        {"0x80 1 2", "unknown area '0x80' for a CS node"},
        {"0x30 1 1", "unknown area '0x30'"},
        {"0x1FF 1 1", "unknown area '0x1FF'"},
        {"EMD 1 1", "unknown area 'EMD'"},
        {"DM 1", "expected 'AREA ADDRESS VALUE [VALUE...]'"},
        {"DM x 1", "bad address 'x'"},
        {"DM -1 1", "bad address '-1'"},
        {"DM 1 65536", "bad value '65536'"},
        {"DM 1 -32769", "bad value '-32769'"},
        {"DM 1 0x10000", "bad value '0x10000'"},
        {"DM 1 0xZZ", "bad value '0xZZ'"},
        {"DM 1 12abc", "bad value '12abc'"},
        {"TIMFLAG 1 2", "bad value '2'"},
        {"DM 32767 1 2", "address 32767 with 2 values is outside area DM"},
        {"DM 99999999999 1", "bad address '99999999999'"},
        {"TIM 4096 1", "outside area TIM"},
        {"node 0.9", "node 0.9 is not simulated"},
        {"node 0.1.0", "expected 'node NET.NODE'"},
        {"node", "expected 'node NET.NODE'"},
        {"node 0.2\nWR 1 1", "unknown area 'WR' for a classic node"},
    };
    const uint16_t kept = 77;
    simulator.WriteWords(0, 1, 0x82, 0, &kept, 1);
    for (const Case &c : cases) {
        std::string error;
        const std::string path = Write(std::string("DM 0 1\n# fine so far\n") + c.line + "\n");
        EXPECT_FALSE(simulator.LoadImage(path, &error)) << c.line;
        const bool secondLine = std::string(c.line).find('\n') != std::string::npos;
        const std::string where = path + ":" + (secondLine ? "4" : "3") + ": ";
        EXPECT_EQ(error.rfind(where, 0), 0u) << c.line << " -> " << error;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.line << " -> " << error;
    }
    EXPECT_EQ(Words(1, 0x82, 0, 1), std::vector<uint16_t>{77});
}

TEST_F(ImageTest, MissingFileAndUnwritablePath) {
    std::string error;
    EXPECT_FALSE(simulator.LoadImage(directory + "/none.txt", &error));
    EXPECT_NE(error.find("cannot open " + directory + "/none.txt"), std::string::npos) << error;
    EXPECT_FALSE(simulator.SaveImage(directory + "/no/such/dir/image.txt", &error));
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
}

} // namespace
