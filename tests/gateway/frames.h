// FINS frames and FINS/TCP messages as the tests' peers send them.
#pragma once

#include <cstdint>
#include <string>

#include "tests/gateway/peers.h"

// The response to a command frame: addresses swapped, same SID and command
// code, the end code and data after it.
Bytes ResponseTo(const Bytes &command, uint16_t endCode = 0, const Bytes &data = {});

Bytes TcpMessage(uint32_t command, uint32_t error, const Bytes &data);
Bytes TcpFrame(const Bytes &frame);
Bytes NodeAnswer(uint32_t client, uint32_t server);

// The first length bytes of frame.
Bytes Prefix(const Bytes &frame, size_t length);
Bytes Concat(const Bytes &first, const Bytes &second);
std::string Hex(const Bytes &bytes);
