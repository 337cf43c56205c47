#include "gateway/gateway_config.h"

#include <cstring>
#include <mutex>

namespace finsgw {

namespace {

struct RoutingState {
    std::mutex lock;
    bool held = false;
    RoutingTable table;
};

RoutingState &State() {
    static RoutingState state;
    return state;
}

// With the state locked.
bool LoadLocked(RoutingState &state) {
    state.held = LoadRoutingFile(&state.table);
    return state.held;
}

} // namespace

bool ReloadRouting() {
    RoutingState &state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return LoadLocked(state);
}

bool CurrentRouting(RoutingTable *table) {
    RoutingState &state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    if (!state.held && !LoadLocked(state)) {
        return false;
    }
    *table = state.table;
    return true;
}

bool LocalAddress(uint8_t local[3]) {
    RoutingState &state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    if (!state.held && !LoadLocked(state)) {
        return false;
    }
    std::memcpy(local, state.table.local, sizeof state.table.local);
    return true;
}

} // namespace finsgw
