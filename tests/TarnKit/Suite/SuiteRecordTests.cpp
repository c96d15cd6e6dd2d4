#include "SuiteTestSupport.h"
#include "TarnKit/Platform/UnicodeText.h"
#include "TarnKit/Suite/HeddleLiveStatus.h"
#include "TarnKit/Suite/KelbyLiveStatus.h"
#include "TarnKit/Suite/OrrinLiveStatus.h"
#include "TarnKit/Suite/PitlowLiveStatus.h"
#include "TarnKit/Suite/SkettoLiveStatus.h"
#include "TarnKit/Suite/SuiteNumbers.h"
#include "TarnKit/Suite/TarnLiveActivityTile.h"
#include "TarnKit/Suite/TarnSuiteApp.h"
#include "TarnKit/Suite/TarnSuiteCommandEnvelope.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace {

using namespace tarn;
using nlohmann::json;
using tarn::testing::decodeTree;
using tarn::testing::sampleDate;
using tarn::testing::treeOf;
using namespace std::chrono_literals;

constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();

HeddleOffloadLiveProgress sampleOffload() {
    return HeddleOffloadLiveProgress::make({sampleDate(),
                                            true,
                                            false,
                                            2,
                                            4,
                                            0.5,
                                            "Freezing",
                                            "Donduruluyor",
                                            "2 of 4",
                                            "2 / 4",
                                            1'000,
                                            4'000,
                                            {"Tavlor"},
                                            "warning"});
}

HeddleLiveStatus sampleHeddle() {
    HeddleLiveStatus s;
    s.timestamp = sampleDate();
    s.senderPID = 4242;
    s.physicalTotalBytes = 17'179'869'184;
    s.physicalUsedBytes = 8'000'000'000;
    s.compressedBytes = 1'000'000;
    s.usedPercent = 46.5;
    s.swapTotalBytes = 2'000'000'000;
    s.swapUsedBytes = 3;
    s.swapFileCount = 1;
    s.swapEncrypted = true;
    s.pressureLevel = "normal";
    s.healthScore = 90;
    s.activeDiskPoolCount = 1;
    s.diskPoolVirtualBytes = 64'000'000'000;
    s.diskPoolActualDiskBytes = 1'000;
    s.diskPoolNames = {"Pool A"};
    s.frozenPIDs = {12, 13};
    s.frozenAppCount = 2;
    s.offloadProgress = sampleOffload();
    return s;
}

// --- The codec ------------------------------------------------------------

TEST(SuiteRecordCodec, WritesCompactJSONWithKeysInFieldOrder) {
    const std::string text = suite::encode(sampleHeddle()).value();
    EXPECT_EQ(
        text.rfind(R"({"timestamp":"2026-03-01T09:15:00Z","senderPID":4242,"physicalTotalBytes":)",
                   0),
        0u)
        << text;
    EXPECT_EQ(text.find(' '), text.find("\"Pool A\"") + 5) << "no blanks outside strings";
    EXPECT_LT(text.find("\"reclaimedFromFrozenBytes\""), text.find("\"offloadProgress\""));
}

TEST(SuiteRecordCodec, EveryRecordRoundTrips) {
    const HeddleLiveStatus heddle = sampleHeddle();
    EXPECT_EQ(suite::decode<HeddleLiveStatus>(suite::encode(heddle).value()), heddle);

    SkettoLiveStatus sketto{sampleDate(), 7,  12.5, 3,   55, 1,         61.5,
                            std::nullopt, 58, 1200, 9.5, 80, "nominal", 97};
    EXPECT_EQ(suite::decode<SkettoLiveStatus>(suite::encode(sketto).value()), sketto);

    TavlorLiveStatus tavlor{sampleDate(), 8, 400, 1, 2, {"Stuck"}, 0, {99}, "Deep Work", 5'000, 12};
    EXPECT_EQ(suite::decode<TavlorLiveStatus>(suite::encode(tavlor).value()), tavlor);

    KelbyLiveStatus kelby{sampleDate(),
                          9,
                          0.8,
                          "Speakers",
                          {{"c1", "org.example.player", "Player", true, false, 1.5, 0.25F}}};
    EXPECT_EQ(suite::decode<KelbyLiveStatus>(suite::encode(kelby).value()), kelby);

    LankinLiveStatus lankin{sampleDate(), 10,   "Song", "Artist", "Album",
                            "Hi-Res",     true, 30,     120,      0.5};
    EXPECT_EQ(suite::decode<LankinLiveStatus>(suite::encode(lankin).value()), lankin);

    OrrinLiveStatus orrin;
    orrin.timestamp = sampleDate();
    orrin.senderPID = 11;
    orrin.isRunning = true;
    orrin.activeTaskID = "T-1";
    orrin.focusScorePercent = 70;
    orrin.todayProductiveSeconds = 3600.5;
    EXPECT_EQ(suite::decode<OrrinLiveStatus>(suite::encode(orrin).value()), orrin);

    PitlowLiveStatus pitlow;
    pitlow.timestamp = sampleDate();
    pitlow.senderPID = 12;
    pitlow.openTodayCount = 3;
    pitlow.miniPanelFrame = TarnScreenRect{1, 2, 300, 200};
    EXPECT_EQ(suite::decode<PitlowLiveStatus>(suite::encode(pitlow).value()), pitlow);

    const auto tile = TarnLiveActivityTile::make(TarnSuiteApp::heddle, sampleDate(), 13, "Offload",
                                                 "Boşaltma", "4.0 GB", "2 apps", 0.25, std::nullopt,
                                                 TarnLiveActivityTile::Tone::active, 5);
    EXPECT_EQ(suite::decode<TarnLiveActivityTile>(suite::encode(tile).value()), tile);

    const TarnSuiteCommandEnvelope envelope{UUID::random(),
                                            sampleDate(),
                                            TarnSuiteApp::quiller,
                                            TarnSuiteApp::heddle,
                                            TarnSuiteCommandKind::heddleFreezePID,
                                            77,
                                            "Browser",
                                            "{\"a\":1}"};
    EXPECT_EQ(suite::decode<TarnSuiteCommandEnvelope>(suite::encode(envelope).value()), envelope);
}

TEST(SuiteRecordCodec, DatesMustBeWholeSecondsInUTC) {
    const json tree = treeOf(sampleHeddle());
    const struct {
        json value;
        bool decodes;
    } cases[] = {
        {"2026-03-01T09:15:00Z", true},    {"2026-03-01T09:15:00.000Z", false},
        {"2026-03-01T09:15:00.5Z", false}, {"2026-03-01T10:15:00+01:00", false},
        {"2026-03-01T09:15:00z", false},   {"2026-03-01 09:15:00Z", false},
        {"2026-02-30T09:15:00Z", false},   {1772356500, false},
    };
    for (const auto& c : cases) {
        json changed = tree;
        changed["timestamp"] = c.value;
        EXPECT_EQ(decodeTree<HeddleLiveStatus>(changed).has_value(), c.decodes) << c.value.dump();
    }
}

TEST(SuiteRecordCodec, WritesDatesInWholeSecondsSoAFractionDoesNotSurvive) {
    HeddleLiveStatus status = sampleHeddle();
    status.timestamp += 400ms;
    const auto read = suite::decode<HeddleLiveStatus>(suite::encode(status).value());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->timestamp, sampleDate());
    EXPECT_NE(*read, status);
}

TEST(SuiteRecordCodec, TakesIntegersOnlyFromJSONIntegersInRange) {
    const json tree = treeOf(sampleHeddle());
    const struct {
        const char* key;
        json value;
        bool decodes;
    } cases[] = {
        {"senderPID", 2147483647, true},
        {"senderPID", -2147483648LL, true},
        {"senderPID", 2147483648LL, false},
        {"senderPID", 42.0, false},
        {"senderPID", "42", false},
        {"swapTotalBytes", kInt64Max, true},
        {"swapTotalBytes", kInt64Min, true},
        {"swapTotalBytes", std::numeric_limits<std::uint64_t>::max(), false},
        {"swapTotalBytes", 1e10, false},
        {"swapTotalBytes", true, false},
        {"usedPercent", 46, true}, // any JSON number is a double
        {"usedPercent", "46", false},
        {"swapEncrypted", 1, false},
        {"frozenPIDs", json::array({1, 2147483648LL}), false},
        {"frozenPIDs", json::array({1, 2.5}), false},
        {"diskPoolNames", json::array({"a", nullptr}), false},
    };
    for (const auto& c : cases) {
        json changed = tree;
        changed[c.key] = c.value;
        EXPECT_EQ(decodeTree<HeddleLiveStatus>(changed).has_value(), c.decodes)
            << c.key << " = " << c.value.dump();
    }
}

TEST(SuiteRecordCodec, RefusesTextThatIsNoRecord) {
    for (const char* text : {"", "null", "[]", "42", "{", "{\"timestamp\":}", "\xff"})
        EXPECT_FALSE(suite::decode<HeddleLiveStatus>(text)) << text;
}

TEST(SuiteRecordCodec, RefusesToWriteNumbersWithoutJSONText) {
    HeddleLiveStatus status = sampleHeddle();
    status.usedPercent = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(suite::encode(status));
    status.usedPercent = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(suite::encode(status));
}

// --- Heddle -----------------------------------------------------------------

TEST(HeddleLiveStatus, DecodeTable) {
    const json tree = treeOf(sampleHeddle());
    json withoutProgress = tree;
    withoutProgress.erase("offloadProgress");
    json nullProgress = tree;
    nullProgress["offloadProgress"] = nullptr;

    for (const json& changed : {withoutProgress, nullProgress}) {
        const auto read = decodeTree<HeddleLiveStatus>(changed);
        ASSERT_TRUE(read);
        EXPECT_FALSE(read->offloadProgress);
        EXPECT_EQ(suite::encode(*read).value().find("offloadProgress"), std::string::npos);
    }
    for (const auto& [key, _] : tree.items()) {
        if (key == "offloadProgress")
            continue;
        json missing = tree;
        missing.erase(key);
        EXPECT_FALSE(decodeTree<HeddleLiveStatus>(missing)) << "without " << key;
        json null = tree;
        null[key] = nullptr;
        EXPECT_FALSE(decodeTree<HeddleLiveStatus>(null)) << "null " << key;
    }
    for (const auto& [key, _] : tree["offloadProgress"].items()) {
        json missing = tree;
        missing["offloadProgress"].erase(key);
        EXPECT_FALSE(decodeTree<HeddleLiveStatus>(missing)) << "progress without " << key;
    }
}

TEST(HeddleOffloadLiveProgress, InitialiserClampsButDecodingKeepsTheFile) {
    const struct {
        std::int64_t totalSteps;
        double fraction;
        std::int64_t expectedSteps;
        double expectedFraction;
    } cases[] = {
        {0, -0.2, 1, 0},
        {-3, 1.7, 1, 1},
        {2, 0.4, 2, 0.4},
        {5, std::nan(""), 5, 0},
    };
    for (const auto& c : cases) {
        HeddleOffloadLiveProgress fields = sampleOffload();
        fields.totalSteps = c.totalSteps;
        fields.fractionCompleted = c.fraction;
        const auto made = HeddleOffloadLiveProgress::make(fields);
        EXPECT_EQ(made.totalSteps, c.expectedSteps);
        EXPECT_EQ(made.fractionCompleted, c.expectedFraction);
    }
    json tree = treeOf(sampleOffload());
    tree["totalSteps"] = 0;
    tree["fractionCompleted"] = 1.7;
    const auto read = decodeTree<HeddleOffloadLiveProgress>(tree);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->totalSteps, 0);
    EXPECT_EQ(read->fractionCompleted, 1.7);
}

TEST(HeddleLiveStatus, DerivedFiguresAndSaturatingSums) {
    constexpr std::int64_t GiB = 1LL << 30;
    HeddleLiveStatus status;
    status.diskPoolVirtualBytes = 10 * GiB;
    status.sparseDiskVirtualBytes = 5 * GiB;
    status.ramDiskTotalBytes = 2 * GiB;
    status.diskPoolActualDiskBytes = 3;
    EXPECT_FALSE(status.hasVirtualDiskExpansion()) << "byte fields alone are no expansion";
    EXPECT_EQ(status.totalVirtualPoolCapacityBytes(), 15 * GiB);
    status.mountedRAMDiskCount = 1;
    EXPECT_TRUE(status.hasVirtualDiskExpansion());

    // Figures from a hostile file: the sums stop at the ends (UBSan checks the rest).
    status.diskPoolVirtualBytes = kInt64Max;
    status.sparseDiskActualBytes = kInt64Min;
    status.diskPoolActualDiskBytes = -1;
    EXPECT_EQ(status.totalVirtualPoolCapacityBytes(), kInt64Max);
    EXPECT_EQ(status.totalVirtualDiskActualBytes(), kInt64Min);
    EXPECT_EQ(suite::saturatingSubtract(kInt64Min, 1), kInt64Min);
    EXPECT_EQ(suite::saturatingSubtract(kInt64Max, -1), kInt64Max);
}

// --- Sketto and Tavlor -------------------------------------------------------

TEST(SkettoLiveStatus, OptionalFiguresMayBeMissingAndHeadlineTemperaturePrefersTheProcessor) {
    json tree =
        treeOf(SkettoLiveStatus{sampleDate(), 7, 1, 2, 3, 4, 61.5, 70, 58, 1200, 9, 80, "hot", 97});
    for (const char* key :
         {"cpuTempCelsius", "gpuTempCelsius", "socTempCelsius", "fanMaxRPM", "systemWatts"})
        tree.erase(key);
    tree["nvmeHealthPercent"] = nullptr;
    const auto bare = decodeTree<SkettoLiveStatus>(tree);
    ASSERT_TRUE(bare);
    EXPECT_FALSE(bare->cpuTempCelsius || bare->gpuTempCelsius || bare->socTempCelsius ||
                 bare->fanMaxRPM || bare->systemWatts || bare->nvmeHealthPercent);
    const std::string again = suite::encode(*bare).value();
    EXPECT_EQ(again.find("Celsius"), std::string::npos);
    EXPECT_EQ(again.find("nvmeHealthPercent"), std::string::npos);

    const struct {
        std::optional<double> cpu, soc, gpu, expected;
    } cases[] = {
        {61.5, 58, 70, 61.5},
        {std::nullopt, 58, 70, 58},
        {std::nullopt, std::nullopt, 70, 70},
        {std::nullopt, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SkettoLiveStatus status;
        status.cpuTempCelsius = c.cpu;
        status.socTempCelsius = c.soc;
        status.gpuTempCelsius = c.gpu;
        EXPECT_EQ(status.headlineTempCelsius(), c.expected);
    }
}

TEST(TavlorLiveStatus, DecodeTable) {
    const json tree =
        treeOf(TavlorLiveStatus{sampleDate(), 8, 400, 1, 2, {"Stuck"}, 0, {99}, "Deep", 5, 12});
    const struct {
        const char* key;
        json value; // a discarded value removes the key
        bool decodes;
    } cases[] = {
        {"activeFocusProfileName", nullptr, true},
        {"activeFocusProfileName", json(json::value_t::discarded), true},
        {"reclaimedFocusBytes", json(json::value_t::discarded), false},
        {"unresponsiveAppNames", json::array(), true},
        {"autoFrozenPIDs", json::array(), true},
        {"autoFrozenPIDs", json(json::value_t::discarded), false},
        {"unresponsiveAppNames", nullptr, false},
    };
    for (const auto& c : cases) {
        json changed = tree;
        if (c.value.is_discarded())
            changed.erase(c.key);
        else
            changed[c.key] = c.value;
        EXPECT_EQ(decodeTree<TavlorLiveStatus>(changed).has_value(), c.decodes)
            << c.key << " " << c.value.dump();
    }
}

// --- Kelby and Lankin --------------------------------------------------------

TEST(KelbyLiveStatus, InitialisersClampAndCountsFollowTheChannels) {
    const auto channel = [](double volume, float rms) {
        return KelbyAudioAppItem::make({"c", "b", "n", true, false, volume, rms});
    };
    EXPECT_EQ(channel(2.5, 0).volume, 2);
    EXPECT_EQ(channel(-0.1, 0).volume, 0);
    EXPECT_EQ(channel(1, -3).rmsLevel, 0);
    EXPECT_EQ(channel(1, 7).rmsLevel, 7);
    KelbyLiveStatus mixer;
    mixer.masterVolume = 1.2;
    EXPECT_EQ(KelbyLiveStatus::make(mixer).masterVolume, 1);
    mixer.masterVolume = -1;
    EXPECT_EQ(KelbyLiveStatus::make(mixer).masterVolume, 0);

    json tree =
        treeOf(KelbyLiveStatus{sampleDate(), 9, 0.5, "Out", {{"c", "b", "n", true, false, 1, 0}}});
    tree["channels"][0]["volume"] = 2.5;
    const auto read = decodeTree<KelbyLiveStatus>(tree);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->channels.at(0).volume, 2.5);
    tree["channels"][0].erase("rmsLevel");
    EXPECT_FALSE(decodeTree<KelbyLiveStatus>(tree)) << "a key missing inside one channel";

    KelbyLiveStatus status;
    EXPECT_EQ(status.activePlayingCount(), 0);
    EXPECT_EQ(status.mutedCount(), 0);
    status.channels = {{"1", "", "", true, false, 1, 0},
                       {"2", "", "", true, true, 1, 0},
                       {"3", "", "", false, true, 1, 0},
                       {"4", "", "", false, false, 1, 0}};
    EXPECT_EQ(status.activePlayingCount(), 1);
    EXPECT_EQ(status.mutedCount(), 2);
}

TEST(LankinLiveStatus, ProgressAndInitialiser) {
    const struct {
        double elapsed, duration, expected;
    } cases[] = {{30, 120, 0.25}, {130, 120, 1}, {30, 0, 0}, {-5, 120, 0}, {30, std::nan(""), 0}};
    for (const auto& c : cases) {
        LankinLiveStatus status;
        status.elapsedSeconds = c.elapsed;
        status.durationSeconds = c.duration;
        EXPECT_EQ(status.progress(), c.expected) << c.elapsed << "/" << c.duration;
    }
    LankinLiveStatus fields;
    fields.elapsedSeconds = -5;
    fields.durationSeconds = -1;
    fields.volume = 3;
    const auto made = LankinLiveStatus::make(fields);
    EXPECT_EQ(made.elapsedSeconds, 0);
    EXPECT_EQ(made.durationSeconds, 0);
    EXPECT_EQ(made.volume, 1);
}

// --- Orrin and Pitlow ----------------------------------------------------------

json minimalRecord() {
    return {{"timestamp", "2026-03-01T09:15:00Z"}, {"senderPID", 5}};
}

TEST(OrrinLiveStatus, LenientDecodingTakesDefaultsAndNormalises) {
    const auto bare = decodeTree<OrrinLiveStatus>(minimalRecord());
    ASSERT_TRUE(bare);
    OrrinLiveStatus expected;
    expected.timestamp = sampleDate();
    expected.senderPID = 5;
    EXPECT_EQ(*bare, expected);
    EXPECT_EQ(bare->sessionModeRaw, "pomodoro25");
    EXPECT_EQ(bare->remainingSeconds, 1500);
    EXPECT_EQ(bare->progress(), 0);

    const struct {
        const char* key;
        json value;
        std::int64_t OrrinLiveStatus::*field;
        std::int64_t expected;
    } cases[] = {
        {"focusScorePercent", 140, &OrrinLiveStatus::focusScorePercent, 100},
        {"focusScorePercent", -5, &OrrinLiveStatus::focusScorePercent, 0},
        {"totalSeconds", 0, &OrrinLiveStatus::totalSeconds, 1},
        {"totalSeconds", nullptr, &OrrinLiveStatus::totalSeconds, 1500},
        {"remainingSeconds", -30, &OrrinLiveStatus::remainingSeconds, 0},
        {"lockedAppsCount", kInt64Min, &OrrinLiveStatus::lockedAppsCount, 0},
        {"currentStreakDays", kInt64Max, &OrrinLiveStatus::currentStreakDays, kInt64Max},
    };
    for (const auto& c : cases) {
        json tree = minimalRecord();
        tree[c.key] = c.value;
        const auto read = decodeTree<OrrinLiveStatus>(tree);
        ASSERT_TRUE(read) << c.key;
        EXPECT_EQ((*read).*(c.field), c.expected) << c.key << " = " << c.value.dump();
    }
    for (const auto& [key, value] :
         std::vector<std::pair<const char*, json>>{{"isRunning", "yes"},
                                                   {"remainingSeconds", 1.5},
                                                   {"activeTaskID", 7},
                                                   {"senderPID", nullptr}}) {
        json tree = minimalRecord();
        tree[key] = value;
        EXPECT_FALSE(decodeTree<OrrinLiveStatus>(tree)) << key;
    }
}

TEST(OrrinLiveStatus, Progress) {
    const struct {
        std::int64_t remaining, total;
        double expected;
    } cases[] = {{900, 1500, 0.4}, {2000, 1500, 0}, {0, 1500, 1}, {0, 0, 1}, {kInt64Min, 1, 1}};
    for (const auto& c : cases) {
        OrrinLiveStatus status;
        status.remainingSeconds = c.remaining;
        status.totalSeconds = c.total;
        EXPECT_DOUBLE_EQ(status.progress(), c.expected) << c.remaining << "/" << c.total;
    }
}

TEST(PitlowLiveStatus, LenientDecodingTakesDefaultsAndNormalises) {
    const auto bare = decodeTree<PitlowLiveStatus>(minimalRecord());
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->dailyCapacityMinutes, 360);
    EXPECT_EQ(bare->nextBestTaskMinutes, 25);
    EXPECT_FALSE(bare->nextBestTaskID || bare->miniPanelFrame || bare->studioWindowFrame);
    EXPECT_FALSE(bare->isOrrinDockedInside);

    const struct {
        const char* key;
        json value;
        std::int64_t PitlowLiveStatus::*field;
        std::int64_t expected;
    } cases[] = {
        {"dailyCapacityMinutes", 10, &PitlowLiveStatus::dailyCapacityMinutes, 30},
        {"dailyCapacityMinutes", 0, &PitlowLiveStatus::dailyCapacityMinutes, 30},
        {"dailyCapacityMinutes", nullptr, &PitlowLiveStatus::dailyCapacityMinutes, 360},
        {"nextBestTaskMinutes", 2, &PitlowLiveStatus::nextBestTaskMinutes, 5},
        {"overdueCount", -4, &PitlowLiveStatus::overdueCount, 0},
    };
    for (const auto& c : cases) {
        json tree = minimalRecord();
        tree[c.key] = c.value;
        const auto read = decodeTree<PitlowLiveStatus>(tree);
        ASSERT_TRUE(read) << c.key;
        EXPECT_EQ((*read).*(c.field), c.expected) << c.key << " = " << c.value.dump();
    }

    json framed = minimalRecord();
    framed["studioWindowFrame"] = {{"x", 1}, {"y", 2}, {"width", -4}, {"height", 30}};
    const auto read = decodeTree<PitlowLiveStatus>(framed);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->studioWindowFrame, (TarnScreenRect{1, 2, -4, 30}))
        << "a file's frame is kept as written";
    framed["studioWindowFrame"].erase("height");
    EXPECT_FALSE(decodeTree<PitlowLiveStatus>(framed));
    EXPECT_EQ(TarnScreenRect::make(1, 2, -4, 30), (TarnScreenRect{1, 2, 0, 30}));
}

// --- Live tile ---------------------------------------------------------------

TEST(TarnLiveActivityTile, InitialiserAndDecodeTable) {
    using Tone = TarnLiveActivityTile::Tone;
    const auto tile = [](std::optional<double> progress, std::optional<std::string> symbol) {
        return TarnLiveActivityTile::make(TarnSuiteApp::sketto, sampleDate(), 3, "T", "T", "1",
                                          std::nullopt, progress, std::move(symbol), Tone::warning,
                                          1);
    };
    EXPECT_EQ(tile(1.4, "x").progress, 1.0);
    EXPECT_EQ(tile(-0.5, "x").progress, 0.0);
    EXPECT_FALSE(tile(std::nullopt, "x").progress);
    EXPECT_EQ(suite::encode(tile(std::nullopt, "x")).value().find("progress"), std::string::npos);
    EXPECT_EQ(tile(std::nullopt, std::nullopt).symbolName, "waveform.path.ecg");
    EXPECT_EQ(tile(std::nullopt, "bolt").symbolName, "bolt");

    const json tree = treeOf(tile(0.5, "x"));
    EXPECT_EQ(tree["app"], "Sketto");
    EXPECT_EQ(tree["tone"], "warning");
    const struct {
        const char* key;
        json value;
        bool decodes;
    } cases[] = {
        {"tone", "warning", true},
        {"tone", "Warning", false},
        {"tone", "amber", false},
        {"app", "Heddle", true},
        {"app", "heddle", false},
        {"app", "Palvine", false},
        {"progress", 1.7, true},
        {"progress", nullptr, true},
        {"secondaryMetric", nullptr, true},
        {"priority", 1.5, false},
        {"symbolName", nullptr, false},
    };
    for (const auto& c : cases) {
        json changed = tree;
        changed[c.key] = c.value;
        EXPECT_EQ(decodeTree<TarnLiveActivityTile>(changed).has_value(), c.decodes)
            << c.key << " = " << c.value.dump();
    }
    EXPECT_EQ(tile(0.1, "a").id(), tile(0.9, "b").id());
}

// --- Roster and command vocabulary -----------------------------------------------

TEST(TarnSuiteApp, RawValuesAndBundleIdentifiers) {
    EXPECT_EQ(suiteapp::allCases().size(), 49u);
    EXPECT_EQ(suiteapp::allCases().front(), TarnSuiteApp::tavlor);
    EXPECT_EQ(suiteapp::allCases().back(), TarnSuiteApp::vantry);
    EXPECT_EQ(suiteapp::fromRaw("Heddle"), TarnSuiteApp::heddle);
    EXPECT_FALSE(suiteapp::fromRaw("heddle"));
    EXPECT_FALSE(suiteapp::fromRaw(" Heddle"));
    EXPECT_EQ(suiteapp::bundleIdentifier(TarnSuiteApp::quiller), "com.corvane.quiller");
    EXPECT_EQ(suiteapp::symbolName(TarnSuiteApp::heddle), "memorychip.fill");
    for (const TarnSuiteApp app : suiteapp::allCases())
        EXPECT_EQ(suiteapp::fromRaw(suiteapp::rawValue(app)), app);
}

TEST(TarnSuiteCommandKind, VocabularyAndEnvelopeDecoding) {
    EXPECT_EQ(commandkind::allCases().size(), 139u);
    EXPECT_EQ(commandkind::allCases().front(), TarnSuiteCommandKind::heddleSmartOffload);
    EXPECT_EQ(commandkind::allCases().back(), TarnSuiteCommandKind::pitlowOpenToday);
    EXPECT_EQ(commandkind::fromRaw("heddleSmartOffload"), TarnSuiteCommandKind::heddleSmartOffload);
    EXPECT_FALSE(commandkind::fromRaw("HeddleSmartOffload"));
    EXPECT_FALSE(commandkind::fromRaw("heddlesmartoffload"));

    TarnSuiteCommandEnvelope envelope{UUID::random(),
                                      sampleDate(),
                                      TarnSuiteApp::quiller,
                                      TarnSuiteApp::heddle,
                                      TarnSuiteCommandKind::heddleSmartOffload,
                                      std::nullopt,
                                      std::nullopt,
                                      std::nullopt};
    for (const TarnSuiteCommandKind kind : commandkind::allCases()) {
        envelope.kind = kind;
        EXPECT_EQ(suite::decode<TarnSuiteCommandEnvelope>(suite::encode(envelope).value()),
                  envelope);
    }
    const std::string bare = suite::encode(envelope).value();
    for (const char* key : {"targetPID", "targetName", "payload"})
        EXPECT_EQ(bare.find(key), std::string::npos) << key;

    const json tree = json::parse(bare);
    const struct {
        const char* key;
        json value;
        bool decodes;
    } cases[] = {
        {"kind", "heddleExplode", false},   {"targetApp", "heddle", false},
        {"id", "not-a-uuid", false},        {"id", nullptr, false},
        {"targetPID", nullptr, true},       {"payload", nullptr, true},
        {"targetPID", 2147483648LL, false},
    };
    for (const auto& c : cases) {
        json changed = tree;
        changed[c.key] = c.value;
        EXPECT_EQ(decodeTree<TarnSuiteCommandEnvelope>(changed).has_value(), c.decodes)
            << c.key << " = " << c.value.dump();
    }
    json lowerCaseID = tree;
    lowerCaseID["id"] = text::lowercased(envelope.id.string());
    EXPECT_EQ(decodeTree<TarnSuiteCommandEnvelope>(lowerCaseID), envelope);
}

// --- Freshness -------------------------------------------------------------------

TEST(SuiteFreshness, WindowBoundaryAndProcessLiveness) {
    const suite::Date now = sampleDate();
    const struct {
        std::chrono::milliseconds offset;
        double window;
        bool fresh;
    } windows[] = {
        {-10s, 10, true},     {-10001ms, 10, false},     {5s, 10, true},  {10s, 10, true},
        {10001ms, 10, false}, {0s, std::nan(""), false}, {0s, -1, false},
    };
    for (const auto& c : windows)
        EXPECT_EQ(suite::isWithinWindow(now + c.offset, now, c.window), c.fresh)
            << c.offset.count();
    // Instants at both ends of the clock's range: no overflow on the way.
    EXPECT_FALSE(suite::isWithinWindow(suite::Date::min(), suite::Date::max(), 10));

    const struct {
        std::int32_t pid;
        bool alive;
    } processes[] = {
        {0, false},
        {-1, false},
        {std::numeric_limits<std::int32_t>::min(), false},
        {tarn::testing::ownPID(), true},
        {tarn::testing::deadPID(), false},
        {1, true}, // init: alive whether signal 0 succeeds or is refused with EPERM
    };
    for (const auto& c : processes)
        EXPECT_EQ(suite::isPIDAlive(c.pid), c.alive) << c.pid;
    EXPECT_TRUE(suite::isFresh(now, tarn::testing::ownPID(), now, 0));
    EXPECT_FALSE(suite::isFresh(now, 0, now, 10));
}

} // namespace
