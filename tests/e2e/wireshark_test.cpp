// Wireshark's FINS dissector reads the frames the driver and the gateway put
// on the wire: written by others, it cannot share a mistake with our
// gateway and simulator.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/controller_fixture.h"

namespace e2e {
namespace {

bool HaveTshark() {
    return std::system("command -v tshark >/dev/null 2>&1") == 0;
}

// tshark capturing on the loopback device, limited to the simulator's port,
// with a duration limit as a guard should the test die before stopping it.
class Capture {
  public:
    Capture(const std::string &file, uint16_t port, Link link) : file_(file) {
        std::string filter = std::string(LinkName(link)) + " port " + std::to_string(port);
        std::string errors = file + ".err";
        pid_ = fork();
        if (pid_ == 0) {
            std::freopen(errors.c_str(), "w", stderr);
            std::freopen("/dev/null", "w", stdout);
            execlp("tshark", "tshark", "-i", "lo", "-f", filter.c_str(), "-a", "duration:60", "-w", file.c_str(),
                   static_cast<char *>(nullptr));
            _exit(127);
        }
        // Traffic sent before the capture has really started would be lost:
        // "Capturing on" comes first, "Capture started" once dumpcap runs.
        for (int i = 0; i < 200 && !capturing_; ++i) {
            std::ifstream in(errors);
            std::stringstream text;
            text << in.rdbuf();
            capturing_ = text.str().find("Capture started") != std::string::npos;
            if (!capturing_) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
        }
        if (!capturing_) { // a tshark that does not say when dumpcap runs
            std::ifstream in(errors);
            std::stringstream text;
            text << in.rdbuf();
            capturing_ = text.str().find("Capturing on") != std::string::npos;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ~Capture() { Stop(); }
    bool Capturing() const { return capturing_; }

    void Stop() {
        if (pid_ > 0) {
            // Let the last frames pass the capture filter before it closes.
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            kill(pid_, SIGINT);
            int status = 0;
            waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }

    // One row a FINS frame: the fields asked for, comma-separated.
    std::vector<std::vector<std::string>> Frames(uint16_t port, const std::vector<std::string> &fields) const {
        std::string command = "tshark -r " + file_ + " -d udp.port==" + std::to_string(port) +
                              ",omron -d tcp.port==" + std::to_string(port) +
                              ",omron -Y omron.command -T fields -E separator=, -E occurrence=f";
        for (const std::string &field : fields) {
            command += " -e " + field;
        }
        std::vector<std::vector<std::string>> rows;
        FILE *pipe = popen((command + " 2>/dev/null").c_str(), "r");
        if (pipe == nullptr) {
            return rows;
        }
        char line[1024];
        while (std::fgets(line, sizeof line, pipe) != nullptr) {
            std::vector<std::string> row;
            std::stringstream cells(std::string(line).substr(0, std::string(line).find('\n')));
            for (std::string cell; std::getline(cells, cell, ',');) {
                row.push_back(cell);
            }
            row.resize(fields.size());
            rows.push_back(row);
        }
        pclose(pipe);
        return rows;
    }

  private:
    std::string file_;
    pid_t pid_ = -1;
    bool capturing_ = false;
};

long Number(const std::string &text) {
    return text.empty() ? -1 : std::strtol(text.c_str(), nullptr, 0);
}

enum Field { ICF, GCT, DNA, DA1, DA2, SNA, SA1, SA2, SID, COMMAND, AREA, ADDRESS, ITEMS, END_CODE };
const std::vector<std::string> FIELDS = {"omron.icf",
                                         "omron.gct",
                                         "omron.dna",
                                         "omron.da1",
                                         "omron.da2",
                                         "omron.sna",
                                         "omron.sa1",
                                         "omron.sa2",
                                         "omron.sid",
                                         "omron.command",
                                         "omron.memory.area.read",
                                         "omron.memory.address",
                                         "omron.memory.numitems",
                                         "omron.response.code"};

struct SentCommand {
    long command;
    long area;
    long address;
    long items;
    long endCode; // of its response
};

class WiresharkDecodes : public ControllerTest, public ::testing::WithParamInterface<Link> {};

TEST_P(WiresharkDecodes, FramesAsTheDriverMeantThem) {
    if (!HaveTshark()) {
        GTEST_SKIP() << "tshark is not installed (scripts/setup-debian installs it)";
    }
    if (geteuid() != 0) {
        GTEST_SKIP() << "capturing on the loopback device needs root";
    }
    StartController({finsim::Series::Cs, GetParam()});
    Preset(0x82, 100, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    Capture capture(folder.Path() + "/fins.pcap", Port(), GetParam());
    ASSERT_TRUE(capture.Capturing()) << "tshark did not start capturing";

    TagAddress block = BlockTag("01DM00100", 1, 10);
    std::vector<uint8_t> values(20);
    ASSERT_EQ(driver.Transfer(FN_READ_BLOCK, "01DM00100", block, 10, values.data()), RC_OK) << log.Dump();
    ASSERT_EQ(WriteWord("01HR00010", 0x1234), RC_OK) << log.Dump();
    ASSERT_EQ(ReadWord("01DM40000").result, RC_ITEM_ERROR) << "DM ends at 32767 on a CS controller";
    capture.Stop();

    const SentCommand expected[] = {
        {0x0101, 0x82, 100, 10, 0x0000},
        {0x0102, 0xB2, 10, 1, 0x0000},
        {0x0101, 0x82, 40000, 1, 0x1103},
    };
    auto frames = capture.Frames(Port(), FIELDS);
    ASSERT_EQ(frames.size(), 6u) << "three commands and their responses";
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const auto &command = frames[2 * i];
        const auto &response = frames[2 * i + 1];
        EXPECT_EQ(Number(command[ICF]), 0x80);
        EXPECT_EQ(Number(command[GCT]), 0x02);
        EXPECT_EQ(Number(command[DNA]), 0);
        EXPECT_EQ(Number(command[DA1]), 1);
        EXPECT_EQ(Number(command[DA2]), 0);
        EXPECT_EQ(Number(command[SNA]), 0);
        if (GetParam() == Link::Udp) {
            EXPECT_EQ(Number(command[SA1]), 250) << "the local line of finsgw.conf";
        } else {
            EXPECT_NE(Number(command[SA1]), 250) << "the node the FINS/TCP server assigned";
            EXPECT_GT(Number(command[SA1]), 0);
        }
        EXPECT_EQ(Number(command[SA2]), 0);
        EXPECT_EQ(Number(command[COMMAND]), expected[i].command);
        EXPECT_EQ(Number(command[ADDRESS]), expected[i].address);
        EXPECT_EQ(Number(command[ITEMS]), expected[i].items);
        if (expected[i].command == 0x0101) {
            EXPECT_EQ(Number(command[AREA]), expected[i].area);
        }
        EXPECT_EQ(Number(response[ICF]) & 0xFE, 0xC0);
        EXPECT_EQ(Number(response[SID]), Number(command[SID])) << "the answer carries the command's service id";
        EXPECT_EQ(Number(response[DA1]), Number(command[SA1]));
        EXPECT_EQ(Number(response[SA1]), 1);
        EXPECT_EQ(Number(response[COMMAND]), expected[i].command);
        EXPECT_EQ(Number(response[END_CODE]), expected[i].endCode);
    }
    EXPECT_NE(Number(frames[0][SID]), Number(frames[2][SID])) << "each command a service id of its own";
}

INSTANTIATE_TEST_SUITE_P(Links, WiresharkDecodes, ::testing::Values(Link::Udp, Link::Tcp), LinkParamName);

} // namespace
} // namespace e2e
