#include "TarnKit/Suite/SuiteRecordCodec.h"

#include "TarnKit/Suite/SuiteRecordCoding.h"

#include <cerrno>
#include <csignal>
#include <sys/types.h>

namespace tarn::suite {

bool isPIDAlive(std::int32_t pid) {
    if (pid <= 0)
        return false;
    if (::kill(static_cast<pid_t>(pid), 0) == 0)
        return true;
    return errno == EPERM;
}

bool isWithinWindow(Date timestamp, Date now, double maxAgeSeconds) {
    // Each instant as seconds first: the difference of two far-apart
    // time_points can overflow their 64-bit nanosecond count.
    using Seconds = std::chrono::duration<double>;
    const double age =
        Seconds(timestamp.time_since_epoch()).count() - Seconds(now.time_since_epoch()).count();
    return std::fabs(age) <= maxAgeSeconds; // false for a NaN window
}

bool isFresh(Date timestamp, std::int32_t senderPID, Date now, double maxAgeSeconds) {
    return isWithinWindow(timestamp, now, maxAgeSeconds) && isPIDAlive(senderPID);
}

namespace detail {

Date decodeStrictDate(const nlohmann::json& value) {
    const auto text = json::decode<std::string>(value);
    // Exactly "YYYY-MM-DDTHH:MM:SSZ": the writers of the suite never send a
    // fraction or an offset, so such text is a foreign or damaged file.
    if (text.size() == 20 && text[10] == 'T' && text[19] == 'Z')
        if (const std::optional<Date> date = json::parseISO8601(text))
            return *date;
    throw DecodingError(DecodingError::Kind::dataCorrupted,
                        "\"" + text + "\" is not a date like 2026-03-01T09:15:00Z");
}

std::string encodeDate(Date date) {
    return json::formatISO8601(date, json::DatePrecision::seconds);
}

double decodeNumber(const nlohmann::json& value) {
    if (!value.is_number())
        json::detail::throwTypeMismatch(value, "a number");
    return value.get<double>();
}

double encodableNumber(double value) {
    if (!std::isfinite(value))
        throw NotEncodable();
    return value;
}

} // namespace detail
} // namespace tarn::suite
