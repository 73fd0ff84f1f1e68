#include "device/Tick.h"

#include <atomic>
#include <ctime>

namespace {
std::atomic<uint32_t> tickOffset{0};
}

uint32_t GetTickCount()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t ms = uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
    return uint32_t(ms) + tickOffset.load(std::memory_order_relaxed);
}

void SetTickOffsetForTesting(uint32_t offset)
{
    tickOffset.store(offset, std::memory_order_relaxed);
}
