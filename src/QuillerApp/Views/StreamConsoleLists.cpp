#include "QuillerApp/Views/StreamConsoleLists.h"

#include "QuillerApp/Views/ViewModelBridge.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <utility>

namespace quiller {

using namespace tarn;

// --- Model -------------------------------------------------------------------------

NewestFirstListModel::NewestFirstListModel(QuillerViewModelField field, Size size, Data data,
                                           QObject* parent)
    : QAbstractListModel(parent), m_field(field), m_size(std::move(size)), m_data(std::move(data)),
      m_rowCount(static_cast<int>(m_size())) {}

void NewestFirstListModel::apply(const ViewModelChanges& changes) {
    if (!changes.contains(m_field))
        return;
    // The consoles' lists grow at the top; anything else (a new stream
    // emptying the list, a replaced list) is shown afresh.
    int inserted = 0;
    bool onlyAtTheTop = true;
    for (const ViewModelChange& change : changes.records) {
        if (change.field != m_field)
            continue;
        if (change.kind == ListChangeKind::inserted && change.first == 0)
            inserted += static_cast<int>(change.count);
        else
            onlyAtTheTop = false;
    }
    const int size = static_cast<int>(m_size());
    if (!onlyAtTheTop || m_rowCount + inserted != size) {
        beginResetModel();
        m_rowCount = size;
        endResetModel();
        return;
    }
    if (inserted == 0)
        return;
    beginInsertRows({}, 0, inserted - 1);
    m_rowCount = size;
    endInsertRows();
}

std::optional<std::size_t> NewestFirstListModel::sourcePosition(int row) const {
    const int size = static_cast<int>(m_size());
    const int position = row + std::max(0, size - m_rowCount);
    if (row < 0 || position >= size)
        return std::nullopt;
    return static_cast<std::size_t>(position);
}

int NewestFirstListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rowCount;
}

QVariant NewestFirstListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const auto position = sourcePosition(index.row());
    return position ? m_data(*position, role) : QVariant();
}

Qt::ItemFlags NewestFirstListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Editable only so that the read-only field for selecting the text opens.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

// --- Delegate ----------------------------------------------------------------------

namespace {

constexpr int kPadding = 8;
constexpr int kRowGap = 6;
constexpr double kRadius = 8;
constexpr int kTitleSpacing = 2;
constexpr int kSymbolSize = 14;
constexpr int kSymbolSpacing = 8;
// A row shows one line: the text beyond what a line can hold is never measured.
constexpr qsizetype kShownCharacters = 600;

QFont titleFont() {
    return fonts::system(10.5, QFont::Bold, true);
}
QFont textFont() {
    return fonts::system(12, QFont::Normal, true);
}

QString oneLine(const QString& text) {
    QString shown = text.left(kShownCharacters);
    for (QChar& character : shown)
        if (character == QLatin1Char('\n') || character == QLatin1Char('\r') ||
            character == QLatin1Char('\t'))
            character = QLatin1Char(' ');
    return shown;
}

} // namespace

ConsoleRowDelegate::ConsoleRowDelegate(Style style, QObject* parent)
    : QStyledItemDelegate(parent), m_style(style) {}

QRect ConsoleRowDelegate::textRect(const QRect& rowRect) const {
    const int lineHeight = QFontMetrics(textFont()).lineSpacing();
    if (m_style == Style::event) {
        const int top =
            rowRect.top() + kPadding + QFontMetrics(titleFont()).lineSpacing() + kTitleSpacing;
        return {rowRect.left() + kPadding, top, rowRect.width() - 2 * kPadding, lineHeight};
    }
    const int left = rowRect.left() + kPadding + kSymbolSize + kSymbolSpacing;
    return {left, rowRect.top() + kPadding, rowRect.right() - kPadding - left + 1,
            std::max(lineHeight, kSymbolSize)};
}

QSize ConsoleRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    const QRect text = textRect(QRect(0, 0, std::max(option.rect.width(), 100), 0));
    return {text.right() + kPadding + 1, text.bottom() + 1 + kPadding + kRowGap};
}

void ConsoleRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    const QRect card = option.rect.adjusted(0, 0, 0, -kRowGap);
    const QRect text = textRect(option.rect);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(glassShape(card, kRadius), qColor(TarnGlassTokens::surface2));

    if (m_style == Style::event) {
        painter->setFont(titleFont());
        painter->setPen(m_accent);
        const QRect title(text.left(), card.top() + kPadding, text.width(),
                          QFontMetrics(titleFont()).lineSpacing());
        painter->drawText(
            title, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(titleFont())
                .elidedText(oneLine(index.data(NewestFirstListModel::titleRole).toString()),
                            Qt::ElideRight, title.width()));
    } else {
        const bool outgoing = index.data(NewestFirstListModel::outgoingRole).toBool();
        paintSymbol(*painter, outgoing ? "arrow.up.circle.fill" : "arrow.down.circle.fill",
                    QRectF(card.left() + kPadding, card.top() + kPadding, kSymbolSize, kSymbolSize),
                    outgoing ? m_accent : qColor(TarnGlassTokens::success));
    }

    // The open field shows the text while the user selects in it.
    if (index != m_editing) {
        painter->setFont(textFont());
        painter->setPen(qColor(TarnGlassTokens::textPrimary));
        const QRect line(text.left(), text.top(), text.width(),
                         QFontMetrics(textFont()).lineSpacing());
        painter->drawText(
            line, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(textFont())
                .elidedText(oneLine(index.data(NewestFirstListModel::textRole).toString()),
                            Qt::ElideRight, line.width()));
    }
    painter->restore();
}

QWidget* ConsoleRowDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                          const QModelIndex& index) const {
    m_editing = index;
    auto* field = new QLineEdit(parent);
    field->setObjectName(QStringLiteral("consoleRowText"));
    field->setReadOnly(true);
    field->setFrame(false);
    field->setFont(textFont());
    field->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; border: none; "
                                        "padding: 0; color: %1; }")
                             .arg(qColor(TarnGlassTokens::textPrimary).name(QColor::HexArgb)));
    return field;
}

void ConsoleRowDelegate::destroyEditor(QWidget* editor, const QModelIndex& index) const {
    m_editing = QPersistentModelIndex();
    QStyledItemDelegate::destroyEditor(editor, index);
}

void ConsoleRowDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* field = static_cast<QLineEdit*>(editor);
    field->setText(index.data(NewestFirstListModel::textRole).toString());
    field->setCursorPosition(0);
    field->selectAll();
}

void ConsoleRowDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                              const QModelIndex&) const {
    const QRect text = textRect(option.rect);
    editor->setGeometry(text.left(), text.top(), text.width(),
                        QFontMetrics(textFont()).lineSpacing());
}

} // namespace quiller
