#include "tests/e2e/controller_fixture.h"

namespace e2e {

namespace {

constexpr int TYPE_WORD = 1; // a host value type without rules of its own

std::string ImagePath(const std::string &folder) {
    return folder + "/memory.img";
}

} // namespace

std::vector<ControllerSetup> AllSetups() {
    return {{finsim::Series::Cs, Link::Udp},
            {finsim::Series::Cs, Link::Tcp},
            {finsim::Series::Classic, Link::Udp},
            {finsim::Series::Classic, Link::Tcp}};
}

std::string SetupName(const ::testing::TestParamInfo<ControllerSetup> &info) {
    return std::string(info.param.series == finsim::Series::Cs ? "Cs" : "Classic") +
           (info.param.link == Link::Udp ? "Udp" : "Tcp");
}

std::string LinkParamName(const ::testing::TestParamInfo<Link> &info) {
    return info.param == Link::Udp ? "Udp" : "Tcp";
}

void ControllerTest::StartController(ControllerSetup chosen, int32_t timeout) {
    setup = chosen;
    simulator = std::make_unique<finsim::Simulator>(std::vector<finsim::NodeConfig>{{0, 1, setup.series}});
    ASSERT_TRUE(simulator->Start()) << simulator->LastError();
    folder.WriteFile("kelOMR01.int", StationLines(1, 0, 1, setup.series == finsim::Series::Cs));
    folder.WriteFile("finsgw.conf", RoutingText({RouteLine(0, 1, setup.link, Port())}));
    ASSERT_EQ(driver.Start(timeout), RC_OK);
    ASSERT_TRUE(log.Holds("KelOMR: Connect to Unit 1 (0.1.0) success !!!")) << log.Dump();
    log.Clear();
}

void ControllerTest::StopSimulator() {
    std::string error;
    ASSERT_TRUE(simulator->SaveImage(ImagePath(folder.Path()), &error)) << error;
    udpPort_ = simulator->UdpPort();
    tcpPort_ = simulator->TcpPort();
    simulator.reset();
}

void ControllerTest::StartSimulatorAgain() {
    simulator = std::make_unique<finsim::Simulator>(std::vector<finsim::NodeConfig>{{0, 1, setup.series}});
    std::string error;
    ASSERT_TRUE(simulator->LoadImage(ImagePath(folder.Path()), &error)) << error;
    ASSERT_TRUE(simulator->Start("127.0.0.1", udpPort_, tcpPort_)) << simulator->LastError();
}

uint16_t ControllerTest::Port() const {
    if (simulator == nullptr) {
        return setup.link == Link::Udp ? udpPort_ : tcpPort_;
    }
    return setup.link == Link::Udp ? simulator->UdpPort() : simulator->TcpPort();
}

void ControllerTest::Preset(uint8_t area, uint32_t address, const std::vector<uint16_t> &words) {
    ASSERT_TRUE(simulator->WriteWords(0, 1, area, address, words.data(), words.size()))
        << "area " << std::hex << int{area} << std::dec << " address " << address;
}

std::vector<uint16_t> ControllerTest::Memory(uint8_t area, uint32_t address, size_t count) {
    std::vector<uint16_t> words(count);
    EXPECT_TRUE(simulator->ReadWords(0, 1, area, address, words.data(), count))
        << "area " << std::hex << int{area} << std::dec << " address " << address;
    return words;
}

TagAddress ControllerTest::Tag(const std::string &text, int32_t valueType) {
    TagAddress tag{};
    EXPECT_EQ(driver.CheckTag(text, valueType, &tag), RC_OK) << text;
    return tag;
}

TagAddress ControllerTest::BlockTag(const std::string &text, int32_t valueType, int32_t count) {
    TagAddress tag{};
    EXPECT_EQ(driver.CheckBlock(text, valueType, count, &tag), RC_OK) << text << " count " << count;
    return tag;
}

// A 16-bit item lives in the second cell of the host's value area.
WordRead ControllerTest::ReadWord(const std::string &text) {
    uint16_t cells[2] = {UNTOUCHED_CELL, UNTOUCHED_CELL};
    int32_t result = driver.Transfer(FN_READ_TAG, text, Tag(text, TYPE_WORD), 1, cells);
    EXPECT_EQ(cells[0], UNTOUCHED_CELL) << text << ": the first cell is the host's";
    return {result, cells[1]};
}

int32_t ControllerTest::WriteWord(const std::string &text, uint16_t value) {
    uint16_t cells[2] = {UNTOUCHED_CELL, value};
    return driver.Transfer(FN_WRITE_TAG, text, Tag(text, TYPE_WORD), 1, cells);
}

GwCounters ControllerTest::Gateway(int station) const {
    GwCounters counters{};
    EXPECT_EQ(GwUnitCounters(driver.Data()->unitHandle[station], &counters), 0) << GwLastErrorText();
    return counters;
}

} // namespace e2e
