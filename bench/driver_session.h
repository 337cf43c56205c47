// A driver instance as a host holds one: InstanceData of the size the driver
// reports, the station and routing files in the current directory, tags
// checked through KelMain, and reads and writes that must succeed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "driver/call_blocks.h"

namespace bench {

// Station NN of the driver is FINS node 0.NODE.0, reached over UDP or TCP.
struct Station {
    int number;
    uint8_t node;
    bool tcp;
};

struct Ports {
    uint16_t udp;
    uint16_t tcp;
};

// The host's value type for plain words: none of the codes with rules of their own.
constexpr int32_t TYPE_WORD = 2;

// The texts the host's sink received, by level.
struct LogCounts {
    uint64_t detail = 0;
    uint64_t driver = 0;
};

class DriverSession {
  public:
    // Installs a counting log sink that takes the levels of levelMask.
    explicit DriverSession(int levelMask = LOG_DRIVER);
    ~DriverSession();
    DriverSession(const DriverSession &) = delete;
    DriverSession &operator=(const DriverSession &) = delete;

    // Writes kelOMR01.int and finsgw.conf for the stations into the folder
    // (CS1 stations, this host 0.100.0) and starts instance 1.
    void Start(ScratchFolder &folder, const std::vector<Station> &stations, Ports ports);
    // FN_START and FN_STOP alone, for files already written.
    void StartOnly();
    void Stop();

    TagAddress Tag(const char *text, int32_t valueType);
    TagAddress BlockTag(const char *text, int32_t count);

    // Runs the function on the request; anything but RC_OK stops the program.
    void Must(int32_t function, IoRequest *request, const char *what);

    InstanceData *Instance() { return instance_; }
    const LogCounts &Log() const { return log_; }

  private:
    int32_t Call(int32_t function, void *params);

    InstanceData *instance_ = nullptr;
    LogCounts log_;
    bool started_ = false;
};

// A request for the tag with the host's value area.
IoRequest RequestFor(const char *tagText, const TagAddress &tag, int32_t count, void *values);

} // namespace bench
