// Pictures of the Qt ground itself: the symbol registry and the text styles.

#include "PictureRegistry.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/PlatformQt/QtConversions.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <utility>

namespace quiller::pictures {
namespace {

QLabel* label(const std::string& text, QFont font, QWidget* parent) {
    auto* result = new QLabel(tarn::qt::toQString(text), parent);
    result->setFont(font);
    result->setStyleSheet(QStringLiteral("color: white"));
    return result;
}

std::unique_ptr<QWidget> symbolSheet(PictureContext&) {
    auto sheet = std::make_unique<QWidget>();
    auto* grid = new QGridLayout(sheet.get());
    grid->setHorizontalSpacing(18);
    grid->setVerticalSpacing(10);
    const QColor colours[] = {QColor(Qt::white), QColor::fromRgbF(0.35, 0.7, 1.0)};
    int index = 0;
    for (const std::string_view name : tarn::symbolNames()) {
        const int row = index / 3;
        const int column = (index % 3) * 4;
        for (int size = 0; size < 2; ++size) {
            auto* icon = new QLabel(sheet.get());
            const int pixels = size == 0 ? 13 : 28;
            icon->setPixmap(tarn::symbolIcon(name, colours[size], pixels).pixmap(pixels, pixels));
            grid->addWidget(icon, row, column + size, Qt::AlignCenter);
        }
        grid->addWidget(
            label(std::string(name), tarn::fonts::font(tarn::TarnTextStyle::caption), sheet.get()),
            row, column + 2);
        ++index;
    }
    return sheet;
}

std::unique_ptr<QWidget> textStyleSheet(PictureContext& context) {
    using tarn::TarnTextStyle;
    const std::pair<TarnTextStyle, const char*> styles[] = {
        {TarnTextStyle::largeTitle, "largeTitle"}, {TarnTextStyle::title, "title"},
        {TarnTextStyle::title2, "title2"},         {TarnTextStyle::title3, "title3"},
        {TarnTextStyle::headline, "headline"},     {TarnTextStyle::body, "body"},
        {TarnTextStyle::callout, "callout"},       {TarnTextStyle::subheadline, "subheadline"},
        {TarnTextStyle::footnote, "footnote"},     {TarnTextStyle::caption, "caption"},
        {TarnTextStyle::caption2, "caption2"},
    };
    const std::string sample =
        tarn::tarnText("Send the request and inspect the response",
                       "İsteği gönder ve yanıtı incele: ğüşıöç İĞÜŞÖÇ", context.language);
    auto sheet = std::make_unique<QWidget>();
    auto* grid = new QGridLayout(sheet.get());
    int row = 0;
    for (const auto& [style, name] : styles) {
        grid->addWidget(label(name, tarn::fonts::font(TarnTextStyle::caption, true), sheet.get()),
                        row, 0);
        grid->addWidget(label(sample, tarn::fonts::font(style), sheet.get()), row, 1);
        ++row;
    }
    grid->addWidget(
        label("monospaced", tarn::fonts::font(TarnTextStyle::caption, true), sheet.get()), row, 0);
    grid->addWidget(label(R"({"status" : 200, "ms" : 41})",
                          tarn::fonts::font(TarnTextStyle::body, true), sheet.get()),
                    row, 1);
    return sheet;
}

} // namespace

QUILLER_PICTURE("ground/symbols", symbolSheet);
QUILLER_PICTURE("ground/text-styles", textStyleSheet);

} // namespace quiller::pictures
