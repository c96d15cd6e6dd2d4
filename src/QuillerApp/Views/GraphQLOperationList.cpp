#include "QuillerApp/Views/GraphQLOperationList.h"

#include "QuillerApp/Views/GraphQLSchemaExplorerDrawer.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <algorithm>
#include <utility>

namespace quiller {

namespace {

using namespace tarn;

constexpr int kPadding = 10;
constexpr int kLineSpacing = 6;
constexpr int kRowGap = 8;
constexpr int kRadius = 10;
constexpr int kMaxLines = 2;
constexpr int kButtonIcon = 12;
constexpr int kButtonPadX = 11;
constexpr int kButtonPadY = 6;
constexpr int kButtonIconSpacing = 6;
constexpr double kButtonRadius = 8;

QFont nameFont() {
    return fonts::system(12, QFont::Bold, true);
}
QFont signatureFont() {
    return fonts::system(10.5, QFont::DemiBold, true);
}
QFont argumentsFont() {
    return fonts::system(10.5, QFont::Normal, true);
}
QFont descriptionFont() {
    return fonts::system(11);
}
QFont badgeFont() {
    return fonts::system(9, QFont::Bold, true);
}
QFont buttonFont() {
    return fonts::system(11, QFont::DemiBold);
}

// `text` broken into lines of `width`, at most `maxLines`; the last one
// carries an ellipsis when text is left over.
QStringList wrappedLines(QString text, const QFont& font, int width, int maxLines) {
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QStringList lines;
    QTextLayout layout(text, font);
    layout.beginLayout();
    for (;;) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (lines.size() == maxLines - 1) {
            QString rest = text.mid(line.textStart());
            rest.replace(QChar::LineSeparator, QLatin1Char(' '));
            lines << QFontMetrics(font).elidedText(rest, Qt::ElideRight, width);
            break;
        }
        QString shown = text.mid(line.textStart(), line.textLength());
        shown.replace(QChar::LineSeparator, QLatin1Char(' '));
        lines << shown;
    }
    layout.endLayout();
    return lines;
}

} // namespace

// --- Model -----------------------------------------------------------------------

void GraphQLOperationListModel::setOperations(std::vector<GraphQLOperationField> operations) {
    const bool sameRows =
        std::equal(m_operations.begin(), m_operations.end(), operations.begin(), operations.end(),
                   [](const GraphQLOperationField& a, const GraphQLOperationField& b) {
                       return a.rootKind == b.rootKind && a.name == b.name;
                   });
    if (!sameRows) {
        beginResetModel();
        m_operations = std::move(operations);
        endResetModel();
        return;
    }
    if (m_operations == operations)
        return;
    m_operations = std::move(operations);
    emit dataChanged(index(0), index(rowCount() - 1));
}

const GraphQLOperationField& GraphQLOperationListModel::operation(int row) const {
    return m_operations.at(static_cast<std::size_t>(row));
}

int GraphQLOperationListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_operations.size());
}

QVariant GraphQLOperationListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || role != Qt::DisplayRole)
        return {};
    return qt::toQString(operation(index.row()).id());
}

// --- Delegate ----------------------------------------------------------------------

struct GraphQLOperationDelegate::Layout {
    QRect card;
    int nameBaseline = 0;
    QStringList argumentLines;
    int argumentsTop = 0;
    QStringList descriptionLines;
    int descriptionTop = 0;
    QRect footer;
    QRect button;
};

GraphQLOperationDelegate::GraphQLOperationDelegate(GenerateHandler onGenerate, QObject* parent)
    : QStyledItemDelegate(parent), m_onGenerate(std::move(onGenerate)) {}

GraphQLOperationDelegate::Layout
GraphQLOperationDelegate::layoutFor(const GraphQLOperationField& operation,
                                    const QRect& rowRect) const {
    Layout layout;
    const int left = rowRect.left() + kPadding;
    const int width = std::max(1, rowRect.width() - 2 * kPadding);
    int y = rowRect.top() + kPadding;

    const QFontMetrics name(nameFont());
    const QFontMetrics signature(signatureFont());
    // The two faces share the first line's baseline.
    const int ascent = std::max(name.ascent(), signature.ascent());
    layout.nameBaseline = y + ascent;
    y += ascent + std::max(name.descent(), signature.descent());

    if (const auto arguments = graphQLExplorer::argumentsText(operation)) {
        y += kLineSpacing;
        layout.argumentsTop = y;
        layout.argumentLines =
            wrappedLines(qt::toQString(*arguments), argumentsFont(), width, kMaxLines);
        y += static_cast<int>(layout.argumentLines.size()) *
             QFontMetrics(argumentsFont()).lineSpacing();
    }
    if (const auto description = graphQLExplorer::descriptionText(operation)) {
        y += kLineSpacing;
        layout.descriptionTop = y;
        layout.descriptionLines =
            wrappedLines(qt::toQString(*description), descriptionFont(), width, kMaxLines);
        y += static_cast<int>(layout.descriptionLines.size()) *
             QFontMetrics(descriptionFont()).lineSpacing();
    }

    y += kLineSpacing;
    const QSize button = buttonSize();
    const int buttonHeight = button.height();
    layout.footer = QRect(left, y, width, buttonHeight);
    layout.button = QRect(QPoint(left + width - button.width(), y), button);
    y += buttonHeight + kPadding;
    layout.card = QRect(rowRect.left(), rowRect.top(), rowRect.width(), y - rowRect.top());
    return layout;
}

QSize GraphQLOperationDelegate::buttonSize() const {
    const QFontMetrics metrics(buttonFont());
    return {metrics.horizontalAdvance(m_buttonTitle) + kButtonIcon + kButtonIconSpacing +
                2 * kButtonPadX,
            std::max(metrics.height(), kButtonIcon) + 2 * kButtonPadY};
}

QRect GraphQLOperationDelegate::generateButtonRect(const QRect& rowRect) const {
    // The button sits at the card's bottom edge, whatever lines precede it.
    const QSize button = buttonSize();
    const int bottom = rowRect.bottom() - kRowGap - kPadding;
    return {QPoint(rowRect.right() - kPadding - button.width() + 1, bottom - button.height() + 1),
            button};
}

QSize GraphQLOperationDelegate::sizeHint(const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const {
    const auto* model = static_cast<const GraphQLOperationListModel*>(index.model());
    // Rows span the list's width; the text wraps to it.
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    const int width = view ? view->viewport()->width() : option.rect.width();
    const QRect row(0, 0, std::max(width, 120), 0);
    const Layout layout = layoutFor(model->operation(index.row()), row);
    return {row.width(), layout.card.height() + kRowGap};
}

void GraphQLOperationDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    const auto* model = static_cast<const GraphQLOperationListModel*>(index.model());
    const GraphQLOperationField& operation = model->operation(index.row());
    const Layout layout = layoutFor(operation, option.rect);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(glassShape(layout.card, kRadius), qColor(TarnGlassTokens::surface2));

    const int left = layout.card.left() + kPadding;
    const int width = layout.card.width() - 2 * kPadding;

    // Name, then ": " and the return type in the accent colour, on one line.
    const QFontMetrics nameMetrics(nameFont());
    const QString name = qt::toQString(operation.name);
    const QString elidedName = nameMetrics.elidedText(name, Qt::ElideRight, width);
    painter->setFont(nameFont());
    painter->setPen(qColor(TarnGlassTokens::textPrimary));
    painter->drawText(QPoint(left, layout.nameBaseline), elidedName);
    const int nameWidth = nameMetrics.horizontalAdvance(elidedName) + 6;
    if (nameWidth < width) {
        const QFontMetrics signatureMetrics(signatureFont());
        const QString signature = signatureMetrics.elidedText(
            QStringLiteral(": ") + qt::toQString(operation.returnTypeSignature), Qt::ElideRight,
            width - nameWidth);
        painter->setFont(signatureFont());
        painter->setPen(m_accent);
        painter->drawText(QPoint(left + nameWidth, layout.nameBaseline), signature);
    }

    const auto drawLines = [&](const QStringList& lines, int top, const QFont& font,
                               const QColor& colour) {
        const QFontMetrics metrics(font);
        painter->setFont(font);
        painter->setPen(colour);
        for (int i = 0; i < lines.size(); ++i)
            painter->drawText(QPoint(left, top + i * metrics.lineSpacing() + metrics.ascent()),
                              lines[i]);
    };
    drawLines(layout.argumentLines, layout.argumentsTop, argumentsFont(),
              qColor(TarnGlassTokens::textMuted));
    drawLines(layout.descriptionLines, layout.descriptionTop, descriptionFont(),
              qColor(TarnGlassTokens::textSecondary));

    if (operation.isDeprecated) {
        painter->setFont(badgeFont());
        painter->setPen(qColor(TarnGlassTokens::warning));
        painter->drawText(layout.footer, Qt::AlignLeft | Qt::AlignVCenter,
                          QStringLiteral("DEPRECATED"));
    }

    // The button, drawn as an active glass button.
    paintGlassShape(*painter, layout.button, kButtonRadius, qColor(TarnGlassTokens::surface3),
                    qColor(TarnGlassTokens::borderStrong));
    const QRect content =
        layout.button.adjusted(kButtonPadX, kButtonPadY, -kButtonPadX, -kButtonPadY);
    const QColor textColour = qColor(TarnGlassTokens::textPrimary);
    paintSymbol(*painter, "arrow.down.doc.fill",
                QRectF(content.left(), content.center().y() - kButtonIcon / 2.0 + 0.5, kButtonIcon,
                       kButtonIcon),
                textColour);
    painter->setFont(buttonFont());
    painter->setPen(textColour);
    painter->drawText(content.adjusted(kButtonIcon + kButtonIconSpacing, 0, 0, 0),
                      Qt::AlignLeft | Qt::AlignVCenter, m_buttonTitle);
    painter->restore();
}

bool GraphQLOperationDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                                           const QStyleOptionViewItem& option,
                                           const QModelIndex& index) {
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease)
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton ||
        !generateButtonRect(option.rect).contains(mouse->position().toPoint()))
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    if (event->type() == QEvent::MouseButtonRelease && m_onGenerate) {
        // A copy: the handler may change the schema and with it the list.
        const GraphQLOperationField operation =
            static_cast<const GraphQLOperationListModel*>(index.model())->operation(index.row());
        m_onGenerate(operation);
    }
    return true;
}

} // namespace quiller
