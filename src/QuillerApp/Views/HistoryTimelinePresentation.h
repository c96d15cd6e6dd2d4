#pragma once

// What the history timeline shows of an entry, as pure functions: the status
// badge, the method colour, the duration and byte-size texts, the bucket
// labels, and which entry the inspector shows.
//
// Pure functions, any thread.

#include "QuillerApp/Views/ViewColours.h"
#include "QuillerCore/Engine/RequestHistoryEngine.h"
#include "QuillerCore/Models/RequestHistoryEntry.h"
#include "TarnKit/Localization/TarnLanguage.h"
#include "TarnKit/Platform/UUID.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quiller::HistoryTimelinePresentation {

struct StatusBadge {
    std::string text{};
    ColourRole role = ColourRole::accent;

    friend bool operator==(const StatusBadge&, const StatusBadge&) = default;
};

// "ERR" in danger for an entry without a response (status 0) or with an
// error; else the code, in success for 2xx, warning for 4xx and 5xx, and
// accent for any other code.
StatusBadge statusBadge(const RequestHistoryEntry& entry);

ColourRole methodColour(TarnHTTPMethod method);

// "13 ms": rounded half away from zero; not a finite number shows 0.
std::string durationText(double milliseconds);

// "1023 B", then "%.1f KB" of the count over 1024 without a larger unit
// ("5120.0 KB" for 5 MiB).
std::string formatBytes(std::int64_t bytes);

// "All" / "Tümü", "2xx", "4xx-5xx", "Errors" / "Hatalar".
std::string bucketLabel(RequestHistoryStatusBucket bucket, tarn::TarnLanguage language);

// Whether the entry failed: no response, or an error message.
bool isFailed(const RequestHistoryEntry& entry);

// The position in `filtered` of the entry the inspector shows: the one the
// user picked while it is listed, else the newest listed; nothing for an
// empty list.
std::optional<std::size_t> selectedIndex(const std::vector<RequestHistoryEntry>& filtered,
                                         const std::optional<tarn::UUID>& pickedID);

} // namespace quiller::HistoryTimelinePresentation
