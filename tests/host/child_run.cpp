#include "tests/host/child_run.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

extern char **environ;

namespace {

std::vector<std::string> ChildEnvironment(const RunSettings &settings) {
    std::vector<std::string> environment;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        if (text.rfind("KELOMR_", 0) == 0 || text.rfind("FINSGW_CONFIG=", 0) == 0 || text.rfind("TMPDIR=", 0) == 0) {
            continue; // a test that wants them sets them
        }
        environment.push_back(text);
    }
    environment.insert(environment.end(), settings.environment.begin(), settings.environment.end());
    return environment;
}

std::vector<char *> Pointers(std::vector<std::string> &texts) {
    std::vector<char *> pointers;
    for (std::string &text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

ChildRun::ChildRun(const std::vector<std::string> &arguments, const RunSettings &settings) {
    std::vector<std::string> argumentTexts = arguments;
    std::vector<std::string> environmentTexts = ChildEnvironment(settings);
    std::vector<char *> argv = Pointers(argumentTexts);
    std::vector<char *> envp = Pointers(environmentTexts);
    int outPipe[2] = {-1, -1};
    int errPipe[2] = {-1, -1};
    int terminal = -1;
    int screen = -1;
    if (settings.terminal) {
        winsize size{};
        size.ws_col = 120;
        size.ws_row = 40;
        if (openpty(&terminal, &screen, nullptr, nullptr, &size) != 0) {
            return;
        }
    } else if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        return;
    }
    pid_ = fork();
    if (pid_ == 0) {
        int nothing = open("/dev/null", O_RDONLY);
        dup2(nothing, STDIN_FILENO);
        if (settings.terminal) {
            setsid();
            ioctl(screen, TIOCSCTTY, 0);
            dup2(screen, STDOUT_FILENO);
            dup2(screen, STDERR_FILENO);
        } else {
            dup2(outPipe[1], STDOUT_FILENO);
            dup2(errPipe[1], STDERR_FILENO);
        }
        if (!settings.folder.empty() && chdir(settings.folder.c_str()) != 0) {
            _exit(126);
        }
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    if (settings.terminal) {
        close(screen);
        outFd_ = terminal;
    } else {
        close(outPipe[1]);
        close(errPipe[1]);
        outFd_ = outPipe[0];
        errFd_ = errPipe[0];
    }
}

ChildRun::~ChildRun() {
    if (!finished_ && pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : {outFd_, errFd_}) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

void ChildRun::Pump(int timeoutMs) {
    pollfd fds[2];
    int count = 0;
    std::string *sinks[2];
    for (auto [fd, sink] : {std::pair{outFd_, &outcome_.out}, std::pair{errFd_, &outcome_.err}}) {
        if (fd >= 0) {
            fds[count] = {fd, POLLIN, 0};
            sinks[count++] = sink;
        }
    }
    if (count == 0 || poll(fds, static_cast<nfds_t>(count), timeoutMs) <= 0) {
        return;
    }
    for (int i = 0; i < count; ++i) {
        if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        char buffer[4096];
        ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
        if (got > 0) {
            sinks[i]->append(buffer, static_cast<size_t>(got));
        } else {
            close(fds[i].fd); // end of output (EIO on a terminal whose program ended)
            (fds[i].fd == outFd_ ? outFd_ : errFd_) = -1;
        }
    }
}

bool ChildRun::WaitForOutput(const std::string &text, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (outcome_.out.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline || (outFd_ < 0 && errFd_ < 0)) {
            return false;
        }
        Pump(20);
    }
    return true;
}

void ChildRun::Signal(int number) {
    if (pid_ > 0 && !finished_) {
        kill(pid_, number);
    }
}

RunOutcome ChildRun::Finish(std::chrono::milliseconds limit) {
    if (pid_ <= 0) {
        outcome_.err = "could not start the program";
        return outcome_;
    }
    auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (!finished_) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            finished_ = true;
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            outcome_.timedOut = true;
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            finished_ = true;
            break;
        }
        Pump(20);
    }
    // What is left in the pipes; bounded, in case a process the program
    // started still holds them.
    auto drainEnd = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((outFd_ >= 0 || errFd_ >= 0) && std::chrono::steady_clock::now() < drainEnd) {
        Pump(100);
    }
    outcome_.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome_.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return outcome_;
}

RunOutcome RunToEnd(const std::vector<std::string> &arguments, const RunSettings &settings,
                    std::chrono::milliseconds limit) {
    ChildRun run(arguments, settings);
    return run.Finish(limit);
}
