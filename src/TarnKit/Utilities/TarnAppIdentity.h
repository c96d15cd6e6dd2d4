#pragma once

#include "TarnKit/Utilities/TarnBundle.h"

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarn {

// Every application of the maker's suite, this one (`quiller`) included. The
// emblem artwork keys its drawings by the raw value, the lower-case slug.
enum class TarnAppIdentity : std::uint8_t {
    palvine,
    murrel,
    jostra,
    wendle,
    sorvel,
    quenby,
    trelk,
    ambrel,
    fennick,
    hollin,
    brask,
    dunmere,
    keswin,
    lorrow,
    mizzle,
    nabbet,
    orrin,
    pitlow,
    rasken,
    sarnel,
    tibbet,
    umbrel,
    varrow,
    wexley,
    yarrel,
    zennor,
    abbrin,
    belcott,
    cawder,
    dimmock,
    elvast,
    farrish,
    gorran,
    hesket,
    ivrach,
    jarrow,
    kelby,
    lankin,
    morwick,
    norvale,
    ossory,
    pendle,
    quorrel,
    rillet,
    heddle,
    sketto,
    tavlor,
    ulvern,
    vessick,
    wortley,
    yelvin,
    zarrow,
    aldrick,
    bexton,
    corlow,
    dunstel,
    emmerly,
    fosswick,
    garrick,
    halvern,
    quiller,
    ilkett,
    jessop,
    kirvel,
    lorcan,
    mardle,
    nimbrel,
    orvell,
    pashley,
    quintel,
    rudwick,
    selborne,
    tollan,
    urwick,
    vantry,
};

// The slug: "heddle" for `heddle`.
std::string_view rawValue(TarnAppIdentity identity);

// A slug that is not one of the 75 fails to decode (json::DecodingError);
// encoding writes the slug.
void to_json(nlohmann::json& json, TarnAppIdentity identity);
void from_json(const nlohmann::json& json, TarnAppIdentity& identity);

// The enumeration's static members. Pure lookups, safe from any thread.
namespace appidentity {

// The 75 cases in declaration order.
std::span<const TarnAppIdentity> allCases();

// Exact, case-sensitive slug match.
[[nodiscard]] std::optional<TarnAppIdentity> fromRaw(std::string_view slug);

// Maps a free-form name - a bundle identifier, a display name, a process name,
// a name typed in a file - to a case: the last non-empty "."-separated piece,
// lower-cased, with everything but letters, marks and digits removed, then a
// former name ("pennock" is `yelvin`; "moxley" and "moxbury" are `jostra`;
// "sefton" is `murrel`; "lindow" is `hollin`) or a slug. "tavlor.app" is
// nothing: its last piece is "app".
std::optional<TarnAppIdentity> resolve(std::string_view name);

// The name lower-cased (locale-independent) with every code point that is not a
// letter, mark or digit of any script removed; the key names are matched by.
std::string alphanumericLowercased(std::string_view name);

// The first of the bundle identifier, the display name, the bundle name and
// the process name that resolves. Nothing is cached.
std::optional<TarnAppIdentity> current();
std::optional<TarnAppIdentity> current(const TarnBundle& bundle, std::string_view processName);

} // namespace appidentity

} // namespace tarn
