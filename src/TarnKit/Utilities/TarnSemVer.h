#pragma once

#include "TarnKit/Platform/PlatformError.h"

#include <array>
#include <compare>
#include <cstdint>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>

// Strict semantic versions (MAJOR.MINOR.PATCH) and the single-step release
// policy. Pure values and functions: safe from any thread.
namespace tarn {

enum class TarnVersionBumpKind { build, patch, minor, major };

inline constexpr std::array<TarnVersionBumpKind, 4> kAllVersionBumpKinds = {
    TarnVersionBumpKind::build, TarnVersionBumpKind::patch, TarnVersionBumpKind::minor,
    TarnVersionBumpKind::major};

std::string_view rawValue(TarnVersionBumpKind kind);
std::optional<TarnVersionBumpKind> versionBumpKindFromRaw(std::string_view text);

void to_json(nlohmann::json& json, TarnVersionBumpKind kind);
void from_json(const nlohmann::json& json, TarnVersionBumpKind& kind);

struct TarnSemVer {
    std::int64_t major = 0;
    std::int64_t minor = 0;
    std::int64_t patch = 0;

    TarnSemVer() = default;
    // A negative component is stored as 0.
    TarnSemVer(std::int64_t majorValue, std::int64_t minorValue, std::int64_t patchValue);

    // MAJOR.MINOR.PATCH after trimming white space and one leading "v" or "V";
    // each component is decimal with an optional sign, not negative, and must
    // fit 64 bits. Anything else gives nullopt.
    static std::optional<TarnSemVer> parsing(std::string_view text);
    // The same parser; throws TarnSemVerError::invalidFormat with the text
    // exactly as passed.
    [[nodiscard]] static TarnSemVer parse(std::string_view text);

    std::string description() const;

    // The version after one bump of `kind`: `build` changes nothing, `patch`
    // adds one to the patch, `minor` adds one to the minor and zeroes the patch,
    // `major` adds one to the major and zeroes the rest. When the component
    // that grows already holds the largest 64-bit value there is no next
    // version, and the result is nullopt rather than a wrapped or repeated one.
    [[nodiscard]] std::optional<TarnSemVer> bumped(TarnVersionBumpKind kind) const;

    // Returns when `to` is exactly one bump of `kind` after `from`, otherwise
    // throws TarnSemVerError: a downgrade first, then a jump of two or more in
    // the first component that differs, else a step of another kind. A bump
    // that has no next version (see bumped) never matches, so no arithmetic
    // here can overflow.
    static void validateTransition(const TarnSemVer& from, const TarnSemVer& to,
                                   TarnVersionBumpKind kind);

    friend bool operator==(const TarnSemVer&, const TarnSemVer&) = default;
    // clang-tidy 14 takes the 0 its defaulted <=> compares against for a null
    // pointer.
    // NOLINTNEXTLINE(modernize-use-nullptr)
    friend auto operator<=>(const TarnSemVer&, const TarnSemVer&) = default;
};

// JSON object {"major", "minor", "patch"}: all three required integers, decoded
// as they stand (negative values included).
void to_json(nlohmann::json& json, const TarnSemVer& version);
void from_json(const nlohmann::json& json, TarnSemVer& version);

// The failures of parsing and of the transition check. The description is
// English only. Domain "TarnKit.TarnSemVerError"; the code is the kind's
// position in Kind.
class TarnSemVerError : public PlatformError {
public:
    enum class Kind {
        invalidFormat,
        downgradeNotAllowed,
        multiStepJumpBlocked,
        unexpectedBumpKind
    };

    static TarnSemVerError invalidFormat(std::string text);
    static TarnSemVerError downgradeNotAllowed(std::string from, std::string to);
    static TarnSemVerError multiStepJumpBlocked(std::string from, std::string to);
    static TarnSemVerError unexpectedBumpKind(TarnVersionBumpKind expected, std::string from,
                                              std::string to);

    Kind kind() const { return m_kind; }
    // invalidFormat: the text that failed to parse.
    const std::string& text() const { return m_text; }
    // The other kinds: the two versions as text.
    const std::string& from() const { return m_from; }
    const std::string& to() const { return m_to; }
    // unexpectedBumpKind: the kind that was asked for.
    std::optional<TarnVersionBumpKind> expected() const { return m_expected; }

    std::string errorDescription() const { return description(); }

    friend bool operator==(const TarnSemVerError& a, const TarnSemVerError& b) {
        return a.m_kind == b.m_kind && a.m_text == b.m_text && a.m_from == b.m_from &&
               a.m_to == b.m_to && a.m_expected == b.m_expected;
    }

private:
    TarnSemVerError(Kind kind, const std::string& description);

    Kind m_kind;
    std::string m_text;
    std::string m_from;
    std::string m_to;
    std::optional<TarnVersionBumpKind> m_expected;
};

} // namespace tarn

template <> struct std::hash<tarn::TarnSemVer> {
    std::size_t operator()(const tarn::TarnSemVer& version) const noexcept;
};
