#include "TarnKit/Design/Emblems/TarnAppEmblem.h"
#include "TarnKit/Design/TarnAdaptiveGridLayout.h"
#include "TarnKit/Design/TarnBrandMark.h"
#include "TarnKit/Design/TarnFlowLayout.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassCard.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnGroundBackground.h"
#include "TarnKit/Design/TarnLanguageLayout.h"
#include "TarnKit/Design/TarnRoundedFill.h"
#include "TarnKit/Design/TarnToastBanner.h"
#include "TarnKit/Design/TarnVersionBadge.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QImage>
#include <QLabel>
#include <QLayout>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

using namespace tarn;

QImage rendered(QWidget& widget) {
    widget.adjustSize();
    widget.setAttribute(Qt::WA_TranslucentBackground);
    widget.show();
    return widget.grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

TEST(TarnGlassButton, ActiveStateAndPressDimming) {
    TarnGlassButton button(QStringLiteral("Body"));
    button.setObjectName(QStringLiteral("bodyTab"));
    EXPECT_EQ(button.fillColor(), qColor(TarnGlassTokens::surface2));
    EXPECT_EQ(button.borderColor(), qColor(TarnGlassTokens::borderSubtle));
    button.setProperty("active", true);
    EXPECT_EQ(button.fillColor(), qColor(TarnGlassTokens::surface3));
    EXPECT_EQ(button.borderColor(), qColor(TarnGlassTokens::borderStrong));

    button.resize(button.sizeHint());
    const QSize before = button.size();
    QTest::mousePress(&button, Qt::LeftButton, {}, button.rect().center());
    EXPECT_TRUE(button.isDown());
    EXPECT_DOUBLE_EQ(button.property("contentOpacity").toDouble(), 0.78);
    EXPECT_EQ(button.size(), before); // no scaling
    QTest::mouseRelease(&button, Qt::LeftButton, {}, button.rect().center());
    EXPECT_DOUBLE_EQ(button.property("contentOpacity").toDouble(), 1.0);
}

TEST(TarnPrimaryButton, PressShrinksAndDimsTheFill) {
    TarnPrimaryButton button(QStringLiteral("Send"));
    button.resize(button.sizeHint());
    int clicks = 0;
    QObject::connect(&button, &QAbstractButton::clicked, [&] { ++clicks; });
    EXPECT_DOUBLE_EQ(button.fillOpacity(), 0.96);
    EXPECT_DOUBLE_EQ(button.pressScale(), 1.0);
    QTest::mousePress(&button, Qt::LeftButton, {}, button.rect().center());
    EXPECT_DOUBLE_EQ(button.fillOpacity(), 0.82);
    EXPECT_DOUBLE_EQ(button.pressScale(), 0.98);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, button.rect().center());
    EXPECT_EQ(clicks, 1);

    // The rounded corners are outside the hit area. (QTest reads (0, 0) as
    // the centre.)
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(1, 1));
    EXPECT_EQ(clicks, 1);
}

TEST(TarnGlassCard, PadsItsContentAndPaintsTheSurface) {
    TarnGlassCard card(14, 12);
    auto* content = new QLabel(QStringLiteral("content"));
    content->setFixedSize(100, 40);
    card.setContent(content);
    card.adjustSize();
    card.show();
    EXPECT_EQ(card.size(), QSize(128, 68));
    EXPECT_EQ(content->geometry(), QRect(14, 14, 100, 40));

    const QImage image = rendered(card);
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0); // outside the rounded corner
    EXPECT_NEAR(image.pixelColor(6, 64).alpha(), qRound(0.06 * 255), 2); // the surface fill
}

TEST(TarnToastBanner, SymbolByOutcomeAndTheMessageVerbatim) {
    const QString message = QStringLiteral("<b>Saved</b> %1 \u00e7\u0131kt\u0131");
    TarnToastBanner error(message, true);
    EXPECT_EQ(error.property("symbolName").toString(),
              QStringLiteral("exclamationmark.triangle.fill"));
    EXPECT_EQ(error.property("symbolColor").value<QColor>(), qColor(TarnGlassTokens::warning));
    TarnToastBanner success(message, false);
    EXPECT_EQ(success.property("symbolName").toString(), QStringLiteral("checkmark.circle.fill"));
    EXPECT_EQ(success.property("symbolColor").value<QColor>(), qColor(TarnGlassTokens::success));

    auto* text = success.findChild<QLabel*>(QStringLiteral("toastMessage"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), message);
    EXPECT_EQ(text->textFormat(), Qt::PlainText);
    EXPECT_EQ(success.layout()->contentsMargins(), QMargins(16, 10, 16, 10));
    EXPECT_EQ(success.layout()->spacing(), 8);

    const QImage image = rendered(success);
    const QColor middle = image.pixelColor(image.width() / 2, 3);
    // A black capsule at 0.84, over its own shadow.
    EXPECT_GE(middle.alpha(), qRound(0.84 * 255));
    EXPECT_LT(middle.alpha(), 235);
    EXPECT_EQ(middle.red(), 0);
}

TEST(TarnVersionBadge, ShowsTheTagOrTheDetailedForm) {
    const struct {
        TarnAppVersion version;
        bool showBuild;
        const char* text;
    } cases[] = {
        {{"1.4.2", "57"}, true, "v1.4.2 (57)"},
        {{"1.4.2", "57"}, false, "v1.4.2"},
        {{"1.4.2", ""}, true, "v1.4.2 ()"},
    };
    for (const auto& c : cases) {
        TarnVersionBadge badge(c.version, c.showBuild);
        EXPECT_EQ(badge.property("text").toString(), QString::fromUtf8(c.text));
        // 7 pixels either side of the text, 2.5 above and below.
        const QFontMetricsF metrics(badge.font());
        EXPECT_GE(badge.sizeHint().width(), metrics.horizontalAdvance(badge.text()) + 14);
        EXPECT_LE(badge.sizeHint().width(), metrics.horizontalAdvance(badge.text()) + 15);
        EXPECT_EQ(badge.font().pixelSize(), 10);
    }
}

TEST(TarnBrandMark, ShowsTheEmblemOrTheSuiteMark) {
    TarnBrandMark unknown(24, TarnBrandMarkStyle::currentApp(), std::nullopt);
    EXPECT_EQ(unknown.size(), QSize(24, 24));
    EXPECT_EQ(unknown.property("shownApp").toString(), QString());

    TarnBrandMark running(24, TarnBrandMarkStyle::currentApp(), TarnAppIdentity::quiller);
    EXPECT_EQ(running.property("shownApp").toString(), QStringLiteral("quiller"));
    TarnBrandMark app(64, TarnBrandMarkStyle::app(TarnAppIdentity::heddle),
                      TarnAppIdentity::quiller);
    EXPECT_EQ(app.property("shownApp").toString(), QStringLiteral("heddle"));
    TarnBrandMark suite(64, TarnBrandMarkStyle::brindleSuite(), TarnAppIdentity::quiller);
    EXPECT_EQ(suite.property("shownApp").toString(), QString());

    // This program carries the application's bundle identifier.
    TarnBrandMark header(24, TarnBrandMarkStyle::currentApp());
    EXPECT_EQ(header.property("shownApp").toString(), QStringLiteral("quiller"));
}

TEST(TarnBrandMark, SuiteMarkScalesTheSixtyFourUnitCanvas) {
    TarnBrandMark mark(24, TarnBrandMarkStyle::brindleSuite());
    const QImage image = rendered(mark);
    ASSERT_EQ(image.size(), QSize(24, 24));
    // Each unit is 0.375 pixels: the left piece's inside (8, 40) lies at
    // (3, 15); the gap around (31, 62) below the pieces stays clear.
    EXPECT_EQ(image.pixelColor(3, 15).alpha(), 255);
    EXPECT_EQ(image.pixelColor(11, 23).alpha(), 0);
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
}

// A template emblem takes the foreground colour; the other keeps its white.
TEST(TarnAppEmblem, TemplateEmblemsTakeTheForegroundColour) {
    for (const bool asTemplate : {false, true}) {
        TarnAppEmblem emblem(TarnAppIdentity::quiller, 48, asTemplate);
        QPalette palette = emblem.palette();
        palette.setColor(QPalette::WindowText, Qt::red);
        emblem.setPalette(palette);
        const QImage image = rendered(emblem);
        ASSERT_EQ(image.size(), QSize(48, 48));
        const QColor wing = image.pixelColor(20, 20); // inside the upper wing
        EXPECT_GT(wing.alpha(), 240);
        EXPECT_EQ(wing.green(), asTemplate ? 0 : wing.red()) << asTemplate;
    }
}

TEST(TarnBrandMark, HugeOrInvalidSizesStayEmpty) {
    for (const double size : {std::numeric_limits<double>::infinity(), -3.0, 1e12,
                              std::numeric_limits<double>::quiet_NaN()}) {
        TarnBrandMark mark(size, TarnBrandMarkStyle::app(TarnAppIdentity::quiller));
        EXPECT_EQ(mark.size(), QSize(0, 0)) << size;
    }
}

TEST(TarnFlowLayout, WrapsWidgetsIntoLines) {
    QWidget container;
    auto* flow = new TarnFlowLayout(8, 6, &container);
    std::vector<QWidget*> children;
    for (int i = 0; i < 3; ++i) {
        auto* child = new QWidget;
        child->setFixedSize(40, 20);
        flow->addWidget(child);
        children.push_back(child);
    }
    EXPECT_EQ(flow->sizeHint(), QSize(136, 20));
    EXPECT_EQ(flow->heightForWidth(100), 46);
    container.resize(100, 46);
    container.show();
    flow->activate();
    EXPECT_EQ(children[0]->geometry(), QRect(0, 0, 40, 20));
    EXPECT_EQ(children[1]->geometry(), QRect(48, 0, 40, 20));
    EXPECT_EQ(children[2]->geometry(), QRect(0, 26, 40, 20));

    // A hidden child takes no place.
    children[1]->hide();
    flow->activate();
    EXPECT_EQ(children[2]->geometry(), QRect(48, 0, 40, 20));
}

TEST(TarnItemListLayout, KeepsAndHandsBackItsItems) {
    const std::vector<std::function<QLayout*(QWidget*)>> layouts = {
        [](QWidget* host) { return new TarnFlowLayout(8, 6, host); },
        [](QWidget* host) { return new TarnAdaptiveGridLayout(100, 8, 6, host); },
    };
    for (std::size_t i = 0; i < layouts.size(); ++i) {
        QWidget host;
        QLayout* layout = layouts[i](&host);
        auto* first = new QLabel(QStringLiteral("a"));
        auto* second = new QLabel(QStringLiteral("b"));
        layout->addWidget(first);
        layout->addWidget(second);
        ASSERT_EQ(layout->count(), 2) << i;
        EXPECT_EQ(layout->itemAt(1)->widget(), second) << i;
        for (const int outside : {-1, 2})
            EXPECT_EQ(layout->itemAt(outside), nullptr) << i;
        EXPECT_EQ(layout->takeAt(2), nullptr) << i;

        // Taken out, the item is the caller's; the widget stays with the host.
        std::unique_ptr<QLayoutItem> taken(layout->takeAt(0));
        ASSERT_NE(taken, nullptr) << i;
        EXPECT_EQ(taken->widget(), first) << i;
        EXPECT_EQ(layout->count(), 1) << i;
        EXPECT_EQ(layout->itemAt(0)->widget(), second) << i;
        EXPECT_EQ(layout->indexOf(first), -1) << i;
    }
}

TEST(TarnRoundedFill, ClickIsALeftPressAndReleaseInside) {
    const struct {
        const char* name;
        Qt::MouseButton button;
        QPoint release;
        bool clicked;
    } cases[] = {
        {"left inside", Qt::LeftButton, QPoint(20, 10), true},
        {"released outside", Qt::LeftButton, QPoint(80, 10), false},
        {"right button", Qt::RightButton, QPoint(20, 10), false},
    };
    for (const auto& c : cases) {
        TarnRoundedFill fill(Qt::black, 8);
        fill.resize(60, 30);
        fill.show();
        int clicks = 0;
        QObject::connect(&fill, &TarnRoundedFill::clicked, [&clicks] { ++clicks; });
        QTest::mousePress(&fill, c.button, Qt::NoModifier, QPoint(10, 10));
        QTest::mouseRelease(&fill, c.button, Qt::NoModifier, c.release);
        EXPECT_EQ(clicks, c.clicked ? 1 : 0) << c.name;
    }
}

TEST(TarnLanguageLayout, DirectionAndLocaleOfEachLanguage) {
    for (const TarnLanguage language : language::allCases()) {
        const bool rightToLeft = language == TarnLanguage::ar || language == TarnLanguage::fa ||
                                 language == TarnLanguage::he;
        EXPECT_EQ(layoutDirection(language), rightToLeft ? Qt::RightToLeft : Qt::LeftToRight)
            << rawValue(language);
    }
    EXPECT_EQ(tarnLocale(TarnLanguage::ptBR).name(), QStringLiteral("pt_BR"));
    EXPECT_EQ(tarnLocale(TarnLanguage::zhHant).script(), QLocale::TraditionalChineseScript);
    EXPECT_EQ(tarnLocale(TarnLanguage::tr).language(), QLocale::Turkish);

    QWidget root;
    auto* child = new QLabel(&root);
    tarnContentLayoutDirection(&root, TarnLanguage::he);
    tarnLocaleEnvironment(&root, TarnLanguage::de);
    EXPECT_EQ(child->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(child->locale().language(), QLocale::German);
}

TEST(TarnGroundBackground, LetsClicksThrough) {
    TarnGroundBackground ground(TarnProductPalette::deepIndigo);
    EXPECT_TRUE(ground.testAttribute(Qt::WA_TransparentForMouseEvents));
    ground.resize(800, 600);
    QImage image(800, 600, QImage::Format_ARGB32_Premultiplied);
    ground.render(&image);
    // The bottom-right corner is the darkest ground stop, beyond the glow's
    // 520 pixels; the top-left corner is the lightest under the glow.
    const QColor corner = image.pixelColor(799, 599);
    EXPECT_NEAR(corner.red(), 0x0D, 1);
    EXPECT_NEAR(corner.green(), 0x14, 1);
    EXPECT_NEAR(corner.blue(), 0x33, 1);
    const QColor glow = image.pixelColor(0, 0);
    EXPECT_NEAR(glow.red(), qRound(0x24 * 0.91 + 255 * 0.09), 2);
}

} // namespace
