#include "TarnKit/Design/TarnFonts.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace tarn::fonts {

namespace {

struct StyleRow {
    TarnTextStyle style;
    int pixelSize;
    QFont::Weight weight;
};

constexpr std::array<StyleRow, 11> styleTable{{
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
}};

const StyleRow& row(TarnTextStyle style) {
    return styleTable[static_cast<std::size_t>(style)];
}

} // namespace

int pixelSize(TarnTextStyle style) {
    return row(style).pixelSize;
}

QFont::Weight weight(TarnTextStyle style) {
    return row(style).weight;
}

QFont font(TarnTextStyle style, bool monospaced) {
    return system(pixelSize(style), weight(style), monospaced);
}

QFont font(TarnTextStyle style, QFont::Weight fontWeight, bool monospaced) {
    return system(pixelSize(style), fontWeight, monospaced);
}

QFont system(qreal size, QFont::Weight fontWeight, bool monospaced) {
    QFont result =
        monospaced ? QFontDatabase::systemFont(QFontDatabase::FixedFont) : QGuiApplication::font();
    // Pixel sizes are whole; the layouts' half sizes round half away from
    // zero. A size that is no number or absurd is clamped before converting.
    const qreal bounded = std::isfinite(size) ? std::clamp<qreal>(size, 1, 512) : 13;
    result.setPixelSize(static_cast<int>(std::lround(bounded)));
    result.setWeight(fontWeight);
    return result;
}

} // namespace tarn::fonts
