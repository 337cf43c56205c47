#include "host/cli/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "host/cli/driver_library.h"

namespace kelomr {

namespace {

// Runs in the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void BecomeChild(char *const *argv, const char *outputPath, int reportFd, pid_t parent) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) {
        _exit(127);
    }
    setpgid(0, 0);
    signal(SIGPIPE, SIG_DFL);
    int nothing = open("/dev/null", O_RDONLY);
    int output = open(outputPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (nothing >= 0) {
        dup2(nothing, STDIN_FILENO);
    }
    if (output >= 0) {
        dup2(output, STDOUT_FILENO);
        dup2(output, STDERR_FILENO);
    }
    execv(argv[0], argv);
    int failure = errno;
    [[maybe_unused]] ssize_t ignored = write(reportFd, &failure, sizeof failure);
    _exit(127);
}

bool IsExecutable(const std::string &path) {
    return !path.empty() && access(path.c_str(), X_OK) == 0;
}

} // namespace

std::unique_ptr<ChildProcess> ChildProcess::Spawn(const std::vector<std::string> &arguments,
                                                  const std::string &outputPath, std::string *error) {
    std::vector<char *> argv;
    for (const std::string &argument : arguments) {
        argv.push_back(const_cast<char *>(argument.c_str()));
    }
    argv.push_back(nullptr);
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        *error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return nullptr;
    }
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        *error = std::string("cannot start a process: ") + std::strerror(errno);
        close(report[0]);
        close(report[1]);
        return nullptr;
    }
    if (pid == 0) {
        BecomeChild(argv.data(), outputPath.c_str(), report[1], parent);
    }
    close(report[1]);
    std::unique_ptr<ChildProcess> child(new ChildProcess);
    child->pid_ = pid;
    int failure = 0;
    ssize_t got = read(report[0], &failure, sizeof failure); // closes on a successful exec
    close(report[0]);
    if (got == static_cast<ssize_t>(sizeof failure)) {
        *error = "cannot run " + arguments.front() + ": " + std::strerror(failure);
        return nullptr; // the destructor reaps it
    }
    return child;
}

bool ChildProcess::Ended() {
    if (!ended_ && pid_ > 0 && waitpid(pid_, &status_, WNOHANG) == pid_) {
        ended_ = true;
    }
    return ended_ || pid_ <= 0;
}

void ChildProcess::Terminate(std::chrono::milliseconds grace) {
    if (Ended()) {
        return;
    }
    kill(pid_, SIGTERM);
    auto deadline = std::chrono::steady_clock::now() + grace;
    while (!Ended() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!Ended()) {
        kill(pid_, SIGKILL);
        if (waitpid(pid_, &status_, 0) == pid_) {
            ended_ = true;
        }
    }
}

std::string ChildProcess::EndText() const {
    if (WIFEXITED(status_)) {
        return "exit code " + std::to_string(WEXITSTATUS(status_));
    }
    if (WIFSIGNALED(status_)) {
        return "signal " + std::to_string(WTERMSIG(status_));
    }
    return "status " + std::to_string(status_);
}

std::string LocateFinsim() {
    if (const char *fromEnvironment = std::getenv("KELOMR_FINSIM"); fromEnvironment != nullptr && *fromEnvironment) {
        return fromEnvironment;
    }
    std::string beside = ExecutableFolder() + "/finsim";
    if (IsExecutable(beside)) {
        return beside;
    }
    const char *path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        std::string folder = folders.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::string candidate = (folder.empty() ? "." : folder) + "/finsim";
        if (IsExecutable(candidate)) {
            return candidate;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return {};
}

} // namespace kelomr
