#include "host/cli/poll_output.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

#include "host/cli/poll_loop.h"
#include "host/cli/result_text.h"
#include "host/cli/value_format.h"

namespace kelomr {

namespace {

std::string Latency(const PollEntry &entry) {
    if (!entry.Usable()) {
        return "";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", entry.last.latencyMs);
    return text;
}

int ResultOf(const PollEntry &entry) {
    return entry.Usable() ? entry.last.result : entry.checkResult;
}

bool ReadNow(const PollEntry &entry) {
    return entry.Usable() && entry.last.result == RC_OK;
}

std::string SingleOrBlock(const PollEntry &entry, bool human) {
    if (entry.shown.size() == 1 && !entry.tag.block) {
        return human ? FormatHuman(entry.shown.front()) : FormatPlain(entry.shown.front());
    }
    return FormatPlain(entry.shown);
}

class CsvOutput : public PollOutput {
  public:
    explicit CsvOutput(std::FILE *out) : out_(out) {
        std::fprintf(out_, "time,tag,value,result,latency_ms\n");
        std::fflush(out_);
    }
    void BeginRound(int, WallTime) override {}
    void Row(const PollEntry &entry, WallTime time) override {
        std::string value = ReadNow(entry) ? CsvField(SingleOrBlock(entry, false)) : "";
        std::fprintf(out_, "%s,%s,%s,%s,%s\n", IsoTime(time).c_str(), CsvField(entry.name).c_str(), value.c_str(),
                     ResultName(ResultOf(entry)).c_str(), Latency(entry).c_str());
    }
    void EndRound() override { std::fflush(out_); }

  private:
    std::FILE *out_;
};

class JsonOutput : public PollOutput {
  public:
    explicit JsonOutput(std::FILE *out) : out_(out) {}
    void BeginRound(int round, WallTime) override { round_ = round; }
    void Row(const PollEntry &entry, WallTime time) override {
        std::string value = "null";
        if (ReadNow(entry)) {
            value = entry.tag.block ? FormatJson(entry.shown) : FormatJson(entry.shown.front());
        }
        std::string line = "{\"time\":" + JsonString(IsoTime(time)) + ",\"round\":" + std::to_string(round_) +
                           ",\"tag\":" + JsonString(entry.name) + ",\"value\":" + value +
                           ",\"result\":" + JsonString(ResultName(ResultOf(entry)));
        if (entry.Usable()) {
            line += ",\"latency_ms\":" + Latency(entry);
        }
        if (!entry.problem.empty()) {
            line += ",\"error\":" + JsonString(entry.problem);
        }
        std::fprintf(out_, "%s}\n", line.c_str());
    }
    void EndRound() override { std::fflush(out_); }

  private:
    std::FILE *out_;
    int round_ = 0;
};

constexpr const char *CLEAR_LINE = "\x1b[K";
constexpr const char *RESET = "\x1b[0m";
constexpr const char *BOLD = "\x1b[1m";
constexpr const char *DIM = "\x1b[2m";
constexpr const char *CHANGED = "\x1b[1;33m";
constexpr const char *GOOD = "\x1b[32m";
constexpr const char *BAD = "\x1b[31m";

std::string Fit(const std::string &text, size_t width) {
    if (text.size() <= width) {
        return text + std::string(width - text.size(), ' ');
    }
    return width == 0 ? "" : text.substr(0, width - 1) + "~";
}

struct TerminalSize {
    size_t columns = 100;
    size_t rows = 40;
};

TerminalSize SizeOf(std::FILE *out) {
    TerminalSize size;
    winsize window{};
    if (ioctl(fileno(out), TIOCGWINSZ, &window) == 0) {
        size.columns = window.ws_col > 20 ? window.ws_col : size.columns;
        size.rows = window.ws_row > 8 ? window.ws_row : size.rows;
    }
    return size;
}

// Title, blank, column heads, then the rows; a blank line and the recent
// texts below.
constexpr size_t LINES_ABOVE_ROWS = 3;
constexpr size_t LINES_BELOW_ROWS = 2;

class TableOutput : public PollOutput {
  public:
    TableOutput(std::FILE *out, const LogView &log, std::string title, const std::vector<PollEntry> &entries)
        : out_(out), log_(log), title_(std::move(title)), entries_(entries) {
        nameWidth_ = 12;
        for (const PollEntry &entry : entries_) {
            nameWidth_ = std::max(nameWidth_, entry.name.size());
            noteWidth_ = std::max(noteWidth_, entry.note.size());
        }
        std::fprintf(out_, "\x1b[2J\x1b[?25l");
    }
    void BeginRound(int round, WallTime time) override {
        round_ = round;
        time_ = time;
    }
    void Row(const PollEntry &, WallTime) override { Redraw(); }
    void EndRound() override { Redraw(); }
    void Finish() override {
        Redraw();
        std::fprintf(out_, "\x1b[?25h");
        std::fflush(out_);
    }

  private:
    void Redraw() {
        TerminalSize terminal = SizeOf(out_);
        size_t columns = terminal.columns;
        size_t fixed = 2 + 13 + 2 + 10 + 2 + 7 + (noteWidth_ > 0 ? 2 + noteWidth_ : 0);
        size_t valueWidth = columns > nameWidth_ + fixed + 10 ? columns - nameWidth_ - fixed - 1 : 10;
        std::string screen = "\x1b[H";
        screen += Fit(title_ + "   round " + std::to_string(round_) + "   " + TimeOfDay(time_) + "   Ctrl-C stops",
                      columns - 1) +
                  CLEAR_LINE + "\n" + CLEAR_LINE + "\n";
        screen += BOLD + Fit("TAG", nameWidth_) + "  " + Fit("VALUE", valueWidth) + "  " + Fit("RESULT", 13) + "  " +
                  Fit("LATENCY", 10) + "  " + Fit("CHANGES", 7) + (noteWidth_ > 0 ? "  WHAT" : "") + RESET +
                  CLEAR_LINE + "\n";
        // Rows beyond the screen would scroll the table away from its place.
        size_t around = LINES_ABOVE_ROWS + LINES_BELOW_ROWS + log_.Recent().size();
        size_t room = terminal.rows > around + 2 ? terminal.rows - around : 2;
        size_t shown = entries_.size() <= room ? entries_.size() : room - 1;
        for (size_t i = 0; i < shown; ++i) {
            screen += RowText(entries_[i], valueWidth) + CLEAR_LINE + "\n";
        }
        if (shown < entries_.size()) {
            screen += DIM + std::to_string(entries_.size() - shown) + " more tags: a larger window, or --format csv" +
                      RESET + CLEAR_LINE + "\n";
        }
        screen += std::string(CLEAR_LINE) + "\n";
        for (const std::string &line : log_.Recent()) {
            screen += DIM + Fit(line, columns - 1) + RESET + CLEAR_LINE + "\n";
        }
        screen += "\x1b[J";
        std::fwrite(screen.data(), 1, screen.size(), out_);
        std::fflush(out_);
    }

    std::string RowText(const PollEntry &entry, size_t valueWidth) const {
        std::string value = entry.Usable() ? (entry.hasShown ? SingleOrBlock(entry, true) : "-") : "refused";
        const char *valueStyle = !ReadNow(entry) ? DIM : (entry.changed ? CHANGED : "");
        int result = ResultOf(entry);
        std::string latency = entry.Usable() ? Latency(entry) + " ms" : "";
        return Fit(entry.name, nameWidth_) + "  " + valueStyle + Fit(value, valueWidth) + RESET + "  " +
               (result == RC_OK ? GOOD : BAD) + Fit(ResultName(result), 13) + RESET + "  " + Fit(latency, 10) + "  " +
               Fit(std::to_string(entry.changes), 7) + (noteWidth_ > 0 ? "  " + entry.note : "");
    }

    std::FILE *out_;
    const LogView &log_;
    std::string title_;
    const std::vector<PollEntry> &entries_;
    size_t nameWidth_;
    size_t noteWidth_ = 0;
    int round_ = 0;
    WallTime time_{};
};

} // namespace

Format ResolveFormat(Format requested, std::FILE *out) {
    if (requested != Format::Auto) {
        return requested;
    }
    return isatty(fileno(out)) ? Format::Table : Format::Csv;
}

std::unique_ptr<PollOutput> MakePollOutput(Format format, std::FILE *out, const LogView &log, const std::string &title,
                                           const std::vector<PollEntry> &entries) {
    switch (ResolveFormat(format, out)) {
    case Format::Table:
        return std::make_unique<TableOutput>(out, log, title, entries);
    case Format::Json:
        return std::make_unique<JsonOutput>(out);
    default:
        return std::make_unique<CsvOutput>(out);
    }
}

} // namespace kelomr
