#include "TarnKit/Design/TarnSymbols.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

// Every symbol name the text writes where the registry will be asked for it:
// the first argument of symbolIcon / symbolPixmap / paintSymbol, or
// symbolNamed("..."). Names map to where they were found.
void collectSymbolNames(const std::string& text, const std::string& where,
                        std::map<std::string, std::string>& names) {
    static const std::regex use(
        R"re(\b(?:symbolIcon|symbolPixmap|paintSymbol|symbolNamed)\s*\(\s*(?:[A-Za-z_][\w.>-]*\s*,\s*)?"([^"]+)")re");
    for (auto match = std::sregex_iterator(text.begin(), text.end(), use);
         match != std::sregex_iterator(); ++match)
        names.emplace((*match)[1].str(), where);
}

std::map<std::string, std::string> symbolNamesInSources() {
    std::map<std::string, std::string> names;
    const std::filesystem::path sources = std::filesystem::path(QUILLER_SOURCE_DIR) / "src";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(sources)) {
        const auto extension = entry.path().extension();
        if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp"))
            continue;
        // The registry's own table names what it draws, not what is used.
        if (entry.path().filename() == "TarnSymbols.cpp")
            continue;
        std::ifstream file(entry.path());
        std::stringstream text;
        text << file.rdbuf();
        collectSymbolNames(text.str(), entry.path().lexically_relative(sources).string(), names);
    }
    return names;
}

} // namespace

TEST(SymbolRegistry, DrawsEverySymbolNameTheSourcesUse) {
    const std::map<std::string, std::string> used = symbolNamesInSources();
    for (const auto& [name, where] : used)
        EXPECT_TRUE(tarn::hasSymbol(name))
            << where << " uses the symbol \"" << name << "\", which the registry does not draw";
}

TEST(SymbolRegistry, TheCollectorFindsEveryWayOfNamingASymbol) {
    std::map<std::string, std::string> names;
    collectSymbolNames(R"(
        button->setIcon(tarn::symbolIcon("paperplane.fill", colour, 13));
        auto p = symbolPixmap( "no.such.symbol" , Qt::white, 18);
        tarn::paintSymbol(painter, "trash", rect, colour);
        constexpr auto kSymbol = tarn::symbolNamed("gauge.with.dots.needle.67percent");
        symbolIcon(name, colour, 13); // a variable: its literal is found where it is written
    )",
                       "fixture", names);
    const std::set<std::string> found = [&] {
        std::set<std::string> keys;
        for (const auto& [name, where] : names)
            keys.insert(name);
        return keys;
    }();
    EXPECT_EQ(found, (std::set<std::string>{"paperplane.fill", "no.such.symbol", "trash",
                                            "gauge.with.dots.needle.67percent"}));
    EXPECT_FALSE(tarn::hasSymbol("no.such.symbol"));
}

TEST(SymbolRegistry, EverySymbolPaintsAVisibleShapeInsideItsSquareInTheAskedColour) {
    const QColor colour = QColor::fromRgbF(0.2f, 0.6f, 1.0f);
    for (const std::string_view name : tarn::symbolNames()) {
        const QImage image =
            tarn::symbolPixmap(name, colour, 32).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(32, 32)) << name;
        int inked = 0;
        int solid = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel = image.pixelColor(x, y);
                inked += pixel.alpha() > 0;
                if (pixel.alpha() == 255) {
                    ++solid;
                    EXPECT_EQ(pixel.rgb(), colour.rgb()) << name;
                }
            }
        const int area = 32 * 32;
        EXPECT_GT(inked, area / 20) << name << " is nearly empty";
        EXPECT_LT(inked, area * 95 / 100) << name << " fills its square";
        EXPECT_GT(solid, 0) << name;
        const QRectF bounds = tarn::symbolPath(name).boundingRect();
        EXPECT_TRUE(QRectF(0, 0, 24, 24).adjusted(-0.5, -0.5, 0.5, 0.5).contains(bounds))
            << name << " leaves its square: " << bounds.x() << "," << bounds.y() << " "
            << bounds.width() << "x" << bounds.height();
    }
}

TEST(SymbolRegistry, KnockedOutMarksStayClear) {
    // Points on the 24-unit square where a filled symbol has its mark cut out.
    const std::vector<std::pair<std::string_view, QPointF>> holes{
        {"xmark.circle.fill", {12, 12}},
        {"xmark.octagon.fill", {12, 12}},
        {"tag.fill", {7.8, 7.8}},
        {"exclamationmark.triangle.fill", {12, 17}},
    };
    for (const auto& [name, point] : holes) {
        const QImage image = tarn::symbolPixmap(name, Qt::white, 48).toImage();
        EXPECT_EQ(image.pixelColor((point * 2).toPoint()).alpha(), 0) << name;
        EXPECT_EQ(image.pixelColor((point * 2).toPoint() + QPoint(8, 0)).alpha(), 255)
            << name << " has no body around its mark";
    }
}

TEST(SymbolRegistry, IconsAreCachedByNameColourAndSizeAndBadRequestsGiveNothing) {
    const QIcon first = tarn::symbolIcon("trash", Qt::red, 16);
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(tarn::symbolIcon("trash", Qt::red, 16).cacheKey(), first.cacheKey());
    EXPECT_NE(tarn::symbolIcon("trash", Qt::blue, 16).cacheKey(), first.cacheKey());
    EXPECT_NE(tarn::symbolIcon("trash", Qt::red, 17).cacheKey(), first.cacheKey());
    EXPECT_EQ(first.pixmap(QSize(16, 16), 2.0).size(), QSize(32, 32)) << "no picture for 2x";

    EXPECT_TRUE(tarn::symbolIcon("no.such.symbol", Qt::red, 16).isNull());
    EXPECT_TRUE(tarn::symbolIcon("trash", Qt::red, 0).isNull());
    EXPECT_TRUE(tarn::symbolIcon("trash", Qt::red, -4).isNull());
    EXPECT_TRUE(tarn::symbolIcon("trash", Qt::red, 1 << 20).isNull());
    EXPECT_TRUE(tarn::symbolPixmap("trash", Qt::red, 16, 0.0).isNull());

    QImage canvas(10, 10, QImage::Format_ARGB32);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    EXPECT_FALSE(tarn::paintSymbol(painter, "no.such.symbol", QRectF(0, 0, 10, 10), Qt::red));
    EXPECT_TRUE(tarn::paintSymbol(painter, "circle", QRectF(0, 0, 10, 10), Qt::red));
}
