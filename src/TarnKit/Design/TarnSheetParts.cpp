#include "TarnKit/Design/TarnSheetParts.h"

#include "TarnKit/Design/TarnGlassCard.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/PlatformQt/QtClipboard.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/PlatformQt/QtFileReveal.h"
#include "TarnKit/PlatformQt/QtURLOpener.h"
#include "TarnKit/Utilities/TarnAppIdentity.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarn {

TarnSheetPorts TarnSheetPorts::desktop() {
    auto opener = std::make_shared<QtURLOpener>();
    return {opener, std::make_shared<QtFileReveal>(opener), std::make_shared<QtClipboard>()};
}

QString sheetText(std::string_view en, std::string_view tr, TarnLanguage language) {
    return qt::toQString(tarnText(en, tr, language));
}

QLabel* sheetLabel(const QString& text, const QFont& font, const TarnColor& colour,
                   QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, qColor(colour));
    palette.setColor(QPalette::Text, qColor(colour));
    label->setPalette(palette);
    return label;
}

QScrollArea* sheetScrollArea(const QString& objectName, bool verticalIndicator) {
    auto* scroll = new QScrollArea;
    scroll->setObjectName(objectName);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(verticalIndicator ? Qt::ScrollBarAlwaysOn
                                                         : Qt::ScrollBarAlwaysOff);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    return scroll;
}

QToolButton* sheetCloseButton() {
    auto* close = new QToolButton;
    close->setObjectName(QStringLiteral("closeButton"));
    close->setAutoRaise(true);
    close->setCursor(Qt::PointingHandCursor);
    close->setIcon(symbolIcon("xmark.circle.fill", qColor(TarnGlassTokens::textSecondary), 18));
    close->setIconSize(QSize(18, 18));
    close->setStyleSheet(QStringLiteral("QToolButton { border: none; background: none; }"));
    return close;
}

TarnGlassCard* sheetCard(const char* objectName, double padding, int spacing,
                         QVBoxLayout*& column) {
    auto* card = new TarnGlassCard(padding, 14);
    card->setObjectName(QString::fromLatin1(objectName));
    auto* content = new QWidget;
    column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(spacing);
    card->setContent(content);
    return card;
}

TarnBrandMarkStyle sheetBrandStyle(const std::string& appName) {
    if (const auto identity = appidentity::resolve(appName))
        return TarnBrandMarkStyle::app(*identity);
    return TarnBrandMarkStyle::currentApp();
}

} // namespace tarn
