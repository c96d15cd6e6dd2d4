#pragma once

#include "TarnKit/Suite/SuiteRecordCodec.h"

#include <chrono>
#include <cstdint>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace tarn::testing {

// 2026-03-01T09:15:00Z.
inline suite::Date sampleDate() {
    return suite::Date(std::chrono::seconds(1772356500));
}

inline std::int32_t ownPID() {
    return static_cast<std::int32_t>(::getpid());
}

// A process id that names no process: a child that was started and reaped.
inline std::int32_t deadPID() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return static_cast<std::int32_t>(child);
}

// The record's JSON as a tree, to change one member and decode it again.
template <class Record> nlohmann::json treeOf(const Record& record) {
    const std::optional<std::string> text = suite::encode(record);
    EXPECT_TRUE(text.has_value());
    return nlohmann::json::parse(text.value_or("{}"));
}

template <class Record> std::optional<Record> decodeTree(const nlohmann::json& tree) {
    return suite::decode<Record>(tree.dump());
}

} // namespace tarn::testing
