#include "tests/support/fake_gateway.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

FakeGateway fakeGateway;

std::vector<GatewayCall> FakeGateway::CallsOf(GatewayCall::Kind kind) const {
    std::vector<GatewayCall> found;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(found),
                 [kind](const GatewayCall &call) { return call.kind == kind; });
    return found;
}

void FakeGateway::Respond(std::vector<uint8_t> response) {
    receives.push_back({static_cast<int32_t>(response.size()), 0, std::move(response)});
}

void FakeGateway::RespondWith(uint16_t endCode, std::vector<uint8_t> data, uint8_t src) {
    std::vector<uint8_t> response{0x01, src, static_cast<uint8_t>(endCode >> 8), static_cast<uint8_t>(endCode)};
    response.insert(response.end(), data.begin(), data.end());
    Respond(std::move(response));
}

void FakeGateway::FailReceive(int32_t result, int error) { receives.push_back({result, error, {}}); }

void FakeGateway::FailSend(int32_t result, int error) { sends.push_back({result, error, {}}); }

namespace {

int32_t Answer(std::deque<ScriptedResult> &script, int32_t fallback, int fallbackError) {
    if (script.empty()) {
        if (fallback < 0) {
            errno = fallbackError;
        }
        return fallback;
    }
    ScriptedResult next = script.front();
    script.pop_front();
    if (next.result < 0) {
        errno = next.error;
    }
    return next.result;
}

} // namespace

extern "C" int32_t GwOpenService(int32_t mode, int32_t flags) {
    fakeGateway.calls.push_back({GatewayCall::OPEN_SERVICE, {mode, flags}, {}, {}});
    return 0;
}

extern "C" GwUnitHandle GwOpenUnit(const char *stationAddress) {
    std::string text = stationAddress != nullptr ? stationAddress : "";
    fakeGateway.calls.push_back({GatewayCall::OPEN_UNIT, {}, text, {}});
    auto &refused = fakeGateway.unopenable;
    if (std::find(refused.begin(), refused.end(), text) != refused.end()) {
        return 0;
    }
    return fakeGateway.nextHandle++;
}

extern "C" int32_t GwCloseUnit(GwUnitHandle unit) {
    fakeGateway.calls.push_back({GatewayCall::CLOSE_UNIT, {unit}, {}, {}});
    return 0;
}

extern "C" int32_t GwComposeHeader(uint8_t *header, int32_t reserved, const uint8_t *destination, int32_t serviceId) {
    std::vector<uint8_t> bytes(destination, destination + 3);
    fakeGateway.calls.push_back({GatewayCall::COMPOSE_HEADER, {reserved, serviceId}, {}, bytes});
    std::memset(header, 0xA5, 20);
    int32_t result = 0;
    if (!fakeGateway.composes.empty()) {
        result = fakeGateway.composes.front();
        fakeGateway.composes.pop_front();
    }
    return result;
}

extern "C" int32_t GwSend(GwUnitHandle unit, const uint8_t *, const uint8_t *command, int32_t length) {
    std::vector<uint8_t> bytes(command, command + std::max(length, 0));
    fakeGateway.calls.push_back({GatewayCall::SEND, {unit, length}, {}, bytes});
    return Answer(fakeGateway.sends, length, 0);
}

extern "C" int32_t GwReceive(GwUnitHandle unit, uint8_t *, uint8_t *response, int32_t capacity, int32_t timeoutMs) {
    fakeGateway.calls.push_back({GatewayCall::RECEIVE, {unit, capacity, timeoutMs}, {}, {}});
    if (!fakeGateway.receives.empty() && fakeGateway.receives.front().result >= 0) {
        const std::vector<uint8_t> &bytes = fakeGateway.receives.front().response;
        std::copy_n(bytes.begin(), std::min<size_t>(bytes.size(), static_cast<size_t>(capacity)), response);
    }
    return Answer(fakeGateway.receives, -1, ETIMEDOUT);
}
