// Runs a program as a user would from a shell: its standard output and
// error captured (or a pseudo-terminal as its screen), its environment
// without kelomr's overrides unless a test sets them, and a time limit after
// which it is killed so that a hang fails the test instead of stalling it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

struct RunOutcome {
    int exitCode = -1; // -1 when it did not exit normally
    int signal = 0;    // the signal that ended it, if any
    bool timedOut = false;
    std::string out;
    std::string err;
};

struct RunSettings {
    std::vector<std::string> environment; // NAME=VALUE added to the inherited ones
    std::string folder;                   // working folder; empty: the test's
    bool terminal = false;                // a pseudo-terminal for output, 120 columns
};

class ChildRun {
  public:
    ChildRun(const std::vector<std::string> &arguments, const RunSettings &settings);
    ~ChildRun();
    ChildRun(const ChildRun &) = delete;
    ChildRun &operator=(const ChildRun &) = delete;

    pid_t Pid() const { return pid_; }
    // Reads output until `text` appears in standard output or the time runs out.
    bool WaitForOutput(const std::string &text, std::chrono::milliseconds limit);
    void Signal(int number);
    // Waits for the end, killing the program after `limit`.
    RunOutcome Finish(std::chrono::milliseconds limit);
    const std::string &OutputSoFar() const { return outcome_.out; }

  private:
    void Pump(int timeoutMs);

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    bool finished_ = false;
    RunOutcome outcome_;
};

RunOutcome RunToEnd(const std::vector<std::string> &arguments, const RunSettings &settings = {},
                    std::chrono::milliseconds limit = std::chrono::seconds(60));
