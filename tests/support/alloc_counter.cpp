#include "alloc_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::int64_t> g_live{0};
std::atomic<std::int64_t> g_count{0};
std::atomic<std::int64_t> g_failIn{-1};  // -1: never

void* allocate(std::size_t size) {
    g_count.fetch_add(1, std::memory_order_relaxed);
    std::int64_t left = g_failIn.load(std::memory_order_relaxed);
    while (left >= 0) {
        if (g_failIn.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) {
            if (left == 0) throw std::bad_alloc();
            break;
        }
    }
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    g_live.fetch_add(1, std::memory_order_relaxed);
    return p;
}

void release(void* p) noexcept {
    if (p == nullptr) return;
    g_live.fetch_sub(1, std::memory_order_relaxed);
    std::free(p);
}

}  // namespace

namespace alloc_counter {

std::int64_t live() { return g_live.load(); }
void failAfter(std::int64_t n) { g_failIn.store(n); }
void disarm() { g_failIn.store(-1); }
void reset() { g_count.store(0); }
std::int64_t count() { return g_count.load(); }

}  // namespace alloc_counter

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { release(p); }
