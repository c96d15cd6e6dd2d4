#include "TarnKit/Platform/BuildInfo.h"
#include "TarnKit/Utilities/TarnAppVersion.h"
#include "TarnKit/Utilities/TarnSemVer.h"

#include <gtest/gtest.h>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace {

using tarn::TarnAppVersion;
using tarn::TarnSemVer;
using tarn::TarnSemVerError;
using Kind = tarn::TarnVersionBumpKind;

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

TarnSemVer raw(std::int64_t major, std::int64_t minor, std::int64_t patch) {
    // Bypasses the clamping initialiser, as decoding does.
    TarnSemVer version;
    version.major = major;
    version.minor = minor;
    version.patch = patch;
    return version;
}

TEST(TarnSemVer, Parsing) {
    struct Case {
        std::string text;
        std::optional<TarnSemVer> expected;
    };
    const std::vector<Case> cases = {
        {"1.2.3", TarnSemVer(1, 2, 3)},
        {"V10.0.7", TarnSemVer(10, 0, 7)},
        {" v1.2.3 ", TarnSemVer(1, 2, 3)},
        {"\t1.2.3\n", TarnSemVer(1, 2, 3)},
        {"\u00A01.2.3\u2028", TarnSemVer(1, 2, 3)}, // Unicode white space and line breaks
        {"+1.2.3", TarnSemVer(1, 2, 3)},
        {"01.002.0", TarnSemVer(1, 2, 0)},
        {"9223372036854775807.0.0", raw(kMax, 0, 0)},
        {"9223372036854775808.0.0", std::nullopt}, // does not fit 64 bits
        {"1.2", std::nullopt},
        {"1.2.3.4", std::nullopt},
        {"1..3", std::nullopt},
        {"1.2.", std::nullopt},
        {".1.2", std::nullopt},
        {"1.2.x", std::nullopt},
        {"1.2.-3", std::nullopt},
        {"1.2.3-beta", std::nullopt},
        {"vv1.2.3", std::nullopt},
        {"v 1.2.3", std::nullopt},
        {"1. 2.3", std::nullopt},
        {"1.2.+-3", std::nullopt},
        {"\uFF11.2.3", std::nullopt}, // a full-width digit is no ASCII digit
        {"", std::nullopt},
        {"v", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TarnSemVer::parsing(c.text), c.expected) << "'" << c.text << "'";
}

TEST(TarnSemVer, ParseFailsWithTheInputAsPassed) {
    try {
        (void)TarnSemVer::parse(" 1.2 ");
        FAIL() << "parsed";
    } catch (const TarnSemVerError& error) {
        EXPECT_EQ(error, TarnSemVerError::invalidFormat(" 1.2 "));
        EXPECT_EQ(error.kind(), TarnSemVerError::Kind::invalidFormat);
        EXPECT_EQ(error.errorDescription(),
                  "Invalid SemVer 2.0.0 string: ' 1.2 ' (expected MAJOR.MINOR.PATCH).");
        EXPECT_EQ(error.domain(), "TarnKit.TarnSemVerError");
    }
    EXPECT_EQ(TarnSemVer::parse(" v4.5.6\n"), TarnSemVer(4, 5, 6));
}

TEST(TarnSemVer, ValuesOrderPrintAndClamp) {
    EXPECT_EQ(TarnSemVer(-1, 2, 3), TarnSemVer(0, 2, 3));
    EXPECT_EQ(TarnSemVer(1, -5, -9).description(), "1.0.0");
    EXPECT_EQ(raw(kMax, 0, 12).description(), "9223372036854775807.0.12");
    EXPECT_LT(TarnSemVer(1, 9, 9), TarnSemVer(2, 0, 0));
    EXPECT_LT(TarnSemVer(1, 2, 9), TarnSemVer(1, 3, 0));
    EXPECT_LT(TarnSemVer(1, 2, 3), TarnSemVer(1, 2, 4));
    EXPECT_GE(TarnSemVer(1, 2, 3), TarnSemVer(1, 2, 3));
}

TEST(TarnSemVer, Bumping) {
    const TarnSemVer version(1, 2, 3);
    EXPECT_EQ(version.bumped(Kind::build), version);
    EXPECT_EQ(version.bumped(Kind::patch), TarnSemVer(1, 2, 4));
    EXPECT_EQ(version.bumped(Kind::minor), TarnSemVer(1, 3, 0));
    EXPECT_EQ(version.bumped(Kind::major), TarnSemVer(2, 0, 0));

    // A component at the largest value has no successor; the others still bump.
    EXPECT_EQ(raw(1, 2, kMax).bumped(Kind::patch), std::nullopt);
    EXPECT_EQ(raw(1, kMax, 3).bumped(Kind::minor), std::nullopt);
    EXPECT_EQ(raw(kMax, 2, 3).bumped(Kind::major), std::nullopt);
    EXPECT_EQ(raw(1, 2, kMax).bumped(Kind::minor), TarnSemVer(1, 3, 0));
    EXPECT_EQ(raw(kMax, kMax, kMax).bumped(Kind::build), raw(kMax, kMax, kMax));
}

TEST(TarnSemVer, TransitionPolicy) {
    struct Case {
        TarnSemVer from;
        TarnSemVer to;
        Kind kind;
        const char* expectedError; // nullptr: the transition is valid
    };
    const TarnSemVer v123(1, 2, 3);
    const std::vector<Case> cases = {
        {v123, TarnSemVer(1, 2, 4), Kind::patch, nullptr},
        {v123, TarnSemVer(1, 3, 0), Kind::minor, nullptr},
        {v123, TarnSemVer(2, 0, 0), Kind::major, nullptr},
        {v123, v123, Kind::build, nullptr},
        {v123, TarnSemVer(1, 2, 2), Kind::patch, "Version downgrade blocked: 1.2.3 -> 1.2.2."},
        {v123, TarnSemVer(1, 2, 2), Kind::build, "Version downgrade blocked: 1.2.3 -> 1.2.2."},
        {v123, TarnSemVer(0, 9, 9), Kind::major, "Version downgrade blocked: 1.2.3 -> 0.9.9."},
        {v123, TarnSemVer(1, 2, 5), Kind::patch,
         "Multi-step version jump blocked by Corvane policy: 1.2.3 -> 1.2.5. Only +1 increments "
         "are permitted."},
        {v123, TarnSemVer(3, 0, 0), Kind::major,
         "Multi-step version jump blocked by Corvane policy: 1.2.3 -> 3.0.0. Only +1 increments "
         "are permitted."},
        {v123, TarnSemVer(1, 4, 0), Kind::minor,
         "Multi-step version jump blocked by Corvane policy: 1.2.3 -> 1.4.0. Only +1 increments "
         "are permitted."},
        {v123, TarnSemVer(1, 3, 0), Kind::patch,
         "Transition 1.2.3 -> 1.3.0 does not match requested 'patch' bump."},
        {v123, TarnSemVer(2, 1, 0), Kind::major,
         "Transition 1.2.3 -> 2.1.0 does not match requested 'major' bump."},
        {v123, v123, Kind::patch,
         "Transition 1.2.3 -> 1.2.3 does not match requested 'patch' bump."},
        {v123, TarnSemVer(1, 2, 4), Kind::build,
         "Transition 1.2.3 -> 1.2.4 does not match requested 'build' bump."},
        // At the largest value there is no next version: never valid, never
        // wrapped round to a "valid" lower one.
        {raw(kMax, 0, 0), raw(kMax, 0, 0), Kind::major,
         "Transition 9223372036854775807.0.0 -> 9223372036854775807.0.0 does not match "
         "requested 'major' bump."},
        {raw(1, 2, kMax), raw(1, 3, 0), Kind::minor, nullptr},
        // Decoded values may be negative; the distance must not overflow.
        {raw(kMin, 0, 0), raw(kMax, 0, 0), Kind::major,
         "Multi-step version jump blocked by Corvane policy: -9223372036854775808.0.0 -> "
         "9223372036854775807.0.0. Only +1 increments are permitted."},
        {raw(1, kMin, 0), raw(1, kMin + 1, 0), Kind::minor, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from.description() + " -> " + c.to.description() + " " +
                     std::string(tarn::rawValue(c.kind)));
        try {
            TarnSemVer::validateTransition(c.from, c.to, c.kind);
            EXPECT_EQ(c.expectedError, nullptr);
        } catch (const TarnSemVerError& error) {
            ASSERT_NE(c.expectedError, nullptr) << error.errorDescription();
            EXPECT_EQ(error.errorDescription(), c.expectedError);
            EXPECT_EQ(error.from(), c.from.description());
            EXPECT_EQ(error.to(), c.to.description());
        }
    }
}

TEST(TarnSemVer, ErrorsCompareByCaseAndPayload) {
    EXPECT_EQ(TarnSemVerError::unexpectedBumpKind(Kind::patch, "1.0.0", "2.0.0"),
              TarnSemVerError::unexpectedBumpKind(Kind::patch, "1.0.0", "2.0.0"));
    EXPECT_NE(TarnSemVerError::unexpectedBumpKind(Kind::patch, "1.0.0", "2.0.0"),
              TarnSemVerError::unexpectedBumpKind(Kind::minor, "1.0.0", "2.0.0"));
    EXPECT_NE(TarnSemVerError::downgradeNotAllowed("1.0.0", "0.1.0"),
              TarnSemVerError::multiStepJumpBlocked("1.0.0", "0.1.0"));
}

TEST(TarnSemVer, JSONCoding) {
    EXPECT_EQ(nlohmann::json(TarnSemVer(1, 4, 2)),
              nlohmann::json::parse(R"({"major":1,"minor":4,"patch":2})"));
    EXPECT_EQ(nlohmann::json::parse(R"({"major":-1,"minor":0,"patch":9})").get<TarnSemVer>(),
              raw(-1, 0, 9)); // decoded as it stands
    for (const char* bad : {R"({"major":1,"minor":2})", R"({"major":1,"minor":"2","patch":3})",
                            R"({"major":1,"minor":2,"patch":3.5})",
                            R"({"major":1,"minor":2,"patch":18446744073709551615})", "[1,2,3]"})
        EXPECT_ANY_THROW(nlohmann::json::parse(bad).get<TarnSemVer>()) << bad;

    for (const Kind kind : tarn::kAllVersionBumpKinds) {
        EXPECT_EQ(nlohmann::json(kind).get<Kind>(), kind);
        EXPECT_EQ(tarn::versionBumpKindFromRaw(tarn::rawValue(kind)), kind);
    }
    EXPECT_EQ(nlohmann::json(Kind::minor), "minor");
    EXPECT_EQ(tarn::versionBumpKindFromRaw("Major"), std::nullopt);
    EXPECT_ANY_THROW(nlohmann::json("hotfix").get<Kind>());
}

TEST(TarnAppVersion, EntriesAreTrimmedWithFallbacks) {
    struct Case {
        std::optional<std::string_view> version;
        std::optional<std::string_view> build;
        TarnAppVersion expected;
    };
    const std::vector<Case> cases = {
        {" 2.0.1\n", "57", {"2.0.1", "57"}},
        {"   ", "\t\n", {"1.0.0", "100"}},
        {std::nullopt, std::nullopt, {"1.0.0", "100"}},
        {"", " 58 ", {"1.0.0", "58"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TarnAppVersion::fromEntries(c.version, c.build, "1.0.0", "100"), c.expected);
    // Fallbacks are used as given, untrimmed.
    EXPECT_EQ(TarnAppVersion::fromEntries(std::nullopt, " ", " 9.9 ", " b "),
              (TarnAppVersion{" 9.9 ", " b "}));
}

TEST(TarnAppVersion, CurrentComesFromTheBuild) {
    // The project version and build number that CMake compiled in.
    const TarnAppVersion compiled{tarn::buildinfo::version, tarn::buildinfo::build};
    ASSERT_FALSE(compiled.shortVersion.empty());
    EXPECT_EQ(TarnAppVersion::current(), compiled);
    EXPECT_EQ(TarnAppVersion::current("9.9.9", "1"), compiled);
}

TEST(TarnAppVersion, DisplayForms) {
    const TarnAppVersion version = TarnAppVersion::fromEntries("1.0.0", std::nullopt, "x", "100");
    EXPECT_EQ(version.tag(), "v1.0.0");
    EXPECT_EQ(version.detailedDisplay(), "v1.0.0 (100)");
    EXPECT_EQ((TarnAppVersion{"1.4.2", "57"}).detailedDisplay(), "v1.4.2 (57)");
    EXPECT_EQ((TarnAppVersion{"1.4.2", "57"}).semVer(), TarnSemVer(1, 4, 2));
    EXPECT_EQ((TarnAppVersion{"1.4", "57"}).semVer(), std::nullopt);
}

} // namespace
