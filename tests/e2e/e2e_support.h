// What an end-to-end test needs around the driver: a scratch folder as the
// current directory, the driver's log texts, a driver instance kept the way a
// host keeps it, the two configuration files, and host value areas.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/call_blocks.h"

namespace e2e {

using EntryPoint = int32_t (*)(CallBlock *block);

enum class Link { Udp, Tcp };
const char *LinkName(Link link); // "udp" or "tcp", as the routing file spells it

// Receive time-outs of FN_START, in units of 10 ms: one for tests that wait
// for time-outs, one for tests where a time-out would only be load.
constexpr int32_t QUICK_TIMEOUT = 10;    // 100 ms
constexpr int32_t PATIENT_TIMEOUT = 300; // 3 s

// A fresh folder that is the current directory while the object lives.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    const std::string &Path() const { return path_; }
    void WriteFile(const std::string &name, const std::string &contents) const;

  private:
    std::string path_;
    std::string previous_;
};

struct LoggedText {
    int level;
    std::string text;
};

// Collects the texts the driver logs through the host runtime while it lives.
class LogCapture {
  public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    const std::vector<LoggedText> &Entries() const { return entries_; }
    size_t CountContaining(const std::string &part) const;
    bool Holds(const std::string &text) const;
    void Clear() { entries_.clear(); }
    std::string Dump() const; // one text a line, for failure messages

  private:
    static void Sink(void *context, int level, const char *text);
    std::vector<LoggedText> entries_;
};

// One driver instance: the instance area sized from the driver information,
// zero-filled, and the calls a host makes through the entry point.
class DriverInstance {
  public:
    explicit DriverInstance(EntryPoint entry);
    ~DriverInstance();
    DriverInstance(const DriverInstance &) = delete;
    DriverInstance &operator=(const DriverInstance &) = delete;

    int32_t Start(int32_t timeout, int32_t instanceNumber = 1);
    int32_t Stop();
    int32_t CheckTag(const std::string &text, int32_t valueType, TagAddress *tag);
    int32_t CheckBlock(const std::string &text, int32_t valueType, int32_t count, TagAddress *tag);
    // FN_READ_TAG, FN_WRITE_TAG, FN_READ_BLOCK or FN_WRITE_BLOCK on values.
    int32_t Transfer(int32_t function, const std::string &text, const TagAddress &tag, int32_t count, void *values);
    InstanceData *Data() const { return instance_; }

  private:
    int32_t Call(int32_t function, void *params);
    EntryPoint entry_;
    int32_t instanceNumber_ = 1;
    InstanceData *instance_ = nullptr;
    bool started_ = false;
};

// kelOMR01.int lines for a station at FINS address NET.NODE.0.
std::string StationLines(int station, uint8_t network, uint8_t node, bool cs1);
// finsgw.conf: this host is 0.250.0; each route line from RouteLine.
std::string RoutingText(const std::vector<std::string> &routeLines);
std::string RouteLine(uint8_t network, uint8_t node, Link link, uint16_t port);

// Host value areas: 16-bit little-endian cells, 32-bit values as two cells
// low half first, and text as its bytes.
std::vector<uint8_t> CellBytes(const std::vector<uint16_t> &cells);
std::vector<uint8_t> FloatBytes(const std::vector<float> &values);
std::vector<uint8_t> LongBytes(const std::vector<uint32_t> &values);
std::vector<uint8_t> TextBytes(const std::string &text);

// Controller words: a float or an 8-digit BCD number in two words, low word
// first; text two characters a word, the first in the high byte.
std::vector<uint16_t> FloatWords(const std::vector<float> &values);
std::vector<uint16_t> BcdWords(const std::vector<uint32_t> &bcd);
std::vector<uint16_t> TextWords(const std::string &text);

// Renders bytes as hex for failure messages.
std::string Hex(const std::vector<uint8_t> &bytes);

} // namespace e2e
