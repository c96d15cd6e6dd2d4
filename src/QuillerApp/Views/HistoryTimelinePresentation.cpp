#include "QuillerApp/Views/HistoryTimelinePresentation.h"

#include "QuillerApp/Views/DurationText.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/Platform/Numbers.h"

namespace quiller::HistoryTimelinePresentation {

namespace numbers = tarn::numbers;

bool isFailed(const RequestHistoryEntry& entry) {
    return entry.statusCode == 0 || entry.errorMessage.has_value();
}

StatusBadge statusBadge(const RequestHistoryEntry& entry) {
    if (isFailed(entry))
        return {"ERR", ColourRole::danger};
    const int code = entry.statusCode;
    const ColourRole role = code >= 200 && code <= 299   ? ColourRole::success
                            : code >= 400 && code <= 599 ? ColourRole::warning
                                                         : ColourRole::accent;
    return {numbers::formatInteger(code), role};
}

ColourRole methodColour(TarnHTTPMethod method) {
    switch (method) {
    case TarnHTTPMethod::get:
        return ColourRole::success;
    case TarnHTTPMethod::post:
        return ColourRole::warning;
    case TarnHTTPMethod::put:
    case TarnHTTPMethod::patch:
        return ColourRole::accent;
    case TarnHTTPMethod::delete_:
        return ColourRole::danger;
    case TarnHTTPMethod::head:
    case TarnHTTPMethod::options:
        return ColourRole::textSecondary;
    }
    return ColourRole::textSecondary;
}

std::string durationText(double milliseconds) {
    return DurationText::milliseconds(milliseconds);
}

std::string formatBytes(std::int64_t bytes) {
    if (bytes > 1023)
        return numbers::formatFixed(static_cast<double>(bytes) / 1024.0, 1) + " KB";
    return numbers::formatInteger(bytes) + " B";
}

std::string bucketLabel(RequestHistoryStatusBucket bucket, tarn::TarnLanguage language) {
    switch (bucket) {
    case RequestHistoryStatusBucket::all:
        return tarn::tarnText("All", "Tümü", language);
    case RequestHistoryStatusBucket::success2xx:
        return "2xx";
    case RequestHistoryStatusBucket::clientOrServerError:
        return "4xx-5xx";
    case RequestHistoryStatusBucket::networkError:
        return tarn::tarnText("Errors", "Hatalar", language);
    }
    return std::string(rawValue(bucket));
}

std::optional<std::size_t> selectedIndex(const std::vector<RequestHistoryEntry>& filtered,
                                         const std::optional<tarn::UUID>& pickedID) {
    if (filtered.empty())
        return std::nullopt;
    if (pickedID)
        for (std::size_t i = 0; i < filtered.size(); ++i)
            if (filtered[i].id == *pickedID)
                return i;
    return 0;
}

} // namespace quiller::HistoryTimelinePresentation
