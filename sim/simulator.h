// finsim: a FINS controller simulator for tests, benchmarks and the demo.
//
// A Simulator holds the memory of one or more controller nodes and answers
// FINS commands for them over FINS/UDP and FINS/TCP on its own thread. Tests
// preset and read back memory through ReadWords/WriteWords and images, and make
// the link misbehave on purpose through SetFaults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace finsim {

enum class Series { Cs, Classic };

struct NodeConfig {
    uint8_t network;
    uint8_t node;
    Series series;
};

// Link faults for tests. A zero value turns a fault off.
struct Faults {
    int dropEvery = 0;              // every Nth request gets no answer
    double dropRate = 0;            // this fraction of the requests gets no answer (seeded)
    int delayMs = 0;                // every answer leaves this much later
    int busyCount = 0;              // the next N requests get end code 0x0204, unexecuted
    bool staleBeforeAnswer = false; // before each answer, one with SID-1 and inverted data
    int malformedEvery = 0;         // every Nth answer is replaced by a malformed frame
    int duplicateEvery = 0;         // every Nth answer is sent twice
    uint32_t seed = 1;              // for dropRate
};

// What the server has done since start (or since ResetCounters).
struct Counters {
    uint64_t requests = 0;       // commands addressed to a simulated node
    uint64_t answered = 0;       // right answers sent (error end codes included, busy not)
    uint64_t dropped = 0;        // requests left unanswered on purpose
    uint64_t busySent = 0;       // 0x0204 answers sent
    uint64_t staleSent = 0;      // answers with an earlier SID sent
    uint64_t malformedSent = 0;  // malformed frames sent instead of an answer
    uint64_t duplicatesSent = 0; // second copies of an answer sent
    uint64_t notForUs = 0;       // frames for a node or unit not simulated, not answered
    uint64_t unusable = 0;       // frames too short for a header, or responses, not answered
    uint64_t tcpAccepted = 0;    // FINS/TCP clients that completed the node handshake
    uint64_t tcpRefused = 0;     // FINS/TCP connections closed for a protocol error
};

class Server;
class NodeSet;

class Simulator {
  public:
    explicit Simulator(std::vector<NodeConfig> nodes = {{0, 1, Series::Cs}});
    ~Simulator();
    Simulator(const Simulator &) = delete;
    Simulator &operator=(const Simulator &) = delete;

    // Which servers Start opens; both by default. Call before Start.
    void SetTransports(bool udp, bool tcp);
    // Binds the servers (port 0: a free one) and serves on a thread of its own.
    // False, with LastError() set, if a socket cannot be opened or bound.
    bool Start(const std::string &host = "127.0.0.1", uint16_t udpPort = 0, uint16_t tcpPort = 0);
    void Stop();
    uint16_t UdpPort() const;
    uint16_t TcpPort() const;
    std::string LastError() const;

    // Takes effect for the next request; resets the fault's own counting.
    void SetFaults(const Faults &faults);
    Counters GetCounters() const;
    void ResetCounters();

    // Memory access by FINS area code, thread-safe. For the flag areas one
    // element is the 0/1 flag. False for an unknown node or area, a bit view
    // area, or a range outside the area; nothing is changed then.
    bool ReadWords(uint8_t network, uint8_t node, uint8_t areaCode, uint32_t address, uint16_t *out, size_t count);
    bool WriteWords(uint8_t network, uint8_t node, uint8_t areaCode, uint32_t address, const uint16_t *in,
                    size_t count);

    // Loading replaces the whole memory of every node; a bad file changes nothing.
    bool LoadImage(const std::string &path, std::string *error);
    bool SaveImage(const std::string &path, std::string *error);

    // Answers one FINS frame without sockets or faults. Returns the answer's
    // length in bytes, or 0 when the frame gets no answer.
    size_t HandleFrame(const uint8_t *request, size_t length, uint8_t *answer, size_t capacity);

  private:
    std::unique_ptr<NodeSet> nodes_;
    std::unique_ptr<Server> server_;
    bool udp_ = true;
    bool tcp_ = true;
    std::string lastError_;
};

} // namespace finsim
