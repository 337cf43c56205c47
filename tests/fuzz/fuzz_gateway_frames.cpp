// The gateway's receive path below the sockets: the FINS/TCP message reader
// fed an arbitrary byte stream in arbitrary pieces, and the response match
// on every frame it yields and on the whole input taken as one datagram.
//
// Input: byte 0 gives the number of piece sizes (low 4 bits) that follow it,
// each one byte (the piece is that many bytes plus one, taken in turn); the
// rest is the stream.
//
// Beyond crashes, each run aborts when the messages, the final verdict on the
// stream or the bytes left over differ from reading the same stream whole by
// its envelope rules; when the reader has no room while a message is still
// incomplete; or when a frame taken as the response lacks its end code, its
// response mark, the command's service id and code, or the command's
// destination as its source.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "gateway/fins_frame.h"
#include "gateway/fins_tcp.h"
#include "gateway/response_match.h"
#include "tests/fuzz/fuzz_checks.h"

namespace {

using namespace finsgw;
using Bytes = std::vector<uint8_t>;
using Status = TcpMessageReader::Status;

// A read of DM 100 from 0.250.0 to 0.1.0, service id 7.
constexpr uint8_t SENT[] = {0x80, 0, 2, 0, 1, 0, 0, 250, 0, 7, 0x01, 0x01, 0x82, 0x00, 0x64, 0x00, 0x00, 0x01};

struct Message {
    uint32_t command;
    uint32_t error;
    Bytes data;
    bool operator==(const Message &other) const {
        return command == other.command && error == other.error && data == other.data;
    }
};

struct Reading {
    std::vector<Message> messages;
    Status verdict = Status::NEED_MORE; // on what follows the last message
    size_t leftOver = 0;
    uint32_t refusedLength = 0;
};

uint32_t Word(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
           p[3];
}

// The stream read whole: "FINS", a length that counts from the command on
// (8 to 8 plus the largest frame), command, error code, data.
Reading ReadWhole(const uint8_t *stream, size_t size) {
    Reading reading;
    size_t at = 0;
    for (;;) {
        size_t left = size - at;
        reading.leftOver = left;
        if (left >= 4 && std::memcmp(stream + at, "FINS", 4) != 0) {
            reading.verdict = Status::BAD_MARK;
            return reading;
        }
        if (left < 8) {
            return reading;
        }
        uint32_t length = Word(stream + at + 4);
        if (length < 8 || length > 8 + MAX_FINS_FRAME) {
            reading.verdict = Status::BAD_LENGTH;
            reading.refusedLength = length;
            return reading;
        }
        if (left < 8 + size_t{length}) {
            return reading;
        }
        const uint8_t *data = stream + at + TCP_HEADER_SIZE;
        reading.messages.push_back({Word(stream + at + 8), Word(stream + at + 12), Bytes(data, data + length - 8)});
        at += 8 + size_t{length};
    }
}

// The stream as the transport reads it: each piece into the reader's space,
// then every whole message taken before the next read.
Reading ReadInPieces(const uint8_t *stream, size_t size, const Bytes &pieces) {
    TcpMessageReader reader;
    Reading reading;
    size_t fed = 0;
    for (size_t piece = 0;; ++piece) {
        for (;;) {
            TcpMessage message{};
            reading.verdict = reader.Next(&message);
            if (reading.verdict != Status::MESSAGE) {
                break;
            }
            reading.messages.push_back(
                {message.command, message.error, Bytes(message.data, message.data + message.dataLength)});
        }
        if (reading.verdict != Status::NEED_MORE || fed == size) {
            break;
        }
        uint8_t *space = reader.Space();
        size_t room = reader.SpaceSize();
        FuzzRequire(room > 0, "no room to read the rest of a message into");
        size_t wanted = pieces.empty() ? size : size_t{pieces[piece % pieces.size()]} + 1;
        size_t count = std::min({wanted, room, size - fed});
        std::memcpy(space, stream + fed, count);
        reader.Added(count);
        fed += count;
    }
    reading.leftOver = reading.verdict == Status::NEED_MORE ? reader.Buffered() : size - fed + reader.Buffered();
    reading.refusedLength = reading.verdict == Status::BAD_LENGTH ? reader.RefusedLength() : 0;
    return reading;
}

// The frame in a buffer of exactly its size, so the match cannot read past it.
void MatchFrame(const uint8_t *frame, size_t length) {
    std::unique_ptr<uint8_t[]> received(new uint8_t[length]);
    std::copy(frame, frame + length, received.get());
    if (!IsResponseTo(SENT, received.get(), length)) {
        return;
    }
    FuzzRequire(length >= FINS_HEADER_SIZE + MIN_RESPONSE, "a response without its end code taken");
    FuzzRequire((frame[ICF] & ICF_RESPONSE) != 0, "a command taken as the response");
    FuzzRequire(frame[SID] == SENT[SID], "another service id taken");
    FuzzRequire(frame[MRC] == SENT[MRC] && frame[SRC] == SENT[SRC], "another command's response taken");
    FuzzRequire(std::memcmp(frame + SNA, SENT + DNA, 3) == 0, "a response from another address taken");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) {
        return 0;
    }
    size_t count = std::min<size_t>(data[0] & 15, size - 1);
    Bytes pieces(data + 1, data + 1 + count);
    const uint8_t *stream = data + 1 + count;
    size_t length = size - 1 - count;

    Reading whole = ReadWhole(stream, length);
    Reading pieced = ReadInPieces(stream, length, pieces);
    FuzzRequire(pieced.messages == whole.messages, "messages differ from the stream's");
    FuzzRequire(pieced.verdict == whole.verdict, "the verdict on the stream differs");
    FuzzRequire(pieced.leftOver == whole.leftOver, "bytes left over differ");
    FuzzRequire(pieced.refusedLength == whole.refusedLength, "the refused length differs");

    for (const Message &message : pieced.messages) {
        MatchFrame(message.data.data(), message.data.size());
    }
    MatchFrame(stream, length);
    return 0;
}
