#include "tests/e2e/e2e_support.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "host/kelhost.h"

namespace e2e {

const char *LinkName(Link link) {
    return link == Link::Udp ? "udp" : "tcp";
}

ScratchFolder::ScratchFolder() {
    previous_ = std::filesystem::current_path().string();
    const char *base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/kelomr-e2e.XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    path_ = name.data();
    std::filesystem::current_path(path_);
    // The gateway then reads finsgw.conf from this folder, as a user's host does.
    unsetenv("FINSGW_CONFIG");
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::remove_all(path_, ignored);
}

void ScratchFolder::WriteFile(const std::string &name, const std::string &contents) const {
    std::ofstream(path_ + "/" + name, std::ios::binary | std::ios::trunc) << contents;
}

LogCapture::LogCapture() {
    KelHostSetLogSink(Sink, this);
    KelHostSetLogLevels(-1);
}

LogCapture::~LogCapture() {
    KelHostSetLogSink(nullptr, nullptr);
}

void LogCapture::Sink(void *context, int level, const char *text) {
    static_cast<LogCapture *>(context)->entries_.push_back({level, text});
}

size_t LogCapture::CountContaining(const std::string &part) const {
    size_t count = 0;
    for (const LoggedText &entry : entries_) {
        count += entry.text.find(part) != std::string::npos ? 1 : 0;
    }
    return count;
}

bool LogCapture::Holds(const std::string &text) const {
    for (const LoggedText &entry : entries_) {
        if (entry.text == text) {
            return true;
        }
    }
    return false;
}

std::string LogCapture::Dump() const {
    std::string all = "driver log:\n";
    for (const LoggedText &entry : entries_) {
        all += "  [" + std::to_string(entry.level) + "] " + entry.text + "\n";
    }
    return all;
}

DriverInstance::DriverInstance(EntryPoint entry) : entry_(entry) {
    DriverInfo info{};
    CallBlock block{nullptr, FN_DRIVER_INFO, 0, 0, &info};
    entry_(&block);
    // The host allocates what the driver asks for, never less than the record.
    size_t size = info.instanceSize > 0 ? static_cast<size_t>(info.instanceSize) : 0;
    instance_ = static_cast<InstanceData *>(std::calloc(1, size > sizeof(InstanceData) ? size : sizeof(InstanceData)));
}

DriverInstance::~DriverInstance() {
    Stop();
    std::free(instance_);
}

int32_t DriverInstance::Call(int32_t function, void *params) {
    CallBlock block{instance_, function, instanceNumber_, 0, params};
    return entry_(&block);
}

int32_t DriverInstance::Start(int32_t timeout, int32_t instanceNumber) {
    instanceNumber_ = instanceNumber;
    StartParams params{};
    params.enabled = 1;
    params.timeout = timeout;
    started_ = true;
    return Call(FN_START, &params);
}

int32_t DriverInstance::Stop() {
    if (!started_) {
        return RC_OK;
    }
    started_ = false;
    return Call(FN_STOP, nullptr);
}

int32_t DriverInstance::CheckTag(const std::string &text, int32_t valueType, TagAddress *tag) {
    TagDefinition definition{};
    definition.addressText = text.c_str();
    definition.valueType = valueType;
    int32_t result = Call(FN_CHECK_TAG, &definition);
    *tag = definition.tag;
    return result;
}

int32_t DriverInstance::CheckBlock(const std::string &text, int32_t valueType, int32_t count, TagAddress *tag) {
    TagDefinition definition{};
    definition.addressText = text.c_str();
    definition.valueType = valueType;
    definition.count = count;
    int32_t result = Call(FN_CHECK_BLOCK, &definition);
    *tag = definition.tag;
    return result;
}

int32_t DriverInstance::Transfer(int32_t function, const std::string &text, const TagAddress &tag, int32_t count,
                                 void *values) {
    IoRequest request{};
    request.tagText = text.c_str();
    request.tag = tag;
    request.count = count;
    request.values = values;
    return Call(function, &request);
}

std::string StationLines(int station, uint8_t network, uint8_t node, bool cs1) {
    char number[8];
    std::snprintf(number, sizeof number, "%02d", station);
    std::string lines = std::string(number) + "=" + std::to_string(network) + "." + std::to_string(node) + ".0\n";
    return cs1 ? lines + number + "=CS1\n" : lines;
}

std::string RoutingText(const std::vector<std::string> &routeLines) {
    std::string text = "# written by the end-to-end tests\nlocal 0.250.0\n";
    for (const std::string &line : routeLines) {
        text += line;
    }
    return text;
}

std::string RouteLine(uint8_t network, uint8_t node, Link link, uint16_t port) {
    return "route " + std::to_string(network) + "." + std::to_string(node) + " " + LinkName(link) +
           " 127.0.0.1:" + std::to_string(port) + "\n";
}

std::vector<uint8_t> CellBytes(const std::vector<uint16_t> &cells) {
    std::vector<uint8_t> bytes;
    for (uint16_t cell : cells) {
        bytes.push_back(static_cast<uint8_t>(cell));
        bytes.push_back(static_cast<uint8_t>(cell >> 8));
    }
    return bytes;
}

namespace {

uint32_t FloatBits(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

std::vector<uint16_t> PairWords(const std::vector<uint32_t> &values) {
    std::vector<uint16_t> words;
    for (uint32_t value : values) {
        words.push_back(static_cast<uint16_t>(value));
        words.push_back(static_cast<uint16_t>(value >> 16));
    }
    return words;
}

} // namespace

std::vector<uint8_t> FloatBytes(const std::vector<float> &values) {
    return CellBytes(FloatWords(values));
}

std::vector<uint8_t> LongBytes(const std::vector<uint32_t> &values) {
    return CellBytes(PairWords(values));
}

std::vector<uint8_t> TextBytes(const std::string &text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint16_t> FloatWords(const std::vector<float> &values) {
    std::vector<uint32_t> bits;
    for (float value : values) {
        bits.push_back(FloatBits(value));
    }
    return PairWords(bits);
}

std::vector<uint16_t> BcdWords(const std::vector<uint32_t> &bcd) {
    return PairWords(bcd);
}

std::vector<uint16_t> TextWords(const std::string &text) {
    std::vector<uint16_t> words;
    for (size_t i = 0; i < text.size(); i += 2) {
        uint8_t second = i + 1 < text.size() ? static_cast<uint8_t>(text[i + 1]) : 0;
        words.push_back(static_cast<uint16_t>(static_cast<uint8_t>(text[i]) << 8 | second));
    }
    return words;
}

std::string Hex(const std::vector<uint8_t> &bytes) {
    std::string text;
    char digits[4];
    for (uint8_t byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X ", byte);
        text += digits;
    }
    return text;
}

} // namespace e2e
