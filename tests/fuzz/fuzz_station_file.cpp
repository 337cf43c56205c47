// Starts an instance through KelMain from arbitrary station file contents.
//
// Beyond crashes, each run aborts when a station entry is left without its
// terminator, when a row that belongs to no station changes, or when a unit
// is opened for a text the table does not hold.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver/call_blocks.h"
#include "tests/fuzz/fuzz_instance.h"
#include "tests/support/fake_gateway.h"

namespace {

constexpr char UNTOUCHED_ROW[] = "row 100 is mine";

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fakeGateway.Reset();
    std::string contents(reinterpret_cast<const char *>(data), size);
    InstanceData *instance = StartFuzzInstance("");
    std::memcpy(instance->stationAddress[100], UNTOUCHED_ROW, sizeof UNTOUCHED_ROW);
    instance->unitHandle[101] = 0xDEAD;
    fakeGateway.Reset();
    instance = StartFuzzInstance(contents.c_str());

    for (int station = 0; station <= STATION_LAST; ++station) {
        Check(std::memchr(instance->stationAddress[station], '\0', STATION_ADDRESS_SIZE) != nullptr);
    }
    Check(std::memcmp(instance->stationAddress[100], UNTOUCHED_ROW, sizeof UNTOUCHED_ROW) == 0);
    Check(instance->unitHandle[101] == 0xDEAD);
    Check(instance->stationAddress[0][0] == '\0');
    for (const GatewayCall &call : fakeGateway.CallsOf(GatewayCall::OPEN_UNIT)) {
        bool held = false;
        for (int station = STATION_FIRST; station <= STATION_LAST; ++station) {
            held = held || call.text == instance->stationAddress[station];
        }
        Check(held && !call.text.empty());
    }
    return 0;
}
