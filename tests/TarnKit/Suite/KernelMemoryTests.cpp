#include "SuiteTestSupport.h"
#include "TarnKit/Suite/KernelMemoryStatistics.h"
#include "TarnKit/Suite/TarnSuiteTelemetryBus.h"
#include "TarnKit/Suite/TarnVirtualMemorySummary.h"
#include "support/TemporaryFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <string>

namespace {

using namespace tarn;
using tarn::testing::TemporaryFolder;
using namespace std::chrono_literals;

constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();

// A folder standing in for /proc and /sys.
class KernelFixture {
public:
    kernelmemory::Folders folders() const {
        return {m_root.path() / "proc", m_root.path() / "sys"};
    }

    void write(const std::string& relative, const std::string& text) const {
        const std::filesystem::path file = m_root.path() / relative;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }

    void meminfo(const std::string& totalKiB, const std::string& availableKiB,
                 const std::string& extra = "") const {
        write("proc/meminfo", "MemTotal:       " + totalKiB +
                                  " kB\nMemFree:          1000 kB\nMemAvailable:   " +
                                  availableKiB + " kB\n" + extra + "HugePages_Total:       0\n");
    }

    const TemporaryFolder& root() const { return m_root; }

private:
    TemporaryFolder m_root{"quiller-kernel"};
};

const std::string kSwapsHeader = "Filename\t\t\t\tType\t\tSize\t\tUsed\t\tPriority\n";

TEST(KernelMemoryStatistics, ReadsMemInfoAndZramAndZswapAsCompressed) {
    KernelFixture fixture;
    fixture.meminfo("16000000", "6000000",
                    "Zswap:             2000 kB\nbroken line\nOdd:  -5 kB\n");
    fixture.write("sys/block/zram0/mm_stat", "4096000 1024000 1500000 0 1500000 10 0 0 0\n");
    fixture.write("sys/block/zram1/mm_stat", "0 0 500000 0 0 0 0 0 0\n");
    fixture.write("sys/block/sda/mm_stat", "0 0 999999999 0\n"); // no zram: ignored

    const kernelmemory::Statistics statistics = kernelmemory::read(fixture.folders());
    EXPECT_EQ(statistics.physicalTotalBytes, 16'000'000LL * 1024);
    EXPECT_EQ(statistics.physicalUsedBytes, 10'000'000LL * 1024);
    EXPECT_EQ(statistics.compressedBytes, 2'000'000 + 2000 * 1024);
    const auto meminfo = kernelmemory::readMemInfo(fixture.folders()).value();
    EXPECT_EQ(meminfo.count("Odd"), 0u);
    EXPECT_EQ(meminfo.at("HugePages_Total"), 0);
}

TEST(KernelMemoryStatistics, SwapTableCountsDmCryptAndZramAsEncrypted) {
    const struct {
        const char* name;
        std::string swaps;
        std::int64_t total, used;
        bool encrypted;
    } cases[] = {
        {"no swaps file", "", 0, 0, true},
        {"no swap areas", kSwapsHeader, 0, 0, true},
        {"dm-crypt by dm name", kSwapsHeader + "/dev/dm-1  partition\t8388604\t1024\t-2\n",
         8388604LL * 1024, 1024 * 1024, true},
        {"dm-crypt by mapper name", kSwapsHeader + "/dev/mapper/cryptswap partition 100 10 -2\n",
         102400, 10240, true},
        {"zram", kSwapsHeader + "/dev/zram0 partition 100 0 100\n", 102400, 0, true},
        {"plain partition",
         kSwapsHeader + "/dev/sda2 partition 100 0 -2\n/dev/dm-1 partition 100 0 -3\n", 204800, 0,
         false},
        {"swap file with an escaped blank", kSwapsHeader + "/swap\\040file file 100 50 -2\n",
         102400, 51200, false},
        {"dm device that is no crypt", kSwapsHeader + "/dev/dm-0 partition 100 0 -2\n", 102400, 0,
         false},
        {"broken rows are skipped", kSwapsHeader + "/dev/zram0 partition x 0 1\n/dev/zram1\n", 0, 0,
         true},
        {"huge sizes saturate",
         kSwapsHeader + "/dev/zram0 partition 9223372036854775807 0 1\n/dev/zram1 partition "
                        "9000000000000000000 0 1\n",
         kInt64Max, 0, true},
    };
    for (const auto& c : cases) {
        KernelFixture fixture;
        fixture.write("sys/block/dm-0/dm/uuid", "LVM-abc\n");
        fixture.write("sys/block/dm-0/dm/name", "vg-root\n");
        fixture.write("sys/block/dm-1/dm/uuid", "CRYPT-LUKS2-0123-cryptswap\n");
        fixture.write("sys/block/dm-1/dm/name", "cryptswap\n");
        if (std::string_view(c.name) != "no swaps file")
            fixture.write("proc/swaps", c.swaps);
        const kernelmemory::SwapSummary swap = kernelmemory::readSwaps(fixture.folders());
        EXPECT_EQ(swap.totalBytes, c.total) << c.name;
        EXPECT_EQ(swap.usedBytes, c.used) << c.name;
        EXPECT_EQ(swap.encrypted, c.encrypted) << c.name;
    }
}

TEST(KernelMemoryStatistics, PressureFromStallInformationOrAvailableMemory) {
    const auto psi = [](const char* some, const char* full) {
        return std::string("some avg10=") + some +
               " avg60=0.00 avg300=0.00 total=1\nfull avg10=" + full +
               " avg60=0.00 avg300=0.00 total=1\n";
    };
    const struct {
        std::optional<std::string> pressure;
        const char* availableKiB; // of 1,000,000
        const char* expected;
    } cases[] = {
        {psi("0.00", "0.00"), "10000", "normal"}, // PSI wins over a low MemAvailable
        {psi("9.99", "9.99"), "900000", "normal"},    {psi("10.00", "0.00"), "900000", "warning"},
        {psi("39.99", "9.99"), "900000", "warning"},  {psi("40.00", "0.00"), "900000", "critical"},
        {psi("0.00", "10.00"), "900000", "critical"}, {std::string("garbage"), "900000", "normal"},
        {std::nullopt, "49999", "critical"},          {std::nullopt, "50000", "warning"},
        {std::nullopt, "99999", "warning"},           {std::nullopt, "100000", "normal"},
    };
    for (const auto& c : cases) {
        KernelFixture fixture;
        fixture.meminfo("1000000", c.availableKiB);
        if (c.pressure)
            fixture.write("proc/pressure/memory", *c.pressure);
        EXPECT_EQ(kernelmemory::read(fixture.folders()).pressureLevel, c.expected)
            << c.pressure.value_or("(no PSI)") << " " << c.availableKiB;
    }
    EXPECT_EQ(kernelmemory::pressureLevelName(0), "normal");
    EXPECT_EQ(kernelmemory::pressureLevelName(3), "warning");
    EXPECT_EQ(kernelmemory::pressureLevelName(5), "critical");
}

TEST(KernelMemoryStatistics, EmptyRootsGiveTheFallbacks) {
    KernelFixture fixture;
    EXPECT_EQ(kernelmemory::read(fixture.folders()), kernelmemory::Statistics{});
}

// --- The summary -----------------------------------------------------------------

TarnVirtualMemorySummary summary() {
    return TarnVirtualMemorySummary{};
}

TEST(TarnVirtualMemorySummary, BadgeAndTokenTable) {
    struct Case {
        const char* name;
        std::int64_t pools, poolBytes, poolDisk, sparse, sparseBytes, sparseUsed, ramDisks,
            ramBytes, swapTotal, swapUsed;
        const char* badge;
        const char* token;
    };
    const Case cases[] = {
        {"pool and swap", 1, 64'000'000'000, 1'000'000'000, 0, 0, 0, 0, 0, 4'000'000'000,
         1'500'000'000, "Pool 64.00 GB + Swap 1.50 GB", "2.5G"},
        {"idle swap", 0, 0, 0, 0, 0, 0, 0, 0, 2'000'000'000, 0, "Swap 0 B / 2.00 GB", "2.0G"},
        {"RAM disk hides idle swap", 0, 0, 0, 0, 0, 0, 1, 8'000'000'000, 2'000'000'000, 0,
         "RAMDisk 8.00 GB", "8.0G"},
        {"swap used", 0, 0, 0, 0, 0, 0, 0, 0, 0, 512'000'000, "Swap 512.0 MB", "512M"},
        {"nothing", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "", "0G"},
        {"sparse disk", 0, 0, 0, 2, 500'000'000'000, 120'000'000'000, 0, 0, 0, 0, "vDisk 500.00 GB",
         "120G"},
        {"large idle allocation", 1, 64'000'000'000, 0, 0, 0, 0, 0, 0, 0, 0, "Pool 64.00 GB",
         "64G"},
        {"everything", 1, 1'000, 10, 1, 2'000, 20, 1, 3'000, 5'000, 40,
         "Pool 1.0 KB + vDisk 2.0 KB + RAMDisk 3.0 KB + Swap 40 B", "0M"},
        {"hostile figures", 1, kInt64Max, kInt64Max, 1, kInt64Max, kInt64Max, 1, kInt64Max,
         kInt64Max, kInt64Max,
         "Pool 9223372.04 TB + vDisk 9223372.04 TB + RAMDisk 9223372.04 TB + Swap 9223372.04 TB",
         "9223372037G"},
    };
    for (const Case& c : cases) {
        TarnVirtualMemorySummary s = summary();
        s.activeDiskPoolCount = c.pools;
        s.diskPoolVirtualBytes = c.poolBytes;
        s.diskPoolActualDiskBytes = c.poolDisk;
        s.mountedSparseDiskCount = c.sparse;
        s.sparseDiskVirtualBytes = c.sparseBytes;
        s.sparseDiskActualBytes = c.sparseUsed;
        s.mountedRAMDiskCount = c.ramDisks;
        s.ramDiskTotalBytes = c.ramBytes;
        s.swapTotalBytes = c.swapTotal;
        s.swapUsedBytes = c.swapUsed;
        EXPECT_EQ(s.compactBadgeText(), c.badge) << c.name;
        EXPECT_EQ(s.compactVirtualUsedToken(), c.token) << c.name;
        EXPECT_GE(s.virtualUsedPercent(), 0) << c.name;
        EXPECT_LE(s.virtualUsedPercent(), 100) << c.name;
    }
}

TEST(TarnVirtualMemorySummary, PercentagesAndSumsStayInRange) {
    TarnVirtualMemorySummary s = summary();
    EXPECT_EQ(s.physicalUsedPercent(), 0);
    EXPECT_EQ(s.virtualSpaceUsageText(), "0 B");
    s.physicalTotalBytes = 100;
    s.physicalUsedBytes = 250;
    EXPECT_EQ(s.physicalUsedPercent(), 100);
    s.physicalUsedBytes = -5;
    EXPECT_EQ(s.physicalUsedPercent(), 0);
    s.swapTotalBytes = 1'000;
    s.swapUsedBytes = 2'000; // more used than the total: the allocation is the larger
    EXPECT_EQ(s.totalVirtualAllocatedBytes(), 2'000);
    EXPECT_EQ(s.swapUsedPercent(), 100);
    EXPECT_EQ(s.virtualSpaceUsageText(), "2.0 KB / 2.0 KB");
    s.physicalTotalBytes = kInt64Max;
    EXPECT_EQ(s.totalEffectiveMemoryCapacityBytes(), kInt64Max);
    s.swapUsedBytes = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(s.totalVirtualUsedBytes(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(s.virtualUsedPercent(), 0);
    EXPECT_EQ(s.compactBadgeText(), "Swap 0 B / 1.0 KB");
}

// The summary end to end: a telemetry folder, a kernel fixture, pool
// folders and a volume probe that knows which names are mounted.
class SummaryFixture {
public:
    SummaryFixture() {
        m_kernel.meminfo("16000000", "8000000");
        m_kernel.write("proc/swaps", kSwapsHeader + "/dev/zram0 partition 1000000 1000 100\n");
    }

    VirtualMemorySources sources() const {
        VirtualMemorySources sources;
        sources.kernel = m_kernel.folders();
        sources.cachesDirectory = m_home.path() / "cache";
        sources.applicationSupportDirectory = m_home.path() / "data";
        sources.volumeFolders = {m_home.path() / "run-media", m_home.path() / "media"};
        sources.volumeCapacity = [volumes = m_volumes](const std::filesystem::path& path)
            -> std::optional<VirtualMemorySources::VolumeCapacity> {
            const auto found = volumes.find(path.filename().string() + "@" +
                                            path.parent_path().filename().string());
            if (found == volumes.end())
                return std::nullopt;
            return found->second;
        };
        return sources;
    }

    void image(const std::filesystem::path& folder, const std::string& name) const {
        std::filesystem::create_directories(folder);
        std::ofstream(folder / name) << "";
    }
    void mount(const std::string& name, const std::string& where, std::int64_t total,
               std::int64_t available) {
        m_volumes[name + "@" + where] = {total, available};
    }

    TarnSuiteTelemetryBus bus() const {
        return TarnSuiteTelemetryBus(m_home.path() / "telemetry", nullptr, sources());
    }
    const TemporaryFolder& home() const { return m_home; }
    const KernelFixture& kernel() const { return m_kernel; }

private:
    KernelFixture m_kernel;
    TemporaryFolder m_home{"quiller-summary"};
    std::map<std::string, VirtualMemorySources::VolumeCapacity> m_volumes;
};

TEST(TarnVirtualMemorySummary, FallsBackOnTheKernelAndTheMountedSparseDisks) {
    SummaryFixture fixture;
    const auto pools = fixture.home().path() / "cache" / "Heddle" / "Pools";
    const auto custom = fixture.home().path() / "custom pools";
    fixture.image(pools, "Alpha.img");
    fixture.image(pools, "Beta.IMG");
    fixture.image(pools, ".Hidden.img");
    fixture.image(pools, "Gamma.img.part");
    fixture.image(pools, "Unmounted.img");
    fixture.image(pools, "Empty.img");
    fixture.image(custom, "Alpha.img"); // the same name again: counted once
    fixture.image(custom, "Delta.img");
    std::filesystem::create_directories(fixture.home().path() / "data" / "Heddle");
    std::ofstream(fixture.home().path() / "data" / "Heddle" / "config.json")
        << R"({"customPoolDirectory":"  )" << custom.string() << R"(\n","other":1})";
    fixture.mount("Alpha", "run-media", 10'000, 4'000);
    fixture.mount("Alpha", "media", 99'999, 0);   // the first volume folder wins
    fixture.mount("Beta", "media", 5'000, 6'000); // more available than total: none used
    fixture.mount("Delta", "run-media", 1'000, 0);
    fixture.mount("Empty", "run-media", 0, 0);
    fixture.mount("Hidden", "run-media", 1'000, 0);
    fixture.mount("Gamma", "run-media", 1'000, 0);

    const TarnVirtualMemorySummary s =
        fixture.bus().readVirtualMemorySummary(tarn::testing::sampleDate());
    EXPECT_FALSE(s.isHeddleRunning);
    EXPECT_EQ(s.physicalTotalBytes, 16'000'000LL * 1024);
    EXPECT_EQ(s.physicalUsedBytes, 8'000'000LL * 1024);
    EXPECT_EQ(s.swapTotalBytes, 1'000'000LL * 1024);
    EXPECT_TRUE(s.swapEncrypted);
    EXPECT_EQ(s.swapFileCount, 0);
    EXPECT_EQ(s.pressureLevel, "normal");
    EXPECT_EQ(s.mountedSparseDiskCount, 3);
    EXPECT_EQ(s.sparseDiskNames, (std::vector<std::string>{"Alpha", "Beta", "Delta"}));
    EXPECT_EQ(s.sparseDiskVirtualBytes, 16'000);
    EXPECT_EQ(s.sparseDiskActualBytes, 7'000);
    EXPECT_EQ(s.activeDiskPoolCount + s.mountedRAMDiskCount + s.frozenAppCount +
                  s.reclaimedFromFrozenBytes,
              0);
}

TEST(TarnVirtualMemorySummary, TakesAFreshHeddleStatusWithinEighteenSeconds) {
    SummaryFixture fixture;
    const suite::Date now = tarn::testing::sampleDate();
    HeddleLiveStatus status;
    status.senderPID = tarn::testing::ownPID();
    status.physicalTotalBytes = 0; // the kernel's total stands in
    status.physicalUsedBytes = 5;
    status.swapTotalBytes = 1;              // less than the kernel's: the kernel's
    status.swapUsedBytes = 999'999'999'999; // more: the status's
    status.swapFileCount = 3;
    status.swapEncrypted = false;
    status.pressureLevel = "warning";
    status.activeDiskPoolCount = 1;
    status.diskPoolVirtualBytes = 64'000'000'000;
    status.diskPoolNames = {"P"};
    status.frozenPIDs = {7};
    status.frozenAppCount = 1;

    const struct {
        std::chrono::milliseconds offset;
        std::int32_t pid;
        bool used;
    } cases[] = {
        {-18s, status.senderPID, true},
        {18s, status.senderPID, true},
        {-18500ms, status.senderPID, false},
        {0s, tarn::testing::deadPID(), false},
        {0s, 0, false},
    };
    for (const auto& c : cases) {
        TarnSuiteTelemetryBus bus = fixture.bus();
        HeddleLiveStatus written = status;
        written.timestamp = now + c.offset;
        written.senderPID = c.pid;
        ASSERT_TRUE(bus.publishHeddleStatus(written, false));
        const TarnVirtualMemorySummary s = bus.readVirtualMemorySummary(now);
        EXPECT_EQ(s.isHeddleRunning, c.used) << c.offset.count() << " " << c.pid;
        if (!c.used)
            continue;
        EXPECT_EQ(s.physicalTotalBytes, 16'000'000LL * 1024);
        EXPECT_EQ(s.physicalUsedBytes, 5);
        EXPECT_EQ(s.swapTotalBytes, 1'000'000LL * 1024);
        EXPECT_EQ(s.swapUsedBytes, 999'999'999'999);
        EXPECT_EQ(s.swapFileCount, 3);
        EXPECT_FALSE(s.swapEncrypted);
        EXPECT_EQ(s.pressureLevel, "warning");
        EXPECT_EQ(s.diskPoolNames, std::vector<std::string>{"P"});
        EXPECT_EQ(s.frozenPIDs, std::vector<std::int32_t>{7});
        EXPECT_EQ(s.compactBadgeText(), "Pool 64.00 GB + Swap 1000.00 GB");
    }
}

} // namespace
