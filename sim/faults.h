// Decides, request by request, which fault the link shows, and makes the
// frames the faults send.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>

#include "sim/simulator.h"

namespace finsim {

enum class RequestFate { Serve, Drop, Busy };

enum class Malformation { None, Truncated, CommandIcf, WrongSource };

struct AnswerPlan {
    Malformation malformation = Malformation::None;
    bool stale = false;
    bool duplicate = false;
};

class FaultPlan {
  public:
    void Set(const Faults &faults);
    const Faults &Current() const { return faults_; }
    RequestFate OnRequest();
    AnswerPlan OnAnswer();

  private:
    Faults faults_;
    uint64_t requests_ = 0;
    uint64_t answers_ = 0;
    uint64_t malformed_ = 0;
    int busyLeft_ = 0;
    std::mt19937 random_{1};
};

// The answer spoilt in the given way, into out (capacity at least length).
// Truncated keeps the header and half the command code; CommandIcf marks it
// a command; WrongSource names another node as its source.
size_t Malform(Malformation how, const uint8_t *answer, size_t length, uint8_t *out);

// An answer that looks like the one to the previous request: SID one less
// and the data bytes after the end code inverted, so taking it shows.
size_t MakeStale(const uint8_t *answer, size_t length, uint8_t *out);

} // namespace finsim
