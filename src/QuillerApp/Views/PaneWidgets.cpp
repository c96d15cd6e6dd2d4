#include "QuillerApp/Views/PaneWidgets.h"

#include "QuillerApp/Views/ViewModelBridge.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassCard.h"
#include "TarnKit/Design/TarnGlassInputField.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Localization/TarnText.h"
#include "TarnKit/PlatformQt/QtConversions.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"
#include "TarnKit/Utilities/TarnProductPalette.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

namespace quiller {

QColor screenAccent() {
    return tarn::qColor(tarn::productpalette::accentColor(tarn::TarnProductPalette::deepIndigo));
}

QString screenText(std::string_view en, std::string_view tr, tarn::TarnLanguage language) {
    return tarn::qt::toQString(tarn::tarnText(en, tr, language));
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    palette.setColor(QPalette::ButtonText, colour);
    widget->setPalette(palette);
}

QLabel* makeLabel(const QFont& font, const tarn::TarnColor& colour, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFont(font);
    setTextColour(label, tarn::qColor(colour));
    return label;
}

QCheckBox* makeToggle(const tarn::TarnColor& colour, QWidget* parent) {
    auto* toggle = new QCheckBox(parent);
    toggle->setFont(tarn::fonts::system(13));
    setTextColour(toggle, tarn::qColor(colour));
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
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(spacing);
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

ScrollColumn makeScrollColumn(int spacing, QWidget* parent) {
    auto* area = new QScrollArea(parent);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area->viewport()->setAutoFillBackground(false);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(spacing);
    column->addStretch(1);
    area->setWidget(content);
    // setWidget() turns the background on; the glass shows through instead.
    content->setAutoFillBackground(false);
    return {area, column};
}

RoundedPane::RoundedPane(const QColor& fill, double cornerRadius, int padding, QWidget* parent)
    : QWidget(parent), m_fill(fill), m_cornerRadius(cornerRadius) {
    setAttribute(Qt::WA_StyledBackground, false);
    setContentsMargins(padding, padding, padding, padding);
}

void RoundedPane::setFillColor(const QColor& fill) {
    if (m_fill == fill)
        return;
    m_fill = fill;
    update();
}

void RoundedPane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(tarn::glassShape(rect(), m_cornerRadius), m_fill);
}

void RoundedPane::mousePressEvent(QMouseEvent* event) {
    m_pressed = event->button() == Qt::LeftButton;
    QWidget::mousePressEvent(event);
}

void RoundedPane::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    QWidget::mouseReleaseEvent(event);
    if (click)
        emit clicked();
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

} // namespace quiller
