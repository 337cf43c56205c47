#include "sim/image.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <strings.h>
#include <vector>

namespace finsim {
namespace {

constexpr size_t kValuesPerLine = 16;

struct ImageWrite {
    NodeMemory *node;
    const AreaInfo *area;
    uint32_t first;
    std::vector<uint16_t> values;
};

bool ParseUnsigned(const std::string &word, int base, unsigned long long limit, unsigned long long *value) {
    if (word.empty() || word[0] == '-' || word[0] == '+') {
        return false;
    }
    errno = 0;
    char *end = nullptr;
    *value = std::strtoull(word.c_str(), &end, base);
    return errno == 0 && *end == '\0' && *value <= limit;
}

bool ParseDecimal(const std::string &word, unsigned long long limit, unsigned long long *value) {
    return word.find_first_not_of("0123456789") == std::string::npos && ParseUnsigned(word, 10, limit, value);
}

bool IsHex(const std::string &word) {
    return word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
}

// Decimal 0 to 65535, -32768 to -1 as its two's complement, or 0x hex.
bool ParseValue(const std::string &word, uint16_t *value) {
    unsigned long long parsed = 0;
    if (IsHex(word)) {
        if (!ParseUnsigned(word.substr(2), 16, 0xFFFF, &parsed) ||
            word.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos) {
            return false;
        }
    } else if (!word.empty() && word[0] == '-') {
        if (!ParseDecimal(word.substr(1), 32768, &parsed)) {
            return false;
        }
        parsed = (0x10000 - parsed) & 0xFFFF;
    } else if (!ParseDecimal(word, 0xFFFF, &parsed)) {
        return false;
    }
    *value = static_cast<uint16_t>(parsed);
    return true;
}

const char *SeriesName(const NodeMemory &node) {
    return node.Config().series == Series::Cs ? "CS" : "classic";
}

// One line's meaning, or a message saying what is wrong with it.
class LineParser {
  public:
    explicit LineParser(NodeSet &nodes) : nodes_(nodes), node_(&nodes.At(0)) {}

    std::string Parse(const std::string &line, std::vector<ImageWrite> *writes) {
        std::istringstream stream(line.substr(0, line.find('#')));
        std::vector<std::string> words;
        for (std::string word; stream >> word;) {
            words.push_back(word);
        }
        if (words.empty()) {
            return "";
        }
        if (strcasecmp(words[0].c_str(), "node") == 0) {
            return ParseNode(words);
        }
        return ParseValues(words, writes);
    }

  private:
    std::string ParseNode(const std::vector<std::string> &words) {
        unsigned network = 0, node = 0;
        char end = 0;
        if (words.size() != 2 || std::sscanf(words[1].c_str(), "%u.%u%c", &network, &node, &end) != 2 ||
            network > 255 || node > 255 || words[1].find_first_not_of("0123456789.") != std::string::npos) {
            return "expected 'node NET.NODE'";
        }
        node_ = nodes_.Find(static_cast<uint8_t>(network), static_cast<uint8_t>(node));
        return node_ != nullptr ? "" : "node " + words[1] + " is not simulated";
    }

    std::string ParseValues(const std::vector<std::string> &words, std::vector<ImageWrite> *writes) {
        if (words.size() < 3) {
            return "expected 'AREA ADDRESS VALUE [VALUE...]'";
        }
        ImageWrite write{node_, FindAreaByText(node_->Layout(), words[0]), 0, {}};
        if (write.area == nullptr || write.area->kind == AreaKind::Bit) {
            return "unknown area '" + words[0] + "' for a " + SeriesName(*node_) + " node";
        }
        unsigned long long address = 0;
        if (!ParseDecimal(words[1], 0xFFFFFFFF, &address)) {
            return "bad address '" + words[1] + "'";
        }
        for (size_t i = 2; i < words.size(); ++i) {
            uint16_t value = 0;
            if (!ParseValue(words[i], &value) || (write.area->kind == AreaKind::Flag && value > 1)) {
                return "bad value '" + words[i] + "'";
            }
            write.values.push_back(value);
        }
        if (Locate(*write.area, static_cast<uint32_t>(address), 0, static_cast<uint32_t>(write.values.size()),
                   &write.first) != 0) {
            return "address " + words[1] + " with " + std::to_string(write.values.size()) + " values is outside area " +
                   words[0];
        }
        writes->push_back(std::move(write));
        return "";
    }

    NodeSet &nodes_;
    NodeMemory *node_;
};

void AppendRuns(const NodeMemory &node, const AreaInfo &area, std::string *text) {
    const std::vector<uint16_t> &region = node.Region(area.region);
    for (uint8_t s = 0; s < area.segmentCount; ++s) {
        const Segment &segment = area.segments[s];
        for (uint32_t i = 0; i < segment.count;) {
            if (region[segment.offset + i] == 0) {
                ++i;
                continue;
            }
            *text += std::string(area.name) + " " + std::to_string(segment.first + i);
            for (size_t n = 0; n < kValuesPerLine && i < segment.count && region[segment.offset + i] != 0; ++n, ++i) {
                *text += " " + std::to_string(region[segment.offset + i]);
            }
            *text += "\n";
        }
    }
}

} // namespace

bool LoadImageText(NodeSet &nodes, const std::string &text, const std::string &name, std::string *error) {
    LineParser parser(nodes);
    std::vector<ImageWrite> writes;
    std::istringstream lines(text);
    size_t number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        const std::string problem = parser.Parse(line, &writes);
        if (!problem.empty()) {
            *error = name + ":" + std::to_string(number) + ": " + problem;
            return false;
        }
    }
    std::lock_guard<std::mutex> lock(nodes.Mutex());
    for (size_t i = 0; i < nodes.Count(); ++i) {
        nodes.At(i).Clear();
    }
    for (const ImageWrite &write : writes) {
        for (size_t i = 0; i < write.values.size(); ++i) {
            WriteElement(*write.node, *write.area, write.first + static_cast<uint32_t>(i), write.values[i]);
        }
    }
    return true;
}

bool LoadImageFile(NodeSet &nodes, const std::string &path, std::string *error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) {
        *error = "cannot read " + path;
        return false;
    }
    return LoadImageText(nodes, text.str(), path, error);
}

std::string ImageText(NodeSet &nodes) {
    std::string text = "# finsim memory image\n";
    std::lock_guard<std::mutex> lock(nodes.Mutex());
    for (size_t n = 0; n < nodes.Count(); ++n) {
        const NodeMemory &node = nodes.At(n);
        text += "node " + std::to_string(node.Config().network) + "." + std::to_string(node.Config().node) + "\n";
        const SeriesLayout &layout = node.Layout();
        for (size_t r = 0; r < layout.regionCount; ++r) {
            AppendRuns(node, *FindArea(layout, layout.regions[r].primaryCode), &text);
        }
    }
    return text;
}

bool SaveImageFile(NodeSet &nodes, const std::string &path, std::string *error) {
    const std::string text = ImageText(nodes);
    const std::string temporary = path + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file || !(file << text) || !file.flush()) {
            *error = "cannot write " + temporary + ": " + std::strerror(errno);
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        *error = "cannot replace " + path + ": " + std::strerror(errno);
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace finsim
