#include "TarnKit/System/TarnSystemPermissionKind.h"

#include <array>

namespace tarn {
namespace {

constexpr std::array kAllCases = {
    TarnSystemPermissionKind::accessibility,
    TarnSystemPermissionKind::screenRecording,
    TarnSystemPermissionKind::systemAudio,
};

} // namespace

std::string_view rawValue(TarnSystemPermissionKind kind) {
    switch (kind) {
    case TarnSystemPermissionKind::accessibility:
        return "accessibility";
    case TarnSystemPermissionKind::screenRecording:
        return "screenRecording";
    case TarnSystemPermissionKind::systemAudio:
        return "systemAudio";
    }
    return "accessibility";
}

std::string_view id(TarnSystemPermissionKind kind) {
    return rawValue(kind);
}

std::optional<std::string> settingsURL(TarnSystemPermissionKind) {
    return std::nullopt;
}

namespace systempermissionkind {

std::span<const TarnSystemPermissionKind> allCases() {
    return kAllCases;
}

std::optional<TarnSystemPermissionKind> fromRaw(std::string_view text) {
    for (const TarnSystemPermissionKind kind : kAllCases)
        if (rawValue(kind) == text)
            return kind;
    return std::nullopt;
}

} // namespace systempermissionkind

} // namespace tarn
