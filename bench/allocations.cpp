// bench_allocations: heap allocations on the host's thread while the driver
// (libkelomr.so with libfinsgw.so and the host runtime) checks tags, reads
// and writes items of every kind over FINS/UDP and FINS/TCP, counted from
// right after FN_START; each write is read back and compared.
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "bench/allocation_counter.h"
#include "bench/bench_util.h"
#include "bench/driver_session.h"
#include "bench/plant.h"

namespace bench {

namespace {

constexpr int DEFAULT_CALLS = 200;

struct Kind {
    const char *name;
    const char *address; // after the two station digits
    int32_t valueType;
    int32_t blockCount; // 0: a single item
};

constexpr Kind KINDS[] = {
    {"word", "DM00100", TYPE_WORD, 0},
    {"bit (write: read-modify-write)", "DM0010205", TYPE_BIT, 0},
    {"timer status", "TS00007", TYPE_WORD, 0},
    {"float", "DM00200F", TYPE_FLOAT, 0},
    {"BCD", "DM00300B", TYPE_LONG, 0},
    {"text of 10", "DM00400S10", TYPE_TEXT, 0},
    {"block of 500 words", "DM01000", TYPE_WORD, 500},
};

// The value a write puts in, for call i.
void FillValues(const Kind &kind, const TagAddress &tag, int i, uint8_t *values) {
    std::memset(values, 0, 1024);
    if ((tag.areaFlags & FMT_TEXT) != 0) {
        std::snprintf(reinterpret_cast<char *>(values), 16, "text%06d", i % 1000000);
    } else if (tag.width == 32) {
        uint32_t value = tag.areaFlags & FMT_BCD32 ? static_cast<uint32_t>(i * 7 % 99999999)
                                                   : 0x41200000u + static_cast<uint32_t>(i);
        std::memcpy(values, &value, 4);
    } else if (kind.blockCount > 0) {
        for (int w = 0; w < kind.blockCount; ++w) {
            uint16_t word = static_cast<uint16_t>(i + w);
            std::memcpy(values + 2 * w, &word, 2);
        }
    } else {
        uint16_t word = static_cast<uint16_t>(tag.bit != NO_BIT || (tag.areaFlags & 0xFF) == 7 ? i % 2 : i);
        std::memcpy(values + 2, &word, 2);
    }
}

size_t ValueBytes(const Kind &kind, const TagAddress &tag) {
    if (kind.blockCount > 0) {
        return 2 * static_cast<size_t>(kind.blockCount);
    }
    return (tag.areaFlags & FMT_TEXT) != 0 ? 10 : 4;
}

class Allocations {
  public:
    explicit Allocations(const Options &options) : options_(options) {}
    void Run();

  private:
    uint64_t Exercise(int station, const Kind &kind, int calls);

    Options options_;
    ScratchFolder folder_;
    Plant plant_{2};
    DriverSession session_{LOG_DRIVER | LOG_DETAIL};
};

void Allocations::Run() {
    // Through a pointer the compiler cannot see through, so it cannot leave
    // the allocation out.
    void *(*volatile allocate)(size_t) = ::operator new;
    StartCountingAllocations();
    ::operator delete(allocate(16));
    if (StopCountingAllocations() != 1) {
        Die("the allocation counter does not see operator new");
    }
    session_.Start(folder_, {{1, 1, false}, {2, 2, true}}, plant_.GetPorts());
    int calls = ExchangesOr(options_, DEFAULT_CALLS);
    Table table({"item kind (tag checks included)", "UDP calls", "UDP allocations", "TCP calls", "TCP allocations"});
    uint64_t total = 0;
    for (const Kind &kind : KINDS) {
        uint64_t udp = Exercise(1, kind, calls);
        uint64_t tcp = Exercise(2, kind, calls);
        total += udp + tcp;
        std::string each = std::to_string(calls) + " + " + std::to_string(calls);
        table.Add({kind.name, each, std::to_string(udp), each, std::to_string(tcp)});
    }
    char title[200];
    std::snprintf(title, sizeof title,
                  "Heap allocations on the host's thread after FN_START, reads + writes (counted by %s; log sink "
                  "takes every level)",
                  AllocationCountingMethod());
    table.Print(title);
    std::printf("  total: %llu allocations in %zu driver calls (the first TCP call connects); counter check: one "
                "operator new counted as 1\n",
                static_cast<unsigned long long>(total), 2 * 2 * static_cast<size_t>(calls) * std::size(KINDS));
    std::printf("  log texts the sink received: %llu trace, %llu driver\n",
                static_cast<unsigned long long>(session_.Log().detail),
                static_cast<unsigned long long>(session_.Log().driver));
}

// Checks the tag, then writes and reads it calls times each, comparing what
// comes back; returns the allocations seen.
uint64_t Allocations::Exercise(int station, const Kind &kind, int calls) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d%s", station, kind.address);
    StartCountingAllocations();
    TagAddress tag =
        kind.blockCount > 0 ? session_.BlockTag(text, kind.blockCount) : session_.Tag(text, kind.valueType);
    int32_t count = kind.blockCount > 0 ? kind.blockCount : 1;
    int32_t readCode = kind.blockCount > 0 ? FN_READ_BLOCK : FN_READ_TAG;
    int32_t writeCode = kind.blockCount > 0 ? FN_WRITE_BLOCK : FN_WRITE_TAG;
    size_t bytes = ValueBytes(kind, tag);
    uint8_t written[1024];
    uint8_t read[1024];
    for (int i = 0; i < calls; ++i) {
        FillValues(kind, tag, i, written);
        IoRequest write = RequestFor(text, tag, count, written);
        session_.Must(writeCode, &write, "write");
        std::memset(read, 0, sizeof read);
        IoRequest readBack = RequestFor(text, tag, count, read);
        session_.Must(readCode, &readBack, "read");
        if (std::memcmp(read, written, bytes) != 0) {
            StopCountingAllocations();
            Die(std::string("the value read back from ") + text + " differs from the one written");
        }
    }
    return StopCountingAllocations();
}

} // namespace

} // namespace bench

int main(int argc, char **argv) {
    return bench::BenchmarkMain(argc, argv, "Heap allocations per driver call, reads and writes of every kind.",
                                [](const bench::Options &options, const char *) {
                                    bench::Allocations(options).Run();
                                    return 0;
                                });
}
