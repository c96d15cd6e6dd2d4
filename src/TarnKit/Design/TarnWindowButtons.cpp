#include "TarnKit/Design/TarnWindowButtons.h"

#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Utilities/TarnColor.h"

#include <QEnterEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

namespace tarn {
namespace {

// The window buttons' own colours: the conventional red, amber and green
// discs, and the grey of an inactive window. Window chrome, not palette.
constexpr TarnColor kCloseColour = TarnColor::fromHex(0xFF5F57);
constexpr TarnColor kMinimizeColour = TarnColor::fromHex(0xFEBC2E);
constexpr TarnColor kZoomColour = TarnColor::fromHex(0x28C840);
constexpr TarnColor kInactiveColour = TarnColor::white(0.22);
constexpr TarnColor kGlyphColour = TarnColor::black(0.55);
constexpr TarnColor kRimColour = TarnColor::black(0.18);

const char* objectNameFor(TarnWindowButtonRole role) {
    switch (role) {
    case TarnWindowButtonRole::close:
        return "windowCloseButton";
    case TarnWindowButtonRole::minimize:
        return "windowMinimizeButton";
    case TarnWindowButtonRole::zoom:
        return "windowZoomButton";
    }
    return "windowButton";
}

} // namespace

void tarnToggleZoom(QWidget& window) {
    if (window.isMaximized() || window.isFullScreen())
        window.showNormal();
    else
        window.showMaximized();
}

TarnWindowButton::TarnWindowButton(TarnWindowButtonRole role, QWidget* parent)
    : QAbstractButton(parent), m_role(role) {
    setObjectName(QString::fromLatin1(objectNameFor(role)));
    setFixedSize(diameter, diameter);
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractButton::clicked, this, [this] {
        QWidget* target = window();
        switch (m_role) {
        case TarnWindowButtonRole::close:
            target->close();
            break;
        case TarnWindowButtonRole::minimize:
            target->showMinimized();
            break;
        case TarnWindowButtonRole::zoom:
            tarnToggleZoom(*target);
            break;
        }
    });
}

void TarnWindowButton::setHovered(bool hovered) {
    if (m_hovered == hovered)
        return;
    m_hovered = hovered;
    update();
}

bool TarnWindowButton::isWindowActive() const {
    return window()->isActiveWindow();
}

QColor TarnWindowButton::fillColor() const {
    // Hovering shows the colours even in an inactive window, as a hint of
    // what a click does.
    if (!isWindowActive() && !m_hovered)
        return qColor(kInactiveColour);
    switch (m_role) {
    case TarnWindowButtonRole::close:
        return qColor(kCloseColour);
    case TarnWindowButtonRole::minimize:
        return qColor(kMinimizeColour);
    case TarnWindowButtonRole::zoom:
        return qColor(kZoomColour);
    }
    return qColor(kInactiveColour);
}

void TarnWindowButton::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange)
        update();
    QAbstractButton::changeEvent(event);
}

void TarnWindowButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QColor fill = fillColor();
    if (isDown())
        fill = fill.darker(125);
    painter.setPen(QPen(qColor(kRimColour), 0.5));
    painter.setBrush(fill);
    painter.drawEllipse(disc);
    if (!m_hovered)
        return;

    // Glyphs on the disc's middle 8 pixels.
    const QPointF centre = disc.center();
    const double half = 3.5;
    painter.setPen(QPen(qColor(kGlyphColour), 1.3, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    switch (m_role) {
    case TarnWindowButtonRole::close:
        painter.drawLine(centre + QPointF(-half + 0.5, -half + 0.5),
                         centre + QPointF(half - 0.5, half - 0.5));
        painter.drawLine(centre + QPointF(-half + 0.5, half - 0.5),
                         centre + QPointF(half - 0.5, -half + 0.5));
        break;
    case TarnWindowButtonRole::minimize:
        painter.drawLine(centre + QPointF(-half, 0), centre + QPointF(half, 0));
        break;
    case TarnWindowButtonRole::zoom: {
        // Two corner triangles pointing outwards.
        QPainterPath arrows;
        arrows.moveTo(centre + QPointF(-half, half - 4.5));
        arrows.lineTo(centre + QPointF(-half, half));
        arrows.lineTo(centre + QPointF(-half + 4.5, half));
        arrows.closeSubpath();
        arrows.moveTo(centre + QPointF(half, -half + 4.5));
        arrows.lineTo(centre + QPointF(half, -half));
        arrows.lineTo(centre + QPointF(half - 4.5, -half));
        arrows.closeSubpath();
        painter.fillPath(arrows, qColor(kGlyphColour));
        break;
    }
    }
}

TarnWindowButtons::TarnWindowButtons(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("windowButtons"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    const std::array roles = {TarnWindowButtonRole::close, TarnWindowButtonRole::minimize,
                              TarnWindowButtonRole::zoom};
    for (std::size_t index = 0; index < roles.size(); ++index) {
        m_buttons[index] = new TarnWindowButton(roles[index], this);
        row->addWidget(m_buttons[index]);
    }
    setFixedSize(3 * TarnWindowButton::diameter + 2 * spacing, TarnWindowButton::diameter);
}

TarnWindowButton* TarnWindowButtons::button(TarnWindowButtonRole role) const {
    return m_buttons[static_cast<std::size_t>(role)];
}

void TarnWindowButtons::enterEvent(QEnterEvent* event) {
    for (TarnWindowButton* button : m_buttons)
        button->setHovered(true);
    QWidget::enterEvent(event);
}

void TarnWindowButtons::leaveEvent(QEvent* event) {
    for (TarnWindowButton* button : m_buttons)
        button->setHovered(false);
    QWidget::leaveEvent(event);
}

} // namespace tarn
