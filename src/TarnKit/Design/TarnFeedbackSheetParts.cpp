#include "TarnKit/Design/TarnFeedbackSheetParts.h"

#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnProgressIndicator.h"
#include "TarnKit/Design/TarnSheetParts.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

namespace tarn::feedbacksheet {
namespace {

constexpr double kChipRadius = 10;
constexpr double kChipSymbol = 13;
constexpr double kChipSpacing = 8;
constexpr double kChipPaddingH = 10;
constexpr double kChipPaddingV = 8;

constexpr double kSendRadius = 6;
constexpr int kSpinner = 12;
constexpr double kSendSpacing = 6;
constexpr double kSendPaddingH = 14;
constexpr double kSendPaddingV = 7;
constexpr int kThumbnailWidth = 112;
constexpr int kThumbnailHeight = 68;
constexpr int kTileWidth = 124;

} // namespace

KindChip::KindChip(TarnFeedbackKind kind, TarnLanguage language, QColor accent, QWidget* parent)
    : QAbstractButton(parent), m_kind(kind), m_accent(accent) {
    setObjectName(QStringLiteral("kindChip_") +
                  QString::fromLatin1(feedbackkind::rawValue(kind).data()));
    setText(qt::toQString(feedbackkind::title(kind, language)));
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void KindChip::setSelected(bool selected) {
    if (selected == m_selected)
        return;
    m_selected = selected;
    update();
}

QColor KindChip::fillColor() const {
    return qColor(m_selected ? TarnGlassTokens::surface3 : TarnGlassTokens::surface1);
}

QColor KindChip::borderColor() const {
    if (!m_selected)
        return qColor(TarnGlassTokens::borderSubtle);
    QColor border = m_accent;
    border.setAlphaF(border.alphaF() * 0.85f);
    return border;
}

QFont KindChip::titleFont() const {
    return fonts::font(TarnTextStyle::caption, m_selected ? QFont::DemiBold : QFont::Medium);
}

QSize KindChip::sizeHint() const {
    const QFontMetricsF metrics(fonts::font(TarnTextStyle::caption, QFont::DemiBold));
    return QSizeF(2 * kChipPaddingH + kChipSymbol + kChipSpacing +
                      metrics.horizontalAdvance(text()),
                  2 * kChipPaddingV + std::max(kChipSymbol, metrics.height()))
        .toSize();
}

QSize KindChip::minimumSizeHint() const {
    // The column may be narrower than the title, which is then cut.
    return {10, sizeHint().height()};
}

void KindChip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = rect();
    paintGlassShape(painter, area, kChipRadius, fillColor(), borderColor());
    const bool rightToLeft = layoutDirection() == Qt::RightToLeft;
    const QRectF inner =
        area.adjusted(kChipPaddingH, kChipPaddingV, -kChipPaddingH, -kChipPaddingV);
    const double symbolX = rightToLeft ? inner.right() - kChipSymbol : inner.left();
    paintSymbol(painter, feedbackkind::symbolName(m_kind),
                QRectF(symbolX, inner.center().y() - kChipSymbol / 2, kChipSymbol, kChipSymbol),
                m_selected ? m_accent : qColor(TarnGlassTokens::textSecondary));
    const QFont font = titleFont();
    painter.setFont(font);
    painter.setPen(Qt::white);
    const double textWidth = std::max(0.0, inner.width() - kChipSymbol - kChipSpacing);
    const QRectF textArea(rightToLeft ? inner.left() : symbolX + kChipSymbol + kChipSpacing,
                          inner.top(), textWidth, inner.height());
    const QString shown =
        QFontMetrics(font).elidedText(text(), Qt::ElideRight, static_cast<int>(textArea.width()));
    // The painter lays out left to right: the text hugs the symbol's side.
    painter.drawText(textArea,
                     Qt::AlignVCenter | (rightToLeft ? Qt::AlignRight : Qt::AlignLeft) |
                         Qt::TextSingleLine,
                     shown);
}

SendButton::SendButton(QColor accent, QWidget* parent)
    : QAbstractButton(parent), m_accent(accent),
      m_spinner(new TarnProgressIndicator(Qt::white, kSpinner, this)) {
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFont(fonts::font(TarnTextStyle::callout, QFont::DemiBold));
    m_spinner->hide();
}

void SendButton::setLabel(const QString& label) {
    if (text() == label)
        return;
    setText(label);
    updateGeometry();
    placeSpinner();
}

void SendButton::setBusy(bool busy) {
    if (busy == m_busy)
        return;
    m_busy = busy;
    m_spinner->setVisible(busy);
    setEnabled(!busy);
    updateGeometry();
    placeSpinner();
    update();
}

double SendButton::contentWidth() const {
    const double textWidth = QFontMetricsF(font()).horizontalAdvance(text());
    return (m_busy ? kSpinner + kSendSpacing : 0) + textWidth;
}

QSize SendButton::sizeHint() const {
    const QFontMetricsF metrics(font());
    return QSizeF(2 * kSendPaddingH + contentWidth(),
                  2 * kSendPaddingV + std::max<double>(metrics.height(), kSpinner))
        .toSize();
}

void SendButton::resizeEvent(QResizeEvent* event) {
    QAbstractButton::resizeEvent(event);
    placeSpinner();
}

void SendButton::placeSpinner() {
    const double start = (width() - contentWidth()) / 2;
    const double x = layoutDirection() == Qt::RightToLeft ? width() - start - kSpinner : start;
    m_spinner->move(qRound(x), (height() - kSpinner) / 2);
}

void SendButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = m_accent;
    if (isDown())
        fill = fill.darker(115);
    // A disabled prominent button keeps its tint, faded.
    if (!isEnabled())
        fill.setAlphaF(fill.alphaF() * 0.55f);
    paintGlassShape(painter, rect(), kSendRadius, fill, QColor(255, 255, 255, 40));
    const double start = (width() - contentWidth()) / 2 + (m_busy ? kSpinner + kSendSpacing : 0);
    const double textWidth = QFontMetricsF(font()).horizontalAdvance(text());
    const double x = layoutDirection() == Qt::RightToLeft ? width() - start - textWidth : start;
    painter.setPen(Qt::white);
    painter.drawText(QRectF(x, 0, textWidth + 1, height()),
                     Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, text());
}

ScreenshotTile::ScreenshotTile(const TarnFeedbackScreenshot& screenshot,
                               std::function<void()> onRemove, QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("screenshotTile"));
    setFixedWidth(kTileWidth);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(4);

    // Decoded afresh whenever a tile is made; nothing is cached.
    QImage image;
    if (image.loadFromData(reinterpret_cast<const uchar*>(screenshot.data.data()),
                           static_cast<int>(screenshot.data.size()))) {
        m_hasThumbnail = true;
        const qreal ratio = devicePixelRatioF();
        const QSize target(qRound(kThumbnailWidth * ratio), qRound(kThumbnailHeight * ratio));
        // Scaled to fill the frame, the overflow cut evenly from both sides.
        const QImage filled =
            image.scaled(target, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        const QImage cropped =
            filled.copy((filled.width() - target.width()) / 2,
                        (filled.height() - target.height()) / 2, target.width(), target.height());
        QPixmap rounded(target);
        rounded.fill(Qt::transparent);
        {
            QPainter painter(&rounded);
            painter.setRenderHint(QPainter::Antialiasing);
            QPainterPath clip;
            clip.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(target)), 8 * ratio, 8 * ratio);
            painter.setClipPath(clip);
            painter.drawImage(0, 0, cropped);
        }
        rounded.setDevicePixelRatio(ratio);
        auto* thumbnail = new QLabel;
        thumbnail->setObjectName(QStringLiteral("screenshotThumbnail"));
        thumbnail->setFixedSize(kThumbnailWidth, kThumbnailHeight);
        thumbnail->setPixmap(rounded);
        column->addWidget(thumbnail);
    }

    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    QLabel* size =
        sheetLabel(qt::toQString(screenshot.formattedSize()),
                   fonts::font(TarnTextStyle::caption2, true), TarnGlassTokens::textMuted);
    size->setObjectName(QStringLiteral("screenshotSize"));
    row->addWidget(size);
    row->addStretch(1);
    auto* remove = new QToolButton;
    remove->setObjectName(QStringLiteral("removeScreenshotButton"));
    remove->setAutoRaise(true);
    remove->setCursor(Qt::PointingHandCursor);
    const int iconSize = fonts::pixelSize(TarnTextStyle::caption) + 2;
    remove->setIcon(symbolIcon("xmark.circle.fill", qColor(TarnGlassTokens::danger), iconSize));
    remove->setIconSize(QSize(iconSize, iconSize));
    remove->setStyleSheet(QStringLiteral("QToolButton { border: none; background: none; }"));
    connect(remove, &QToolButton::clicked, this, [onRemove = std::move(onRemove)] { onRemove(); });
    row->addWidget(remove);
    column->addLayout(row);
}

void ScreenshotTile::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintGlassShape(painter, rect(), 10, qColor(TarnGlassTokens::surface1), Qt::transparent);
}

} // namespace tarn::feedbacksheet
