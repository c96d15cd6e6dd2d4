#include "QuillerApp/Views/ResponseSummaryText.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace quiller::ResponseSummaryText {
namespace {

// Far beyond any real duration and still exact in a double and an int64.
constexpr double kLimit = 1e15;

double guarded(double milliseconds) {
    if (!std::isfinite(milliseconds))
        return 0;
    return std::clamp(milliseconds, -kLimit, kLimit);
}

std::string decimal(std::int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace

StatusTone statusTone(int statusCode) {
    return statusCode >= 200 && statusCode <= 299 ? StatusTone::success : StatusTone::danger;
}

std::int64_t roundedMilliseconds(double milliseconds) {
    return static_cast<std::int64_t>(std::llround(guarded(milliseconds)));
}

std::int64_t truncatedMilliseconds(double milliseconds) {
    return static_cast<std::int64_t>(std::trunc(guarded(milliseconds)));
}

std::string totalTime(const TimingWaterfall& timing) {
    return decimal(roundedMilliseconds(timing.totalMs)) + " ms";
}

std::string bodySize(std::size_t byteCount) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, byteCount);
    return std::string(buffer, result.ptr) + " B";
}

bool showsPhaseLine(const TimingWaterfall& timing) {
    // NaN compares false: a broken measurement shows no line.
    return timing.dnsMs > 0 || timing.tlsMs > 0;
}

std::string phaseLine(const TimingWaterfall& timing) {
    return "DNS " + decimal(truncatedMilliseconds(timing.dnsMs)) + " \u00B7 TLS " +
           decimal(truncatedMilliseconds(timing.tlsMs)) + " \u00B7 TTFB " +
           decimal(truncatedMilliseconds(timing.ttfbMs));
}

} // namespace quiller::ResponseSummaryText
