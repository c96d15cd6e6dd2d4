#include "QuillerApp/Views/ViewParts.h"

#include "QuillerApp/Views/ViewModelBridge.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassCard.h"
#include "TarnKit/Design/TarnGlassInputField.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnProgressIndicator.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextDocumentLayout>
#include <QScrollArea>
#include <QSplitter>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace quiller {

QString viewText(std::string_view en, std::string_view tr, tarn::TarnLanguage language) {
    return tarn::qt::toQString(tarn::tarnText(en, tr, language));
}

QLabel* makeLabel(const QFont& font, const QColor& colour, QWidget* parent) {
    auto* label = new QLabel(parent);
    // Texts come from users and servers: never read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    setTextColour(label, colour);
    return label;
}

void setTextColour(QWidget* widget, const QColor& colour) {
    // setPalette does nothing when the palette is unchanged, so refreshes may
    // call this freely.
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

QVBoxLayout* columnLayout(QWidget* owner, int spacing) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QCheckBox* makeToggle(const QColor& colour, QWidget* parent) {
    auto* toggle = new QCheckBox(parent);
    toggle->setFont(tarn::fonts::system(13));
    setTextColour(toggle, colour);
    toggle->setCursor(Qt::PointingHandCursor);
    return toggle;
}

QLineEdit* makeField(const QString& placeholder, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    tarn::tarnGlassInputField(field, 6, 8, 4);
    field->setPlaceholderText(placeholder);
    return field;
}

QToolButton* makeTrashButton(QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIcon(tarn::symbolIcon("trash", tarn::qColor(tarn::TarnGlassTokens::danger), 15));
    button->setIconSize(QSize(15, 15));
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QToolButton { border: none; background: transparent; }"));
    return button;
}

bool needsRefresh(const ViewModelChanges* changes,
                  std::initializer_list<QuillerViewModelField> fields) {
    return !changes || changes->containsAny(fields);
}

CardColumn makeCardColumn(const char* name, double padding, double cornerRadius, int spacing) {
    auto* card = new tarn::TarnGlassCard(padding, cornerRadius);
    card->setObjectName(QString::fromUtf8(name));
    auto* content = new QWidget;
    QVBoxLayout* column = columnLayout(content, spacing);
    card->setContent(content);
    return {card, content, column};
}

QSplitter* makePaneSplit(const char* name, QWidget* left, QWidget* right, int leftShare,
                         int rightShare, QWidget* parent) {
    auto* split = new QSplitter(Qt::Horizontal, parent);
    split->setObjectName(QString::fromUtf8(name));
    split->setChildrenCollapsible(false);
    split->setHandleWidth(14);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(0, leftShare);
    split->setStretchFactor(1, rightShare);
    split->setSizes({leftShare, rightShare});
    return split;
}

QScrollArea* makeClearScrollArea(QWidget* content, QWidget* parent) {
    auto* scroll = new QScrollArea(parent);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->setWidget(content);
    // After setWidget, which turns the content's own fill on.
    for (QWidget* layer : {static_cast<QWidget*>(scroll), scroll->viewport(), content})
        layer->setAutoFillBackground(false);
    return scroll;
}

ScrollColumn makeScrollColumn(int spacing, QWidget* parent) {
    auto* content = new QWidget;
    QVBoxLayout* column = columnLayout(content, spacing);
    column->addStretch(1);
    return {makeClearScrollArea(content, parent), column};
}

SymbolTitle::SymbolTitle(std::string_view symbol, const QFont& font, const QColor& colour,
                         QWidget* parent)
    : QWidget(parent), m_text(makeLabel(font, colour, this)) {
    auto* icon = new QLabel(this);
    const int size = static_cast<int>(std::lround(QFontMetricsF(font).height() * 0.95));
    icon->setPixmap(tarn::symbolIcon(symbol, colour, size).pixmap(size, size));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(icon);
    row->addWidget(m_text);
}

void SymbolTitle::setText(const QString& text) {
    if (m_text->text() != text)
        m_text->setText(text);
}

QString SymbolTitle::text() const {
    return m_text->text();
}

CapsuleLabel::CapsuleLabel(const QFont& font, int horizontalPadding, int verticalPadding,
                           QWidget* parent)
    : QWidget(parent), m_horizontal(horizontalPadding), m_vertical(verticalPadding) {
    setFont(font);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CapsuleLabel::setCapsule(const QString& text, const QColor& textColour, const QColor& fill) {
    if (text == m_text && textColour == m_textColour && fill == m_fill)
        return;
    const bool resized = text != m_text;
    m_text = text;
    m_textColour = textColour;
    m_fill = fill;
    if (resized)
        updateGeometry();
    update();
}

QSize CapsuleLabel::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(m_text) + 2 * m_horizontal,
            metrics.height() + 2 * m_vertical};
}

void CapsuleLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area(rect());
    painter.fillPath(tarn::glassShape(area, tarn::capsuleRadius(area)), m_fill);
    painter.setPen(m_textColour);
    painter.drawText(area, Qt::AlignCenter | Qt::TextSingleLine, m_text);
}

StatusDot::StatusDot(QWidget* parent) : QWidget(parent) {
    setFixedSize(10, 10);
}

void StatusDot::setLit(bool lit) {
    if (m_lit == lit)
        return;
    m_lit = lit;
    update();
}

QColor StatusDot::colour() const {
    return tarn::qColor(m_lit ? tarn::TarnGlassTokens::success : tarn::TarnGlassTokens::textMuted);
}

void StatusDot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour());
    painter.drawEllipse(QRectF(rect()));
}

FittedTextBox::FittedTextBox(const QFont& font, const QColor& colour, QWidget* parent)
    : QPlainTextEdit(parent) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFrameShape(QFrame::NoFrame);
    setFont(font);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    document()->setDocumentMargin(0);
    viewport()->setAutoFillBackground(false);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    setPalette(palette);
    setTextColour(colour);
}

void FittedTextBox::setText(const QString& text) {
    if (toPlainText() == text)
        return;
    setPlainText(text);
    fitHeight();
}

void FittedTextBox::setTextColour(const QColor& colour) {
    QPalette palette = this->palette();
    if (palette.color(QPalette::Text) == colour)
        return;
    palette.setColor(QPalette::Text, colour);
    setPalette(palette);
}

QSize FittedTextBox::sizeHint() const {
    return {QPlainTextEdit::sizeHint().width(), std::max(m_fittedHeight, fontMetrics().height())};
}

void FittedTextBox::resizeEvent(QResizeEvent* event) {
    QPlainTextEdit::resizeEvent(event);
    fitHeight();
}

void FittedTextBox::fitHeight() {
    auto* layout = qobject_cast<QPlainTextDocumentLayout*>(document()->documentLayout());
    if (layout == nullptr)
        return;
    double height = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        height += layout->blockBoundingRect(block).height();
    const QMargins margins = contentsMargins();
    const int fitted = static_cast<int>(std::ceil(height)) + margins.top() + margins.bottom() + 2;
    if (fitted == m_fittedHeight)
        return;
    m_fittedHeight = fitted;
    setFixedHeight(fitted);
}

BusyButton::BusyButton(QAbstractButton* button, const QColor& colour)
    : m_button(button), m_spinner(new tarn::TarnProgressIndicator(colour, 14, button)) {
    m_spinner->setObjectName(button->objectName() + QStringLiteral("Progress"));
    auto* centre = new QHBoxLayout(button);
    centre->setContentsMargins(0, 0, 0, 0);
    centre->addWidget(m_spinner, 0, Qt::AlignCenter);
    m_spinner->hide();
}

void BusyButton::setLabel(const QString& text, const QIcon& icon) {
    m_text = text;
    m_icon = icon;
    refresh();
}

void BusyButton::setBusy(bool busy) {
    if (busy == m_busy)
        return;
    m_busy = busy;
    refresh();
}

void BusyButton::refresh() {
    // The button keeps its labelled width while the spinner shows, so the row
    // around it does not jump.
    m_button->setMinimumWidth(m_busy ? m_button->sizeHint().width() : 0);
    const QString text = m_busy ? QString() : m_text;
    if (m_button->text() != text)
        m_button->setText(text);
    m_button->setIcon(m_busy ? QIcon() : m_icon);
    m_spinner->setVisible(m_busy);
}

} // namespace quiller
