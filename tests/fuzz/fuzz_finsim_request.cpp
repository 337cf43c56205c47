// finsim's request handling on arbitrary frames, without sockets: two nodes,
// one of each series.
//
// Beyond crashes, each run aborts when an answer claims more bytes than its
// buffer or than a FINS frame holds, or does not answer the request's
// service id.
#include <cstdint>
#include <cstdlib>

#include "sim/simulator.h"

namespace {

constexpr size_t MAX_FRAME = 2012;

finsim::Simulator *simulator = nullptr;

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    simulator = new finsim::Simulator({{0, 1, finsim::Series::Cs}, {0, 2, finsim::Series::Classic}});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static uint8_t answer[MAX_FRAME + 64];
    size_t length = simulator->HandleFrame(data, size, answer, MAX_FRAME);
    Check(length <= MAX_FRAME);
    if (length > 0) {
        Check(length >= 10 && size >= 10);
        Check(answer[9] == data[9]);
    }
    return 0;
}
