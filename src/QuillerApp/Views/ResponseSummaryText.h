#pragma once

// The texts of the response inspector's summary row, made from a response
// snapshot's numbers. Qt-free, so one table of cases pins every rounding rule.
//
// Threads: any (pure functions).

#include "QuillerCore/Models/RuntimeRecords.h"

#include <cstdint>
#include <string>

namespace quiller::ResponseSummaryText {

enum class StatusTone { success, danger };

// success for 200...299, danger otherwise (1xx and 3xx included).
StatusTone statusTone(int statusCode);

// Milliseconds rounded to the nearest whole number, halves away from zero
// (12.5 is 13, -0.5 is -1). A time that is not a finite number counts as 0;
// absurd magnitudes are held at +/- 10^15 instead of overflowing.
std::int64_t roundedMilliseconds(double milliseconds);
// Milliseconds cut toward zero (9.9 is 9), with the same guards.
std::int64_t truncatedMilliseconds(double milliseconds);

// "13 ms": the total, rounded.
std::string totalTime(const TimingWaterfall& timing);
// "0 B": the body's byte count, never in a larger unit.
std::string bodySize(std::size_t byteCount);
// Whether the phase line shows: a DNS or TLS time above 0.
bool showsPhaseLine(const TimingWaterfall& timing);
// "DNS 9 · TLS 0 · TTFB 80": the phases, each truncated.
std::string phaseLine(const TimingWaterfall& timing);

} // namespace quiller::ResponseSummaryText
