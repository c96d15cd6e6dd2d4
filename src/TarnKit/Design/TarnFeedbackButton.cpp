#include "TarnKit/Design/TarnFeedbackButton.h"

#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSheetParts.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QFontMetricsF>
#include <QPainter>

namespace tarn {
namespace {

constexpr double kIconSize = 10;
constexpr double kPillIconSize = 11;
constexpr double kPillSpacing = 6;

QFont pillFont() {
    return fonts::font(TarnTextStyle::caption, QFont::Medium);
}

} // namespace

TarnFeedbackButton::TarnFeedbackButton(std::string appName, TarnAppVersion version,
                                       TarnFeedbackKind kind, TarnLanguage language,
                                       TarnFeedbackButtonStyle style,
                                       std::optional<std::string> baseURL,
                                       std::shared_ptr<URLOpenerPort> opener, QWidget* parent)
    : QAbstractButton(parent), m_appName(std::move(appName)), m_version(std::move(version)),
      m_kind(kind), m_language(language), m_style(style), m_baseURL(std::move(baseURL)),
      m_opener(opener ? std::move(opener) : TarnSheetPorts::desktop().urlOpener) {
    setObjectName(QStringLiteral("tarnFeedbackButton"));
    setCursor(Qt::PointingHandCursor);
    const QString tip = sheetText("Listening to you — Report a bug or share an idea",
                                  "Sizi dinliyoruz — Hata bildir veya fikir paylaş", language);
    setToolTip(tip);
    if (style == TarnFeedbackButtonStyle::labeledPill) {
        setText(sheetText("Send Feedback & Ideas", "Geri Bildirim & Fikir Gönder", language));
    } else {
        setAccessibleName(tip);
    }
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, [this] {
        TarnFeedbackService::openInBrowser(*m_opener, m_appName, m_version, m_kind, m_language,
                                           m_baseURL);
    });
}

QSize TarnFeedbackButton::sizeHint() const {
    if (m_style == TarnFeedbackButtonStyle::compactIcon)
        return QSizeF(kIconSize + 13, kIconSize + 6 + 2).toSize();
    const QFontMetricsF metrics(pillFont());
    return QSizeF(12 + kPillIconSize + kPillSpacing + metrics.horizontalAdvance(text()) + 12,
                  std::max(metrics.height(), kPillIconSize) + 12)
        .toSize();
}

void TarnFeedbackButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = rect();
    if (m_style == TarnFeedbackButtonStyle::compactIcon) {
        paintGlassShape(painter, area, capsuleRadius(area), qColor(TarnGlassTokens::surface2),
                        qColor(TarnGlassTokens::borderSubtle));
        const QRectF icon(area.center().x() - kIconSize / 2, area.center().y() - kIconSize / 2,
                          kIconSize, kIconSize);
        paintSymbol(painter, symbol, icon, qColor(TarnGlassTokens::textSecondary));
        return;
    }
    // The glass button's look: surface2 and a subtle border, dimmed while pressed.
    painter.setOpacity(isDown() ? 0.78 : 1.0);
    paintGlassShape(painter, area, 8, qColor(TarnGlassTokens::surface2),
                    qColor(TarnGlassTokens::borderSubtle));
    const QColor ink = qColor(TarnGlassTokens::textPrimary);
    const bool rightToLeft = layoutDirection() == Qt::RightToLeft;
    const double iconX = rightToLeft ? area.right() - 12 - kPillIconSize : area.left() + 12;
    paintSymbol(painter, symbol,
                QRectF(iconX, area.center().y() - kPillIconSize / 2, kPillIconSize, kPillIconSize),
                ink);
    painter.setFont(pillFont());
    painter.setPen(ink);
    const QRectF textArea =
        rightToLeft
            ? QRectF(area.left() + 12, area.top(), area.width() - 24 - kPillIconSize - kPillSpacing,
                     area.height())
            : QRectF(iconX + kPillIconSize + kPillSpacing, area.top(),
                     area.right() - 12 - iconX - kPillIconSize - kPillSpacing, area.height());
    painter.drawText(textArea, Qt::AlignVCenter | Qt::AlignLeading | Qt::TextSingleLine, text());
}

} // namespace tarn
