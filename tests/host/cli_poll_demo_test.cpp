// kelomr poll and kelomr demo as a user meets them: CSV and JSON lines with
// time stamps, the live table on a terminal, Ctrl-C, and the demo's
// simulator and folder cleaned up after it.
#include <signal.h>

#include <cerrno>
#include <filesystem>
#include <regex>
#include <sstream>

#include "tests/host/cli_fixture.h"

namespace {

using namespace std::chrono_literals;

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}

const std::regex CSV_ROW(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d,([^,]*),([^,]*),(RC_\w+),([0-9.]*)$)");

struct CsvRow {
    std::string tag, value, result, latency;
};

std::vector<CsvRow> CsvRows(const std::string &out) {
    std::vector<CsvRow> rows;
    std::vector<std::string> lines = Lines(out);
    EXPECT_FALSE(lines.empty());
    if (lines.empty()) {
        return rows;
    }
    EXPECT_EQ(lines[0], "time,tag,value,result,latency_ms");
    for (size_t i = 1; i < lines.size(); ++i) {
        std::smatch match;
        EXPECT_TRUE(std::regex_match(lines[i], match, CSV_ROW)) << lines[i];
        if (!match.empty()) {
            rows.push_back({match[1], match[2], match[3], match[4]});
        }
    }
    return rows;
}

TEST_F(KelomrTest, PollWritesCsvRowsForEachRound) {
    Preset(CS_DM, 100, {1234});
    Preset(CS_DM, 104, {0x0000, 0x4120});
    Preset(CS_DM, 120, {7, 8, 9});
    RunOutcome run =
        Kelomr({"poll", "-q", "--count", "2", "--interval", "50", "01DM00100", "01DM00104F", "01DM00120:3"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<CsvRow> rows = CsvRows(run.out);
    ASSERT_EQ(rows.size(), 6u) << run.out;
    for (size_t round = 0; round < 2; ++round) {
        EXPECT_EQ(rows[3 * round].tag, "01DM00100");
        EXPECT_EQ(rows[3 * round].value, "1234");
        EXPECT_EQ(rows[3 * round + 1].value, "10");
        EXPECT_EQ(rows[3 * round + 2].tag, "01DM00120:3");
        EXPECT_EQ(rows[3 * round + 2].value, "7 8 9");
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(rows[3 * round + i].result, "RC_OK");
            EXPECT_FALSE(rows[3 * round + i].latency.empty());
        }
    }
}

TEST_F(KelomrTest, PollKeepsGoingPastABadTagAndEndsWithTheWorstResult) {
    std::string list = folder_ + "/tags.txt";
    WriteFile(list, "# tags to watch\n01DM00100\n\n  01DX00100  \n");
    RunOutcome run = Kelomr({"poll", "--count", "2", "--interval", "10", "--file", list});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    std::vector<CsvRow> rows = CsvRows(run.out);
    ASSERT_EQ(rows.size(), 4u) << run.out;
    EXPECT_EQ(rows[0].result, "RC_OK");
    EXPECT_EQ(rows[1].tag, "01DX00100");
    EXPECT_EQ(rows[1].result, "RC_ITEM_ERROR");
    EXPECT_EQ(rows[1].value, "");
    EXPECT_EQ(LinesWith(run.err, "unknown area 'DX'").size(), 1u) << "told once, not every round";

    WriteFile(list, "01DM00100 01DM00101\n");
    RunOutcome twoOnALine = Kelomr({"poll", "--count", "1", "--file", list});
    EXPECT_EQ(twoOnALine.exitCode, 64);
    EXPECT_NE(twoOnALine.err.find("tags.txt:1: one tag a line"), std::string::npos) << twoOnALine.err;
}

TEST_F(KelomrTest, PollTellsALostControllerOnceAndItsReturn) {
    RouteTo("udp", ClosedPort(false));
    RunOutcome run = Kelomr({"poll", "-q", "--count", "3", "--interval", "10", "--timeout", "10", "01DM00100"});
    EXPECT_EQ(run.exitCode, 2);
    std::vector<CsvRow> rows = CsvRows(run.out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[2].result, "RC_LINK_ERROR");
    EXPECT_EQ(LinesWith(run.err, "01DM00100: RC_LINK_ERROR").size(), 1u) << run.err;
}

TEST_F(KelomrTest, PollWritesJsonLines) {
    Preset(CS_DM, 100, {5});
    Preset(CS_DM, 110, {0x4869}); // "Hi"
    RunOutcome run = Kelomr(
        {"poll", "-q", "--count", "1", "--format", "json", "01DM00100", "01DM00110S2", "01DM00100:2", "01DM40000"});
    EXPECT_EQ(run.exitCode, 1) << run.err;
    std::vector<std::string> lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 4u) << run.out;
    EXPECT_NE(lines[0].find(R"("round":1,"tag":"01DM00100","value":5,"result":"RC_OK","latency_ms":)"),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find(R"("value":"Hi")"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find(R"("value":[5,0])"), std::string::npos) << lines[2];
    EXPECT_NE(lines[3].find(R"("value":null,"result":"RC_ITEM_ERROR")"), std::string::npos) << lines[3];
    EXPECT_NE(lines[3].find("end code 1103"), std::string::npos) << lines[3];
    for (const std::string &line : lines) {
        EXPECT_EQ(line.rfind("{\"time\":\"", 0), 0u);
        EXPECT_EQ(line.back(), '}');
    }
}

TEST_F(KelomrTest, CtrlCEndsAPollCleanly) {
    ChildRun poll(KelomrCommand({"poll", "-q", "--interval", "50", "01DM00100"}), {});
    ASSERT_TRUE(poll.WaitForOutput("RC_OK", 20s)) << poll.OutputSoFar();
    poll.Signal(SIGINT);
    RunOutcome run = poll.Finish(20s);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.back(), '\n') << "the round in hand is finished";
    CsvRows(run.out);
}

TEST_F(KelomrTest, PollDrawsALiveTableOnATerminal) {
    Preset(CS_DM, 100, {1});
    RunSettings terminal;
    terminal.terminal = true;
    ChildRun poll(KelomrCommand({"poll", "--interval", "100", "01DM00100", "01DX00100"}), terminal);
    ASSERT_TRUE(poll.WaitForOutput("round 2", 20s)) << poll.OutputSoFar();
    Preset(CS_DM, 100, {2});
    ASSERT_TRUE(poll.WaitForOutput("\x1b[1;33m2 (0x0002)", 20s)) << "a changed value is highlighted";
    poll.Signal(SIGTERM);
    RunOutcome run = poll.Finish(20s);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("\x1b[H"), std::string::npos) << "redrawn in place";
    EXPECT_NE(run.out.find("TAG"), std::string::npos);
    EXPECT_NE(run.out.find("refused"), std::string::npos);
    EXPECT_NE(run.out.find("unknown area 'DX'"), std::string::npos) << "texts shown under the table";
    EXPECT_NE(run.out.rfind("\x1b[?25h"), std::string::npos) << "the cursor comes back";
}

class KelomrDemoTest : public KelomrTest {
  protected:
    void SetUp() override {
        KelomrTest::SetUp();
        settings_.environment = {"TMPDIR=" + folder_};
    }

    // The demo's folder was made inside the test's; only the test's own
    // files may be left there.
    void ExpectCleanedUp(const RunOutcome &run) {
        for (const auto &entry : std::filesystem::directory_iterator(folder_)) {
            EXPECT_EQ(entry.path().filename().string().rfind("kelomr-demo", 0), std::string::npos)
                << entry.path() << " left behind";
        }
        std::smatch match;
        ASSERT_TRUE(std::regex_search(run.err, match, std::regex("finsim pid (\\d+)"))) << run.err;
        pid_t pid = std::stoi(match[1]);
        EXPECT_EQ(kill(pid, 0), -1) << "finsim still runs";
        EXPECT_EQ(errno, ESRCH);
    }

    RunSettings settings_;
};

TEST_F(KelomrDemoTest, ShowsLiveValuesOfEveryKindThenCleansUp) {
    RunOutcome run = Kelomr({"demo", "--seconds", "3", "--interval", "200"}, settings_);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<CsvRow> rows = CsvRows(run.out);
    ASSERT_GE(rows.size(), 30u) << run.out;
    std::map<std::string, std::vector<std::string>> values;
    for (const CsvRow &row : rows) {
        EXPECT_EQ(row.result, "RC_OK") << row.tag;
        values[row.tag].push_back(row.value);
    }
    EXPECT_EQ(values["01DM00106B"].front(), "12345678");
    EXPECT_EQ(values["01DM00110S12"].front(), "KelOMR demo!");
    EXPECT_EQ(values["01DM00101"].front(), "48879");
    EXPECT_EQ(values["01DM00130:4"].front(), "1 2 3 4");
    // Live: the simulator counts, the demo writes.
    for (const char *changing : {"01DM00100", "01TV00005", "01DM00104F", "01DM0010203"}) {
        EXPECT_NE(values[changing].front(), values[changing].back()) << changing << " did not change";
    }
    EXPECT_NE(run.err.find("folder removed"), std::string::npos);
    ExpectCleanedUp(run);
}

TEST_F(KelomrDemoTest, CtrlCStopsTheSimulatorAndRemovesTheFolder) {
    for (const char *transport : {"udp", "tcp"}) {
        std::vector<std::string> arguments = {"demo", "--interval", "100"};
        if (std::string(transport) == "tcp") {
            arguments.push_back("--tcp");
        }
        ChildRun demo(KelomrCommand(arguments), settings_);
        ASSERT_TRUE(demo.WaitForOutput("12345678", 20s)) << demo.OutputSoFar();
        demo.Signal(SIGINT);
        RunOutcome run = demo.Finish(20s);
        EXPECT_EQ(run.exitCode, 0) << transport << "\n" << run.err;
        EXPECT_TRUE(LinesWith(run.out, "RC_LINK_ERROR").empty()) << run.out;
        EXPECT_NE(run.err.find(std::string("FINS/") + (std::string(transport) == "tcp" ? "TCP" : "UDP")),
                  std::string::npos);
        ExpectCleanedUp(run);
    }
}

TEST_F(KelomrDemoTest, AMissingSimulatorIsToldAndNothingIsLeft) {
    settings_.environment.push_back("KELOMR_FINSIM=/nonexistent/finsim");
    RunOutcome run = Kelomr({"demo", "--seconds", "1"}, settings_);
    EXPECT_EQ(run.exitCode, 69);
    EXPECT_NE(run.err.find("cannot run /nonexistent/finsim"), std::string::npos) << run.err;
    for (const auto &entry : std::filesystem::directory_iterator(folder_)) {
        EXPECT_EQ(entry.path().filename().string().rfind("kelomr-demo", 0), std::string::npos);
    }
}

} // namespace
