#include "QuillerApp/Views/WorkbenchSupport.h"

#include "QuillerApp/Views/ViewColours.h"
#include "QuillerApp/Views/ViewParts.h"
#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassInputField.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPlainTextEdit>

namespace quiller::workbench {

QString text(const QuillerViewModel& model, std::string_view en, std::string_view tr) {
    return viewText(en, tr, model.language());
}

bool editActiveRequest(QuillerViewModel& model, const std::function<void(APIRequestSpec&)>& edit) {
    const auto indices = model.activeRequestIndices();
    if (!indices)
        return false;
    const tarn::UUID id = model.collections()[indices->col].requests[indices->req].id;
    if (!model.updateRequest(id, edit))
        return false;
    model.persist();
    return true;
}

QHBoxLayout* glassButtonRow(QWidget* owner, const std::vector<QString>& titles,
                            const std::vector<QString>& names, int spacing,
                            const std::function<void(std::size_t)>& onPress,
                            std::span<tarn::TarnGlassButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->setSpacing(spacing);
    for (std::size_t i = 0; i < titles.size() && i < buttons.size(); ++i) {
        auto* button = new tarn::TarnGlassButton(titles[i], false, owner);
        button->setObjectName(names[i]);
        QObject::connect(button, &QAbstractButton::clicked, owner, [onPress, i] { onPress(i); });
        row->addWidget(button);
        buttons[i] = button;
    }
    row->addStretch(1);
    return row;
}

void setActiveButton(std::span<tarn::TarnGlassButton* const> buttons, std::size_t active) {
    for (std::size_t i = 0; i < buttons.size(); ++i)
        buttons[i]->setActive(i == active);
}

QFrame* divider(Qt::Orientation orientation, QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::NoFrame);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, tarn::qColor(tarn::TarnGlassTokens::borderSubtle));
    line->setPalette(palette);
    if (orientation == Qt::Horizontal)
        line->setFixedHeight(1);
    else
        line->setFixedWidth(1);
    return line;
}

QLabel* label(const QString& text, qreal pixelSize, int weight, bool monospaced,
              const QColor& colour, QWidget* parent) {
    QLabel* shown =
        makeLabel(tarn::fonts::system(pixelSize, static_cast<QFont::Weight>(weight), monospaced),
                  colour, parent);
    shown->setText(text);
    return shown;
}

void styleField(QLineEdit* field, bool monospaced, qreal pixelSize) {
    tarn::tarnGlassInputField(field, 7, 9, 5);
    if (monospaced || pixelSize != 12.5)
        field->setFont(tarn::fonts::system(pixelSize, QFont::Normal, monospaced));
}

void styleComboBox(QComboBox* box) {
    // A palette, not a style sheet: the platform style keeps drawing the
    // arrow and the popup, in the glass colours.
    box->setFont(tarn::fonts::system(12.5));
    QPalette palette = box->palette();
    const QColor text = tarn::qColor(tarn::TarnGlassTokens::textPrimary);
    const QColor fill = QColor::fromRgb(0x33, 0x37, 0x4d);
    for (const QPalette::ColorRole role : {QPalette::Button, QPalette::Base, QPalette::Window})
        palette.setColor(role, fill);
    for (const QPalette::ColorRole role :
         {QPalette::ButtonText, QPalette::Text, QPalette::WindowText})
        palette.setColor(role, text);
    palette.setColor(QPalette::Highlight, studioAccent());
    palette.setColor(QPalette::HighlightedText, Qt::white);
    box->setPalette(palette);
}

void styleTextPane(QPlainTextEdit* pane, int padding, qreal monospacedSize) {
    pane->setFrameShape(QFrame::NoFrame);
    pane->setFont(tarn::fonts::system(monospacedSize, QFont::Normal, true));
    const QColor text = tarn::qColor(tarn::TarnGlassTokens::textPrimary);
    pane->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: rgba(0, 0, 0, 71); border: none; "
                       "border-radius: 8px; padding: %1px; color: %2; "
                       "selection-background-color: rgba(255, 255, 255, 60); }")
            .arg(padding)
            .arg(text.name(QColor::HexArgb)));
}

} // namespace quiller::workbench

namespace quiller::workbench {

BusyIndicator::BusyIndicator(const QColor& colour, int diameter, QWidget* parent)
    : QWidget(parent), m_colour(colour) {
    setFixedSize(diameter, diameter);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void BusyIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(m_colour, 2);
    pen.setCapStyle(Qt::RoundCap);
    painter.setPen(pen);
    const QRectF circle = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    painter.drawArc(circle, -m_angle * 16, 270 * 16);
}

void BusyIndicator::showEvent(QShowEvent*) {
    if (m_timer == 0)
        m_timer = startTimer(60);
}

void BusyIndicator::hideEvent(QHideEvent*) {
    if (m_timer != 0)
        killTimer(m_timer);
    m_timer = 0;
}

void BusyIndicator::timerEvent(QTimerEvent*) {
    m_angle = (m_angle + 30) % 360;
    update();
}

BusyIndicator* attachBusyIndicator(QAbstractButton* button, const QColor& colour) {
    auto* indicator = new BusyIndicator(colour, 14, button);
    auto* centre = new QHBoxLayout(button);
    centre->setContentsMargins(0, 0, 0, 0);
    centre->addWidget(indicator, 0, Qt::AlignCenter);
    indicator->hide();
    return indicator;
}

void showBusy(QAbstractButton* button, BusyIndicator* indicator, bool busy, const QString& label,
              const QIcon& icon) {
    if (busy) {
        if (!button->text().isEmpty() || !button->icon().isNull())
            button->setMinimumSize(button->sizeHint());
        button->setText(QString());
        button->setIcon(QIcon());
    } else {
        button->setText(label);
        button->setIcon(icon);
        button->setMinimumSize(0, 0);
    }
    button->setEnabled(!busy);
    indicator->setVisible(busy);
    button->updateGeometry();
    button->update();
}

} // namespace quiller::workbench
