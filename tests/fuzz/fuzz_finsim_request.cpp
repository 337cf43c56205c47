// finsim's request handling on arbitrary input, without sockets: FINS frames
// as a datagram brings them, and FINS/TCP byte streams taken apart message by
// message as a connection does, for two nodes, one of each series.
//
// Input: byte 0 picks a byte stream (bit 0) or a single frame, and for a frame
// the answer buffer's size (bits 1-3); the rest is the frame or the stream.
//
// Beyond crashes, each run aborts when an answer overruns its buffer or a
// FINS frame, is not an answer to the request (addresses swapped, service id
// and command code echoed), answers a frame that wants none, or carries data
// beside an error end code; when a completed read returns another amount of
// data than it asked for; when a completed write or fill does not read back
// as written; or when a stream message claims bytes that are not in it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "sim/frame.h"
#include "sim/simulator.h"
#include "sim/tcp_link.h"
#include "tests/fuzz/fuzz_checks.h"

namespace {

using namespace finsim;

constexpr size_t CAPACITIES[] = {0, 5, 13, 14, 20, 100, kMaxFrame, 4096};
constexpr uint16_t END_NORMAL = 0x0000;
constexpr uint16_t END_RESPONSE_TOO_LONG = 0x110B;

Simulator *simulator = nullptr;

using Bytes = std::vector<uint8_t>;

// The frame in a buffer of exactly its size, the answer in one of exactly the
// capacity, so the sanitizers see any access beside either.
Bytes Handle(const uint8_t *frame, size_t length, size_t capacity) {
    std::unique_ptr<uint8_t[]> request(new uint8_t[length]);
    std::memcpy(request.get(), frame, length);
    std::unique_ptr<uint8_t[]> answer(new uint8_t[capacity]);
    size_t written = simulator->HandleFrame(request.get(), length, answer.get(), capacity);
    FuzzRequire(written <= capacity && written <= kMaxFrame, "an answer longer than its buffer or a frame");
    return Bytes(answer.get(), answer.get() + written);
}

uint16_t EndCode(const Bytes &answer) {
    return GetU16(answer.data() + kCommandOffset + 2);
}

void RequireAnswerTo(const uint8_t *frame, size_t length, const Bytes &answer) {
    FuzzRequire(length >= kParamsOffset && answer.size() >= kAnswerDataOffset, "an answer without its end code");
    FuzzRequire((frame[ICF] & kIcfResponse) == 0 && (frame[ICF] & kIcfNoResponse) == 0,
                "an answer to a response or to a command that wants none");
    FuzzRequire((answer[ICF] & kIcfResponse) != 0 && answer[SID] == frame[SID], "answer marks or service id");
    FuzzRequire(std::memcmp(&answer[DNA], frame + SNA, 3) == 0 && std::memcmp(&answer[SNA], frame + DNA, 3) == 0,
                "answer addresses");
    FuzzRequire(answer[kCommandOffset] == frame[kCommandOffset] &&
                    answer[kCommandOffset + 1] == frame[kCommandOffset + 1],
                "answer command code");
    FuzzRequire(EndCode(answer) == END_NORMAL || answer.size() == kAnswerDataOffset, "data beside an error end code");
}

// A read of the range the frame names, from the same requester.
Bytes ReadBack(const uint8_t *frame, uint16_t count) {
    uint8_t read[kParamsOffset + 6];
    std::memcpy(read, frame, kParamsOffset + 4);
    read[kCommandOffset] = 0x01;
    read[kCommandOffset + 1] = 0x01;
    PutU16(read + kParamsOffset + 4, count);
    return Handle(read, sizeof read, kMaxFrame);
}

// What a completed read returned, and what a completed write or fill left.
void RequireMemoryAgrees(const uint8_t *frame, size_t length, const Bytes &answer) {
    if (EndCode(answer) != END_NORMAL || frame[kCommandOffset] != 0x01 || length < kParamsOffset + 6) {
        return;
    }
    const uint8_t *params = frame + kParamsOffset;
    uint16_t count = GetU16(params + 4);
    size_t data = answer.size() - kAnswerDataOffset;
    uint8_t src = frame[kCommandOffset + 1];
    if (src == 0x01) {
        FuzzRequire(data == count || data == 2u * count, "a read returned another amount of data");
        return;
    }
    if (src != 0x02 && src != 0x03) {
        return;
    }
    Bytes back = ReadBack(frame, count);
    if (EndCode(back) == END_RESPONSE_TOO_LONG) {
        return; // written in one frame, too much to read in one
    }
    FuzzRequire(EndCode(back) == END_NORMAL, "a range written cannot be read back");
    const uint8_t *got = back.data() + kAnswerDataOffset;
    if (src == 0x02) {
        size_t written = length - kParamsOffset - 6;
        FuzzRequire(back.size() - kAnswerDataOffset == written && std::memcmp(got, params + 6, written) == 0,
                    "a write does not read back as written");
        return;
    }
    FuzzRequire(back.size() - kAnswerDataOffset == 2u * count, "a fill reads back in words");
    for (uint16_t i = 0; i < count; ++i) {
        FuzzRequire(GetU16(got + 2 * i) == GetU16(params + 6), "a fill does not read back as filled");
    }
}

void Serve(const uint8_t *frame, size_t length, size_t capacity) {
    Bytes answer = Handle(frame, length, capacity);
    if (!answer.empty()) {
        RequireAnswerTo(frame, length, answer);
        RequireMemoryAgrees(frame, length, answer);
    }
}

// Messages are taken from the front as a connection takes them; a frame
// message goes to the nodes like a datagram.
void ServeStream(const uint8_t *bytes, size_t size) {
    size_t at = 0;
    for (;;) {
        TcpMessage message{};
        size_t consumed = 0;
        if (ParseTcpMessage(bytes + at, size - at, &message, &consumed) != TcpParse::Message) {
            return;
        }
        FuzzRequire(consumed >= kTcpHeaderBytes && consumed <= size - at, "a message beyond the bytes received");
        FuzzRequire(message.data == bytes + at + kTcpHeaderBytes && message.length == consumed - kTcpHeaderBytes &&
                        message.length <= kTcpMaxData,
                    "message data outside the message");
        TcpMessage partial{};
        size_t ignored = 0;
        FuzzRequire(ParseTcpMessage(bytes + at, consumed - 1, &partial, &ignored) == TcpParse::NeedMore,
                    "a message cut short is not waited for");
        if (message.command == TCP_FRAME) {
            Serve(message.data, message.length, kMaxFrame);
        }
        at += consumed;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    simulator = new Simulator({{0, 1, Series::Cs}, {0, 2, Series::Classic}});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) {
        return 0;
    }
    if ((data[0] & 1) != 0) {
        ServeStream(data + 1, size - 1);
    } else {
        Serve(data + 1, size - 1, CAPACITIES[(data[0] >> 1) & 7]);
    }
    return 0;
}
