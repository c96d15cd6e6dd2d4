#pragma once

// Shared by the service tests that talk to loopback servers: the application
// log moved into a temporary folder so a test can read exactly the lines it
// caused, and small request builders.

#include "QuillerCore/Models/RequestModel.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Utilities/TarnAppLogger.h"
#include "support/TemporaryFolder.h"

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quiller::testing {

// The shared "Quiller" logger, made (on first use) to write into a temporary
// folder that lives until the process ends. Must be called before anything
// else in the process logs.
inline tarn::TarnAppLogger& capturedApplicationLog() {
    static const tarn::testing::TemporaryFolder folder("quiller-net-log");
    static tarn::TarnAppLogger& logger = []() -> tarn::TarnAppLogger& {
        ::setenv("XDG_DATA_HOME", folder.path().c_str(), 1);
        return tarn::TarnAppLogger::shared("Quiller");
    }();
    return logger;
}

// Each test starts with an empty application log.
class ApplicationLogTest : public ::testing::Test {
protected:
    void SetUp() override { capturedApplicationLog().clear(); }

    // Every line written since the test began, oldest first.
    static std::vector<tarn::TarnLogEntry> logLines() {
        std::vector<tarn::TarnLogEntry> lines =
            capturedApplicationLog().recentEntries(1000, tarn::TarnLogLevel::debug);
        std::reverse(lines.begin(), lines.end());
        return lines;
    }
};

inline APIRequestSpec requestSpec(std::string url, TarnHTTPMethod method = TarnHTTPMethod::get) {
    APIRequestSpec spec;
    spec.name = "Loopback";
    spec.url = std::move(url);
    spec.method = method;
    return spec;
}

// The error a failing call throws; fails the test when it throws none.
template <typename Call> tarn::PlatformError platformErrorOf(Call&& call) {
    try {
        call();
    } catch (const tarn::PlatformError& error) {
        return error;
    }
    ADD_FAILURE() << "no error was thrown";
    return tarn::PlatformError("none", 0, "none");
}

// Whether `text` is `prefix`, one or more decimal digits, then `suffix`: log
// lines carry measured milliseconds that a test cannot know in advance.
inline bool matchesWithMilliseconds(const std::string& text, const std::string& prefix,
                                    const std::string& suffix) {
    if (text.size() <= prefix.size() + suffix.size() || !text.starts_with(prefix) ||
        !text.ends_with(suffix))
        return false;
    const std::string digits =
        text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
    return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace quiller::testing
