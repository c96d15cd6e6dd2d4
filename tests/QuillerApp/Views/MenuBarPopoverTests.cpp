#include "QuillerApp/Views/MenuBarQuillerPopoverView.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"
#include "support/QtViewModelTest.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace quiller {
namespace {

class PopoverTest : public testing::QtViewModelTest {
protected:
    PopoverTest() {
        popover = std::make_unique<MenuBarQuillerPopoverView>(vm(), *bridge,
                                                              [this] { ++studioOpenings; });
        popover->show();
        endTurn();
    }
    ~PopoverTest() override { popover.reset(); }

    template <class T> T* find(const char* name) {
        T* found = popover->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    std::unique_ptr<MenuBarQuillerPopoverView> popover;
    int studioOpenings = 0;
};

// The header's port and the server button in both languages and both server
// states, whichever place started the server.
TEST_F(PopoverTest, HeaderAndServerButtonFollowTheServerAndTheLanguage) {
    const struct {
        tarn::TarnLanguage language;
        bool running;
        const char* button;
    } cases[] = {
        {tarn::TarnLanguage::en, false, "Start Local Mock Server"},
        {tarn::TarnLanguage::en, true, "Stop Local Mock Server"},
        {tarn::TarnLanguage::tr, false, "Yerel Mock Sunucusunu Başlat"},
        {tarn::TarnLanguage::tr, true, "Yerel Mock Sunucusunu Durdur"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(tarn::rawValue(c.language)) + (c.running ? " running" : ""));
        vm().setLanguage(c.language);
        vm().setIsProxyRunning(c.running);
        vm().setActiveProxyPort(c.running ? 8787 : 0);
        endTurn();
        auto* port = find<QLabel>("popoverPort");
        EXPECT_EQ(port->isVisible(), c.running);
        if (c.running) {
            EXPECT_EQ(port->text(), QStringLiteral(":8787"));
            EXPECT_EQ(port->palette().color(QPalette::WindowText),
                      tarn::qColor(tarn::TarnGlassTokens::success));
        }
        EXPECT_EQ(find<QPushButton>("popoverServerButton")->text(), QString::fromUtf8(c.button));
        EXPECT_EQ(find<QLabel>("popoverTitle")->text(), QStringLiteral("Quiller"));
    }
}

TEST_F(PopoverTest, ServerButtonTogglesTheServer) {
    QTest::mouseClick(find<QPushButton>("popoverServerButton"), Qt::LeftButton);
    endTurn();
    ASSERT_EQ(mockServer->starts.size(), 1u);
    EXPECT_TRUE(vm().isProxyRunning());
    EXPECT_EQ(find<QPushButton>("popoverServerButton")->text(),
              QStringLiteral("Stop Local Mock Server"));
    QTest::mouseClick(find<QPushButton>("popoverServerButton"), Qt::LeftButton);
    endTurn();
    EXPECT_EQ(mockServer->stops, 1);
    EXPECT_FALSE(vm().isProxyRunning());
}

TEST_F(PopoverTest, LatestResponseLineAppearsWithTheFirstResponse) {
    auto* line = find<QLabel>("popoverLatestResponse");
    EXPECT_FALSE(line->isVisible());

    HTTPResponseSnapshot response = testing::makeSnapshot("Users", 201);
    response.method = TarnHTTPMethod::post;
    response.timing.totalMs = 143.9;
    vm().setLatestResponse(response);
    endTurn();
    EXPECT_TRUE(line->isVisible());
    EXPECT_EQ(line->text(), QStringLiteral("POST 201 · 143ms"));
}

// The total time is cut toward zero; a time that is not a number shows 0
// instead of whatever the conversion would make of it.
TEST(LatestResponseLine, CutsTheTotalTimeToWholeMilliseconds) {
    const struct {
        TarnHTTPMethod method;
        int status;
        double totalMs;
        const char* line;
    } cases[] = {
        {TarnHTTPMethod::get, 200, 143.9, "GET 200 · 143ms"},
        {TarnHTTPMethod::delete_, 404, 0.4, "DELETE 404 · 0ms"},
        {TarnHTTPMethod::options, 0, 12.0, "OPTIONS 0 · 12ms"},
        {TarnHTTPMethod::head, 503, std::numeric_limits<double>::quiet_NaN(), "HEAD 503 · 0ms"},
        {TarnHTTPMethod::put, 200, std::numeric_limits<double>::infinity(), "PUT 200 · 0ms"},
        {TarnHTTPMethod::patch, 200, 1e300, "PATCH 200 · 9223372036854775807ms"},
    };
    for (const auto& c : cases) {
        HTTPResponseSnapshot response = testing::makeSnapshot("r", c.status);
        response.method = c.method;
        response.timing.totalMs = c.totalMs;
        EXPECT_EQ(latestResponseLine(response), QString::fromUtf8(c.line));
    }
}

TEST_F(PopoverTest, OpenStudioRunsTheOpenStudioAction) {
    QTest::mouseClick(find<QPushButton>("popoverOpenStudio"), Qt::LeftButton);
    EXPECT_EQ(studioOpenings, 1);
    vm().setLanguage(tarn::TarnLanguage::tr);
    endTurn();
    EXPECT_EQ(find<QPushButton>("popoverOpenStudio")->text(), QStringLiteral("Stüdyoyu Aç"));
    EXPECT_EQ(find<QPushButton>("popoverQuit")->text(), QStringLiteral("Çıkış"));
}

} // namespace
} // namespace quiller
