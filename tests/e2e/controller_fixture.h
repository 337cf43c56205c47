// The driver linked into the test with the real gateway, against a finsim
// simulator on a thread of the test: station 01 of the driver is node 0.1 of
// the simulator, reached over FINS/UDP or FINS/TCP on loopback.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gateway/finsgw.h"
#include "sim/simulator.h"
#include "tests/e2e/e2e_support.h"

namespace e2e {

struct ControllerSetup {
    finsim::Series series;
    Link link;
};

std::vector<ControllerSetup> AllSetups();
std::string SetupName(const ::testing::TestParamInfo<ControllerSetup> &info);
std::string LinkParamName(const ::testing::TestParamInfo<Link> &info);

// What a host value area holds where the driver did not write.
constexpr uint8_t UNTOUCHED = 0xA5;
constexpr uint16_t UNTOUCHED_CELL = 0xA5A5;

struct WordRead {
    int32_t result;
    uint16_t value; // UNTOUCHED_CELL when the driver left the cell alone
};

class ControllerTest : public ::testing::Test {
  protected:
    // Starts the simulator (node 0.1 of the series) on free ports, writes the
    // station and routing files and starts the driver.
    void StartController(ControllerSetup chosen, int32_t timeout = PATIENT_TIMEOUT);
    // Stops the simulator, keeping its memory and its ports for a new one
    // that StartSimulatorAgain starts.
    void StopSimulator();
    void StartSimulatorAgain();
    uint16_t Port() const;

    void Preset(uint8_t area, uint32_t address, const std::vector<uint16_t> &words);
    std::vector<uint16_t> Memory(uint8_t area, uint32_t address, size_t count);

    // The driver's check of the tag; a refusal fails the test.
    TagAddress Tag(const std::string &text, int32_t valueType);
    TagAddress BlockTag(const std::string &text, int32_t valueType, int32_t count);

    WordRead ReadWord(const std::string &text);
    int32_t WriteWord(const std::string &text, uint16_t value);

    // The gateway's counters of a station's unit.
    GwCounters Gateway(int station = 1) const;

    ScratchFolder folder;
    LogCapture log;
    std::unique_ptr<finsim::Simulator> simulator;
    DriverInstance driver{KelMain};
    ControllerSetup setup{finsim::Series::Cs, Link::Udp};

  private:
    uint16_t udpPort_ = 0;
    uint16_t tcpPort_ = 0;
};

} // namespace e2e
