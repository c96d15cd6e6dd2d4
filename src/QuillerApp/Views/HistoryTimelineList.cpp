#include "QuillerApp/Views/HistoryTimelineList.h"

#include "QuillerApp/Views/HistoryTimelinePresentation.h"
#include "QuillerApp/Views/ViewColours.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QAbstractItemView>
#include <QDateTime>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace quiller {

namespace {

namespace fonts = tarn::fonts;
namespace tokens = tarn::TarnGlassTokens;
namespace presentation = HistoryTimelinePresentation;
using tarn::qt::toQString;

constexpr int kPadding = 10;
constexpr int kSpacing = 10;
constexpr int kGap = 8;
constexpr int kMethodWidth = 48;
constexpr double kCornerRadius = 10;
constexpr int kBadgeHorizontal = 7;
constexpr int kBadgeVertical = 3;
constexpr int kButtonHorizontal = 11;
constexpr int kButtonVertical = 6;

QDateTime localDateTime(std::chrono::system_clock::time_point timestamp) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(timestamp.time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(ms.count());
}

// The locale's short time with seconds: the "medium" time of the date styles.
QString mediumTimeFormat(const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("ss"))) {
        const qsizetype minutes = format.indexOf(QLatin1String("mm"));
        if (minutes >= 0)
            format.insert(minutes + 2, QLatin1String(":ss"));
    }
    return format;
}

} // namespace

QString historyTimeText(std::chrono::system_clock::time_point timestamp) {
    static const QLocale locale = QLocale::system();
    return locale.toString(localDateTime(timestamp), QStringLiteral("HH:mm:ss"));
}

QString historyFullDateText(std::chrono::system_clock::time_point timestamp) {
    static const QLocale locale = QLocale::system();
    static const QString format =
        locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + mediumTimeFormat(locale);
    return locale.toString(localDateTime(timestamp), format);
}

// --- Model -------------------------------------------------------------------------

void HistoryTimelineModel::setEntries(std::vector<RequestHistoryEntry> entries,
                                      std::optional<tarn::UUID> selectedID) {
    const bool sameRows = entries.size() == m_entries.size() &&
                          std::equal(entries.begin(), entries.end(), m_entries.begin(),
                                     [](const RequestHistoryEntry& a,
                                        const RequestHistoryEntry& b) { return a.id == b.id; });
    if (!sameRows) {
        beginResetModel();
        m_entries = std::move(entries);
        m_selectedID = selectedID;
        ++m_resets;
        endResetModel();
        return;
    }
    const std::optional<tarn::UUID> oldSelection = m_selectedID;
    m_selectedID = selectedID;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const bool selectionMoved =
            (oldSelection == entries[i].id) != (m_selectedID == entries[i].id);
        if (selectionMoved || !(entries[i] == m_entries[i])) {
            m_entries[i] = std::move(entries[i]);
            const QModelIndex at = index(static_cast<int>(i));
            emit dataChanged(at, at);
        }
    }
}

int HistoryTimelineModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

QVariant HistoryTimelineModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const RequestHistoryEntry& row = entry(index.row());
    if (role == Qt::DisplayRole)
        return toQString(row.requestName);
    if (role == selectedRole)
        return m_selectedID == row.id;
    return {};
}

// --- Delegate ----------------------------------------------------------------------

HistoryTimelineDelegate::HistoryTimelineDelegate(const QColor& accent, QObject* parent)
    : QStyledItemDelegate(parent), m_accent(accent),
      m_methodFont(fonts::system(10, QFont::Bold, true)),
      m_badgeFont(fonts::system(10.5, QFont::Bold, true)),
      m_nameFont(fonts::system(12.5, QFont::DemiBold)),
      m_urlFont(fonts::system(11, QFont::Normal, true)),
      m_durationFont(fonts::system(11, QFont::Bold, true)),
      m_timeFont(fonts::system(10, QFont::Normal, true)),
      m_buttonFont(fonts::system(12.5, QFont::Medium)) {}

void HistoryTimelineDelegate::setLoadButtonText(const QString& text) {
    m_loadText = text;
}

int HistoryTimelineDelegate::rowHeight() const {
    const int names = QFontMetrics(m_nameFont).height() + 2 + QFontMetrics(m_urlFont).height();
    const int times = QFontMetrics(m_durationFont).height() + 2 + QFontMetrics(m_timeFont).height();
    const int button = QFontMetrics(m_buttonFont).height() + 2 * kButtonVertical;
    return 2 * kPadding + std::max({names, times, button});
}

QSize HistoryTimelineDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return {420, rowHeight() + kGap};
}

QRect HistoryTimelineDelegate::rowBox(const QRect& itemRect) {
    return itemRect.adjusted(0, 0, 0, -kGap);
}

QRect HistoryTimelineDelegate::loadButtonRect(const QRect& rowRect) const {
    const QRect inner = rowBox(rowRect).adjusted(kPadding, kPadding, -kPadding, -kPadding);
    const QFontMetrics metrics(m_buttonFont);
    const int width = metrics.horizontalAdvance(m_loadText) + 2 * kButtonHorizontal;
    const int height = metrics.height() + 2 * kButtonVertical;
    return {inner.right() + 1 - width, inner.center().y() - height / 2 + 1, width, height};
}

void HistoryTimelineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    const auto* model = qobject_cast<const HistoryTimelineModel*>(index.model());
    if (model == nullptr)
        return;
    const RequestHistoryEntry& entry = model->entry(index.row());
    const bool selected = index.data(HistoryTimelineModel::selectedRole).toBool();

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect box = rowBox(option.rect);
    tarn::paintGlassShape(*painter, box, kCornerRadius,
                          selected ? withOpacity(m_accent, 0.22) : tarn::qColor(tokens::surface2),
                          selected ? withOpacity(m_accent, 0.6) : QColor(Qt::transparent));
    const QRect inner = box.adjusted(kPadding, kPadding, -kPadding, -kPadding);

    // The button, then the duration and time, from the trailing edge.
    const QRect button = loadButtonRect(option.rect);
    painter->save();
    if (m_pressedButtonRow == index.row())
        painter->setOpacity(0.78);
    tarn::paintGlassShape(*painter, button, 8, tarn::qColor(tokens::surface2),
                          tarn::qColor(tokens::borderSubtle));
    painter->setFont(m_buttonFont);
    painter->setPen(tarn::qColor(tokens::textPrimary));
    painter->drawText(button, Qt::AlignCenter | Qt::TextSingleLine, m_loadText);
    painter->restore();

    const QString duration = toQString(presentation::durationText(entry.durationMs));
    const QString time = historyTimeText(entry.timestamp);
    const QFontMetrics durationMetrics(m_durationFont);
    const QFontMetrics timeMetrics(m_timeFont);
    const int timesWidth =
        std::max(durationMetrics.horizontalAdvance(duration), timeMetrics.horizontalAdvance(time));
    const int timesHeight = durationMetrics.height() + 2 + timeMetrics.height();
    const int timesRight = button.left() - kSpacing;
    const int timesTop = inner.top() + (inner.height() - timesHeight) / 2;
    painter->setFont(m_durationFont);
    painter->setPen(m_accent);
    painter->drawText(
        QRect(timesRight - timesWidth, timesTop, timesWidth, durationMetrics.height()),
        Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, duration);
    painter->setFont(m_timeFont);
    painter->setPen(tarn::qColor(tokens::textMuted));
    painter->drawText(QRect(timesRight - timesWidth, timesTop + durationMetrics.height() + 2,
                            timesWidth, timeMetrics.height()),
                      Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, time);

    // From the leading edge: method, badge, name and URL.
    int left = inner.left();
    painter->setFont(m_methodFont);
    painter->setPen(roleColour(presentation::methodColour(entry.method), m_accent));
    painter->drawText(QRect(left, inner.top(), kMethodWidth, inner.height()),
                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                      toQString(rawValue(entry.method)));
    left += kMethodWidth + kSpacing;

    const presentation::StatusBadge badge = presentation::statusBadge(entry);
    const QString badgeText = toQString(badge.text);
    const QFontMetrics badgeMetrics(m_badgeFont);
    const QRect badgeRect(left,
                          inner.center().y() - (badgeMetrics.height() + 2 * kBadgeVertical) / 2 + 1,
                          badgeMetrics.horizontalAdvance(badgeText) + 2 * kBadgeHorizontal,
                          badgeMetrics.height() + 2 * kBadgeVertical);
    const QRectF badgeArea(badgeRect);
    painter->fillPath(tarn::glassShape(badgeArea, tarn::capsuleRadius(badgeArea)),
                      withOpacity(roleColour(badge.role, m_accent), 0.32));
    painter->setFont(m_badgeFont);
    painter->setPen(Qt::white);
    painter->drawText(badgeRect, Qt::AlignCenter | Qt::TextSingleLine, badgeText);
    left = badgeRect.right() + 1 + kSpacing;

    const int textWidth = std::max(0, timesRight - timesWidth - kSpacing - left);
    const QFontMetrics nameMetrics(m_nameFont);
    const QFontMetrics urlMetrics(m_urlFont);
    const int namesHeight = nameMetrics.height() + 2 + urlMetrics.height();
    const int namesTop = inner.top() + (inner.height() - namesHeight) / 2;
    painter->setFont(m_nameFont);
    painter->setPen(tarn::qColor(tokens::textPrimary));
    painter->drawText(
        QRect(left, namesTop, textWidth, nameMetrics.height()),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        nameMetrics.elidedText(toQString(entry.requestName), Qt::ElideRight, textWidth));
    painter->setFont(m_urlFont);
    painter->setPen(tarn::qColor(tokens::textSecondary));
    painter->drawText(
        QRect(left, namesTop + nameMetrics.height() + 2, textWidth, urlMetrics.height()),
        Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        urlMetrics.elidedText(toQString(entry.sanitizedURL), Qt::ElideRight, textWidth));
    painter->restore();
}

bool HistoryTimelineDelegate::editorEvent(QEvent* event, QAbstractItemModel*,
                                          const QStyleOptionViewItem& option,
                                          const QModelIndex& index) {
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const QPoint at = mouse->position().toPoint();
    const bool onButton = loadButtonRect(option.rect).contains(at);
    // The button dims while held down.
    const auto repaintRow = [this, &index] {
        if (auto* view = qobject_cast<QAbstractItemView*>(parent()))
            view->update(index);
    };
    if (type != QEvent::MouseButtonRelease) {
        if (onButton) {
            m_pressedButtonRow = index.row();
            repaintRow();
            return true;
        }
        return false;
    }
    const bool pressedButton = m_pressedButtonRow == index.row();
    m_pressedButtonRow = -1;
    if (pressedButton) {
        repaintRow();
        if (onButton)
            emit loadRequested(index.row());
        return true;
    }
    // The whole row rectangle takes taps; the gap below it does not.
    if (rowBox(option.rect).contains(at))
        emit rowPicked(index.row());
    return true;
}

} // namespace quiller
