// bench_scaling: the time of one exchange against the block size (1 to 500
// words), through the driver and the bare client over both transports, and
// the time of FN_START and FN_STOP against the number of configured stations.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/bare_client.h"
#include "bench/bench_util.h"
#include "bench/driver_session.h"
#include "bench/exchange_rate.h"
#include "bench/plant.h"

namespace bench {

namespace {

constexpr int DEFAULT_EXCHANGES = 1000;
constexpr int DEFAULT_STARTS = 20;
constexpr uint16_t SIZES[] = {1, 2, 5, 10, 20, 50, 100, 200, 300, 400, 500};
constexpr int STATION_COUNTS[] = {1, 10, 99};
constexpr uint16_t BLOCK_ADDRESS = 1000;
constexpr uint8_t AREA_DM_CS = 0x82;

// The six ways one block size is exchanged, in the table's column order.
enum Column {
    DRIVER_READ_UDP,
    BARE_READ_UDP,
    DRIVER_READ_TCP,
    BARE_READ_TCP,
    DRIVER_WRITE_UDP,
    DRIVER_WRITE_TCP,
    COLUMNS
};

struct Block {
    IoRequest request[2]; // by station: 1 over UDP, 2 over TCP
    uint16_t values[2][500];
    uint8_t frame[2][MAX_FRAME];
    size_t frameLength;
    std::vector<double> rates[COLUMNS];
};

class Scaling {
  public:
    explicit Scaling(const Options &options) : options_(options) {}
    void Run();

  private:
    void PrepareBlock(uint16_t size, Block *block);
    double Measure(Block &block, int column, int exchanges);
    void BlockTable();
    void StartTable();

    Options options_;
    ScratchFolder folder_;
    Plant plant_{99};
    DriverSession session_{LOG_DRIVER};
    std::unique_ptr<BareClient> bare_[2];
};

void Scaling::Run() {
    BlockTable();
    StartTable();
}

void Scaling::PrepareBlock(uint16_t size, Block *block) {
    static const char *const TAGS[2] = {"01DM01000", "02DM01000"};
    for (int link = 0; link < 2; ++link) {
        TagAddress tag = session_.BlockTag(TAGS[link], size);
        block->request[link] = RequestFor(TAGS[link], tag, size, block->values[link]);
        uint8_t node = static_cast<uint8_t>(link + 1);
        block->frameLength = ComposeAreaRead({{0, node, 0}, AREA_DM_CS, BLOCK_ADDRESS, size}, 0, block->frame[link]);
        session_.Must(FN_READ_BLOCK, &block->request[link], "read");
        CheckSameFrame(*session_.Instance(), block->frame[link], TAGS[link]);
    }
}

double Scaling::Measure(Block &block, int column, int exchanges) {
    int link = column == DRIVER_READ_TCP || column == BARE_READ_TCP || column == DRIVER_WRITE_TCP ? 1 : 0;
    if (column == BARE_READ_UDP || column == BARE_READ_TCP) {
        return BareRate(*bare_[link], block.frame[link], block.frameLength, exchanges);
    }
    int32_t function = column == DRIVER_WRITE_UDP || column == DRIVER_WRITE_TCP ? FN_WRITE_BLOCK : FN_READ_BLOCK;
    return DriverRate(session_, function, &block.request[link], exchanges);
}

void Scaling::BlockTable() {
    session_.Start(folder_, {{1, 1, false}, {2, 2, true}}, plant_.GetPorts());
    std::string error;
    bare_[0] = MakeBareUdp(plant_.GetPorts().udp, &error);
    bare_[1] = bare_[0] ? MakeBareTcp(plant_.GetPorts().tcp, &error) : nullptr;
    if (!bare_[1]) {
        Die(error);
    }
    std::vector<Block> blocks(std::size(SIZES));
    for (size_t i = 0; i < blocks.size(); ++i) {
        PrepareBlock(SIZES[i], &blocks[i]);
    }
    int exchanges = ExchangesOr(options_, DEFAULT_EXCHANGES);
    for (int round = 0; round < options_.rounds; ++round) {
        for (Block &block : blocks) {
            // Each round takes the columns in another order.
            for (int c = 0; c < COLUMNS; ++c) {
                int column = (c + round) % COLUMNS;
                block.rates[column].push_back(Measure(block, column, exchanges));
            }
        }
    }
    session_.Stop();
    Table table({"words", "driver read UDP", "bare read UDP", "driver read TCP", "bare read TCP", "driver write UDP",
                 "driver write TCP"});
    for (size_t i = 0; i < blocks.size(); ++i) {
        std::vector<std::string> cells{std::to_string(SIZES[i])};
        for (int column = 0; column < COLUMNS; ++column) {
            cells.push_back(Fixed(1e6 / Median(blocks[i].rates[column]), 1));
        }
        table.Add(cells);
    }
    char title[160];
    std::snprintf(title, sizeof title,
                  "Exchange time in microseconds against the block size (FN_READ_BLOCK, FN_WRITE_BLOCK), median of %d "
                  "rounds of %d",
                  options_.rounds, exchanges);
    table.Print(title);
}

std::vector<Station> Stations(int count, bool tcp) {
    std::vector<Station> stations;
    for (int number = 1; number <= count; ++number) {
        stations.push_back({number, static_cast<uint8_t>(number), tcp});
    }
    return stations;
}

// FN_START reads the station file and the routing file and opens a unit a
// station; FN_STOP closes them. TCP units connect on their first send.
void Scaling::StartTable() {
    int starts = ExchangesOr(options_, DEFAULT_STARTS);
    Table table({"stations", "start UDP us", "stop UDP us", "start TCP us", "stop TCP us"});
    for (int count : STATION_COUNTS) {
        std::vector<std::string> cells{std::to_string(count)};
        for (bool tcp : {false, true}) {
            std::vector<double> startTimes, stopTimes;
            session_.Start(folder_, Stations(count, tcp), plant_.GetPorts());
            session_.Stop();
            for (int i = 0; i < starts; ++i) {
                Clock::time_point begun = Clock::now();
                session_.StartOnly();
                startTimes.push_back(SecondsSince(begun));
                begun = Clock::now();
                session_.Stop();
                stopTimes.push_back(SecondsSince(begun));
            }
            cells.push_back(Whole(Median(startTimes) * 1e6));
            cells.push_back(Whole(Median(stopTimes) * 1e6));
        }
        table.Add(cells);
    }
    char title[120];
    std::snprintf(title, sizeof title, "Start and stop time against the configured stations, median of %d", starts);
    table.Print(title);
}

} // namespace

} // namespace bench

int main(int argc, char **argv) {
    return bench::BenchmarkMain(argc, argv, "Exchange time against block size; start time against stations.",
                                [](const bench::Options &options, const char *) {
                                    bench::Scaling(options).Run();
                                    return 0;
                                });
}
