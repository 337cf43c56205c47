// The driver library as a foreign host meets it: loaded at run time with
// dlopen, KelMain resolved by name, and the host runtime's log controls and
// the gateway's extras resolved through the driver's own handle (they live
// in its dependencies). Only KelMain is required.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "driver/call_blocks.h"
#include "gateway/finsgw.h"
#include "host/kelhost.h"

namespace kelomr {

class DriverLibrary {
  public:
    // Null with a message in *error when the library or KelMain is missing.
    static std::unique_ptr<DriverLibrary> Open(const std::string &path, std::string *error);
    ~DriverLibrary();
    DriverLibrary(const DriverLibrary &) = delete;
    DriverLibrary &operator=(const DriverLibrary &) = delete;

    int32_t Call(CallBlock &block) const { return kelMain_(&block); }

    // False when the library has no host runtime to route its texts.
    bool SetLogSink(KelHostLogSink sink, void *context) const;
    bool SetLogLevels(int mask) const;
    bool HasLogSink() const { return setLogSink_ != nullptr; }

    bool HasGatewayExtras() const { return lastErrorText_ != nullptr; }
    // The gateway's text of its last failure; empty when unknown.
    std::string GatewayErrorText() const;
    bool UnitCounters(GwUnitHandle unit, GwCounters *out) const;

    const std::string &Path() const { return path_; }

  private:
    DriverLibrary() = default;

    void *handle_ = nullptr;
    std::string path_;
    int32_t (*kelMain_)(CallBlock *) = nullptr;
    void (*setLogSink_)(KelHostLogSink, void *) = nullptr;
    void (*setLogLevels_)(int) = nullptr;
    const char *(*lastErrorText_)() = nullptr;
    int (*unitCounters_)(GwUnitHandle, GwCounters *) = nullptr;
};

// The driver to load when --driver is not given: $KELOMR_DRIVER, else
// libkelomr.so in the library folder beside this program's bin folder, else
// the bare name for the dynamic linker's search path.
std::string DefaultDriverPath();

// The folder this program's executable lies in.
std::string ExecutableFolder();

} // namespace kelomr
