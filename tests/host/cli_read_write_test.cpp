// kelomr as a user meets it, against a simulated CS-series controller:
// info, reads of every kind of value, writes checked in the controller's
// memory, and the messages and exit codes of the ways it goes wrong.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/host/cli_fixture.h"

namespace {

using namespace std::chrono_literals;

TEST_F(KelomrTest, InfoShowsTheRecordAndDrawsTheBanner) {
    RunOutcome run = RunToEnd({BuiltPrograms::Kelomr(), "info"}); // the driver beside the program
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("/lib/libkelomr.so"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("driver id     82"), std::string::npos);
    EXPECT_NE(run.out.find("description   Omron General purpose"), std::string::npos);
    EXPECT_NE(run.out.find("instance size 6624 bytes"), std::string::npos);
    EXPECT_NE(run.out.find("1 at +16, 3 at +28"), std::string::npos);
    std::string frame;
    for (int i = 0; i < 61; ++i) {
        frame += "═";
    }
    EXPECT_NE(run.out.find(" ╔" + frame + "╗\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(" ╚" + frame + "╝\n"), std::string::npos);
    EXPECT_NE(run.out.find("█████▓▓▓▓▓▓▒▒▒▒▒▒░░░░░░ K E L O M R ░░░░░░▒▒▒▒▒▒▓▓▓▓▓▓█████"), std::string::npos);
    EXPECT_EQ(LinesWith(run.out, "║").size(), 4u);

    RunOutcome raw = Kelomr({"info", "--raw"});
    ASSERT_EQ(raw.exitCode, 0);
    EXPECT_NE(raw.out.find("\n \xC9\xCD\xCD"), std::string::npos);
}

struct ReadCase {
    const char *tag;
    const char *shown;
};

void PrintTo(const ReadCase &c, std::ostream *out) {
    *out << c.tag;
}

std::string Joined(const std::vector<std::string> &words) {
    std::string text;
    for (const std::string &word : words) {
        text += (text.empty() ? "" : " ") + word;
    }
    return text;
}

class KelomrReadTest : public KelomrTest, public ::testing::WithParamInterface<ReadCase> {
  protected:
    void SetUp() override {
        KelomrTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        Preset(CS_DM, 100, {1234, 0xFFFB, 0x0008});
        Preset(CS_DM, 104, {0x0000, 0x4120});         // 10.0, low word first
        Preset(CS_DM, 106, {0x5678, 0x1234});         // BCD 12345678, low digits first
        Preset(CS_DM, 110, {0x4B65, 0x6C4F, 0x4D52}); // "KelOMR", high byte first
        Preset(CS_DM, 120, {7, 8, 9});
        Preset(CS_DM, 130, {0x0000, 0x3FC0, 0x0000, 0xC020}); // 1.5, -2.5
        Preset(CS_HR, 10, {0x1234});
        Preset(CS_CIO, 0, {0x8001});
        Preset(CS_TIMER_FLAG, 5, {1});
        Preset(CS_TIMER_VALUE, 5, {300});
    }
};

TEST_P(KelomrReadTest, PrintsTheValueTheControllerHolds) {
    const ReadCase &c = GetParam();
    std::vector<std::string> arguments = {"read", "-q"};
    std::string tag = c.tag;
    size_t colon = tag.find(':');
    if (colon != std::string::npos) {
        arguments.insert(arguments.end(), {"--count", tag.substr(colon + 1)});
        tag.resize(colon);
    }
    arguments.push_back(tag);
    RunOutcome run = Kelomr(arguments);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, c.shown);
    EXPECT_EQ(run.err, "");
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, KelomrReadTest,
    ::testing::Values(
        ReadCase{"01DM00100", "01DM00100     1234 (0x04D2)\n"},
        ReadCase{"01dm00101", "01dm00101     65531 (0xFFFB, -5)\n"}, ReadCase{"01DM0010203", "01DM0010203   1\n"},
        ReadCase{"01DM0010202", "01DM0010202   0\n"}, ReadCase{"01DM00104F", "01DM00104F    10\n"},
        ReadCase{"01DM00106B", "01DM00106B    12345678\n"}, ReadCase{"01DM00110S6", "01DM00110S6   \"KelOMR\"\n"},
        ReadCase{"01DM00110S4", "01DM00110S4   \"KelO\"\n"}, ReadCase{"01TS00005", "01TS00005     1\n"},
        ReadCase{"01TV00005", "01TV00005     300 (0x012C)\n"}, ReadCase{"01HR00010", "01HR00010     4660 (0x1234)\n"},
        ReadCase{"01IR0000015", "01IR0000015   1\n"},
        ReadCase{"01DM00120:3", "01DM00120     7 (0x0007)\n01DM00121     8 (0x0008)\n01DM00122     9 (0x0009)\n"},
        ReadCase{"01DM00130F:2", "01DM00130F    1.5\n01DM00132F    -2.5\n"},
        ReadCase{"01TS00005:2", "01TS00005     1\n01TS00006     0\n"}));

TEST_F(KelomrTest, ReadsTheValueAFinsimProgramHoldsFromTheCurrentFolder) {
    WriteFile(folder_ + "/memory.img", "# preset\nDM 100 4711\n");
    ChildRun finsim({BuiltPrograms::Finsim(), "--udp", "0", "--no-tcp", "--image", folder_ + "/memory.img",
                     "--ready-file", folder_ + "/ready"},
                    {});
    ASSERT_TRUE(finsim.WaitForOutput("finsim: ready", 20s)) << finsim.OutputSoFar();
    std::string ready = ReadFile(folder_ + "/ready");
    ASSERT_EQ(ready.rfind("udp ", 0), 0u) << ready;
    RouteTo("udp", std::stoi(ready.substr(4)));

    RunSettings here;
    here.folder = folder_;
    RunOutcome run = RunToEnd({BuiltPrograms::Kelomr(), "read", "01DM00100"}, here);
    finsim.Signal(SIGTERM);
    EXPECT_EQ(finsim.Finish(20s).exitCode, 0);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "01DM00100     4711 (0x1267)\n");
}

TEST_F(KelomrTest, ReadsSeveralTagsInOneStartAndShowsTheDriversTexts) {
    Preset(CS_DM, 100, {1, 2});
    RunOutcome run = Kelomr({"read", "-v", "01DM00100", "01DM00101"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "01DM00100     1 (0x0001)\n01DM00101     2 (0x0002)\n");
    // Time and level, then the driver's own text.
    EXPECT_EQ(LinesWith(run.err, " driver KelOMR: Connect to Unit 1 (0.1.0) success !!!").size(), 1u) << run.err;
    EXPECT_EQ(LinesWith(run.err, " trace KELOMR: BlockRead() Reading from CS1 PLC. tag '01DM00101'").size(), 1u);
    EXPECT_EQ(LinesWith(run.err, "success !").size(), 3u); // the connect text and two reads

    RunOutcome quietTrace = Kelomr({"read", "01DM00100"});
    EXPECT_TRUE(LinesWith(quietTrace.err, "BlockRead").empty()) << "trace texts only with -v";
}

struct WriteCase {
    std::vector<std::string> tagAndValues;
    uint8_t area;
    uint32_t address;
    std::vector<uint16_t> memory; // the controller's words afterwards
};

void PrintTo(const WriteCase &c, std::ostream *out) {
    *out << Joined(c.tagAndValues);
}

class KelomrWriteTest : public KelomrTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(KelomrWriteTest, TheControllerHoldsWhatWasWritten) {
    const WriteCase &c = GetParam();
    Preset(CS_DM, 102, {0x00F0});
    std::vector<std::string> arguments = {"write", "-q"};
    arguments.insert(arguments.end(), c.tagAndValues.begin(), c.tagAndValues.end());
    RunOutcome run = Kelomr(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("written"), std::string::npos);
    EXPECT_EQ(Memory(c.area, c.address, c.memory.size()), c.memory);

    // And reads back what it wrote, as it showed it.
    std::string shown = run.out;
    for (size_t at; (at = shown.find("  written")) != std::string::npos;) {
        shown.erase(at, 9);
    }
    std::vector<std::string> read = {"read", "-q", c.tagAndValues[0]};
    if (c.tagAndValues.size() > 2) {
        read.insert(read.end(), {"--count", std::to_string(c.tagAndValues.size() - 1)});
    }
    RunOutcome back = Kelomr(read);
    ASSERT_EQ(back.exitCode, 0) << back.err;
    EXPECT_EQ(back.out, shown);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, KelomrWriteTest,
    ::testing::Values(
        WriteCase{{"01DM00200", "-5"}, CS_DM, 200, {0xFFFB}}, WriteCase{{"01DM00200", "0xBEEF"}, CS_DM, 200, {0xBEEF}},
        WriteCase{{"01DM00200", "1", "2", "65535"}, CS_DM, 200, {1, 2, 0xFFFF}},
        WriteCase{{"01DM00204F", "3.25"}, CS_DM, 204, {0x0000, 0x4050}},
        WriteCase{{"01DM00204F", "1.5", "-2.5"}, CS_DM, 204, {0x0000, 0x3FC0, 0x0000, 0xC020}},
        WriteCase{{"01DM00206B", "12345678"}, CS_DM, 206, {0x5678, 0x1234}},
        WriteCase{{"01DM00210S6", "Hi!"}, CS_DM, 210, {0x4869, 0x2100, 0x0000}},
        WriteCase{{"01DM0010200", "1"}, CS_DM, 102, {0x00F1}}, WriteCase{{"01DM0010204", "0"}, CS_DM, 102, {0x00E0}},
        WriteCase{{"01HR00011", "7"}, CS_HR, 11, {7}}, WriteCase{{"01TS00009", "1"}, CS_TIMER_FLAG, 9, {1}}));

struct FailureCase {
    std::vector<std::string> arguments;
    int exitCode;
    std::vector<const char *> messageParts;
};

void PrintTo(const FailureCase &c, std::ostream *out) {
    *out << Joined(c.arguments);
}

class KelomrFailureTest : public KelomrTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(KelomrFailureTest, SaysWhatWentWrongWithTheRightExitCode) {
    const FailureCase &c = GetParam();
    Preset(CS_DM, 300, {11, 12, 13});
    uint64_t before = Requests();
    RunOutcome run = Kelomr(c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    for (const char *part : c.messageParts) {
        EXPECT_NE(run.err.find(part), std::string::npos) << "missing '" << part << "' in:\n" << run.err;
    }
    if (c.exitCode == 65) {
        EXPECT_EQ(Requests(), before) << "a refused value must not reach the controller";
        EXPECT_EQ(Memory(CS_DM, 300, 3), (std::vector<uint16_t>{11, 12, 13}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Messages, KelomrFailureTest,
    ::testing::Values(
        FailureCase{{"read", "01DX00100"}, 1, {"01DX00100: RC_ITEM_ERROR", "refused the item", "unknown area 'DX'"}},
        FailureCase{{"read", "02DM00100"}, 1, {"station 02 is not configured in kelOMR01.int"}},
        FailureCase{{"read", "01DM00101F"}, 1, {"even word address"}},
        FailureCase{{"read", "--count", "501", "01DM00100"}, 1, {"at most 500"}},
        FailureCase{
            {"read", "01DM40000"}, 1, {"RC_ITEM_ERROR", "end code 1103", "Read/Write gate 01DM40000 failed 1103"}},
        FailureCase{{"read", "01DM00300", "01DX00100"}, 1, {"unknown area"}},
        FailureCase{{"write", "01DM00300", "70000"}, 65, {"bad word value '70000'", "nothing was sent"}},
        FailureCase{{"write", "01DM00300", "1", "2", "x"}, 65, {"01DM00302: bad word value 'x'"}},
        FailureCase{{"write", "01DM00300F", "abc"}, 65, {"bad float value 'abc'"}},
        FailureCase{{"write", "01DM00300B", "123456789"}, 65, {"at most 8 digits"}},
        FailureCase{{"write", "01DM00300S4", "ABCDE"}, 65, {"the tag holds 4"}},
        FailureCase{{"write", "01DM00300S4", "AB", "CD"}, 65, {"a text tag takes one value"}},
        FailureCase{{"write", "01DM0030001", "2"}, 65, {"bad bit value '2'"}},
        FailureCase{{"write", "01DX00300", "1"}, 1, {"unknown area"}},
        FailureCase{{"read", "--bogus", "01DM00100"}, 64, {"unknown option '--bogus'"}},
        FailureCase{{"read", "--seconds", "3", "01DM00100"}, 64, {"--seconds does not apply to 'read'"}},
        FailureCase{{"read"}, 64, {"name at least one tag"}},
        FailureCase{{"write", "01DM00100"}, 64, {"name a tag and at least one value"}},
        FailureCase{{"frobnicate"}, 64, {"unknown command 'frobnicate'"}},
        FailureCase{{"info", "--driver", "/nonexistent/libkelomr.so"}, 69, {"cannot load the driver /nonexistent"}},
        FailureCase{{"read", "--dir", "/nonexistent", "01DM00100"}, 64, {"cannot enter the folder /nonexistent"}}));

TEST_F(KelomrTest, AClosedPortIsALinkErrorWithTheGatewaysText) {
    for (const char *transport : {"udp", "tcp"}) {
        RouteTo(transport, ClosedPort(std::string(transport) == "tcp"));
        RunOutcome run = Kelomr({"read", "--timeout", "10", "01DM00100"});
        EXPECT_EQ(run.exitCode, 2) << transport << "\n" << run.err;
        EXPECT_NE(run.err.find("01DM00100: RC_LINK_ERROR (no answer, or a network error)"), std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find("gateway: unit 0.1.0"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("refused"), std::string::npos) << run.err;
        EXPECT_EQ(LinesWith(run.err, "Failed to").size(), 6u) << "six attempts, each logged";
        EXPECT_EQ(run.out, "");

        RunOutcome write = Kelomr({"write", "-q", "--timeout", "10", "01DM00100", "1"});
        EXPECT_EQ(write.exitCode, 2) << write.err;
        EXPECT_EQ(LinesWith(write.err, "driver: KelOMR : Failed to").size(), 6u)
            << "quiet shows the texts that explain";
    }
}

TEST_F(KelomrTest, ASilentControllerGivesUpAfterSixTimeOuts) {
    int silent = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(silent, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    getsockname(silent, reinterpret_cast<sockaddr *>(&address), &length);
    RouteTo("udp", ntohs(address.sin_port));

    auto start = std::chrono::steady_clock::now();
    RunOutcome run = Kelomr({"read", "--timeout", "10", "01DM00100"}); // 100 ms a wait
    auto took = std::chrono::steady_clock::now() - start;
    close(silent);
    EXPECT_EQ(run.exitCode, 2) << run.err;
    EXPECT_NE(run.err.find("gateway: unit 0.1.0"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("100 ms"), std::string::npos) << run.err;
    EXPECT_LT(took, 600ms + 10s) << "six receive time-outs and a margin";
}

TEST_F(KelomrTest, ReadsAndWritesOverFinsTcp) {
    RouteTo("tcp", simulator_.TcpPort());
    RunOutcome write = Kelomr({"write", "-q", "01DM00100", "4321"});
    ASSERT_EQ(write.exitCode, 0) << write.err;
    RunOutcome read = Kelomr({"read", "-q", "01DM00100"});
    EXPECT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.out, "01DM00100     4321 (0x10E1)\n");
}

TEST_F(KelomrTest, AnUnconfiguredInstanceIsToldAtStart) {
    RunOutcome run = Kelomr({"read", "--instance", "7", "01DM00100"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("KelOMR: File KelOMRnn.int not found !"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("no station configured: kelOMR07.int"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("station 01 is not configured in kelOMR07.int"), std::string::npos) << run.err;
}

TEST_F(KelomrTest, EveryCommandHasHelpWithItsExitCodes) {
    for (const char *command : {"info", "read", "write", "poll", "demo"}) {
        RunOutcome run = Kelomr({command, "--help"});
        EXPECT_EQ(run.exitCode, 0) << command;
        EXPECT_NE(run.out.find(std::string("Usage: kelomr ") + command), std::string::npos) << run.out;
        EXPECT_NE(run.out.find("65  a value to write does not fit"), std::string::npos) << command;
        EXPECT_EQ(Kelomr({"help", command}).out, run.out);
    }
    RunOutcome top = Kelomr({"--help"});
    EXPECT_EQ(top.exitCode, 0);
    EXPECT_NE(top.out.find("01DM00200S20"), std::string::npos);
    EXPECT_EQ(Kelomr({}).exitCode, 64);
}

} // namespace
