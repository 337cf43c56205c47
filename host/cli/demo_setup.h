// What the demo sets up around the driver: a fresh folder with the station
// file, the simulator's memory image and the gateway's routing file, and
// the tags it shows.
#pragma once

#include <string>
#include <vector>

namespace kelomr {

// A folder made for this run and removed with everything in it at the end.
class TempFolder {
  public:
    // Empty Path() when it could not be made.
    explicit TempFolder(const std::string &prefix);
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::string &Path() const { return path_; }
    void Remove();
    std::string File(const std::string &name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

bool WriteTextFile(const std::string &path, const std::string &text, std::string *error);

// The simulator's memory at start: every kind of value the demo shows.
std::string DemoMemoryImage();
// The station file: station 01 is the simulated CS-series node 0.1.
std::string DemoStationFile();
// finsgw.conf routing node 0.1 to the simulator on loopback.
std::string DemoRoutingFile(bool tcp, int port);
// The words finsim counts up by itself, as --animate arguments.
std::vector<std::string> DemoAnimatedWords();
// The tags the demo polls, as poll entries (TAG or TAG:N), with what each is.
struct DemoTag {
    const char *entry;
    const char *what;
};
std::vector<DemoTag> DemoTags();

struct DemoWrite {
    std::string tag;
    std::string value;
};
// What the demo writes through the driver before round `round`.
std::vector<DemoWrite> DemoWritesForRound(int round);

// The ports in finsim's ready file once it is complete: "udp PORT" and
// "tcp PORT" lines. 0 for a port not (yet) listed.
struct SimulatorPorts {
    int udp = 0;
    int tcp = 0;
};
bool ReadReadyFile(const std::string &path, SimulatorPorts *ports);

} // namespace kelomr
