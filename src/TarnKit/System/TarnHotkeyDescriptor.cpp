#include "TarnKit/System/TarnHotkeyDescriptor.h"

#include "TarnKit/Platform/JSONCoding.h"

namespace tarn {

void to_json(nlohmann::json& json, const TarnHotkeyDescriptor& descriptor) {
    json = nlohmann::json::object();
    json["keyCode"] = descriptor.keyCode;
    json["carbonModifiers"] = descriptor.carbonModifiers;
}

void from_json(const nlohmann::json& json, TarnHotkeyDescriptor& descriptor) {
    json::expectObject(json);
    descriptor.keyCode = json::required<std::uint32_t>(json, "keyCode");
    descriptor.carbonModifiers = json::required<std::uint32_t>(json, "carbonModifiers");
}

} // namespace tarn

std::size_t std::hash<tarn::TarnHotkeyDescriptor>::operator()(
    const tarn::TarnHotkeyDescriptor& descriptor) const noexcept {
    const std::uint64_t both =
        (std::uint64_t{descriptor.keyCode} << 32) | std::uint64_t{descriptor.carbonModifiers};
    return std::hash<std::uint64_t>{}(both);
}
