#include "tests/gateway/frames.h"

#include <cstdio>

namespace {

void PutWord(Bytes &out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

} // namespace

Bytes ResponseTo(const Bytes &command, uint16_t endCode, const Bytes &data) {
    Bytes response{0xC0,
                   0x00,
                   0x02,
                   command[6],
                   command[7],
                   command[8],
                   command[3],
                   command[4],
                   command[5],
                   command[9],
                   command[10],
                   command[11],
                   static_cast<uint8_t>(endCode >> 8),
                   static_cast<uint8_t>(endCode)};
    response.insert(response.end(), data.begin(), data.end());
    return response;
}

Bytes TcpMessage(uint32_t command, uint32_t error, const Bytes &data) {
    Bytes message{'F', 'I', 'N', 'S'};
    PutWord(message, static_cast<uint32_t>(8 + data.size()));
    PutWord(message, command);
    PutWord(message, error);
    message.insert(message.end(), data.begin(), data.end());
    return message;
}

Bytes TcpFrame(const Bytes &frame) {
    return TcpMessage(2, 0, frame);
}

Bytes NodeAnswer(uint32_t client, uint32_t server) {
    Bytes data;
    PutWord(data, client);
    PutWord(data, server);
    return TcpMessage(1, 0, data);
}

Bytes Prefix(const Bytes &frame, size_t length) {
    return Bytes(frame.begin(), frame.begin() + static_cast<long>(length));
}

Bytes Concat(const Bytes &first, const Bytes &second) {
    Bytes joined = first;
    joined.insert(joined.end(), second.begin(), second.end());
    return joined;
}

std::string Hex(const Bytes &bytes) {
    std::string text;
    char digits[4];
    for (uint8_t byte : bytes) {
        snprintf(digits, sizeof digits, text.empty() ? "%02X" : " %02X", byte);
        text += digits;
    }
    return text;
}
