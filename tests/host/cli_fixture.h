// A fresh folder with a station file and a gateway routing file that point
// at a simulator on loopback, and the built kelomr run against them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/simulator.h"
#include "tests/host/child_run.h"

// FINS area codes of a CS-series controller.
constexpr uint8_t CS_DM = 0x82;
constexpr uint8_t CS_CIO = 0xB0;
constexpr uint8_t CS_HR = 0xB2;
constexpr uint8_t CS_TIMER_FLAG = 0x09;
constexpr uint8_t CS_TIMER_VALUE = 0x89;

// Paths of the built programs, empty when the build has none.
struct BuiltPrograms {
    static std::string Kelomr();
    static std::string Finsim();
    static std::string Driver();
    static bool Complete();
};

std::string MakeTemporaryFolder();
void RemoveFolder(const std::string &path);
void WriteFile(const std::string &path, const std::string &text);
std::string ReadFile(const std::string &path);
// A loopback UDP or TCP port that nothing listens on (bound, then closed).
int ClosedPort(bool tcp);

class KelomrTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // kelomr with the test's driver; read, write and poll run in the folder.
    RunOutcome Kelomr(std::vector<std::string> arguments, RunSettings settings = {},
                      std::chrono::milliseconds limit = std::chrono::seconds(60));
    std::vector<std::string> KelomrCommand(std::vector<std::string> arguments) const;

    void RouteTo(const std::string &transport, int port);
    void Preset(uint8_t area, uint32_t address, const std::vector<uint16_t> &words);
    std::vector<uint16_t> Memory(uint8_t area, uint32_t address, size_t count);
    uint64_t Requests() { return simulator_.GetCounters().requests; }

    std::string folder_;
    finsim::Simulator simulator_;
};

// The lines of a text that contain `part`.
std::vector<std::string> LinesWith(const std::string &text, const std::string &part);
