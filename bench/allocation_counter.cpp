#include "bench/allocation_counter.h"

#include <cerrno>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define BENCH_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BENCH_SANITIZED 1
#endif
#endif

namespace {

thread_local bool counting = false;
thread_local uint64_t allocations = 0;

inline void Count() {
    if (counting) {
        ++allocations;
    }
}

} // namespace

#if defined(BENCH_SANITIZED)

// The sanitizer runtime's hook interface (its header ships with clang only).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void *, size_t),
                                                         void (*onFree)(const volatile void *));

namespace {

void OnMalloc(const volatile void *, size_t) {
    Count();
}
void OnFree(const volatile void *) {}

const bool hooked = __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;

} // namespace

const char *bench::AllocationCountingMethod() {
    return hooked ? "sanitizer allocator hooks" : "none (the sanitizer took no hooks)";
}

#else

// The C library's allocator under its own names; glibc lets a program put
// its malloc family in front of them.
extern "C" {
void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);
void *__libc_memalign(size_t alignment, size_t size);
void __libc_free(void *block);

__attribute__((visibility("default"))) void *malloc(size_t size) {
    Count();
    return __libc_malloc(size);
}
__attribute__((visibility("default"))) void *calloc(size_t count, size_t size) {
    Count();
    return __libc_calloc(count, size);
}
__attribute__((visibility("default"))) void *realloc(void *block, size_t size) {
    Count();
    return __libc_realloc(block, size);
}
__attribute__((visibility("default"))) void *memalign(size_t alignment, size_t size) {
    Count();
    return __libc_memalign(alignment, size);
}
__attribute__((visibility("default"))) void *aligned_alloc(size_t alignment, size_t size) {
    Count();
    return __libc_memalign(alignment, size);
}
__attribute__((visibility("default"))) int posix_memalign(void **out, size_t alignment, size_t size) {
    Count();
    void *block = __libc_memalign(alignment, size);
    if (block == nullptr) {
        return ENOMEM;
    }
    *out = block;
    return 0;
}
__attribute__((visibility("default"))) void free(void *block) {
    __libc_free(block);
}
}

const char *bench::AllocationCountingMethod() {
    return "the program's malloc family in front of the C library's";
}

#endif

void bench::StartCountingAllocations() {
    allocations = 0;
    counting = true;
}

uint64_t bench::StopCountingAllocations() {
    counting = false;
    return allocations;
}
