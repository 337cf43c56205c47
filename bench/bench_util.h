// What every benchmark program shares: its options, the clock, medians, a
// scratch folder to start driver instances in, and aligned tables.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct Options {
    int rounds = 5;
    int exchanges = 0; // 0: each benchmark's own default
    bool help = false;
};

// The whole of a benchmark's main: reads --rounds N, --exchanges N and
// --help (which prints the usage with what), then runs it. A bad option ends
// in status 2.
int BenchmarkMain(int argc, char **argv, const char *what, int (*run)(const Options &options, const char *program));

// The count a round uses: the option when given, else the default.
int ExchangesOr(const Options &options, int fallback);

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values);

// Stops the program with a message: a benchmark whose exchanges fail
// measures nothing worth printing.
[[noreturn]] void Die(const std::string &message);

// A fresh folder under /tmp that the process works in while it exists:
// station files are read from the current directory.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    std::string File(const std::string &name) const { return path_ + "/" + name; }
    void Write(const std::string &name, const std::string &contents);

  private:
    std::string path_;
    std::string previous_;
    std::vector<std::string> written_;
};

// Columns of text, the first left-aligned and the rest right-aligned.
class Table {
  public:
    explicit Table(std::vector<std::string> headings);
    void Add(std::vector<std::string> cells);
    void Print(const std::string &title) const;

  private:
    std::vector<std::vector<std::string>> rows_;
};

std::string Fixed(double value, int decimals);
std::string Whole(double value);

} // namespace bench
