// bench_roundtrip: sequential reads through KelMain against one simulator,
// beside the bare client sending the same frames over the same kind of
// socket, and beside the npm client omron-fins; exchanges per second, median
// of interleaved rounds.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/bare_client.h"
#include "bench/bench_util.h"
#include "bench/driver_session.h"
#include "bench/exchange_rate.h"
#include "bench/peer.h"
#include "bench/plant.h"

namespace bench {

namespace {

constexpr int DEFAULT_EXCHANGES = 3000;
constexpr int WARM_UP = 50;
constexpr int SLICES = 10;
constexpr uint8_t AREA_DM_CS = 0x82;
constexpr double RATIO_GOAL = 0.90;
constexpr double PEER_GOAL = 3.0;

struct Row {
    const char *name;
    bool tcp;
    int32_t function;
    const char *tagText;
    uint16_t address;
    uint16_t count;
};

constexpr Row ROWS[] = {
    {"UDP FN_READ_TAG 1 word", false, FN_READ_TAG, "01DM00100", 100, 1},
    {"UDP FN_READ_BLOCK 10", false, FN_READ_BLOCK, "01DM01000", 1000, 10},
    {"UDP FN_READ_BLOCK 100", false, FN_READ_BLOCK, "01DM01000", 1000, 100},
    {"UDP FN_READ_BLOCK 500", false, FN_READ_BLOCK, "01DM01000", 1000, 500},
    {"TCP FN_READ_TAG 1 word", true, FN_READ_TAG, "02DM00100", 100, 1},
    {"TCP FN_READ_BLOCK 10", true, FN_READ_BLOCK, "02DM01000", 1000, 10},
    {"TCP FN_READ_BLOCK 100", true, FN_READ_BLOCK, "02DM01000", 1000, 100},
    {"TCP FN_READ_BLOCK 500", true, FN_READ_BLOCK, "02DM01000", 1000, 500},
};
constexpr size_t ROW_COUNT = sizeof ROWS / sizeof ROWS[0];

// One row's driver request and the bare client's frame of the same read.
struct Prepared {
    IoRequest request;
    uint16_t values[502];
    uint8_t frame[MAX_FRAME];
    size_t frameLength;
    BareClient *bare;
    std::vector<double> driverRates, bareRates;
};

class Roundtrip {
  public:
    explicit Roundtrip(const Options &options) : options_(options) {}
    void Run();

  private:
    void Prepare(const Row &row, Prepared *prepared);
    void RunRound(Prepared &prepared, int exchanges);
    double DriverRate(Prepared &prepared, int exchanges);
    double BareRate(Prepared &prepared, int exchanges);
    void PrintRows();
    void RunPeer();

    Options options_;
    ScratchFolder folder_;
    Plant plant_{2};
    DriverSession session_{LOG_DRIVER};
    std::unique_ptr<BareClient> bareUdp_, bareTcp_;
    Prepared prepared_[ROW_COUNT];
};

void Roundtrip::Run() {
    session_.Start(folder_, {{1, 1, false}, {2, 2, true}}, plant_.GetPorts());
    std::string error;
    bareUdp_ = MakeBareUdp(plant_.GetPorts().udp, &error);
    bareTcp_ = bareUdp_ ? MakeBareTcp(plant_.GetPorts().tcp, &error) : nullptr;
    if (!bareTcp_) {
        Die(error);
    }
    for (size_t i = 0; i < ROW_COUNT; ++i) {
        Prepare(ROWS[i], &prepared_[i]);
    }
    int exchanges = ExchangesOr(options_, DEFAULT_EXCHANGES);
    for (int round = 0; round < options_.rounds; ++round) {
        for (Prepared &prepared : prepared_) {
            RunRound(prepared, exchanges);
        }
    }
    PrintRows();
    RunPeer();
}

// A round's exchanges go in slices, driver and bare client taking turns and
// turns about who goes first, so that a change of the machine's pace within
// the round falls on both sides alike.
void Roundtrip::RunRound(Prepared &prepared, int exchanges) {
    int slice = exchanges / SLICES > 0 ? exchanges / SLICES : 1;
    double driverSeconds = 0, bareSeconds = 0;
    int done = 0;
    for (int turn = 0; done < exchanges; ++turn, done += slice) {
        int count = std::min(slice, exchanges - done);
        if (turn % 2 == 0) {
            driverSeconds += count / DriverRate(prepared, count);
            bareSeconds += count / BareRate(prepared, count);
        } else {
            bareSeconds += count / BareRate(prepared, count);
            driverSeconds += count / DriverRate(prepared, count);
        }
    }
    prepared.driverRates.push_back(exchanges / driverSeconds);
    prepared.bareRates.push_back(exchanges / bareSeconds);
}

void Roundtrip::Prepare(const Row &row, Prepared *prepared) {
    TagAddress tag =
        row.function == FN_READ_TAG ? session_.Tag(row.tagText, TYPE_WORD) : session_.BlockTag(row.tagText, row.count);
    prepared->request = RequestFor(row.tagText, tag, row.count, prepared->values);
    uint8_t node = row.tcp ? 2 : 1;
    prepared->frameLength = ComposeAreaRead({{0, node, 0}, AREA_DM_CS, row.address, row.count}, 0, prepared->frame);
    prepared->bare = row.tcp ? bareTcp_.get() : bareUdp_.get();
    DriverRate(*prepared, WARM_UP);
    CheckSameFrame(*session_.Instance(), prepared->frame, row.name);
    if (prepared->values[row.function == FN_READ_TAG ? 1 : 0] != row.address + 1) {
        Die(std::string(row.name) + ": the driver read a wrong value");
    }
    BareRate(*prepared, WARM_UP);
}

double Roundtrip::DriverRate(Prepared &prepared, int exchanges) {
    return bench::DriverRate(session_, ROWS[&prepared - prepared_].function, &prepared.request, exchanges);
}

double Roundtrip::BareRate(Prepared &prepared, int exchanges) {
    return bench::BareRate(*prepared.bare, prepared.frame, prepared.frameLength, exchanges);
}

void Roundtrip::PrintRows() {
    Table table({"read", "driver/s", "bare/s", "driver us", "bare us", "ratio", "rounds' ratios", "goal"});
    // The ratio is the median of the rounds' own ratios: each round pairs the
    // two sides under the same conditions.
    for (size_t i = 0; i < ROW_COUNT; ++i) {
        const Prepared &prepared = prepared_[i];
        double driver = Median(prepared.driverRates);
        double bare = Median(prepared.bareRates);
        std::vector<double> ratios;
        for (size_t r = 0; r < prepared.driverRates.size(); ++r) {
            ratios.push_back(prepared.driverRates[r] / prepared.bareRates[r]);
        }
        double ratio = Median(ratios);
        table.Add({ROWS[i].name, Whole(driver), Whole(bare), Fixed(1e6 / driver, 1), Fixed(1e6 / bare, 1),
                   Fixed(ratio, 3),
                   Fixed(*std::min_element(ratios.begin(), ratios.end()), 2) + ".." +
                       Fixed(*std::max_element(ratios.begin(), ratios.end()), 2),
                   ratio >= RATIO_GOAL ? "met" : "MISSED"});
    }
    char title[240];
    std::snprintf(title, sizeof title,
                  "Sequential reads, driver (KelMain + libfinsgw) against the bare client: median of %d rounds of %d "
                  "exchanges (goal ratio >= %.2f)\n(finsim on a thread of this process; the host's log sink takes "
                  "LOG_DRIVER texts only)",
                  options_.rounds, ExchangesOr(options_, DEFAULT_EXCHANGES), RATIO_GOAL);
    table.Print(title);
}

// omron-fins in its own node process, one process a round, each round
// followed by a driver round of the same read.
void Roundtrip::RunPeer() {
    std::string why;
    if (!PeerAvailable(&why)) {
        std::printf("\nPeer omron-fins: skipped, %s\n", why.c_str());
        return;
    }
    int exchanges = ExchangesOr(options_, DEFAULT_EXCHANGES);
    std::vector<double> peerRates, driverRates;
    for (int round = 0; round < options_.rounds; ++round) {
        peerRates.push_back(PeerReadRate(plant_.GetPorts().udp, exchanges));
        driverRates.push_back(DriverRate(prepared_[0], exchanges));
    }
    double peer = Median(peerRates);
    double driver = Median(driverRates);
    Table table({"read 1 word over UDP", "exchanges/s", "us", "driver/peer", "goal"});
    table.Add({"omron-fins (node)", Whole(peer), Fixed(1e6 / peer, 1), "", ""});
    // The machine's pace right after a node process may differ from its pace
    // in the main table: both figures of the driver are held against the peer.
    double inTable = Median(prepared_[0].driverRates);
    for (auto [name, rate] : {std::pair<const char *, double>{"driver FN_READ_TAG, after each peer round", driver},
                              {"driver FN_READ_TAG, the main table's", inTable}}) {
        table.Add({name, Whole(rate), Fixed(1e6 / rate, 1), Fixed(rate / peer, 2),
                   rate / peer >= PEER_GOAL ? "met" : "MISSED"});
    }
    char title[128];
    std::snprintf(title, sizeof title,
                  "Peer: the npm client omron-fins, median of %d interleaved rounds (goal >= %.0fx)", options_.rounds,
                  PEER_GOAL);
    table.Print(title);
}

} // namespace

} // namespace bench

int main(int argc, char **argv) {
    return bench::BenchmarkMain(argc, argv, "Sequential reads through the driver, the bare client and omron-fins.",
                                [](const bench::Options &options, const char *) {
                                    bench::Roundtrip(options).Run();
                                    return 0;
                                });
}
