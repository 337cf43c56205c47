// Where the driver's log texts go: through the host runtime's sink to
// standard error with time and level, or, while the live table owns the
// terminal, into a short list of recent lines the table shows. The texts of
// the current request are kept too, so a failure can be explained.
#pragma once

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

namespace kelomr {

struct LogText {
    int level;
    std::string text;
};

class LogView {
  public:
    // verbose adds the per-transfer trace texts; quiet shows no text unless a
    // failure needs it.
    LogView(bool verbose, bool quiet, std::FILE *out = stderr);

    static void Sink(void *context, int level, const char *text);
    void Receive(int level, const char *text);

    // The levels the runtime should format at all.
    int LevelMask() const;
    bool Quiet() const { return quiet_; }

    void BeginRequest() { request_.clear(); }
    const std::vector<LogText> &RequestTexts() const { return request_; }

    // While held, lines are kept in Recent() instead of being written.
    void Hold(bool held) { held_ = held; }
    const std::deque<std::string> &Recent() const { return recent_; }

    // A line of kelomr's own, in the same shape as the driver's; an alert
    // is shown even when quiet.
    void Note(const std::string &text);
    void Alert(const std::string &text);

  private:
    void Show(const std::string &line);

    bool verbose_;
    bool quiet_;
    bool held_ = false;
    std::FILE *out_;
    std::vector<LogText> request_;
    std::deque<std::string> recent_;
};

// "trace" for LOG_DETAIL, "driver" for LOG_DRIVER, else "level N".
std::string LevelName(int level);

} // namespace kelomr
