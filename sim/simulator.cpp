#include "sim/simulator.h"

#include "sim/commands.h"
#include "sim/image.h"
#include "sim/memory.h"
#include "sim/server.h"

namespace finsim {

Simulator::Simulator(std::vector<NodeConfig> nodes)
    : nodes_(std::make_unique<NodeSet>(nodes)), server_(std::make_unique<Server>(*nodes_)) {}

Simulator::~Simulator() {
    Stop();
}

void Simulator::SetTransports(bool udp, bool tcp) {
    udp_ = udp;
    tcp_ = tcp;
}

bool Simulator::Start(const std::string &host, uint16_t udpPort, uint16_t tcpPort) {
    lastError_.clear();
    return server_->Start(host, udpPort, tcpPort, udp_, tcp_, &lastError_);
}

void Simulator::Stop() {
    server_->Stop();
}
uint16_t Simulator::UdpPort() const {
    return server_->UdpPort();
}
uint16_t Simulator::TcpPort() const {
    return server_->TcpPort();
}
std::string Simulator::LastError() const {
    return lastError_;
}
void Simulator::SetFaults(const Faults &faults) {
    server_->SetFaults(faults);
}
Counters Simulator::GetCounters() const {
    return server_->GetCounters();
}
void Simulator::ResetCounters() {
    server_->ResetCounters();
}

namespace {

// The area and first element of a host-side access, or null if refused.
const AreaInfo *Resolve(NodeSet &nodes, uint8_t network, uint8_t node, uint8_t areaCode, uint32_t address, size_t count,
                        NodeMemory **memory, uint32_t *first) {
    *memory = nodes.Find(network, node);
    if (*memory == nullptr || count > UINT32_MAX) {
        return nullptr;
    }
    const AreaInfo *area = FindArea((*memory)->Layout(), areaCode);
    if (area == nullptr || area->kind == AreaKind::Bit ||
        Locate(*area, address, 0, static_cast<uint32_t>(count), first) != 0) {
        return nullptr;
    }
    return area;
}

} // namespace

bool Simulator::ReadWords(uint8_t network, uint8_t node, uint8_t areaCode, uint32_t address, uint16_t *out,
                          size_t count) {
    NodeMemory *memory = nullptr;
    uint32_t first = 0;
    const AreaInfo *area = Resolve(*nodes_, network, node, areaCode, address, count, &memory, &first);
    if (area == nullptr || (out == nullptr && count > 0)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(nodes_->Mutex());
    for (size_t i = 0; i < count; ++i) {
        out[i] = ReadElement(*memory, *area, first + static_cast<uint32_t>(i));
    }
    return true;
}

bool Simulator::WriteWords(uint8_t network, uint8_t node, uint8_t areaCode, uint32_t address, const uint16_t *in,
                           size_t count) {
    NodeMemory *memory = nullptr;
    uint32_t first = 0;
    const AreaInfo *area = Resolve(*nodes_, network, node, areaCode, address, count, &memory, &first);
    if (area == nullptr || (in == nullptr && count > 0)) {
        return false;
    }
    for (size_t i = 0; area->kind == AreaKind::Flag && i < count; ++i) {
        if (in[i] > 1) {
            return false;
        }
    }
    std::lock_guard<std::mutex> lock(nodes_->Mutex());
    for (size_t i = 0; i < count; ++i) {
        WriteElement(*memory, *area, first + static_cast<uint32_t>(i), in[i]);
    }
    return true;
}

bool Simulator::LoadImage(const std::string &path, std::string *error) {
    std::string ignored;
    return LoadImageFile(*nodes_, path, error != nullptr ? error : &ignored);
}

bool Simulator::SaveImage(const std::string &path, std::string *error) {
    std::string ignored;
    return SaveImageFile(*nodes_, path, error != nullptr ? error : &ignored);
}

size_t Simulator::HandleFrame(const uint8_t *request, size_t length, uint8_t *answer, size_t capacity) {
    if (request == nullptr || answer == nullptr) {
        return 0;
    }
    return finsim::HandleFrame(*nodes_, request, length, answer, capacity);
}

} // namespace finsim
