#include "gateway/routing_file.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string_view>

#include "gateway/error_text.h"
#include "gateway/fins_address.h"

namespace finsgw {

namespace {

constexpr size_t MAX_WORDS = 8;
constexpr size_t SHOWN_WORD_LENGTH = 40;
// An IPv4 address or a host name.
constexpr std::string_view HOST_CHARACTERS = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_";

struct Words {
    std::string_view word[MAX_WORDS];
    size_t count = 0;
    bool tooMany = false;
};

// Splits a line at blanks and tabs, stopping at '#'.
Words SplitLine(std::string_view line) {
    Words words;
    line = line.substr(0, line.find('#'));
    size_t at = 0;
    while (at < line.size()) {
        size_t start = line.find_first_not_of(" \t\r\f\v", at);
        if (start == std::string_view::npos) {
            break;
        }
        size_t end = line.find_first_of(" \t\r\f\v", start);
        end = end == std::string_view::npos ? line.size() : end;
        if (words.count == MAX_WORDS) {
            words.tooMany = true;
            break;
        }
        words.word[words.count++] = line.substr(start, end - start);
        at = end;
    }
    return words;
}

// A word from the file as it may be shown in a message: printable, short.
std::string Shown(std::string_view word) {
    std::string shown;
    for (char c : word.substr(0, SHOWN_WORD_LENGTH)) {
        shown += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    if (word.size() > SHOWN_WORD_LENGTH) {
        shown += "...";
    }
    return shown;
}

struct LineContext {
    const std::string &fileName;
    int line;
    RoutingTable *table;
    int localLine;
};

bool BadLine(const LineContext &context, const std::string &what) {
    Fail(EINVAL, "%s:%d: %s", context.fileName.c_str(), context.line, what.c_str());
    return false;
}

bool ParseLocal(const Words &words, LineContext &context) {
    if (context.localLine != 0) {
        return BadLine(context, "second 'local' line (the first is line " + std::to_string(context.localLine) + ")");
    }
    if (words.count != 2 && words.count != 4) {
        return BadLine(context, "'local' wants NET.NODE.UNIT [bind PORT]");
    }
    if (!ParseDottedBytes(words.word[1], context.table->local, 3)) {
        return BadLine(context,
                       "bad local address '" + Shown(words.word[1]) + "' (want NET.NODE.UNIT, numbers 0 to 255)");
    }
    if (words.count == 4) {
        if (words.word[2] != "bind") {
            return BadLine(context, "unknown option '" + Shown(words.word[2]) + "' (want bind PORT)");
        }
        if (!ParsePort(words.word[3], &context.table->bindPort)) {
            return BadLine(context, "bad port '" + Shown(words.word[3]) + "' (want 1 to 65535)");
        }
    }
    context.localLine = context.line;
    return true;
}

bool ParseHostPort(std::string_view text, Route *route, const LineContext &context) {
    size_t colon = text.find(':');
    std::string_view host = text.substr(0, colon);
    if (host.empty() || host.find_first_not_of(HOST_CHARACTERS) != std::string_view::npos ||
        (colon != std::string_view::npos && text.find(':', colon + 1) != std::string_view::npos)) {
        return BadLine(context, "bad HOST[:PORT] '" + Shown(text) + "'");
    }
    if (colon != std::string_view::npos && !ParsePort(text.substr(colon + 1), &route->port)) {
        return BadLine(context, "bad port in '" + Shown(text) + "' (want 1 to 65535)");
    }
    route->host = std::string(host);
    return true;
}

bool ParseRoute(const Words &words, LineContext &context) {
    if (words.count != 4) {
        return BadLine(context, "'route' wants NET.NODE udp|tcp HOST[:PORT]");
    }
    Route route;
    route.line = context.line;
    uint8_t node[2];
    if (!ParseDottedBytes(words.word[1], node, 2)) {
        return BadLine(context, "bad FINS node '" + Shown(words.word[1]) + "' (want NET.NODE, numbers 0 to 255)");
    }
    route.network = node[0];
    route.node = node[1];
    if (words.word[2] == "udp") {
        route.kind = TransportKind::UDP;
    } else if (words.word[2] == "tcp") {
        route.kind = TransportKind::TCP;
    } else {
        return BadLine(context, "unknown transport '" + Shown(words.word[2]) + "' (want udp or tcp)");
    }
    if (!ParseHostPort(words.word[3], &route, context)) {
        return false;
    }
    if (const Route *earlier = FindRoute(*context.table, route.network, route.node)) {
        return BadLine(context, "second route to FINS node " + std::to_string(route.network) + "." +
                                    std::to_string(route.node) + " (the first is line " +
                                    std::to_string(earlier->line) + ")");
    }
    context.table->routes.push_back(std::move(route));
    return true;
}

bool ParseLine(std::string_view line, LineContext &context) {
    Words words = SplitLine(line);
    if (words.count == 0) {
        return true;
    }
    if (words.tooMany) {
        return BadLine(context, "too many words");
    }
    if (words.word[0] == "local") {
        return ParseLocal(words, context);
    }
    if (words.word[0] == "route") {
        return ParseRoute(words, context);
    }
    return BadLine(context, "unknown keyword '" + Shown(words.word[0]) + "'");
}

} // namespace

std::string RoutingFileName() {
    const char *name = std::getenv("FINSGW_CONFIG");
    return name != nullptr && name[0] != '\0' ? name : "finsgw.conf";
}

bool ParseRoutingText(std::istream &in, const std::string &fileName, RoutingTable *table) {
    *table = RoutingTable();
    table->fileName = fileName;
    LineContext context{fileName, 0, table, 0};
    std::string line;
    errno = 0;
    while (std::getline(in, line)) {
        ++context.line;
        if (!ParseLine(line, context)) {
            return false;
        }
    }
    if (in.bad()) {
        int error = errno != 0 ? errno : EIO;
        char reason[128];
        Fail(error, "cannot read routing file %s: %s", fileName.c_str(), ErrorName(error, reason, sizeof reason));
        return false;
    }
    if (context.localLine == 0) {
        Fail(EINVAL, "%s: no 'local NET.NODE.UNIT' line giving this host's FINS address", fileName.c_str());
        return false;
    }
    return true;
}

bool LoadRoutingFile(RoutingTable *table) {
    std::string name = RoutingFileName();
    errno = 0;
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        int error = errno != 0 ? errno : ENOENT;
        char reason[128];
        Fail(error, "cannot read routing file %s: %s", name.c_str(), ErrorName(error, reason, sizeof reason));
        return false;
    }
    return ParseRoutingText(in, name, table);
}

const Route *FindRoute(const RoutingTable &table, uint8_t network, uint8_t node) {
    for (const Route &route : table.routes) {
        if (route.network == network && route.node == node) {
            return &route;
        }
    }
    return nullptr;
}

} // namespace finsgw
