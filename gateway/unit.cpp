#include "gateway/unit.h"

#include <cerrno>
#include <cstring>

#include "gateway/error_text.h"
#include "gateway/fins_address.h"
#include "gateway/gateway_config.h"
#include "gateway/response_match.h"
#include "gateway/socket.h"

namespace finsgw {

namespace {

const char *KindName(TransportKind kind) {
    return kind == TransportKind::TCP ? "tcp" : "udp";
}

std::unique_ptr<Transport> MakeTransport(const Route &route, const RoutingTable &table, Unit &unit) {
    TransportSetup setup{};
    if (!ResolvePeer(route.host, route.port, unit.label, &setup.peer)) {
        return nullptr;
    }
    setup.bindPort = table.bindPort;
    setup.label = unit.label;
    setup.counters = &unit.counters;
    return route.kind == TransportKind::TCP ? MakeTcpTransport(setup) : MakeUdpTransport(setup);
}

} // namespace

std::shared_ptr<Unit> OpenUnit(const char *stationText) {
    uint8_t station[3];
    if (!ParseDottedBytes(stationText, station, 3)) {
        char shown[24];
        snprintf(shown, sizeof shown, "%s", stationText);
        Fail(EINVAL, "bad station address '%s' (want NET.NODE.UNIT, numbers 0 to 255)", shown);
        return nullptr;
    }
    RoutingTable table;
    if (!CurrentRouting(&table)) {
        return nullptr;
    }
    const Route *route = FindRoute(table, station[0], station[1]);
    if (route == nullptr) {
        Fail(EHOSTUNREACH, "no route to FINS node %u.%u in %s", station[0], station[1], table.fileName.c_str());
        return nullptr;
    }
    auto unit = std::make_shared<Unit>();
    unit->name = std::string("unit ") + stationText;
    unit->label =
        unit->name + " (" + route->host + ":" + std::to_string(route->port) + " " + KindName(route->kind) + ")";
    unit->transport = MakeTransport(*route, table, *unit);
    return unit->transport != nullptr ? unit : nullptr;
}

int32_t SendCommand(Unit &unit, const uint8_t *header, const uint8_t *command, int32_t length) {
    std::lock_guard<std::mutex> guard(unit.lock);
    size_t frameLength = FINS_HEADER_SIZE + static_cast<size_t>(length);
    std::memcpy(unit.sent.data(), header, FINS_HEADER_SIZE);
    std::memcpy(unit.sent.data() + FINS_HEADER_SIZE, command, static_cast<size_t>(length));
    // Whatever was awaited before is superseded, sent or not.
    unit.awaiting = false;
    if (unit.transport->Send(unit.sent.data(), frameLength) != 0) {
        return -1;
    }
    unit.awaiting = true;
    return length;
}

namespace {

// The matching answer: handed over if it fits, else refused whole.
int32_t TakeAnswer(Unit &unit, size_t frameLength, uint8_t *header, uint8_t *response, int32_t capacity) {
    unit.awaiting = false;
    size_t responseLength = frameLength - FINS_HEADER_SIZE;
    if (responseLength > static_cast<size_t>(capacity)) {
        unit.counters.discarded++;
        return Fail(EMSGSIZE, "%s: answer of %zu bytes does not fit the buffer of %d bytes", unit.name.c_str(),
                    responseLength, capacity);
    }
    std::memcpy(header, unit.received.data(), FINS_HEADER_SIZE);
    std::memcpy(response, unit.received.data() + FINS_HEADER_SIZE, responseLength);
    unit.counters.received++;
    return static_cast<int32_t>(responseLength);
}

int32_t TimedOut(Unit &unit, int32_t timeoutMs) {
    unit.counters.timeouts++;
    return Fail(ETIMEDOUT, "%s: no answer within %d ms", unit.name.c_str(), timeoutMs);
}

} // namespace

int32_t ReceiveResponse(Unit &unit, uint8_t *header, uint8_t *response, int32_t capacity, int32_t timeoutMs) {
    std::lock_guard<std::mutex> guard(unit.lock);
    if (!unit.awaiting) {
        return Fail(EINVAL, "%s: no command awaits an answer", unit.name.c_str());
    }
    Deadline deadline = Deadline::After(timeoutMs);
    for (;;) {
        Received got = unit.transport->Receive(unit.received.data(), unit.received.size(), deadline);
        if (got.arrival == Arrival::FRAME) {
            if (IsResponseTo(unit.sent.data(), unit.received.data(), got.length)) {
                return TakeAnswer(unit, got.length, header, response, capacity);
            }
            unit.counters.discarded++;
        } else if (got.arrival == Arrival::TIMED_OUT) {
            return TimedOut(unit, timeoutMs);
        } else if (got.arrival == Arrival::FAILED) {
            if (errno == ETIMEDOUT) {
                unit.counters.timeouts++;
            }
            return -1;
        }
        // A steady stream of strays must not keep the caller past its time.
        if (deadline.Passed()) {
            return TimedOut(unit, timeoutMs);
        }
    }
}

} // namespace finsgw
