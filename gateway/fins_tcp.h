// FINS/TCP messages: "FINS", length (bytes after the length field),
// command, error code, then data; all numbers 4 bytes big-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "gateway/fins_frame.h"

namespace finsgw {

constexpr size_t TCP_HEADER_SIZE = 16;
constexpr size_t TCP_LENGTH_COUNTED_FROM = 8; // the length counts from the command on
// Command and error code (8 bytes) and the largest FINS frame.
constexpr uint32_t MAX_TCP_LENGTH = 8 + MAX_FINS_FRAME;

enum TcpCommand : uint32_t {
    TCP_NODE_REQUEST = 0, // client to server: the node we want, 0 to have one assigned
    TCP_NODE_ANSWER = 1,  // server to client: client node, server node
    TCP_FRAME = 2,
};

constexpr size_t NODE_REQUEST_SIZE = TCP_HEADER_SIZE + 4;

void PutTcpHeader(uint8_t *out, uint32_t command, size_t dataLength);
void PutNodeRequest(uint8_t out[NODE_REQUEST_SIZE]);

// What a server's error code says, or nullptr for codes we do not know.
const char *TcpErrorMeaning(uint32_t code);

struct TcpMessage {
    uint32_t command;
    uint32_t error;
    const uint8_t *data;
    size_t dataLength;
};

// Reassembles messages from a byte stream in a buffer made once: reads may
// split a message or hold several.
class TcpMessageReader {
  public:
    enum class Status { MESSAGE, NEED_MORE, BAD_MARK, BAD_LENGTH };

    // Where the next read may put its bytes, and how many fit.
    uint8_t *Space();
    size_t SpaceSize() const;
    void Added(size_t count);

    // The next whole message, valid until the next call of any method.
    Status Next(TcpMessage *message);
    // The length field refused with BAD_LENGTH: shorter than its own fields or beyond the largest FINS frame.
    uint32_t RefusedLength() const { return refusedLength_; }
    // Bytes read and not yet taken as messages.
    size_t Buffered() const { return end_ - begin_; }
    void Clear();

  private:
    std::array<uint8_t, 2 * (TCP_HEADER_SIZE + MAX_FINS_FRAME)> buffer_{};
    size_t begin_ = 0;
    size_t end_ = 0;
    uint32_t refusedLength_ = 0;
};

} // namespace finsgw
