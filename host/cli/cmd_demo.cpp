#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "host/cli/child_process.h"
#include "host/cli/commands.h"
#include "host/cli/demo_setup.h"
#include "host/cli/exit_codes.h"
#include "host/cli/poll_loop.h"
#include "host/cli/stop_signal.h"
#include "host/cli/value_parse.h"

namespace kelomr {

namespace {

constexpr auto READY_WAIT = std::chrono::seconds(10);

std::string FileText(const std::string &path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// Comes back to the folder the demo was started in, whatever happens.
class FolderGuard {
  public:
    FolderGuard() : fd_(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~FolderGuard() {
        if (fd_ >= 0) {
            [[maybe_unused]] int ignored = fchdir(fd_);
            close(fd_);
        }
    }

  private:
    int fd_;
};

bool WaitUntilReady(ChildProcess &finsim, const std::string &readyFile, SimulatorPorts *ports) {
    auto deadline = std::chrono::steady_clock::now() + READY_WAIT;
    while (std::chrono::steady_clock::now() < deadline && !StopRequested()) {
        if (ReadReadyFile(readyFile, ports)) {
            return true;
        }
        if (finsim.Ended()) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::vector<std::string> FinsimArguments(const std::string &program, const TempFolder &folder, bool tcp) {
    std::vector<std::string> arguments = {program,
                                          tcp ? "--no-udp" : "--no-tcp",
                                          tcp ? "--tcp" : "--udp",
                                          "0",
                                          "--node",
                                          "0.1:cs",
                                          "--image",
                                          folder.File("memory.img"),
                                          "--ready-file",
                                          folder.File("ready")};
    for (const std::string &word : DemoAnimatedWords()) {
        arguments.push_back("--animate");
        arguments.push_back(word);
    }
    return arguments;
}

// The demo's own writes go through the driver like any host's; they keep a
// float, a bit and a timer flag changing.
void WriteDemoValues(Instance &instance, std::vector<PollEntry> &writeTags, int round) {
    std::vector<DemoWrite> writes = DemoWritesForRound(round);
    for (size_t i = 0; i < writes.size() && i < writeTags.size(); ++i) {
        PollEntry &entry = writeTags[i];
        if (!entry.Usable()) {
            continue;
        }
        Value value;
        std::string why;
        if (!ParseValue(entry.tag.kind, writes[i].value, entry.tag.TextLength(), &value, &why)) {
            continue;
        }
        Transfer transfer = WriteTag(instance, entry.tag, {value});
        if (transfer.result != entry.previousResult) {
            instance.Log().Alert("demo write " + FailureHeadline(entry.name, transfer.result));
        }
        entry.previousResult = transfer.result;
    }
}

int RunDemoSession(const Options &options, const TempFolder &folder) {
    Options demo = options;
    demo.dir = folder.Path();
    int exitCode = EXIT_ALL_GOOD;
    std::unique_ptr<Session> session = Session::Open(demo, &exitCode);
    if (!session) {
        return exitCode;
    }
    PollPlan plan;
    for (const DemoTag &tag : DemoTags()) {
        PollEntry entry;
        std::string why;
        ParsePollEntry(tag.entry, std::nullopt, &entry, &why);
        entry.note = tag.what;
        plan.entries.push_back(entry);
    }
    std::vector<PollEntry> writeTags;
    for (const DemoWrite &write : DemoWritesForRound(0)) {
        PollEntry entry;
        std::string why;
        ParsePollEntry(write.tag, std::nullopt, &entry, &why);
        entry.checkResult = CheckTag(session->GetInstance(), entry.request, &entry.tag, &entry.refusal);
        writeTags.push_back(entry);
    }
    plan.intervalMs = options.intervalMs.value_or(500);
    plan.seconds = options.seconds;
    plan.format = options.format;
    plan.title = std::string("kelomr demo   finsim over FINS/") + (options.tcp ? "TCP" : "UDP");
    Instance &instance = session->GetInstance();
    plan.beforeRound = [&](int round) { WriteDemoValues(instance, writeTags, round); };
    return RunPollLoop(*session, plan);
}

} // namespace

int RunDemo(const Options &options) {
    InstallStopHandlers();
    std::string finsimPath = LocateFinsim();
    if (finsimPath.empty()) {
        Complain("demo: finsim not found beside kelomr nor on PATH (set KELOMR_FINSIM)");
        return EXIT_UNAVAILABLE;
    }
    TempFolder folder("kelomr-demo");
    if (folder.Path().empty()) {
        Complain("demo: cannot make a temporary folder");
        return EXIT_SOFTWARE;
    }
    std::string error;
    std::string stationFile = StationFileName(options.instance);
    if (!WriteTextFile(folder.File("memory.img"), DemoMemoryImage(), &error) ||
        !WriteTextFile(folder.File(stationFile), DemoStationFile(), &error)) {
        Complain("demo: " + error);
        return EXIT_SOFTWARE;
    }
    std::unique_ptr<ChildProcess> finsim =
        ChildProcess::Spawn(FinsimArguments(finsimPath, folder, options.tcp), folder.File("finsim.log"), &error);
    if (!finsim) {
        Complain("demo: " + error);
        return EXIT_UNAVAILABLE;
    }
    SimulatorPorts ports;
    if (!WaitUntilReady(*finsim, folder.File("ready"), &ports)) {
        if (StopRequested()) {
            return EXIT_ALL_GOOD;
        }
        finsim->Terminate(std::chrono::milliseconds(1000));
        Complain("demo: finsim did not get ready (" + finsim->EndText() + "); its output:\n" +
                 FileText(folder.File("finsim.log")));
        return EXIT_UNAVAILABLE;
    }
    int port = options.tcp ? ports.tcp : ports.udp;
    if (port == 0 || !WriteTextFile(folder.File("finsgw.conf"), DemoRoutingFile(options.tcp, port), &error)) {
        Complain("demo: " + (error.empty() ? std::string("finsim listed no port for the transport") : error));
        return EXIT_SOFTWARE;
    }
    if (!options.quiet) {
        std::fprintf(stderr, "demo: finsim pid %d serves FINS/%s on 127.0.0.1:%d; folder %s\n",
                     static_cast<int>(finsim->Pid()), options.tcp ? "TCP" : "UDP", port, folder.Path().c_str());
    }
    int exitCode = EXIT_ALL_GOOD;
    {
        FolderGuard back;
        exitCode = RunDemoSession(options, folder);
    }
    finsim->Terminate(std::chrono::milliseconds(3000));
    folder.Remove();
    if (!options.quiet) {
        std::fprintf(stderr, "demo: finsim stopped (%s); folder removed\n", finsim->EndText().c_str());
    }
    return exitCode;
}

} // namespace kelomr
