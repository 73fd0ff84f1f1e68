#pragma once

#include <cstdint>

// The millisecond tick of the unit link: milliseconds since boot (CLOCK_MONOTONIC) cut to
// 32 bits, so it wraps about every 49.7 days. Elapsed time is always uint32_t(now - then).
uint32_t GetTickCount();

// Tests shift the tick to cross the 32-bit wrap; the offset is added to every reading.
void SetTickOffsetForTesting(uint32_t offset);
