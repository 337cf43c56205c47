// What every command that talks to controllers starts with: the driver
// loaded, its texts routed to the log view, the instance started in its
// folder; and, at the end, the instance stopped and the driver unloaded.
#pragma once

#include <memory>
#include <string>

#include "host/cli/driver_instance.h"
#include "host/cli/driver_library.h"
#include "host/cli/item_io.h"
#include "host/cli/log_view.h"
#include "host/cli/options.h"

namespace kelomr {

class Session {
  public:
    // Null with *exitCode set, after saying why on standard error.
    static std::unique_ptr<Session> Open(const Options &options, int *exitCode);

    Instance &GetInstance() { return *instance_; }
    LogView &Log() { return log_; }

  private:
    explicit Session(const Options &options);

    LogView log_; // declared first: it outlives the driver that writes to it
    std::unique_ptr<DriverLibrary> driver_;
    std::unique_ptr<Instance> instance_; // declared last: stopped first
};

// Loads the driver named by the options, or the default one; 69 and a
// message on failure.
std::unique_ptr<DriverLibrary> LoadDriver(const Options &options, int *exitCode);

// "kelomr: TEXT" on standard error.
void Complain(const std::string &text);

// One line for a refused tag and the lines that explain a failed transfer.
void ReportRefusal(const std::string &tagText, int result, const std::string &reason);
void ReportFailure(Instance &instance, const Tag &tag, int result);
std::string FailureHeadline(const std::string &tagText, int result);

} // namespace kelomr
