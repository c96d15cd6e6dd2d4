#pragma once

// The kernel's own memory figures, for the virtual-memory summary when no
// fresh status of Heddle is at hand. Every reader takes the folders that
// stand for /proc and /sys, so that tests hand in fixture folders. Pure
// readers of the file system, safe from any thread; nothing is cached.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tarn::kernelmemory {

struct Folders {
    std::filesystem::path proc = "/proc";
    std::filesystem::path sys = "/sys";
};

struct Statistics {
    std::int64_t physicalTotalBytes = 0;
    std::int64_t physicalUsedBytes = 0;
    // Held compressed in memory: zram's own use plus the zswap pool.
    std::int64_t compressedBytes = 0;
    std::int64_t swapTotalBytes = 0;
    std::int64_t swapUsedBytes = 0;
    bool swapEncrypted = true;
    // "normal", "warning" or "critical".
    std::string pressureLevel = "normal";

    friend bool operator==(const Statistics&, const Statistics&) = default;
};

// The fields of meminfo in bytes, keyed by name ("MemTotal"); nothing when the
// file cannot be read. Lines that do not parse are skipped; values saturate.
std::optional<std::map<std::string, std::int64_t, std::less<>>> readMemInfo(const Folders& folders);

struct SwapSummary {
    std::int64_t totalBytes = 0;
    std::int64_t usedBytes = 0;
    // Every swap area is a dm-crypt device or a zram device (whose pages
    // never reach a disk). True when there is no swap, and when the list
    // cannot be read.
    bool encrypted = true;
};
SwapSummary readSwaps(const Folders& folders);

// The memory zram devices take for their compressed pages (mm_stat's third
// figure, summed over the devices); 0 without zram.
std::int64_t readZramMemoryUsed(const Folders& folders);

// The pressure level 1 (normal), 2 (warning) or 4 (critical): from the
// memory pressure stall information when the kernel has it (full avg10 >= 10
// or some avg10 >= 40 is 4, some avg10 >= 10 is 2), else from the share of
// available memory (below 5 % is 4, below 10 % is 2).
int readPressureLevel(const Folders& folders);
// Above 3 "critical", above 1 "warning", else "normal".
std::string_view pressureLevelName(int level);

Statistics read(const Folders& folders = {});

} // namespace tarn::kernelmemory
