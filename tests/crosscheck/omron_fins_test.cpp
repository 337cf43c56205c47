// An independent FINS client, omron-fins, against the simulator: what it reads
// is the simulator's memory, what it writes lands there.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "sim/simulator.h"

namespace {

struct Step {
    std::string endCode;
    std::vector<std::string> values;
};

// "NAME END_CODE V1,V2,..." lines of the script, by name.
std::map<std::string, Step> RunScript(const std::string &protocol, uint16_t port, std::string *output) {
    const std::string command = std::string("cd '") + CROSSCHECK_DIR + "' && node omron_fins_check.js " + protocol +
                                " " + std::to_string(port) + " 2>&1";
    std::map<std::string, Step> steps;
    FILE *pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return steps;
    }
    char line[65536];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        *output += line;
        std::istringstream words(line);
        std::string name, values;
        Step step;
        words >> name >> step.endCode >> values;
        std::istringstream list(values);
        for (std::string value; std::getline(list, value, ',');) {
            step.values.push_back(value);
        }
        steps[name] = step;
    }
    const int status = ::pclose(pipe);
    *output += "exit status " + std::to_string(status) + "\n";
    return steps;
}

std::vector<std::string> Signed(const std::vector<uint16_t> &words) {
    std::vector<std::string> texts;
    for (uint16_t word : words) {
        texts.push_back(std::to_string(static_cast<int16_t>(word)));
    }
    return texts;
}

class OmronFinsCheck : public ::testing::TestWithParam<const char *> {
  protected:
    void SetUp() override {
        if (std::system("command -v node > /dev/null 2>&1") != 0) {
            GTEST_SKIP() << "node is not installed (scripts/setup-debian installs it)";
        }
        struct stat info;
        const std::string package = std::string(CROSSCHECK_DIR) + "/node_modules/omron-fins/package.json";
        if (::stat(package.c_str(), &info) != 0) {
            GTEST_SKIP() << "omron-fins is not installed: run npm install in tests/crosscheck";
        }
        ASSERT_TRUE(simulator.Start()) << simulator.LastError();
    }
    void Preset(uint8_t area, uint32_t address, const std::vector<uint16_t> &words) {
        ASSERT_TRUE(simulator.WriteWords(0, 1, area, address, words.data(), words.size()));
    }
    std::vector<uint16_t> Memory(uint8_t area, uint32_t address, size_t count) {
        std::vector<uint16_t> words(count);
        EXPECT_TRUE(simulator.ReadWords(0, 1, area, address, words.data(), count));
        return words;
    }
    finsim::Simulator simulator;
};

TEST_P(OmronFinsCheck, ReadsAndWritesAgreeWithMemory) {
    const std::string protocol = GetParam();
    std::vector<uint16_t> pattern(999);
    for (size_t i = 0; i < pattern.size(); ++i) {
        pattern[i] = static_cast<uint16_t>(i * 7919);
    }
    Preset(0x82, 0, pattern);
    Preset(0x82, 100, {0, 1, 0x7FFF, 0x8000, 0xFFFF, 0x1234, 42, 9});
    Preset(0x82, 300, {0x0010});
    Preset(0xB0, 10, {0x8001, 2});
    Preset(0xB1, 5, {77});
    Preset(0xB2, 3, {0x4000});
    Preset(0xA3, 50, {5, 6});
    const std::vector<uint16_t> before = Memory(0x82, 0, 999);

    std::string output;
    const std::map<std::string, Step> steps =
        RunScript(protocol, protocol == "udp" ? simulator.UdpPort() : simulator.TcpPort(), &output);
    ASSERT_EQ(steps.size(), 13u) << output;
    const auto read = [&](const std::string &name) {
        const auto found = steps.find(name);
        EXPECT_NE(found, steps.end()) << name << "\n" << output;
        EXPECT_EQ(found == steps.end() ? "" : found->second.endCode, "0000") << name << "\n" << output;
        return found == steps.end() ? std::vector<std::string>() : found->second.values;
    };
    EXPECT_EQ(read("read-dm"), Signed(Memory(0x82, 100, 8)));
    EXPECT_EQ(read("read-dm"), (std::vector<std::string>{"0", "1", "32767", "-32768", "-1", "4660", "42", "9"}));
    EXPECT_EQ(read("read-cio"), Signed({0x8001, 2}));
    EXPECT_EQ(read("read-wr"), Signed({77}));
    EXPECT_EQ(read("read-hr"), Signed({0x4000}));
    EXPECT_EQ(read("read-em"), Signed({5, 6}));
    EXPECT_EQ(read("read-large"), Signed(before));
    EXPECT_EQ(read("read-multiple"), (std::vector<std::string>{"0", "77", "1"}));
    EXPECT_EQ(read("status"), (std::vector<std::string>{"RUN", "MONITOR"}));
    EXPECT_EQ(read("cpu-data"), std::vector<std::string>{"CS1H-CPU67H"});

    read("write-dm");
    EXPECT_EQ(Memory(0x82, 200, 5), (std::vector<uint16_t>{1, 0xFFFF, 0x7FFF, 0x8000, 0x1234}));
    read("write-bits");
    EXPECT_EQ(Memory(0x82, 300, 1), std::vector<uint16_t>{0x0028}) << "bits 3 and 5 set, 4 cleared";
    read("fill");
    EXPECT_EQ(Memory(0x82, 399, 7), (std::vector<uint16_t>{before[399], 7, 7, 7, 7, 7, before[405]}));

    const auto beyond = steps.find("read-beyond");
    ASSERT_NE(beyond, steps.end()) << output;
    EXPECT_EQ(beyond->second.endCode, "1104") << "an error end code, not values";
    EXPECT_TRUE(beyond->second.values.empty());
}

INSTANTIATE_TEST_SUITE_P(Transports, OmronFinsCheck, ::testing::Values("udp", "tcp"));

} // namespace
