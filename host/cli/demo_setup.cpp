#include "host/cli/demo_setup.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kelomr {

namespace {

// "KelOMR demo!" packed two characters a word, the first in the high byte,
// as the controller holds text.
std::string TextWords(const std::string &text) {
    std::string words;
    for (size_t i = 0; i < text.size(); i += 2) {
        unsigned high = static_cast<unsigned char>(text[i]);
        unsigned low = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        char word[16];
        std::snprintf(word, sizeof word, " 0x%04X", high << 8 | low);
        words += word;
    }
    return words;
}

constexpr const char *DEMO_TEXT = "KelOMR demo!";

} // namespace

TempFolder::TempFolder(const std::string &prefix) {
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base ? base : "/tmp") + "/" + prefix + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) != nullptr) {
        path_ = name.data();
    }
}

TempFolder::~TempFolder() {
    Remove();
}

void TempFolder::Remove() {
    if (!path_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
        path_.clear();
    }
}

bool WriteTextFile(const std::string &path, const std::string &text, std::string *error) {
    std::ofstream file(path, std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string DemoMemoryImage() {
    return std::string("# kelomr demo: the simulated controller's memory at start\n"
                       "DM 100 0\n"             // counts up by itself
                       "DM 101 0xBEEF\n"        //
                       "DM 102 0x0008\n"        // bit 3 toggled by the demo
                       "DM 104 0x0000 0x0000\n" // float written by the demo
                       "DM 106 0x5678 0x1234\n" // BCD 12345678, low digits first
                       "DM 110") +
           TextWords(DEMO_TEXT) +
           "\n"
           "DM 130 1 2 3 4\n"
           "HR 10 0x1234\n"
           "TIMFLAG 5 1\n"
           "TIM 5 0\n";
}

std::string DemoStationFile() {
    return "01=0.1.0\n01=CS1\n";
}

std::string DemoRoutingFile(bool tcp, int port) {
    return "# kelomr demo: this host is FINS node 0.250, the simulator node 0.1\n"
           "local 0.250.0\n"
           "route 0.1 " +
           std::string(tcp ? "tcp" : "udp") + " 127.0.0.1:" + std::to_string(port) + "\n";
}

std::vector<std::string> DemoAnimatedWords() {
    return {"DM:100", "TIM:5"};
}

std::vector<DemoTag> DemoTags() {
    return {
        {"01DM00100", "word, counted up by finsim"},
        {"01DM00101", "word"},
        {"01DM0010203", "bit 3 of DM 102, written by the demo"},
        {"01DM00104F", "float, written by the demo"},
        {"01DM00106B", "8-digit BCD"},
        {"01DM00110S12", "text of 12 characters"},
        {"01HR00010", "holding relay word"},
        {"01TS00005", "timer 5 flag, written by the demo"},
        {"01TV00005", "timer 5 value, counted up by finsim"},
        {"01DM00130:4", "block of 4 words"},
    };
}

std::vector<DemoWrite> DemoWritesForRound(int round) {
    char sine[32];
    std::snprintf(sine, sizeof sine, "%.2f", 100.0 * std::sin(round * 0.3));
    return {
        {"01DM00104F", sine},
        {"01DM0010203", (round / 2) % 2 == 0 ? "1" : "0"},
        {"01TS00005", (round / 3) % 2 == 0 ? "1" : "0"},
    };
}

bool ReadReadyFile(const std::string &path, SimulatorPorts *ports) {
    std::ifstream file(path);
    if (!file) {
        return false;
    }
    std::stringstream contents;
    contents << file.rdbuf();
    std::string text = contents.str();
    if (text.empty() || text.back() != '\n') {
        return false; // still being written
    }
    std::istringstream lines(text);
    std::string kind;
    int port = 0;
    while (lines >> kind >> port) {
        if (port <= 0 || port > 65535) {
            continue;
        }
        if (kind == "udp") {
            ports->udp = port;
        } else if (kind == "tcp") {
            ports->tcp = port;
        }
    }
    return ports->udp != 0 || ports->tcp != 0;
}

} // namespace kelomr
