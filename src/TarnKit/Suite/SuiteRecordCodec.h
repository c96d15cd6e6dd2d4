#pragma once

// The one codec of every file the suite applications share (live statuses,
// live tiles, command envelopes): compact JSON whose keys follow the record's
// field order, dates as "YYYY-MM-DDTHH:MM:SSZ" in whole seconds.
//
// Each record declares an `encodeRecord` overload and a `decodeRecord`
// overload taking a RecordTag; call them through the templates below. Both are
// pure functions, safe from any thread, and never throw: a record that cannot
// be written (a number that is not finite) encodes to nothing, and text that
// is not a valid record of the type decodes to nothing, whatever the fault.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarn::suite {

using Date = std::chrono::system_clock::time_point;

template <class Record> struct RecordTag {};

template <class Record> std::optional<std::string> encode(const Record& record) {
    return encodeRecord(record);
}

template <class Record> [[nodiscard]] std::optional<Record> decode(std::string_view text) {
    return decodeRecord(text, RecordTag<Record>{});
}

// The liveness test of a record's writer: false for 0 and below; otherwise
// signal 0 succeeds, or fails with EPERM (the process exists but belongs to
// another user).
bool isPIDAlive(std::int32_t pid);

// Whether |timestamp - now| is at most maxAgeSeconds (both ends included); a
// NaN window is never met.
bool isWithinWindow(Date timestamp, Date now, double maxAgeSeconds);

// isWithinWindow and isPIDAlive together: the freshness rule every live
// record shares.
bool isFresh(Date timestamp, std::int32_t senderPID, Date now, double maxAgeSeconds);

} // namespace tarn::suite
