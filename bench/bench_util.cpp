#include "bench/bench_util.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace bench {

namespace {

bool TakeCount(const char *text, int *out) {
    char *end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > 10000000) {
        return false;
    }
    *out = static_cast<int>(value);
    return true;
}

bool ParseOptions(int argc, char **argv, Options *options) {
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help") {
            options->help = true;
            continue;
        }
        int *target = option == "--rounds" ? &options->rounds : option == "--exchanges" ? &options->exchanges : nullptr;
        if (target == nullptr || i + 1 == argc || !TakeCount(argv[i + 1], target)) {
            std::fprintf(stderr, "%s: bad option '%s' (want --rounds N, --exchanges N)\n", argv[0], argv[i]);
            return false;
        }
        ++i;
    }
    return true;
}

} // namespace

int BenchmarkMain(int argc, char **argv, const char *what, int (*run)(const Options &options, const char *program)) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        return 2;
    }
    if (options.help) {
        std::printf("Usage: %s [--rounds N] [--exchanges N]\n%s\n", argv[0], what);
        return 0;
    }
    return run(options, argv[0]);
}

int ExchangesOr(const Options &options, int fallback) {
    return options.exchanges > 0 ? options.exchanges : fallback;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void Die(const std::string &message) {
    std::fflush(stdout);
    std::fprintf(stderr, "bench: %s\n", message.c_str());
    std::exit(1);
}

ScratchFolder::ScratchFolder() {
    char pattern[] = "/tmp/kelomr-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        Die(std::string("cannot make a scratch folder: ") + std::strerror(errno));
    }
    path_ = pattern;
    char here[4096];
    previous_ = getcwd(here, sizeof here) != nullptr ? here : "/";
    if (chdir(path_.c_str()) != 0) {
        Die("cannot enter " + path_);
    }
}

ScratchFolder::~ScratchFolder() {
    [[maybe_unused]] int ignored = chdir(previous_.c_str());
    for (const std::string &name : written_) {
        unlink(File(name).c_str());
    }
    rmdir(path_.c_str());
}

void ScratchFolder::Write(const std::string &name, const std::string &contents) {
    std::ofstream out(File(name), std::ios::trunc);
    out << contents;
    if (!out.flush()) {
        Die("cannot write " + File(name));
    }
    if (std::find(written_.begin(), written_.end(), name) == written_.end()) {
        written_.push_back(name);
    }
}

Table::Table(std::vector<std::string> headings) {
    rows_.push_back(std::move(headings));
}

void Table::Add(std::vector<std::string> cells) {
    cells.resize(rows_.front().size());
    rows_.push_back(std::move(cells));
}

void Table::Print(const std::string &title) const {
    std::vector<size_t> widths(rows_.front().size(), 0);
    for (const auto &row : rows_) {
        for (size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], row[i].size());
        }
    }
    std::printf("\n%s\n", title.c_str());
    for (size_t r = 0; r < rows_.size(); ++r) {
        std::string line;
        for (size_t i = 0; i < widths.size(); ++i) {
            const std::string &cell = rows_[r][i];
            std::string pad(widths[i] - cell.size(), ' ');
            line += i == 0 ? cell + pad : "  " + pad + cell;
        }
        std::printf("  %s\n", line.c_str());
        if (r == 0) {
            size_t total = 0;
            for (size_t w : widths) {
                total += w + 2;
            }
            std::printf("  %s\n", std::string(total - 2, '-').c_str());
        }
    }
    std::fflush(stdout);
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Whole(double value) {
    return Fixed(value, 0);
}

} // namespace bench
