#include "TarnKit/Utilities/TarnSemVer.h"

#include "TarnKit/Platform/JSONCoding.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/UnicodeText.h"

#include <limits>
#include <vector>

namespace tarn {
namespace {

constexpr std::int64_t kLargest = std::numeric_limits<std::int64_t>::max();

std::optional<std::int64_t> nonNegativeComponent(std::string_view piece) {
    const std::optional<long long> value = numbers::parseInteger(piece);
    if (!value || *value < 0)
        return std::nullopt;
    return static_cast<std::int64_t>(*value);
}

// Whether `later` is at least two above `earlier`, without computing a
// difference that could overflow (decoded versions may hold any value).
bool exceedsByTwoOrMore(std::int64_t earlier, std::int64_t later) {
    return later > earlier && later - 1 > earlier;
}

} // namespace

std::string_view rawValue(TarnVersionBumpKind kind) {
    switch (kind) {
    case TarnVersionBumpKind::build:
        return "build";
    case TarnVersionBumpKind::patch:
        return "patch";
    case TarnVersionBumpKind::minor:
        return "minor";
    case TarnVersionBumpKind::major:
        return "major";
    }
    return "build";
}

std::optional<TarnVersionBumpKind> versionBumpKindFromRaw(std::string_view text) {
    for (const TarnVersionBumpKind kind : kAllVersionBumpKinds)
        if (rawValue(kind) == text)
            return kind;
    return std::nullopt;
}

void to_json(nlohmann::json& json, TarnVersionBumpKind kind) {
    json = std::string(rawValue(kind));
}

void from_json(const nlohmann::json& json, TarnVersionBumpKind& kind) {
    kind = json::decodeEnum<TarnVersionBumpKind>(json, versionBumpKindFromRaw);
}

TarnSemVer::TarnSemVer(std::int64_t majorValue, std::int64_t minorValue, std::int64_t patchValue)
    : major(majorValue < 0 ? 0 : majorValue), minor(minorValue < 0 ? 0 : minorValue),
      patch(patchValue < 0 ? 0 : patchValue) {}

std::optional<TarnSemVer> TarnSemVer::parsing(std::string_view text) {
    std::string_view rest = text::trimmingWhitespaceAndNewlines(text);
    if (!rest.empty() && (rest.front() == 'v' || rest.front() == 'V'))
        rest.remove_prefix(1);

    std::array<std::int64_t, 3> components{};
    std::size_t count = 0;
    while (true) {
        const std::size_t dot = rest.find('.');
        const std::string_view piece = rest.substr(0, dot);
        if (count == components.size())
            return std::nullopt; // a fourth piece
        const auto value = nonNegativeComponent(piece);
        if (!value)
            return std::nullopt;
        components[count++] = *value;
        if (dot == std::string_view::npos)
            break;
        rest.remove_prefix(dot + 1);
    }
    if (count != components.size())
        return std::nullopt;
    TarnSemVer version;
    version.major = components[0];
    version.minor = components[1];
    version.patch = components[2];
    return version;
}

TarnSemVer TarnSemVer::parse(std::string_view text) {
    if (auto version = parsing(text))
        return *version;
    throw TarnSemVerError::invalidFormat(std::string(text));
}

std::string TarnSemVer::description() const {
    return numbers::formatInteger(major) + "." + numbers::formatInteger(minor) + "." +
           numbers::formatInteger(patch);
}

std::optional<TarnSemVer> TarnSemVer::bumped(TarnVersionBumpKind kind) const {
    TarnSemVer next = *this;
    switch (kind) {
    case TarnVersionBumpKind::build:
        break;
    case TarnVersionBumpKind::patch:
        if (patch == kLargest)
            return std::nullopt;
        ++next.patch;
        break;
    case TarnVersionBumpKind::minor:
        if (minor == kLargest)
            return std::nullopt;
        ++next.minor;
        next.patch = 0;
        break;
    case TarnVersionBumpKind::major:
        if (major == kLargest)
            return std::nullopt;
        ++next.major;
        next.minor = 0;
        next.patch = 0;
        break;
    }
    return next;
}

void TarnSemVer::validateTransition(const TarnSemVer& from, const TarnSemVer& to,
                                    TarnVersionBumpKind kind) {
    if (to < from)
        throw TarnSemVerError::downgradeNotAllowed(from.description(), to.description());
    if (from.bumped(kind) == to)
        return;
    if (exceedsByTwoOrMore(from.major, to.major) ||
        (to.major == from.major && exceedsByTwoOrMore(from.minor, to.minor)) ||
        (to.major == from.major && to.minor == from.minor &&
         exceedsByTwoOrMore(from.patch, to.patch)))
        throw TarnSemVerError::multiStepJumpBlocked(from.description(), to.description());
    throw TarnSemVerError::unexpectedBumpKind(kind, from.description(), to.description());
}

void to_json(nlohmann::json& json, const TarnSemVer& version) {
    json = nlohmann::json{
        {"major", version.major}, {"minor", version.minor}, {"patch", version.patch}};
}

void from_json(const nlohmann::json& json, TarnSemVer& version) {
    const nlohmann::json& object = json::expectObject(json);
    TarnSemVer decoded;
    decoded.major = json::required<std::int64_t>(object, "major");
    decoded.minor = json::required<std::int64_t>(object, "minor");
    decoded.patch = json::required<std::int64_t>(object, "patch");
    version = decoded;
}

TarnSemVerError::TarnSemVerError(Kind kind, const std::string& description)
    : PlatformError("TarnKit.TarnSemVerError", static_cast<long>(kind), description), m_kind(kind) {
}

TarnSemVerError TarnSemVerError::invalidFormat(std::string text) {
    TarnSemVerError error(Kind::invalidFormat, "Invalid SemVer 2.0.0 string: '" + text +
                                                   "' (expected MAJOR.MINOR.PATCH).");
    error.m_text = std::move(text);
    return error;
}

TarnSemVerError TarnSemVerError::downgradeNotAllowed(std::string from, std::string to) {
    TarnSemVerError error(Kind::downgradeNotAllowed,
                          "Version downgrade blocked: " + from + " -> " + to + ".");
    error.m_from = std::move(from);
    error.m_to = std::move(to);
    return error;
}

TarnSemVerError TarnSemVerError::multiStepJumpBlocked(std::string from, std::string to) {
    TarnSemVerError error(Kind::multiStepJumpBlocked,
                          "Multi-step version jump blocked by Corvane policy: " + from + " -> " +
                              to + ". Only +1 increments are permitted.");
    error.m_from = std::move(from);
    error.m_to = std::move(to);
    return error;
}

TarnSemVerError TarnSemVerError::unexpectedBumpKind(TarnVersionBumpKind expected, std::string from,
                                                    std::string to) {
    TarnSemVerError error(Kind::unexpectedBumpKind,
                          "Transition " + from + " -> " + to + " does not match requested '" +
                              std::string(rawValue(expected)) + "' bump.");
    error.m_from = std::move(from);
    error.m_to = std::move(to);
    error.m_expected = expected;
    return error;
}

} // namespace tarn

std::size_t
std::hash<tarn::TarnSemVer>::operator()(const tarn::TarnSemVer& version) const noexcept {
    std::size_t seed = std::hash<std::int64_t>{}(version.major);
    for (const std::int64_t part : {version.minor, version.patch})
        seed ^= std::hash<std::int64_t>{}(part) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
    return seed;
}
