#include "TarnKit/Suite/KernelMemoryStatistics.h"

#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Suite/SuiteNumbers.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>
#include <system_error>
#include <utility>
#include <vector>

namespace tarn::kernelmemory {
namespace {

std::optional<std::string> readText(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    if (!stream)
        return std::nullopt;
    std::ostringstream text;
    text << stream.rdbuf();
    if (stream.bad())
        return std::nullopt;
    return text.str();
}

// The blank-separated words of a line.
std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> result;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            result.push_back(line.substr(start, i - start));
    }
    return result;
}

template <class F> void forEachLine(std::string_view text, F&& f) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        f(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
}

std::optional<std::int64_t> parseCount(std::string_view text) {
    const std::optional<long long> value = numbers::parseInteger(text);
    if (!value || *value < 0)
        return std::nullopt;
    return static_cast<std::int64_t>(*value);
}

std::int64_t kibibytesToBytes(std::int64_t kibibytes) {
    if (kibibytes > std::numeric_limits<std::int64_t>::max() / 1024)
        return std::numeric_limits<std::int64_t>::max();
    return kibibytes * 1024;
}

// /proc/swaps writes blanks, tabs and line breaks of a path as octal escapes.
std::string unescapeOctal(std::string_view text) {
    const auto isOctal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && isOctal(text[i + 1]) &&
            isOctal(text[i + 2]) && isOctal(text[i + 3])) {
            out.push_back(static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 +
                                            (text[i + 3] - '0')));
            i += 3;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

bool isCryptDevice(const Folders& folders, const std::string& blockName) {
    const std::optional<std::string> uuid =
        readText(folders.sys / "block" / blockName / "dm" / "uuid");
    return uuid && uuid->starts_with("CRYPT-");
}

// Whether the swap area at `path` keeps its pages encrypted or off the disk.
bool isProtectedSwap(const Folders& folders, const std::string& path) {
    constexpr std::string_view dev = "/dev/";
    constexpr std::string_view mapper = "/dev/mapper/";
    if (path.starts_with(mapper)) {
        // A mapper name: find the dm device that carries it.
        const std::string name = path.substr(mapper.size());
        std::error_code error;
        for (const auto& entry :
             std::filesystem::directory_iterator(folders.sys / "block", error)) {
            const std::string block = entry.path().filename().string();
            if (!block.starts_with("dm-"))
                continue;
            const std::optional<std::string> mapped = readText(entry.path() / "dm" / "name");
            if (mapped && std::string_view(*mapped).substr(0, mapped->find('\n')) == name)
                return isCryptDevice(folders, block);
        }
        return false;
    }
    if (!path.starts_with(dev))
        return false; // a swap file: its file system's device is not looked into
    const std::string block = path.substr(dev.size());
    if (block.starts_with("zram"))
        return true;
    return block.starts_with("dm-") && isCryptDevice(folders, block);
}

std::optional<double> pressureAverage(std::string_view text, std::string_view kind) {
    std::optional<double> result;
    forEachLine(text, [&](std::string_view line) {
        const std::vector<std::string_view> fields = words(line);
        if (fields.size() < 2 || fields[0] != kind || !fields[1].starts_with("avg10="))
            return;
        result = numbers::parseDouble(fields[1].substr(6));
    });
    return result;
}

} // namespace

std::optional<std::map<std::string, std::int64_t, std::less<>>>
readMemInfo(const Folders& folders) {
    const std::optional<std::string> text = readText(folders.proc / "meminfo");
    if (!text)
        return std::nullopt;
    std::map<std::string, std::int64_t, std::less<>> fields;
    forEachLine(*text, [&](std::string_view line) {
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return;
        const std::vector<std::string_view> rest = words(line.substr(colon + 1));
        if (rest.empty())
            return;
        const std::optional<std::int64_t> value = parseCount(rest[0]);
        if (!value)
            return;
        const bool inKibibytes = rest.size() > 1 && rest[1] == "kB";
        fields[std::string(line.substr(0, colon))] =
            inKibibytes ? kibibytesToBytes(*value) : *value;
    });
    return fields;
}

SwapSummary readSwaps(const Folders& folders) {
    SwapSummary summary;
    const std::optional<std::string> text = readText(folders.proc / "swaps");
    if (!text)
        return summary;
    bool header = true;
    forEachLine(*text, [&](std::string_view line) {
        if (std::exchange(header, false))
            return; // "Filename Type Size Used Priority"
        const std::vector<std::string_view> fields = words(line);
        if (fields.size() < 4)
            return;
        const std::optional<std::int64_t> size = parseCount(fields[2]);
        const std::optional<std::int64_t> used = parseCount(fields[3]);
        if (!size || !used)
            return;
        summary.totalBytes = suite::saturatingAdd(summary.totalBytes, kibibytesToBytes(*size));
        summary.usedBytes = suite::saturatingAdd(summary.usedBytes, kibibytesToBytes(*used));
        if (!isProtectedSwap(folders, unescapeOctal(fields[0])))
            summary.encrypted = false;
    });
    return summary;
}

std::int64_t readZramMemoryUsed(const Folders& folders) {
    std::int64_t total = 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folders.sys / "block", error)) {
        if (!entry.path().filename().string().starts_with("zram"))
            continue;
        const std::optional<std::string> text = readText(entry.path() / "mm_stat");
        if (!text)
            continue;
        // orig_data_size compr_data_size mem_used_total ...
        const std::vector<std::string_view> fields =
            words(std::string_view(*text).substr(0, text->find('\n')));
        if (fields.size() < 3)
            continue;
        if (const std::optional<std::int64_t> used = parseCount(fields[2]))
            total = suite::saturatingAdd(total, *used);
    }
    return total;
}

int readPressureLevel(const Folders& folders) {
    if (const std::optional<std::string> psi = readText(folders.proc / "pressure" / "memory")) {
        const double some = pressureAverage(*psi, "some").value_or(0);
        const double full = pressureAverage(*psi, "full").value_or(0);
        if (full >= 10 || some >= 40)
            return 4;
        return some >= 10 ? 2 : 1;
    }
    const auto meminfo = readMemInfo(folders);
    if (!meminfo)
        return 1;
    const auto total = meminfo->find("MemTotal");
    const auto available = meminfo->find("MemAvailable");
    if (total == meminfo->end() || available == meminfo->end() || total->second <= 0)
        return 1;
    const double share =
        static_cast<double>(available->second) / static_cast<double>(total->second);
    if (share < 0.05)
        return 4;
    return share < 0.10 ? 2 : 1;
}

std::string_view pressureLevelName(int level) {
    if (level > 3)
        return "critical";
    return level > 1 ? "warning" : "normal";
}

Statistics read(const Folders& folders) {
    Statistics statistics;
    if (const auto meminfo = readMemInfo(folders)) {
        const auto field = [&](std::string_view name) {
            const auto found = meminfo->find(name);
            return found == meminfo->end() ? std::int64_t{0} : found->second;
        };
        statistics.physicalTotalBytes = field("MemTotal");
        // What is not available for new work is in use, the compressed pools included.
        statistics.physicalUsedBytes = std::clamp<std::int64_t>(
            suite::saturatingSubtract(field("MemTotal"), field("MemAvailable")), 0,
            statistics.physicalTotalBytes);
        statistics.compressedBytes =
            suite::saturatingAdd(readZramMemoryUsed(folders), field("Zswap"));
    } else {
        statistics.compressedBytes = readZramMemoryUsed(folders);
    }
    const SwapSummary swap = readSwaps(folders);
    statistics.swapTotalBytes = swap.totalBytes;
    statistics.swapUsedBytes = swap.usedBytes;
    statistics.swapEncrypted = swap.encrypted;
    statistics.pressureLevel = pressureLevelName(readPressureLevel(folders));
    return statistics;
}

} // namespace tarn::kernelmemory
