#include "tests/host/cli_fixture.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

std::string BuiltPrograms::Kelomr() {
    return KELOMR_PROGRAM;
}
std::string BuiltPrograms::Finsim() {
    return FINSIM_PROGRAM;
}
std::string BuiltPrograms::Driver() {
    return DRIVER_LIBRARY;
}
bool BuiltPrograms::Complete() {
    return !Kelomr().empty() && !Finsim().empty() && !Driver().empty();
}

std::string MakeTemporaryFolder() {
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base ? base : "/tmp") + "/kelomr-test.XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    return mkdtemp(name.data()) != nullptr ? name.data() : "";
}

void RemoveFolder(const std::string &path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void WriteFile(const std::string &path, const std::string &text) {
    std::ofstream file(path, std::ios::trunc);
    file << text;
    ASSERT_TRUE(file.good()) << path;
}

std::string ReadFile(const std::string &path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

int ClosedPort(bool tcp) {
    int fd = socket(AF_INET, tcp ? SOCK_STREAM : SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

std::vector<std::string> LinesWith(const std::string &text, const std::string &part) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (line.find(part) != std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

void KelomrTest::SetUp() {
    if (!BuiltPrograms::Complete()) {
        GTEST_SKIP() << "kelomr, finsim or the shipped driver is not part of this build";
    }
    folder_ = MakeTemporaryFolder();
    ASSERT_FALSE(folder_.empty());
    ASSERT_TRUE(simulator_.Start()) << simulator_.LastError();
    WriteFile(folder_ + "/kelOMR01.int", "01=0.1.0\n01=CS1\n");
    RouteTo("udp", simulator_.UdpPort());
}

void KelomrTest::TearDown() {
    simulator_.Stop();
    if (!folder_.empty()) {
        RemoveFolder(folder_);
    }
}

std::vector<std::string> KelomrTest::KelomrCommand(std::vector<std::string> arguments) const {
    std::vector<std::string> command = {BuiltPrograms::Kelomr(), "--driver", BuiltPrograms::Driver()};
    if (!arguments.empty() && (arguments[0] == "read" || arguments[0] == "write" || arguments[0] == "poll")) {
        command.insert(command.end(), {"--dir", folder_});
    }
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

RunOutcome KelomrTest::Kelomr(std::vector<std::string> arguments, RunSettings settings,
                              std::chrono::milliseconds limit) {
    return RunToEnd(KelomrCommand(std::move(arguments)), settings, limit);
}

void KelomrTest::RouteTo(const std::string &transport, int port) {
    WriteFile(folder_ + "/finsgw.conf",
              "local 0.250.0\nroute 0.1 " + transport + " 127.0.0.1:" + std::to_string(port) + "\n");
}

void KelomrTest::Preset(uint8_t area, uint32_t address, const std::vector<uint16_t> &words) {
    ASSERT_TRUE(simulator_.WriteWords(0, 1, area, address, words.data(), words.size()));
}

std::vector<uint16_t> KelomrTest::Memory(uint8_t area, uint32_t address, size_t count) {
    std::vector<uint16_t> words(count);
    EXPECT_TRUE(simulator_.ReadWords(0, 1, area, address, words.data(), count));
    return words;
}
