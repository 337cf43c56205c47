// The driver and omron-fins, a FINS client written elsewhere, against one
// simulator: what the driver writes, omron-fins reads, and what omron-fins
// writes, the driver reads.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/controller_fixture.h"

namespace e2e {
namespace {

// The cross-check script's "NAME END_CODE V1,V2,..." lines, by name.
std::map<std::string, std::vector<std::string>> RunOmronFins(Link link, uint16_t port, std::string *output) {
    const std::string command = std::string("cd '") + CROSSCHECK_DIR + "' && node omron_fins_check.js " +
                                LinkName(link) + " " + std::to_string(port) + " 2>&1";
    std::map<std::string, std::vector<std::string>> steps;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return steps;
    }
    char line[65536];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        *output += line;
        std::istringstream words(line);
        std::string name, endCode, values;
        words >> name >> endCode >> values;
        std::vector<std::string> list{endCode};
        std::istringstream cells(values);
        for (std::string value; std::getline(cells, value, ',');) {
            list.push_back(value);
        }
        steps[name] = list;
    }
    pclose(pipe);
    return steps;
}

class OmronFinsAgreement : public ControllerTest, public ::testing::WithParamInterface<Link> {};

TEST_P(OmronFinsAgreement, WhatOneWritesTheOtherReads) {
    struct stat info;
    if (std::system("command -v node >/dev/null 2>&1") != 0 ||
        stat((std::string(CROSSCHECK_DIR) + "/node_modules/omron-fins/package.json").c_str(), &info) != 0) {
        GTEST_SKIP() << "node or omron-fins missing (scripts/setup-debian installs both)";
    }
    StartController({finsim::Series::Cs, GetParam()});
    const std::vector<uint16_t> words = {0, 1, 0x7FFF, 0x8000, 0xFFFF, 0x1234, 42, 9};
    TagAddress block = BlockTag("01DM00100", 1, 8);
    std::vector<uint8_t> values = CellBytes(words);
    ASSERT_EQ(driver.Transfer(FN_WRITE_BLOCK, "01DM00100", block, 8, values.data()), RC_OK) << log.Dump();

    std::string output;
    auto steps = RunOmronFins(GetParam(), Port(), &output);
    ASSERT_TRUE(steps.count("read-dm")) << output;
    EXPECT_EQ(steps["read-dm"],
              (std::vector<std::string>{"0000", "0", "1", "32767", "-32768", "-1", "4660", "42", "9"}))
        << output;

    ASSERT_TRUE(steps.count("write-dm")) << output;
    EXPECT_EQ(steps["write-dm"][0], "0000") << output;
    TagAddress written = BlockTag("01DM00200", 1, 5);
    std::vector<uint8_t> readBack(10, UNTOUCHED);
    ASSERT_EQ(driver.Transfer(FN_READ_BLOCK, "01DM00200", written, 5, readBack.data()), RC_OK) << log.Dump();
    EXPECT_EQ(readBack, CellBytes({1, 0xFFFF, 0x7FFF, 0x8000, 0x1234}));
}

INSTANTIATE_TEST_SUITE_P(Links, OmronFinsAgreement, ::testing::Values(Link::Udp, Link::Tcp), LinkParamName);

} // namespace
} // namespace e2e
