#include "host/cli/log_view.h"

#include "driver/call_blocks.h"
#include "host/cli/clock_text.h"

namespace kelomr {

namespace {

constexpr size_t RECENT_LINES = 6;
constexpr size_t REQUEST_TEXTS = 64; // a transfer logs at most a dozen

} // namespace

std::string LevelName(int level) {
    switch (level) {
    case LOG_DETAIL:
        return "trace";
    case LOG_DRIVER:
        return "driver";
    default:
        return "level " + std::to_string(level);
    }
}

LogView::LogView(bool verbose, bool quiet, std::FILE *out) : verbose_(verbose), quiet_(quiet), out_(out) {}

void LogView::Sink(void *context, int level, const char *text) {
    static_cast<LogView *>(context)->Receive(level, text != nullptr ? text : "");
}

int LogView::LevelMask() const {
    return verbose_ ? (LOG_DETAIL | LOG_DRIVER) : LOG_DRIVER;
}

void LogView::Receive(int level, const char *text) {
    // A runtime without level control hands over every text.
    if ((level & LevelMask()) == 0) {
        return;
    }
    if (request_.size() < REQUEST_TEXTS) {
        request_.push_back({level, text});
    }
    if (!quiet_) {
        Show(TimeOfDay(std::chrono::system_clock::now()) + " " + LevelName(level) + " " + text);
    }
}

void LogView::Note(const std::string &text) {
    if (!quiet_) {
        Show(TimeOfDay(std::chrono::system_clock::now()) + " kelomr " + text);
    }
}

void LogView::Alert(const std::string &text) {
    Show(TimeOfDay(std::chrono::system_clock::now()) + " kelomr " + text);
}

void LogView::Show(const std::string &line) {
    if (held_) {
        recent_.push_back(line);
        while (recent_.size() > RECENT_LINES) {
            recent_.pop_front();
        }
        return;
    }
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

} // namespace kelomr
