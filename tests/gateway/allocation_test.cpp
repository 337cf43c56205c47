// Once a unit is open, exchanges allocate nothing: every operator new (and,
// outside the sanitizer build, every malloc) on the calling thread is counted
// while the exchanges run.
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <new>

#include "tests/gateway/gateway_fixture.h"

namespace {

thread_local bool counting = false;
thread_local size_t allocations = 0;

void Count() {
    if (counting) {
        ++allocations;
    }
}

void *Allocate(size_t size) {
    Count();
    void *block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void *AllocateAligned(size_t size, std::align_val_t alignment) {
    Count();
    size_t align = static_cast<size_t>(alignment);
    void *block = std::aligned_alloc(align, (size + align - 1) / align * align);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

} // namespace

void *operator new(size_t size) {
    return Allocate(size);
}
void *operator new[](size_t size) {
    return Allocate(size);
}
void *operator new(size_t size, const std::nothrow_t &) noexcept {
    return std::malloc(size == 0 ? 1 : size);
}
void *operator new[](size_t size, const std::nothrow_t &) noexcept {
    return std::malloc(size == 0 ? 1 : size);
}
void *operator new(size_t size, std::align_val_t alignment) {
    return AllocateAligned(size, alignment);
}
void *operator new[](size_t size, std::align_val_t alignment) {
    return AllocateAligned(size, alignment);
}
void operator delete(void *block) noexcept {
    std::free(block);
}
void operator delete[](void *block) noexcept {
    std::free(block);
}
void operator delete(void *block, size_t) noexcept {
    std::free(block);
}
void operator delete[](void *block, size_t) noexcept {
    std::free(block);
}
void operator delete(void *block, std::align_val_t) noexcept {
    std::free(block);
}
void operator delete[](void *block, std::align_val_t) noexcept {
    std::free(block);
}
void operator delete(void *block, size_t, std::align_val_t) noexcept {
    std::free(block);
}
void operator delete[](void *block, size_t, std::align_val_t) noexcept {
    std::free(block);
}

#if !defined(__SANITIZE_ADDRESS__)
// The sanitizer owns malloc in its build; elsewhere the C allocator is
// wrapped too, so a malloc inside the library (or the C library) counts.
extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
void __libc_free(void *);
void *malloc(size_t size) {
    Count();
    return __libc_malloc(size);
}
void *calloc(size_t count, size_t size) {
    Count();
    return __libc_calloc(count, size);
}
void *realloc(void *block, size_t size) {
    Count();
    return __libc_realloc(block, size);
}
void free(void *block) {
    __libc_free(block);
}
}
#endif

namespace {

const Bytes TO_0_1_0{0, 1, 0};
constexpr int EXCHANGES = 20;

class AllocationTest : public GatewayTest {
  protected:
    // Compose, send and receive on fixed buffers only; false on a failure.
    static bool Exchange(GwUnitHandle unit, int32_t timeoutMs) {
        uint8_t header[20];
        uint8_t receivedHeader[20];
        uint8_t response[2048];
        return GwComposeHeader(header, 0, TO_0_1_0.data(), -1) == 0 &&
               GwSend(unit, header, READ_DM100.data(), 8) == 8 &&
               GwReceive(unit, receivedHeader, response, sizeof response, timeoutMs) >= 0;
    }

    // Runs the exchanges, the one at silentIndex timing out, with counting
    // on; after runs after each exchange.
    static size_t CountedExchanges(GwUnitHandle unit, int silentIndex, const std::function<void(int)> &after) {
        GwCounters counters;
        allocations = 0;
        counting = true;
        int failed = 0;
        for (int index = 0; index < EXCHANGES; ++index) {
            bool silent = index == silentIndex;
            failed += Exchange(unit, silent ? 50 : 2000) == silent ? 1 : 0;
            GwUnitCounters(unit, &counters);
            after(index);
        }
        counting = false;
        EXPECT_EQ(failed, 0) << GwLastErrorText();
        return allocations;
    }
};

// The peers answer every request after a stray, except the silent one.
constexpr size_t SILENT_REQUEST = 7;
// The TCP peer closes the connection after answering this request.
constexpr size_t CLOSING_REQUEST = 12;

TEST_F(AllocationTest, UdpExchangesAllocateNothingOnceOpen) {
    UdpPeer peer([](const Bytes &request, size_t index) {
        Bytes stray = ResponseTo(request);
        stray[9] = static_cast<uint8_t>(stray[9] + 1);
        if (index == SILENT_REQUEST) {
            return std::vector<Bytes>{stray};
        }
        return std::vector<Bytes>{stray, ResponseTo(request, 0, {0x12, 0x34})};
    });
    UseRoutes(UdpRoute("0.1", peer.Port()));
    GwUnitHandle unit = Open("0.1.0");
    ASSERT_NE(unit, 0u) << GwLastErrorText();
    ASSERT_TRUE(Exchange(unit, 2000)) << GwLastErrorText(); // first use of the thread's error text
    EXPECT_EQ(CountedExchanges(unit, SILENT_REQUEST - 1, [](int) {}), 0u);
    EXPECT_EQ(Counters(unit).discarded, static_cast<uint64_t>(EXCHANGES + 1));
}

TEST_F(AllocationTest, TcpExchangesAndReconnectAllocateNothingOnceOpen) {
    TcpScript script;
    script.onNodeRequest = [](const Bytes &, size_t) { return std::vector<Bytes>{NodeAnswer(0x23, 1)}; };
    script.onFrame = [](const Bytes &frame, size_t index) {
        Bytes stray = ResponseTo(frame);
        stray[9] = static_cast<uint8_t>(stray[9] + 1);
        if (index == SILENT_REQUEST) {
            return std::vector<Bytes>{TcpFrame(stray)};
        }
        return std::vector<Bytes>{Concat(TcpFrame(stray), TcpFrame(ResponseTo(frame, 0, {0x12, 0x34})))};
    };
    script.closeAfter = [](size_t index) { return index == CLOSING_REQUEST; };
    TcpPeer peer(script);
    UseRoutes(TcpRoute("0.1", peer.Port()));
    GwUnitHandle unit = Open("0.1.0");
    ASSERT_NE(unit, 0u) << GwLastErrorText();
    ASSERT_TRUE(Exchange(unit, 2000)) << GwLastErrorText();
    auto awaitClose = [&peer](int index) {
        if (index == static_cast<int>(CLOSING_REQUEST) - 1) {
            peer.WaitClosed(1);
        }
    };
    EXPECT_EQ(CountedExchanges(unit, SILENT_REQUEST - 1, awaitClose), 0u);
    EXPECT_EQ(peer.Connections(), 2u) << "the counted exchanges include a reconnect";
}

} // namespace
