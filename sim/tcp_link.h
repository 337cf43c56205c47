// FINS/TCP: the message envelope and the client node handshake.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace finsim {

constexpr size_t kTcpHeaderBytes = 16; // "FINS", length, command, error code
constexpr size_t kTcpLengthCovers = 8; // the length counts command and error code too
// Frames a little longer than a UDP frame still get "command too long";
// anything beyond this is not a FINS message and ends the connection.
constexpr size_t kTcpMaxData = 4096;
constexpr size_t kTcpMaxMessage = kTcpHeaderBytes + kTcpMaxData;

enum TcpCommand : uint32_t {
    TCP_NODE_REQUEST = 0,
    TCP_NODE_ANSWER = 1,
    TCP_FRAME = 2,
    TCP_FRAME_ERROR = 3,
};

enum TcpError : uint32_t {
    TCP_OK = 0,
    TCP_NOT_FINS = 0x01,
    TCP_TOO_LONG = 0x02,
    TCP_UNSUPPORTED = 0x03,
    TCP_ALL_IN_USE = 0x20,
    TCP_NODE_CONNECTED = 0x21,
    TCP_NODE_RANGE = 0x23,
    TCP_SAME_NODE = 0x24,
    TCP_NO_NODE_LEFT = 0x25,
};

struct TcpMessage {
    uint32_t command;
    uint32_t error;
    const uint8_t *data;
    size_t length;
};

enum class TcpParse { NeedMore, Message, NotFins, TooLong };

// Takes one message from the front of the bytes received so far.
TcpParse ParseTcpMessage(const uint8_t *bytes, size_t available, TcpMessage *message, size_t *consumed);

// Writes the 16-byte envelope of a message with dataLength bytes of data.
void PutTcpHeader(uint8_t *out, uint32_t command, uint32_t error, size_t dataLength);

// The client nodes of the connected clients: 1 to 254, never the server's.
class NodeRegistry {
  public:
    explicit NodeRegistry(uint8_t serverNode = 1) : serverNode_(serverNode) {}
    void SetServerNode(uint8_t node) { serverNode_ = node; }
    uint8_t ServerNode() const { return serverNode_; }
    // Requested 0: the lowest free node. Returns TCP_OK and *node, or the error.
    uint32_t Claim(uint32_t requested, uint32_t *node);
    void Release(uint32_t node);

  private:
    uint8_t serverNode_;
    std::array<bool, 256> taken_{};
};

} // namespace finsim
