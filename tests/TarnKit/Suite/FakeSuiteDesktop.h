#pragma once

#include "TarnKit/Suite/SuiteDesktop.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tarn::testing {

// A desktop whose running list and installed entries the test sets, and
// which records what it was asked to do.
class FakeSuiteDesktop final : public SuiteDesktop {
public:
    std::vector<RunningApplication> running;
    std::map<std::string, std::filesystem::path> installed; // bundle identifier -> entry
    bool openSucceeds = true;

    std::vector<RunningApplication> activated;
    struct Opened {
        std::filesystem::path entry;
        bool activates;
    };
    std::vector<Opened> opened;

    void clear() {
        running.clear();
        installed.clear();
        openSucceeds = true;
        activated.clear();
        opened.clear();
    }
    void run(TarnSuiteApp app) {
        running.push_back({suiteapp::bundleIdentifier(app), std::nullopt, 4242});
    }
    void install(TarnSuiteApp app) {
        installed[suiteapp::bundleIdentifier(app)] =
            "/apps/" + suiteapp::bundleIdentifier(app) + ".desktop";
    }

    std::vector<RunningApplication> runningApplications() override { return running; }
    bool activate(const RunningApplication& application) override {
        activated.push_back(application);
        return true;
    }
    std::optional<std::filesystem::path>
    installedEntry(std::string_view bundleIdentifier) override {
        const auto found = installed.find(std::string(bundleIdentifier));
        if (found == installed.end())
            return std::nullopt;
        return found->second;
    }
    bool open(const std::filesystem::path& entry, bool activates) override {
        opened.push_back({entry, activates});
        return openSucceeds;
    }
};

} // namespace tarn::testing
