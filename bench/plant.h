// The controllers the benchmarks talk to: finsim's Simulator on a thread of
// the benchmark process, serving CS-series nodes 0.1 to 0.N over FINS/UDP and
// FINS/TCP on loopback, with the words the benchmarks read preset.
#pragma once

#include <memory>

#include "bench/driver_session.h"
#include "sim/simulator.h"

namespace bench {

class Plant {
  public:
    explicit Plant(int nodes = 2);
    Ports GetPorts() const { return ports_; }
    finsim::Simulator &Simulator() { return *simulator_; }

  private:
    std::unique_ptr<finsim::Simulator> simulator_;
    Ports ports_{};
};

// DM words 0 to 2999 of a node hold their own address plus one.
constexpr uint32_t PRESET_WORDS = 3000;

} // namespace bench
