#include "TarnKit/Design/TarnFonts.h"

#include <QFontInfo>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

using tarn::TarnTextStyle;
namespace fonts = tarn::fonts;

TEST(TarnFonts, EachTextStyleHasItsSizeAndWeight) {
    struct Row {
        TarnTextStyle style;
        int pixelSize;
        QFont::Weight weight;
    };
    const std::vector<Row> table{
        {TarnTextStyle::largeTitle, 26, QFont::Normal},
        {TarnTextStyle::title, 22, QFont::Normal},
        {TarnTextStyle::title2, 17, QFont::Normal},
        {TarnTextStyle::title3, 15, QFont::Normal},
        {TarnTextStyle::headline, 13, QFont::DemiBold},
        {TarnTextStyle::body, 13, QFont::Normal},
        {TarnTextStyle::callout, 12, QFont::Normal},
        {TarnTextStyle::subheadline, 11, QFont::Normal},
        {TarnTextStyle::footnote, 10, QFont::Normal},
        {TarnTextStyle::caption, 10, QFont::Normal},
        {TarnTextStyle::caption2, 10, QFont::Normal},
    };
    for (const Row& row : table) {
        const QFont font = fonts::font(row.style);
        EXPECT_EQ(font.pixelSize(), row.pixelSize) << static_cast<int>(row.style);
        EXPECT_EQ(font.weight(), row.weight) << static_cast<int>(row.style);
        EXPECT_EQ(fonts::font(row.style, QFont::Bold).weight(), QFont::Bold);
        EXPECT_EQ(fonts::font(row.style, QFont::Bold).pixelSize(), row.pixelSize);
    }
}

TEST(TarnFonts, MonospacedTextUsesTheSystemsFixedPitchFace) {
    EXPECT_TRUE(QFontInfo(fonts::font(TarnTextStyle::caption, true)).fixedPitch());
    EXPECT_FALSE(QFontInfo(fonts::font(TarnTextStyle::caption)).fixedPitch());
}

TEST(TarnFonts, SystemSizesRoundHalfAwayFromZeroAndAbsurdSizesAreClamped) {
    EXPECT_EQ(fonts::system(12.5).pixelSize(), 13);
    EXPECT_EQ(fonts::system(12.49).pixelSize(), 12);
    EXPECT_EQ(fonts::system(0).pixelSize(), 1);
    EXPECT_EQ(fonts::system(-3).pixelSize(), 1);
    EXPECT_EQ(fonts::system(1e9).pixelSize(), 512);
    EXPECT_EQ(fonts::system(std::numeric_limits<double>::quiet_NaN()).pixelSize(), 13);
    EXPECT_EQ(fonts::system(std::numeric_limits<double>::infinity()).pixelSize(), 13);
}
