#include "TarnKit/Platform/Memory.h"

#include <algorithm>
#include <cstdint>
#include <sys/mman.h>
#include <unistd.h>

namespace tarn::memory {
namespace {

struct PageRange {
    void* start;
    std::size_t length;
};

// The whole blocks of `granularity` bytes (whole pages for 0) inside
// [data, data + bytes); empty when there are none.
PageRange wholePages(const void* data, std::size_t bytes, std::size_t granularity = 0) {
    static const auto pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t block = std::max<std::uintptr_t>(pageSize, granularity);
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + block - 1) & ~(block - 1);
    const std::uintptr_t last = (begin + bytes) & ~(block - 1);
    if (data == nullptr || last <= first)
        return {nullptr, 0};
    // From the pointer itself, not from the integer, so the result keeps its
    // provenance.
    return {const_cast<char*>(static_cast<const char*>(data)) + (first - begin), last - first};
}

} // namespace

void preferHugePages(const void* data, std::size_t bytes) {
    if (bytes < kLargeBufferBytes)
        return;
    const PageRange range = wholePages(data, bytes);
    if (range.length > 0)
        ::madvise(range.start, range.length, MADV_HUGEPAGE); // a hint; refusal costs nothing
}

void releasePages(void* data, std::size_t bytes, std::size_t granularity) {
    const PageRange range = wholePages(data, bytes, granularity);
    if (range.length > 0)
        ::madvise(range.start, range.length, MADV_DONTNEED);
}

} // namespace tarn::memory
