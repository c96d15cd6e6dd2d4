#include "TarnKit/Design/TarnFeedbackButton.h"
#include "TarnKit/Design/TarnRuntimeLogsCard.h"
#include "TarnKit/Design/TarnVersionAndLogsView.h"
#include "TarnKit/Design/TarnVersionBadgeButton.h"
#include "support/TemporaryFolder.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace tarn;

struct FakeClipboard : ClipboardPort {
    std::vector<std::string> written;
    std::optional<std::string> text() override {
        return written.empty() ? std::nullopt : std::optional(written.back());
    }
    void setText(const std::string& text) override { written.push_back(text); }
};
struct FakeOpener : URLOpenerPort {
    std::vector<std::string> opened;
    bool open(const std::string& url) override {
        opened.push_back(url);
        return true;
    }
};
struct FakeReveal : FileRevealPort {
    std::vector<std::filesystem::path> revealed;
    void reveal(const std::filesystem::path& file) override { revealed.push_back(file); }
};

class VersionAndLogsTest : public ::testing::Test {
protected:
    tarn::testing::TemporaryFolder folder;
    TarnAppLogger logger{"Quiller", folder.path() / "logs", 1 << 20, 3, [] {
                             return TarnAppVersion{"1.4.2", "57"};
                         }};
    std::shared_ptr<FakeClipboard> clipboard = std::make_shared<FakeClipboard>();
    std::shared_ptr<FakeOpener> opener = std::make_shared<FakeOpener>();
    std::shared_ptr<FakeReveal> reveal = std::make_shared<FakeReveal>();
    TarnSheetPorts ports() const { return {opener, reveal, clipboard}; }

    std::unique_ptr<TarnRuntimeLogsCard> card() {
        auto made = std::make_unique<TarnRuntimeLogsCard>(logger, TarnProductPalette::deepIndigo,
                                                          TarnLanguage::en, ports());
        made->reload();
        return made;
    }
    template <typename T> static T* child(QWidget& root, const char* name) {
        T* found = root.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static std::vector<std::string> messages(const TarnRuntimeLogsCard& card) {
        std::vector<std::string> shown;
        for (const TarnLogEntry& entry : card.entries())
            shown.push_back(entry.message);
        return shown;
    }
};

TEST_F(VersionAndLogsTest, LevelFilterShowsEntriesAtOrAboveTheSegment) {
    logger.debug("d", "net");
    logger.info("i", "net");
    logger.warn("w", "net");
    logger.error("e", "net");
    auto logs = card();
    struct Case {
        int segment;
        std::vector<std::string> expected; // newest first
    };
    for (const Case& c : {Case{1, {"e", "w", "i"}}, Case{2, {"e", "w"}}, Case{3, {"e"}},
                          Case{0, {"e", "w", "i", "d"}}}) {
        QTest::mouseClick(
            child<QAbstractButton>(*logs, ("levelSegment" + std::to_string(c.segment)).c_str()),
            Qt::LeftButton);
        EXPECT_EQ(messages(*logs), c.expected) << c.segment;
        EXPECT_EQ(logs->findChildren<QWidget*>(QStringLiteral("logRow")).size(),
                  static_cast<qsizetype>(c.expected.size()));
    }
}

TEST_F(VersionAndLogsTest, CopyIsOldestFirstAndSaysCopiedEvenWhenEmpty) {
    auto logs = card();
    auto* copy = child<QAbstractButton>(*logs, "copyLogsButton");
    EXPECT_EQ(copy->text(), QStringLiteral("Copy"));
    QTest::mouseClick(copy, Qt::LeftButton);
    ASSERT_EQ(clipboard->written.size(), 1u);
    EXPECT_EQ(clipboard->written[0], "");
    EXPECT_EQ(copy->text(), QStringLiteral("Copied"));
    EXPECT_TRUE(logs->copiedToast());

    logger.info("first", "app");
    logger.warn("second", "app");
    QTest::mouseClick(copy, Qt::LeftButton);
    const std::string& text = clipboard->written.back();
    EXPECT_LT(text.find("[INFO] [v1.4.2#57] [app] first"),
              text.find("[WARN] [v1.4.2#57] [app] second"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
}

TEST_F(VersionAndLogsTest, ClearEmptiesTheLogAndFolderRevealsTheFile) {
    logger.info("kept until clear", "app");
    auto logs = card();
    ASSERT_EQ(logs->entries().size(), 1u);
    QTest::mouseClick(child<QAbstractButton>(*logs, "revealLogsButton"), Qt::LeftButton);
    ASSERT_EQ(reveal->revealed.size(), 1u);
    EXPECT_EQ(reveal->revealed[0], logger.currentLogFileURL());

    QTest::mouseClick(child<QAbstractButton>(*logs, "clearLogsButton"), Qt::LeftButton);
    EXPECT_TRUE(logs->entries().empty());
    EXPECT_FALSE(std::filesystem::exists(logger.currentLogFileURL()));
    auto* empty = child<QLabel>(*logs, "emptyLogText");
    EXPECT_EQ(empty->text(), QStringLiteral("No runtime log entries match the filter yet."));
    // A second clear with no file left changes nothing.
    QTest::mouseClick(child<QAbstractButton>(*logs, "clearLogsButton"), Qt::LeftButton);
    EXPECT_TRUE(logs->entries().empty());
}

TEST(TarnRuntimeLogsCardTime, TimeOfDayFromTimestamps) {
    struct Case {
        const char* timestamp;
        const char* shown;
    };
    for (const Case& c : {Case{"2024-05-01T14:03:27.123Z", "14:03:27"}, Case{"T1", "1"},
                          Case{"2024-05-01", "2024-05-"}, Case{"short", "short"}, Case{"", ""},
                          Case{"xTyyTzz", "yyTzz"}})
        EXPECT_EQ(TarnRuntimeLogsCard::timeOfDay(c.timestamp), c.shown) << c.timestamp;
}

TEST_F(VersionAndLogsTest, ReleaseRowsShowEveryDetailLineAndFallBackWhenTheBundleHasNone) {
    TarnReleaseLogRecord record;
    record.timestamp = "2024-05-01T10:00:00Z";
    record.app = "Quiller";
    record.toVersion = "1.4.2";
    record.toBuild = 57;
    record.details = {"Same line", "Same line", "Other"};
    record.summaryI18n = {{"tr", "Özet"}};
    TarnBundle bundle;
    bundle.resourceDirectory = folder.path() / "resources";
    std::filesystem::create_directories(bundle.resourceDirectory);
    // Only another application's records: counts as none.
    std::ofstream(bundle.resourceDirectory / "release-log.jsonl")
        << R"({"timestamp":"2024-01-01","app":"Other","toVersion":"9.9.9"})"
        << "\n";

    TarnVersionAndLogsView view("Quiller", {"1.4.2", "57"}, logger, TarnProductPalette::deepIndigo,
                                TarnLanguage::tr, {record}, nullptr, ports());
    view.setBundle(bundle);
    view.reloadAll();
    ASSERT_EQ(view.releases().size(), 1u);
    const auto details = view.findChildren<QLabel*>(QStringLiteral("releaseDetail"));
    ASSERT_EQ(details.size(), 3);
    EXPECT_EQ(details[0]->text(), QStringLiteral("\u2022 Same line"));
    EXPECT_EQ(details[1]->text(), QStringLiteral("\u2022 Same line"));
    EXPECT_EQ(view.findChild<QLabel*>(QStringLiteral("releaseSummary"))->text(),
              QStringLiteral("Özet"));
    // Without onClose: no header, no close button.
    EXPECT_EQ(view.findChild<QWidget*>(QStringLiteral("closeButton")), nullptr);

    TarnVersionAndLogsView empty(
        "Quiller", {"1.4.2", "57"}, logger, TarnProductPalette::deepIndigo, TarnLanguage::en, {},
        [] {}, ports());
    empty.setBundle(bundle);
    empty.reloadAll();
    EXPECT_EQ(empty.findChild<QLabel*>(QStringLiteral("emptyReleaseText"))->text(),
              QStringLiteral("No release log records found for this build."));
    EXPECT_EQ(empty.findChild<QLabel*>(QStringLiteral("sheetTitle"))->text(),
              QStringLiteral("Quiller \u00B7 Version & Logs"));
}

TEST_F(VersionAndLogsTest, BadgeOpensTheSheetOnceAndClosesItAgain) {
    QWidget window;
    auto* badge = new TarnVersionBadgeButton("Quiller", {"1.4.2", "57"}, &logger,
                                             TarnProductPalette::deepIndigo, TarnLanguage::en,
                                             false, true, ports(), &window);
    window.show();
    EXPECT_EQ(badge->badgeButton()->toolTip(),
              QStringLiteral("Version v1.4.2 (57) — Click to view Release History & Logs"));
    QTest::mouseClick(badge->badgeButton(), Qt::LeftButton);
    ASSERT_TRUE(badge->isPresented());
    QDialog* sheet = badge->sheetDialog();
    EXPECT_GE(sheet->minimumWidth(), 720);
    EXPECT_GE(sheet->minimumHeight(), 560);
    badge->present();
    EXPECT_EQ(badge->sheetDialog(), sheet);

    // Close through the sheet's own button; the dialog goes away.
    QTest::mouseClick(sheet->findChild<QAbstractButton*>(QStringLiteral("closeButton")),
                      Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(badge->isPresented());

    // The compact feedback button opens the web page for the feature kind.
    auto* feedback = badge->findChild<TarnFeedbackButton*>();
    ASSERT_NE(feedback, nullptr);
    EXPECT_EQ(feedback->style(), TarnFeedbackButtonStyle::compactIcon);
    QTest::mouseClick(feedback, Qt::LeftButton);
    ASSERT_EQ(opener->opened.size(), 1u);
    EXPECT_NE(opener->opened[0].find("/en/feedback?type=feature&source=desktop_app"),
              std::string::npos);
}

TEST_F(VersionAndLogsTest, BadgeWithoutLoggerUsesTheSharedOneAndMayStandAlone) {
    TarnVersionBadgeButton first("QuillerBadgeTest", {"1.0.0", "1"}, nullptr,
                                 TarnProductPalette::deepIndigo, TarnLanguage::tr, true, false,
                                 ports());
    TarnVersionBadgeButton second("QuillerBadgeTest", {"1.0.0", "1"}, nullptr,
                                  TarnProductPalette::deepIndigo, TarnLanguage::tr, true, false,
                                  ports());
    EXPECT_EQ(&first.logger(), &second.logger());
    EXPECT_EQ(&first.logger(), &TarnAppLogger::shared("QuillerBadgeTest"));
    EXPECT_EQ(first.findChild<TarnFeedbackButton*>(), nullptr);
    EXPECT_EQ(first.badgeButton()->toolTip(),
              QStringLiteral("Sürüm v1.0.0 (1) — Sürüm Geçmişi ve Logları görmek için tıklayın"));
}

} // namespace
