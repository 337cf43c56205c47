// The finsim command: options, start-up lines, ready file, image and stop.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/simulator.h"
#include "tests/sim/fins_test_client.h"

extern char **environ;

namespace {

using namespace fins_test;

// finsim as a child process with its standard output and error captured.
class Finsim {
  public:
    explicit Finsim(const std::vector<std::string> &arguments) {
        int outPipe[2], errPipe[2];
        EXPECT_EQ(::pipe(outPipe), 0);
        EXPECT_EQ(::pipe(errPipe), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
        posix_spawn_file_actions_addclose(&actions, outPipe[0]);
        posix_spawn_file_actions_addclose(&actions, errPipe[0]);
        std::vector<char *> argv{const_cast<char *>(FINSIM_PATH)};
        for (const std::string &argument : arguments) {
            argv.push_back(const_cast<char *>(argument.c_str()));
        }
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&pid_, FINSIM_PATH, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(outPipe[1]);
        ::close(errPipe[1]);
        out_ = outPipe[0];
        err_ = errPipe[0];
    }
    ~Finsim() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            Wait();
        }
        ::close(out_);
        ::close(err_);
    }
    // Standard output up to and including a line that starts with prefix.
    bool ReadUntil(const std::string &prefix, int waitMs = 10000) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        while (true) {
            std::istringstream lines(out);
            for (std::string line; std::getline(lines, line);) {
                if (line.rfind(prefix, 0) == 0 && lines.good()) {
                    return true;
                }
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd entry{out_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
                return false;
            }
            char chunk[512];
            const ssize_t got = ::read(out_, chunk, sizeof chunk);
            if (got <= 0) {
                return false;
            }
            out.append(chunk, static_cast<size_t>(got));
        }
    }
    void Signal(int signal) { ::kill(pid_, signal); }
    // Exit status, reading what is left of both outputs.
    int Wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        out += Drain(out_);
        err += Drain(err_);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    uint16_t PortOf(const std::string &transport) const {
        const std::string key = "finsim: " + transport + " 127.0.0.1:";
        const size_t at = out.find(key);
        return at == std::string::npos ? 0 : static_cast<uint16_t>(std::stoi(out.substr(at + key.size())));
    }
    std::string out, err;

  private:
    static std::string Drain(int fd) {
        std::string text;
        char chunk[512];
        for (ssize_t got; (got = ::read(fd, chunk, sizeof chunk)) > 0;) {
            text.append(chunk, static_cast<size_t>(got));
        }
        return text;
    }
    pid_t pid_ = -1;
    int out_ = -1, err_ = -1;
};

std::string ReadFile(const std::string &path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

TEST(FinsimCommand, RefusesBadOptions) {
    struct Case {
        std::vector<std::string> arguments;
        const char *message;
    };
    const std::vector<Case> cases = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-x"}, "unknown option '-x'"},
        {{"--udp"}, "--udp needs a port"},
        {{"--udp", "70000"}, "bad value '70000' for --udp"},
        {{"--tcp=abc"}, "bad value 'abc' for --tcp"},
        {{"--node", "0.0"}, "bad value '0.0' for --node"},
        {{"--node", "0.255"}, "bad value '0.255' for --node"},
        {{"--node", "0.1:plc"}, "bad value '0.1:plc' for --node"},
        {{"--node", "0.1", "--node", "0.1:cv"}, "node 0.1 given twice"},
        {{"--drop-rate", "1.5"}, "bad value '1.5' for --drop-rate"},
        {{"--delay", "-1"}, "bad value '-1' for --delay"},
        {{"--stale=yes"}, "--stale takes no value"},
        {{"--animate", "DM"}, "bad value 'DM' for --animate"},
        {{"--no-udp", "--no-tcp"}, "leave nothing to serve"},
    };
    for (const Case &c : cases) {
        Finsim finsim(c.arguments);
        EXPECT_EQ(finsim.Wait(), 2) << c.message;
        EXPECT_NE(finsim.err.find(c.message), std::string::npos) << finsim.err;
        EXPECT_NE(finsim.err.find("--help"), std::string::npos) << finsim.err;
        EXPECT_EQ(finsim.out, "");
    }
}

TEST(FinsimCommand, HelpNamesEveryOption) {
    Finsim finsim({"--help"});
    EXPECT_EQ(finsim.Wait(), 0);
    for (const char *option : {"--host", "--udp", "--tcp", "--no-udp", "--no-tcp", "--node", "--image", "--save",
                               "--drop-every", "--drop-rate", "--seed", "--delay", "--busy", "--stale",
                               "--malformed-every", "--duplicate-every", "--animate", "--ready-file"}) {
        EXPECT_NE(finsim.out.find(option), std::string::npos) << option;
    }
}

TEST(FinsimCommand, ServesAnimatesAndSavesOnStop) {
    char pattern[] = "/tmp/finsim-cli-XXXXXX";
    const std::string directory = ::mkdtemp(pattern);
    const std::string image = directory + "/in.txt", saved = directory + "/out.txt", ready = directory + "/ready";
    std::ofstream(image) << "DM 100 0x1234\nnode 0.2\nDM 1 5\n";
    Finsim finsim({"--node", "0.1", "--node=0.2:cv", "--image", image, "--save", saved, "--ready-file", ready,
                   "--animate", "dm:7"});
    ASSERT_TRUE(finsim.ReadUntil("finsim: ready")) << finsim.out;
    const uint16_t udp = finsim.PortOf("udp"), tcp = finsim.PortOf("tcp");
    ASSERT_NE(udp, 0) << finsim.out;
    ASSERT_NE(tcp, 0) << finsim.out;
    EXPECT_EQ(ReadFile(ready), "udp " + std::to_string(udp) + "\ntcp " + std::to_string(tcp) + "\n");

    UdpClient client(udp);
    EXPECT_EQ(AnswerWords(client.Exchange(Command(0x01, 0x01, AreaParams(0x82, 100, 0, 1)))),
              std::vector<uint16_t>{0x1234});
    EXPECT_EQ(AnswerWords(client.Exchange(Command(0x01, 0x01, AreaParams(0x82, 1, 0, 1), {0, 2, 0}))),
              std::vector<uint16_t>{5});
    EXPECT_EQ(EndCode(client.Exchange(Command(0x01, 0x02, Concat(AreaParams(0x82, 200, 0, 1), Words({42}))))), 0);
    TcpClient tcpClient(tcp);
    EXPECT_EQ(tcpClient.Handshake(0).error, 0u);

    // The animated word counts up: wait until it has moved twice.
    std::vector<uint16_t> seen;
    for (int i = 0; i < 100 && seen.size() < 3; ++i) {
        const std::vector<uint16_t> now = AnswerWords(client.Exchange(Command(0x01, 0x01, AreaParams(0x82, 7, 0, 1))));
        ASSERT_EQ(now.size(), 1u);
        if (seen.empty() || seen.back() != now[0]) {
            seen.push_back(now[0]);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2], static_cast<uint16_t>(seen[1] + 1));

    finsim.Signal(SIGTERM);
    EXPECT_EQ(finsim.Wait(), 0) << finsim.err;
    const std::string text = ReadFile(saved);
    EXPECT_NE(text.find("DM 200 42\n"), std::string::npos) << text;
    EXPECT_NE(text.find("DM 100 4660\n"), std::string::npos) << text;
    EXPECT_NE(text.find("node 0.2\nDM 1 5\n"), std::string::npos) << text;
    for (const std::string &path : {image, saved, ready}) {
        std::remove(path.c_str());
    }
    ::rmdir(directory.c_str());
}

TEST(FinsimCommand, FixedPortsAndOneTransport) {
    finsim::Simulator probe;
    ASSERT_TRUE(probe.Start());
    const uint16_t port = probe.UdpPort();
    probe.Stop();
    Finsim finsim({"--udp", std::to_string(port), "--no-tcp", "--busy", "1"});
    ASSERT_TRUE(finsim.ReadUntil("finsim: ready")) << finsim.err;
    EXPECT_EQ(finsim.PortOf("udp"), port);
    EXPECT_EQ(finsim.out.find("finsim: tcp"), std::string::npos);
    UdpClient client(port);
    EXPECT_EQ(EndCode(client.Exchange(Command(0x06, 0x01, {}))), 0x0204) << "fault options reach the server";
    finsim.Signal(SIGINT);
    EXPECT_EQ(finsim.Wait(), 0);
}

TEST(FinsimCommand, BadImageStopsTheStart) {
    const std::string image = "/tmp/finsim-cli-bad-image.txt";
    std::ofstream(image) << "DM 1 1\nQQ 1 1\n";
    Finsim finsim({"--image", image});
    EXPECT_EQ(finsim.Wait(), 1);
    EXPECT_NE(finsim.err.find(image + ":2: unknown area 'QQ'"), std::string::npos) << finsim.err;
    std::remove(image.c_str());
}

} // namespace
