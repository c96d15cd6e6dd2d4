#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarn {

// The applications of the suite that take part in the suite bus: they file
// live tiles and statuses under their names and receive commands. Stored as
// the raw value, the product name ("Heddle" for `heddle`).
enum class TarnSuiteApp : std::uint8_t {
    tavlor,
    heddle,
    sketto,
    corlow,
    rillet,
    rasken,
    orrin,
    pitlow,
    quiller,
    bexton,
    halvern,
    garrick,
    dimmock,
    ulvern,
    nabbet,
    sarnel,
    morwick,
    gorran,
    emmerly,
    ilkett,
    fosswick,
    dunstel,
    dunmere,
    brask,
    jarrow,
    norvale,
    ossory,
    pendle,
    lankin,
    aldrick,
    kelby,
    wexley,
    yarrel,
    jessop,
    kirvel,
    lorcan,
    mardle,
    orvell,
    nimbrel,
    zennor,
    pashley,
    quintel,
    quorrel,
    rudwick,
    selborne,
    tollan,
    urwick,
    abbrin,
    vantry,
};

// The roster's own facts; pure lookups, safe from any thread. Whether an
// application is installed or running, and launching it, belong to the
// desktop layer (SuiteDesktop.h).
namespace suiteapp {

// The 49 cases in declaration order.
std::span<const TarnSuiteApp> allCases();
// "Heddle" for `heddle`.
std::string_view rawValue(TarnSuiteApp app);
// The raw value lower-cased: "heddle". Names the application's files.
std::string lowercasedRawValue(TarnSuiteApp app);
// Exact, case-sensitive raw value; "heddle" and " Heddle" are nothing.
[[nodiscard]] std::optional<TarnSuiteApp> fromRaw(std::string_view text);
// The suite prefix, a point and the lower-cased raw value: "com.corvane.heddle".
std::string bundleIdentifier(TarnSuiteApp app);
std::string_view symbolName(TarnSuiteApp app);

} // namespace suiteapp
} // namespace tarn
