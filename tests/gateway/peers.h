// Small FINS peers on 127.0.0.1 for the gateway tests: each runs on its own
// thread, records what it received and answers from a script.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A free port on 127.0.0.1 of the given socket type, found by binding port 0.
uint16_t FreePort(int type);

// Answers each datagram with the datagrams the handler returns (in order).
class UdpPeer {
  public:
    using Handler = std::function<std::vector<Bytes>(const Bytes &request, size_t index)>;
    explicit UdpPeer(Handler handler);
    ~UdpPeer();
    uint16_t Port() const { return port_; }
    std::vector<Bytes> Requests();
    uint16_t LastSourcePort();

  private:
    void Run();
    Handler handler_;
    int fd_ = -1;
    uint16_t port_ = 0;
    uint16_t lastSourcePort_ = 0;
    std::mutex lock_;
    std::vector<Bytes> requests_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A FINS/TCP server taking one connection at a time. Every answer is a list
// of chunks, each written by its own send with a pause between, so the client
// sees them in separate reads.
struct TcpScript {
    // Chunks to write after the node address request; empty: stay silent.
    std::function<std::vector<Bytes>(const Bytes &request, size_t connection)> onNodeRequest;
    // Chunks to write for each FINS frame (the message data) received.
    std::function<std::vector<Bytes>(const Bytes &frame, size_t index)> onFrame;
    // Close the connection after answering a frame.
    std::function<bool(size_t index)> closeAfter = [](size_t) { return false; };
};

class TcpPeer {
  public:
    explicit TcpPeer(TcpScript script);
    ~TcpPeer();
    uint16_t Port() const { return port_; }
    size_t Connections() const { return connections_; }
    // Waits (up to five seconds) until the peer has closed count connections,
    // so a test's next send never races a close that is on its way.
    bool WaitClosed(size_t count) const;
    std::vector<Bytes> NodeRequests();
    std::vector<Bytes> Frames();

  private:
    void Run();
    void Serve(int connection);
    bool WriteChunks(int connection, const std::vector<Bytes> &chunks);
    TcpScript script_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<size_t> connections_{0};
    std::atomic<size_t> closed_{0};
    std::mutex lock_;
    std::vector<Bytes> nodeRequests_;
    std::vector<Bytes> frames_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
