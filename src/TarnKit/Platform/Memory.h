#pragma once

// Hints to the kernel about large buffers. Both are hints only: they never
// fail and never change what a buffer holds while it is in use.

#include <cstddef>

namespace tarn::memory {

// Buffers from this size on are worth the hints below.
inline constexpr std::size_t kLargeBufferBytes = std::size_t{4} << 20;

// Asks for huge pages behind the whole pages of [data, data + bytes) that are
// not yet touched: one page fault then maps 2 MiB instead of 4 KiB. Does
// nothing below kLargeBufferBytes.
void preferHugePages(const void* data, std::size_t bytes);

// The size of a huge page on x86-64 and arm64 with 4 KiB pages.
inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// Gives the whole pages inside [data, data + bytes) back to the system, or
// with a `granularity` (a power of two) only the whole blocks of that size, so
// that huge pages are given back whole rather than split. The range stays
// mapped and reads as zeros until written again: only for scratch memory
// whose content is no longer needed.
void releasePages(void* data, std::size_t bytes, std::size_t granularity = 0);

} // namespace tarn::memory
