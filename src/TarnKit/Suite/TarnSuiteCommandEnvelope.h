#pragma once

#include "TarnKit/Platform/UUID.h"
#include "TarnKit/Suite/SuiteRecordCodec.h"
#include "TarnKit/Suite/TarnSuiteApp.h"
#include "TarnKit/Suite/TarnSuiteCommandKind.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarn {

// One command from one suite application to another, as it travels in the
// target's command file. The five first keys are required; the three
// optional ones may be missing or null and are left out when absent.
struct TarnSuiteCommandEnvelope {
    UUID id;
    suite::Date timestamp{};
    TarnSuiteApp sourceApp = TarnSuiteApp::quiller;
    TarnSuiteApp targetApp = TarnSuiteApp::quiller;
    TarnSuiteCommandKind kind = TarnSuiteCommandKind::heddleSmartOffload;
    std::optional<std::int32_t> targetPID;
    std::optional<std::string> targetName;
    std::optional<std::string> payload;

    friend bool operator==(const TarnSuiteCommandEnvelope&,
                           const TarnSuiteCommandEnvelope&) = default;
};

std::optional<std::string> encodeRecord(const TarnSuiteCommandEnvelope& record);
[[nodiscard]] std::optional<TarnSuiteCommandEnvelope>
decodeRecord(std::string_view text, suite::RecordTag<TarnSuiteCommandEnvelope>);

} // namespace tarn
