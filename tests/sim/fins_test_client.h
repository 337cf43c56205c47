// Raw FINS clients for the simulator tests: frames built by hand, sent over
// real loopback sockets, answers read with a bounded wait.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fins_test {

using Bytes = std::vector<uint8_t>;

struct Address {
    uint8_t network = 0;
    uint8_t node = 1;
    uint8_t unit = 0;
};

// A command frame: header (ICF 0x80, GCT 2, source 0.100.0 unless given),
// MRC SRC, then the parameter bytes.
Bytes Command(uint8_t mrc, uint8_t src, const Bytes &params, Address to = {}, uint8_t sid = 0x11,
              uint8_t sourceNode = 100);
// The six bytes area, address, bit, count of a memory area command.
Bytes AreaParams(uint8_t area, uint16_t address, uint8_t bit, uint16_t count);
Bytes Words(const std::vector<uint16_t> &words);
Bytes Concat(Bytes a, const Bytes &b);

uint16_t EndCode(const Bytes &answer); // 0xFFFF if too short
Bytes AnswerData(const Bytes &answer); // the bytes after the end code
std::vector<uint16_t> AnswerWords(const Bytes &answer);

class UdpClient {
  public:
    explicit UdpClient(uint16_t serverPort);
    ~UdpClient();
    UdpClient(const UdpClient &) = delete;
    UdpClient &operator=(const UdpClient &) = delete;
    void Send(const Bytes &frame);
    // The next datagram, or empty after waitMs without one.
    Bytes Receive(int waitMs = 2000);
    Bytes Exchange(const Bytes &frame) {
        Send(frame);
        return Receive();
    }

  private:
    int fd_;
};

struct TcpMessage {
    uint32_t command = 0;
    uint32_t error = 0;
    Bytes data;
    bool ok = false; // false: closed or timed out before a whole message
};

class TcpClient {
  public:
    explicit TcpClient(uint16_t serverPort);
    ~TcpClient();
    TcpClient(const TcpClient &) = delete;
    TcpClient &operator=(const TcpClient &) = delete;
    bool Connected() const { return fd_ >= 0; }
    void SendRaw(const Bytes &bytes);
    // A whole FINS/TCP message; data after the 16-byte envelope.
    static Bytes Envelope(uint32_t command, uint32_t error, const Bytes &data);
    void SendMessage(uint32_t command, const Bytes &data) { SendRaw(Envelope(command, 0, data)); }
    TcpMessage Receive(int waitMs = 2000);
    // Asks for a client node; returns the answer message.
    TcpMessage Handshake(uint32_t clientNode = 0);
    Bytes Exchange(const Bytes &frame);
    // True when the server closed the connection within waitMs.
    bool ClosedByServer(int waitMs = 2000);

  private:
    bool Fill(size_t bytes, int waitMs);
    int fd_;
    Bytes buffer_;
};

} // namespace fins_test
