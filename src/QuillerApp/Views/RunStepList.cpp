#include "QuillerApp/Views/RunStepList.h"

#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace quiller {

namespace {

namespace fonts = tarn::fonts;
using tarn::qt::toQString;

constexpr int kPadding = 10;
constexpr int kSpacing = 10;
constexpr int kMethodWidth = 48;
constexpr int kIconSize = 15;
constexpr double kCornerRadius = 10;

} // namespace

RunStepList::RunStepList(const QColor& accent, QWidget* parent)
    : QWidget(parent), m_accent(accent), m_methodFont(fonts::system(10.5, QFont::Bold, true)),
      m_nameFont(fonts::system(12.5, QFont::DemiBold)),
      m_detailFont(fonts::system(10.5, QFont::Normal, true)),
      m_statusFont(fonts::system(11, QFont::Bold, true)),
      m_durationFont(fonts::system(11, QFont::Normal, true)),
      m_assertionsFont(fonts::system(10.5, QFont::Normal, true)) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void RunStepList::setRows(std::vector<RunnerPresentation::StepRow> rows) {
    if (rows == m_rows)
        return;
    const bool resized = rows.size() != m_rows.size();
    m_rows = std::move(rows);
    if (resized) {
        setFixedHeight(sizeHint().height());
        updateGeometry();
    }
    update();
}

int RunStepList::rowHeight() const {
    const int content = QFontMetrics(m_nameFont).height() + 2 + QFontMetrics(m_detailFont).height();
    return 2 * kPadding + std::max(content, kIconSize);
}

QSize RunStepList::sizeHint() const {
    const int count = rowCount();
    return {360, count == 0 ? 0 : count * rowHeight() + (count - 1) * rowGap};
}

QSize RunStepList::minimumSizeHint() const {
    return {200, sizeHint().height()};
}

void RunStepList::paintEvent(QPaintEvent* event) {
    if (m_rows.empty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int height = rowHeight();
    const int pitch = height + rowGap;
    const int first = std::max(0, event->rect().top() / pitch);
    const int last = std::min(rowCount() - 1, event->rect().bottom() / pitch);
    const QColor fill = tarn::qColor(tarn::TarnGlassTokens::surface2);
    const QColor white = Qt::white;
    const QColor secondary = tarn::qColor(tarn::TarnGlassTokens::textSecondary);
    const QColor muted = tarn::qColor(tarn::TarnGlassTokens::textMuted);

    for (int index = first; index <= last; ++index) {
        const RunnerPresentation::StepRow& row = m_rows[static_cast<std::size_t>(index)];
        const QRect box(0, index * pitch, width(), height);
        tarn::paintGlassShape(painter, box, kCornerRadius, fill, Qt::transparent, 0);
        const QRect inner = box.adjusted(kPadding, kPadding, -kPadding, -kPadding);

        // Trailing items first: what is left in the middle goes to the name.
        int right = inner.right() + 1;
        const auto trailing = [&](const QFont& font, const QString& text, const QColor& colour) {
            const int textWidth = QFontMetrics(font).horizontalAdvance(text);
            const QRect area(right - textWidth, inner.top(), textWidth, inner.height());
            painter.setFont(font);
            painter.setPen(colour);
            painter.drawText(area, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, text);
            right = area.left() - kSpacing;
        };
        trailing(m_assertionsFont, toQString(row.assertions), secondary);
        trailing(m_durationFont, toQString(row.duration), m_accent);
        trailing(m_statusFont, toQString(row.status), white);

        int left = inner.left();
        const QRectF iconArea(left, inner.center().y() - kIconSize / 2.0 + 0.5, kIconSize,
                              kIconSize);
        tarn::paintSymbol(painter, row.symbol, iconArea, roleColour(row.symbolRole, m_accent));
        left += kIconSize + kSpacing;

        painter.setFont(m_methodFont);
        painter.setPen(m_accent);
        painter.drawText(QRect(left, inner.top(), kMethodWidth, inner.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         QFontMetrics(m_methodFont)
                             .elidedText(toQString(row.method), Qt::ElideRight, kMethodWidth));
        left += kMethodWidth + kSpacing;

        const int middleWidth = std::max(0, right - left);
        const QFontMetrics nameMetrics(m_nameFont);
        const QFontMetrics detailMetrics(m_detailFont);
        const int stackHeight = nameMetrics.height() + 2 + detailMetrics.height();
        const int top = inner.top() + (inner.height() - stackHeight) / 2;
        painter.setFont(m_nameFont);
        painter.setPen(white);
        painter.drawText(QRect(left, top, middleWidth, nameMetrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         nameMetrics.elidedText(toQString(row.name), Qt::ElideRight, middleWidth));
        // One line: an error message's line breaks become blanks.
        QString detail = toQString(row.detail);
        detail.replace(QLatin1Char('\n'), QLatin1Char(' '));
        painter.setFont(m_detailFont);
        painter.setPen(muted);
        painter.drawText(
            QRect(left, top + nameMetrics.height() + 2, middleWidth, detailMetrics.height()),
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
            detailMetrics.elidedText(detail, Qt::ElideRight, middleWidth));
    }
}

} // namespace quiller
