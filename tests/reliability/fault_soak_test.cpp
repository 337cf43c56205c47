// Reads and writes of every kind against finsim while it drops, delays,
// duplicates, spoils and refuses answers, with a restart half way, over UDP
// and TCP. No read reported RC_OK may differ from the controller's memory, no
// write reported RC_OK may be missing from it, no transfer may outlast six
// time-outs and the busy pause, and nothing may be left open or allocated.
//
// KELOMR_SOAK_TRANSFERS sets the number of transfers a link (default 1500).
#include <dirent.h>
#include <gtest/gtest.h>
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host/kelhost.h"
#include "tests/e2e/controller_fixture.h"

namespace e2e {
namespace {

constexpr int32_t TIMEOUT_UNITS = 10; // 100 ms
constexpr double BOUND_MS = 6 * 100 + 1000;
constexpr uint8_t DM = 0x82, TIMER_FLAGS = 0x09;

int OpenDescriptors() {
    int count = 0;
    if (DIR *folder = opendir("/proc/self/fd")) {
        while (readdir(folder) != nullptr) {
            ++count;
        }
        closedir(folder);
    }
    return count;
}

int TransfersPerLink() {
    const char *text = std::getenv("KELOMR_SOAK_TRANSFERS");
    return text != nullptr ? std::atoi(text) : 1500;
}

enum Kind { WORD, BIT, STATUS, FLOAT, BCD, TEXT, BLOCK, KINDS };
const char *const KIND_NAMES[] = {"word", "bit", "TS status", "float", "BCD", "text", "block"};

struct Tally {
    long transfers = 0;
    long results[3] = {0, 0, 0};
    long wrongValues = 0;
    long lostWrites = 0;
    double longestMs = 0;
};

uint32_t BcdOf(uint32_t decimal) {
    uint32_t bcd = 0;
    for (int shift = 0; shift < 32; shift += 4, decimal /= 10) {
        bcd |= (decimal % 10) << shift;
    }
    return bcd;
}

class FaultSoak : public ControllerTest, public ::testing::WithParamInterface<Link> {
  protected:
    // The faults of each stretch of the run, in turn.
    finsim::Faults FaultsFor(int stretch) {
        finsim::Faults faults;
        faults.seed = static_cast<uint32_t>(stretch + 1);
        switch (stretch % 6) {
        case 0:
            faults.dropRate = 0.05;
            break;
        case 1:
            faults.duplicateEvery = 3;
            break;
        case 2:
            faults.staleBeforeAnswer = true;
            break;
        case 3:
            faults.malformedEvery = 4;
            break;
        case 4:
            faults.dropEvery = 5;
            faults.duplicateEvery = 7;
            break;
        default:
            break;
        }
        return faults;
    }

    // One transfer of the kind, checked against the controller's memory.
    void Transfer(Kind kind, bool write, std::mt19937 &random, Tally &tally) {
        const int slot = static_cast<int>(random() % 8);
        uint16_t cells[16] = {};
        uint8_t text[10] = {};
        std::string tagText;
        TagAddress tag{};
        int32_t function = write ? FN_WRITE_TAG : FN_READ_TAG, count = 1;
        void *values = cells;
        char name[32];
        switch (kind) {
        case WORD:
            std::snprintf(name, sizeof name, "01DM%05d", 1000 + slot);
            tag = Tag(name, 1);
            break;
        case BIT:
            std::snprintf(name, sizeof name, "01DM01100%02d", slot);
            tag = Tag(name, TYPE_BIT);
            break;
        case STATUS:
            std::snprintf(name, sizeof name, "01TS%05d", slot);
            tag = Tag(name, 1);
            break;
        case FLOAT:
            std::snprintf(name, sizeof name, "01DM%05dF", 1200 + 2 * slot);
            tag = Tag(name, TYPE_FLOAT);
            break;
        case BCD:
            std::snprintf(name, sizeof name, "01DM%05dB", 1300 + 2 * slot);
            tag = Tag(name, TYPE_LONG);
            break;
        case TEXT:
            std::snprintf(name, sizeof name, "01DM%05dS10", 1400 + 10 * slot);
            tag = Tag(name, TYPE_TEXT);
            values = text;
            break;
        default:
            std::snprintf(name, sizeof name, "01DM%05d", 1500 + 10 * slot);
            count = 10;
            tag = BlockTag(name, 1, count);
            function = write ? FN_WRITE_BLOCK : FN_READ_BLOCK;
        }
        tagText = name;
        uint32_t decimal = static_cast<uint32_t>(random() % 100000000);
        if (write) {
            for (uint16_t &cell : cells) {
                cell = static_cast<uint16_t>(random());
            }
            for (uint8_t &c : text) {
                c = static_cast<uint8_t>('A' + random() % 26);
            }
            if (kind == BIT || kind == STATUS) {
                cells[1] &= 1;
            }
            if (kind == BCD) {
                cells[0] = static_cast<uint16_t>(decimal), cells[1] = static_cast<uint16_t>(decimal >> 16);
            }
        }
        const uint16_t given[2] = {cells[0], cells[1]};
        auto start = std::chrono::steady_clock::now();
        int32_t result = driver.Transfer(function, tagText, tag, count, values);
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        tally.longestMs = std::max(tally.longestMs, ms);
        ++tally.transfers;
        ASSERT_TRUE(result >= 0 && result <= 2) << result;
        ++tally.results[result];
        if (result != RC_OK) {
            return;
        }
        bool agrees = true;
        switch (kind) {
        case WORD:
            agrees = Memory(DM, 1000 + slot, 1)[0] == (write ? given[1] : cells[1]);
            break;
        case BIT:
            agrees = ((Memory(DM, 1100, 1)[0] >> slot) & 1) == (write ? given[1] : cells[1]);
            break;
        case STATUS:
            agrees = Memory(TIMER_FLAGS, slot, 1)[0] == (write ? given[1] : cells[1]);
            break;
        case FLOAT:
            agrees = Memory(DM, 1200 + 2 * slot, 2) == std::vector<uint16_t>{cells[0], cells[1]};
            break;
        case BCD: {
            std::vector<uint16_t> words = Memory(DM, 1300 + 2 * slot, 2);
            uint32_t held = static_cast<uint32_t>(words[0] | words[1] << 16);
            uint32_t host = static_cast<uint32_t>(cells[0] | cells[1] << 16);
            agrees = held == BcdOf(host);
            break;
        }
        case TEXT: {
            std::vector<uint16_t> words = Memory(DM, 1400 + 10 * slot, 5);
            for (int i = 0; i < 10; ++i) {
                agrees = agrees && text[i] == static_cast<uint8_t>(words[i / 2] >> (i % 2 == 0 ? 8 : 0));
            }
            break;
        }
        default:
            agrees = Memory(DM, 1500 + 10 * slot, 10) == std::vector<uint16_t>(cells, cells + 10);
        }
        if (!agrees) {
            (write ? tally.lostWrites : tally.wrongValues)++;
            ADD_FAILURE() << (write ? "write " : "read ") << KIND_NAMES[kind] << " " << tagText
                          << " reported RC_OK but the controller holds otherwise";
        }
    }
};

TEST_P(FaultSoak, EveryReportedValueAndWriteHolds) {
    // Counted with nothing started, compared once the instance is stopped
    // and the simulator gone: whatever the driver and the gateway opened.
    const int descriptorsBefore = OpenDescriptors();
    StartController({finsim::Series::Cs, GetParam()}, TIMEOUT_UNITS);
    KelHostSetLogLevels(0);
    const size_t heapBefore = mallinfo2().uordblks;
    std::mt19937 random(20261211);
    Tally tally;
    const int transfers = TransfersPerLink();
    const int stretch = 150;
    for (int i = 0; i < transfers; ++i) {
        if (i % stretch == 0) {
            simulator->SetFaults(FaultsFor(i / stretch));
        }
        if (i == transfers / 2) {
            StopSimulator();
            StartSimulatorAgain();
            simulator->SetFaults(finsim::Faults{});
        }
        if (i == transfers / 3) { // late answers and a busy controller, briefly
            finsim::Faults faults;
            faults.delayMs = 120;
            simulator->SetFaults(faults);
            ASSERT_NO_FATAL_FAILURE(Transfer(WORD, false, random, tally));
            faults = finsim::Faults{};
            faults.busyCount = 1;
            simulator->SetFaults(faults);
        }
        ASSERT_NO_FATAL_FAILURE(Transfer(static_cast<Kind>(random() % KINDS), random() % 2 == 0, random, tally));
    }
    KelHostSetLogLevels(-1);
    const size_t heapAfter = mallinfo2().uordblks;
    const GwCounters gateway = Gateway();
    EXPECT_EQ(driver.Stop(), RC_OK);
    simulator.reset();
    const int descriptorsAfter = OpenDescriptors();
    std::printf("soak %s: %ld transfers, RC_OK %ld, RC_ITEM_ERROR %ld, RC_LINK_ERROR %ld, wrong values %ld, "
                "lost writes %ld, longest %.0f ms (bound %.0f ms), descriptors %d -> %d, heap %zu -> %zu bytes; "
                "gateway: %llu sent, %llu time-outs, %llu frames discarded\n",
                LinkName(GetParam()), tally.transfers, tally.results[0], tally.results[1], tally.results[2],
                tally.wrongValues, tally.lostWrites, tally.longestMs, BOUND_MS, descriptorsBefore, descriptorsAfter,
                heapBefore, heapAfter, static_cast<unsigned long long>(gateway.sent),
                static_cast<unsigned long long>(gateway.timeouts), static_cast<unsigned long long>(gateway.discarded));
    EXPECT_EQ(tally.wrongValues, 0);
    EXPECT_EQ(tally.lostWrites, 0);
    EXPECT_GT(tally.results[RC_OK], tally.transfers / 2) << "the faults leave most transfers whole";
    EXPECT_GT(tally.results[RC_LINK_ERROR] + tally.results[RC_ITEM_ERROR], 0) << "the faults did happen";
    EXPECT_GT(gateway.timeouts, 0u) << "answers were lost";
    EXPECT_GT(gateway.discarded, 0u) << "stale, duplicated and malformed answers arrived";
    // A loaded machine may add scheduling delay to the bound, not multiples of it.
    EXPECT_LT(tally.longestMs, BOUND_MS + 500);
    EXPECT_EQ(descriptorsAfter, descriptorsBefore);
#if !defined(__SANITIZE_ADDRESS__)
    // The restarted simulator's own buffers are the only growth allowed.
    EXPECT_LT(heapAfter, heapBefore + 256 * 1024);
#endif
}

INSTANTIATE_TEST_SUITE_P(Links, FaultSoak, ::testing::Values(Link::Udp, Link::Tcp), LinkParamName);

} // namespace
} // namespace e2e
