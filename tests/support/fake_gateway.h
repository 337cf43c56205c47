// A scriptable gateway for unit tests: it records every call with its
// arguments and bytes, and answers from a script.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "fins/gateway.h"

struct GatewayCall {
    enum Kind { OPEN_SERVICE, OPEN_UNIT, CLOSE_UNIT, COMPOSE_HEADER, SEND, RECEIVE } kind;
    std::vector<int64_t> arguments; // integer arguments in call order
    std::string text;               // OpenUnit's station text
    std::vector<uint8_t> bytes;     // ComposeHeader's destination, Send's command
};

struct ScriptedResult {
    int32_t result;
    int error;                     // errno when result is negative
    std::vector<uint8_t> response; // bytes a receive puts into the response buffer
};

struct FakeGateway {
    std::vector<GatewayCall> calls;
    // Station texts whose open fails; others get handles 0x100, 0x101, ...
    std::vector<std::string> unopenable;
    uint32_t nextHandle = 0x100;
    std::deque<ScriptedResult> sends;    // empty: success, the length sent
    std::deque<ScriptedResult> receives; // empty: -1 with ETIMEDOUT
    std::deque<int32_t> composes;        // empty: 0

    void Reset() { *this = FakeGateway(); }
    std::vector<GatewayCall> CallsOf(GatewayCall::Kind kind) const;

    // A successful receive of these response bytes (MRC SRC MRES SRES data).
    void Respond(std::vector<uint8_t> response);
    // A response 01 01|02 with the given end code and data.
    void RespondWith(uint16_t endCode, std::vector<uint8_t> data = {}, uint8_t src = 0x01);
    void FailReceive(int32_t result = -1, int error = 110);
    void FailSend(int32_t result = -1, int error = 104);
};

extern FakeGateway fakeGateway;
