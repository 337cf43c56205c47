#include "sim/faults.h"

#include <cstring>

#include "sim/frame.h"

namespace finsim {
namespace {

bool Every(int n, uint64_t count) {
    return n > 0 && count % static_cast<uint64_t>(n) == 0;
}

} // namespace

void FaultPlan::Set(const Faults &faults) {
    faults_ = faults;
    requests_ = 0;
    answers_ = 0;
    malformed_ = 0;
    busyLeft_ = faults.busyCount > 0 ? faults.busyCount : 0;
    random_.seed(faults.seed);
}

RequestFate FaultPlan::OnRequest() {
    ++requests_;
    if (Every(faults_.dropEvery, requests_)) {
        return RequestFate::Drop;
    }
    if (faults_.dropRate > 0 && std::generate_canonical<double, 32>(random_) < faults_.dropRate) {
        return RequestFate::Drop;
    }
    if (busyLeft_ > 0) {
        --busyLeft_;
        return RequestFate::Busy;
    }
    return RequestFate::Serve;
}

AnswerPlan FaultPlan::OnAnswer() {
    ++answers_;
    AnswerPlan plan;
    if (Every(faults_.malformedEvery, answers_)) {
        constexpr Malformation kinds[] = {Malformation::Truncated, Malformation::CommandIcf, Malformation::WrongSource};
        plan.malformation = kinds[malformed_++ % 3];
        return plan;
    }
    plan.stale = faults_.staleBeforeAnswer;
    plan.duplicate = Every(faults_.duplicateEvery, answers_);
    return plan;
}

size_t Malform(Malformation how, const uint8_t *answer, size_t length, uint8_t *out) {
    std::memcpy(out, answer, length);
    switch (how) {
    case Malformation::Truncated:
        return length < kCommandOffset + 1 ? length : kCommandOffset + 1;
    case Malformation::CommandIcf:
        out[ICF] = static_cast<uint8_t>(out[ICF] & ~kIcfResponse);
        return length;
    case Malformation::WrongSource:
        out[SA1] = static_cast<uint8_t>(out[SA1] + 1);
        return length;
    case Malformation::None:
        break;
    }
    return length;
}

size_t MakeStale(const uint8_t *answer, size_t length, uint8_t *out) {
    std::memcpy(out, answer, length);
    out[SID] = static_cast<uint8_t>(out[SID] - 1);
    for (size_t i = kAnswerDataOffset; i < length; ++i) {
        out[i] = static_cast<uint8_t>(~out[i]);
    }
    return length;
}

} // namespace finsim
