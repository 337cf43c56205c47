// One driver instance, driven the way a supervisory host drives it: the
// driver information first, then a zero-filled InstanceData of the size the
// driver asks for, FN_START in the current folder, requests, FN_STOP.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/call_blocks.h"
#include "host/cli/driver_library.h"
#include "host/cli/log_view.h"

namespace kelomr {

// kelOMRnn.int, the station file an instance reads at start.
std::string StationFileName(int instanceNumber);

class Instance {
  public:
    Instance(const DriverLibrary &driver, LogView &log) : driver_(driver), log_(log) {}
    ~Instance() { Stop(); }
    Instance(const Instance &) = delete;
    Instance &operator=(const Instance &) = delete;

    // FN_DRIVER_INFO; false with a message when the record makes no sense.
    bool QueryInfo(DriverInfo *info, std::string *error);

    // Asks for the driver information, allocates the instance area and
    // starts it with the time-out in units of 10 ms.
    bool Start(int instanceNumber, int timeout, std::string *error);
    // FN_STOP, once, when started.
    void Stop();
    bool Started() const { return started_; }

    int32_t Call(int32_t function, void *params);

    // The station table as the driver filled it; stations 1 to 99.
    std::vector<int> ConfiguredStations() const;
    bool StationConfigured(int station) const;
    std::string StationAddress(int station) const;
    GwUnitHandle UnitHandle(int station) const;
    // The end code of the instance's last FINS response, relay and CPU
    // error flags cleared.
    uint16_t LastEndCode() const;

    const DriverLibrary &Driver() const { return driver_; }
    LogView &Log() { return log_; }
    int InstanceNumber() const { return instanceNumber_; }
    std::string StationFileName() const;

  private:
    // Null when the driver's area is smaller than the published record.
    const InstanceData *Data() const;

    const DriverLibrary &driver_;
    LogView &log_;
    std::vector<uint32_t> area_; // uint32_t for the record's alignment
    size_t areaSize_ = 0;
    int instanceNumber_ = 1;
    bool started_ = false;
};

} // namespace kelomr
