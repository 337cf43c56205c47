// A helper program run beside kelomr (finsim for the demo): its output goes
// to a file, it sits in its own process group so a Ctrl-C at the terminal
// reaches only kelomr, which then stops it in order; and it ends with kelomr
// if kelomr itself is killed.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace kelomr {

class ChildProcess {
  public:
    static std::unique_ptr<ChildProcess> Spawn(const std::vector<std::string> &arguments, const std::string &outputPath,
                                               std::string *error);
    ~ChildProcess() { Terminate(std::chrono::milliseconds(3000)); }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    pid_t Pid() const { return pid_; }
    // True once it has ended; never blocks.
    bool Ended();
    // SIGTERM, then SIGKILL after the grace time; waits for it either way.
    void Terminate(std::chrono::milliseconds grace);
    // "exit code N" or "signal N", once ended.
    std::string EndText() const;

  private:
    ChildProcess() = default;

    pid_t pid_ = -1;
    bool ended_ = false;
    int status_ = 0;
};

// $KELOMR_FINSIM, else finsim beside this program, else finsim on PATH;
// empty when none is found.
std::string LocateFinsim();

} // namespace kelomr
