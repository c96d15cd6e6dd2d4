#include "TarnKit/Design/TarnSuiteWidgetParts.h"

#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Design/TarnSymbols.h"
#include "TarnKit/Suite/SuiteWidgetContent.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace tarn {
namespace {

int ceilToInt(double value) {
    return static_cast<int>(std::ceil(value));
}

} // namespace

// --- Capsule -------------------------------------------------------------------------

TarnCapsule::TarnCapsule(const QString& text, std::string_view symbol, const TarnCapsuleLook& look,
                         QWidget* parent)
    : QAbstractButton(parent), m_symbol(symbol), m_look(look) {
    setText(text);
    setFont(look.font);
    if (look.stretches)
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    else
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

double TarnCapsule::contentWidth() const {
    double width = 0;
    int parts = 0;
    if (m_look.dotDiameter > 0) {
        width += m_look.dotDiameter;
        ++parts;
    }
    if (m_look.symbolSize > 0 && !m_symbol.empty()) {
        width += m_look.symbolSize;
        ++parts;
    }
    if (!text().isEmpty()) {
        width += QFontMetricsF(font()).horizontalAdvance(text());
        ++parts;
    }
    return width + std::max(0, parts - 1) * m_look.spacing;
}

QSize TarnCapsule::sizeHint() const {
    const double textHeight = text().isEmpty() ? 0 : QFontMetricsF(font()).height();
    const double height = std::max({textHeight, m_look.symbolSize, m_look.dotDiameter});
    return {ceilToInt(contentWidth() + 2 * m_look.horizontalPadding),
            ceilToInt(height + 2 * m_look.verticalPadding)};
}

bool TarnCapsule::hitButton(const QPoint& position) const {
    return rect().contains(position);
}

void TarnCapsule::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds(rect());
    const double radius = m_look.cornerRadius < 0 ? capsuleRadius(bounds) : m_look.cornerRadius;
    if (isDown())
        painter.setOpacity(0.78);
    paintGlassShape(painter, bounds, radius, m_look.fill, m_look.border, m_look.borderWidth);

    const double content = contentWidth();
    const double available = bounds.width() - 2 * m_look.horizontalPadding;
    double x = m_look.stretches ? bounds.x() + m_look.horizontalPadding +
                                      std::max(0.0, (available - content) / 2)
                                : bounds.x() + m_look.horizontalPadding;
    const double middle = bounds.center().y();
    if (m_look.dotDiameter > 0) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_look.foreground);
        painter.drawEllipse(
            QRectF(x, middle - m_look.dotDiameter / 2, m_look.dotDiameter, m_look.dotDiameter));
        x += m_look.dotDiameter + m_look.spacing;
    }
    if (m_look.symbolSize > 0 && !m_symbol.empty()) {
        paintSymbol(painter, m_symbol,
                    QRectF(x, middle - m_look.symbolSize / 2, m_look.symbolSize, m_look.symbolSize),
                    m_look.foreground);
        x += m_look.symbolSize + m_look.spacing;
    }
    if (!text().isEmpty()) {
        painter.setFont(font());
        painter.setPen(m_look.foreground);
        const QRectF area(x, bounds.y(),
                          std::max(0.0, bounds.right() - m_look.horizontalPadding - x),
                          bounds.height());
        const QFontMetricsF metrics(font());
        const QString shown = metrics.horizontalAdvance(text()) <= area.width() + 0.5
                                  ? text()
                                  : metrics.elidedText(text(), Qt::ElideRight, area.width());
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    }
}

TarnCapsule* symbolGlyph(std::string_view symbol, double size, const QColor& colour) {
    TarnCapsuleLook look;
    look.foreground = colour;
    look.symbolSize = size;
    look.horizontalPadding = 0;
    look.verticalPadding = 0;
    auto* glyph = new TarnCapsule(QString(), symbol, look);
    glyph->setAttribute(Qt::WA_TransparentForMouseEvents);
    return glyph;
}

// --- Fill bar ------------------------------------------------------------------------

TarnFillBar::TarnFillBar(double fraction, double height, TarnFillRule rule, const QColor& track,
                         const QColor& fillStart, const QColor& fillEnd, QWidget* parent)
    : QWidget(parent), m_fraction(fraction), m_height(ceilToInt(height)), m_rule(rule),
      m_track(track), m_fillStart(fillStart), m_fillEnd(fillEnd) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(m_height);
}

double TarnFillBar::fillWidth() const {
    const double width = this->width();
    return m_rule == TarnFillRule::gauge ? suitewidgets::gaugeFillWidth(m_fraction, width)
                                         : suitewidgets::bannerFillWidth(m_fraction, width);
}

void TarnFillBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(rect());
    const QRectF bounds(rect());
    painter.fillPath(glassShape(bounds, capsuleRadius(bounds)), m_track);
    const double fill = fillWidth();
    if (fill <= 0)
        return;
    const QRectF filled(bounds.x(), bounds.y(), fill, bounds.height());
    QLinearGradient gradient(filled.topLeft(), filled.topRight());
    gradient.setColorAt(0, m_fillStart);
    gradient.setColorAt(1, m_fillEnd);
    painter.fillPath(glassShape(filled, capsuleRadius(filled)), gradient);
}

// --- Text line -----------------------------------------------------------------------

TarnTextLine::TarnTextLine(const QString& text, const QFont& font, const QColor& colour,
                           QWidget* parent)
    : QWidget(parent), m_text(text), m_colour(colour) {
    setFont(font);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TarnTextLine::setElideMode(Qt::TextElideMode mode) {
    m_elide = mode;
    update();
}

void TarnTextLine::setMaximumLines(int lines) {
    m_maximumLines = std::max(1, lines);
    QSizePolicy policy = sizePolicy();
    policy.setHeightForWidth(m_maximumLines > 1);
    setSizePolicy(policy);
    updateGeometry();
}

void TarnTextLine::setMinimumScale(double scale) {
    m_minimumScale = std::clamp(scale, 0.1, 1.0);
    update();
}

QFont TarnTextLine::shownFont() const {
    QFont shown = font();
    if (m_minimumScale >= 1 || m_maximumLines > 1 || width() <= 0)
        return shown;
    const double natural = QFontMetricsF(shown).horizontalAdvance(m_text);
    if (natural <= width())
        return shown;
    const double scale = std::max(m_minimumScale, width() / natural);
    shown.setPixelSize(std::max(1, static_cast<int>(std::floor(font().pixelSize() * scale))));
    return shown;
}

QSize TarnTextLine::sizeHint() const {
    const QFontMetricsF metrics(font());
    return {ceilToInt(metrics.horizontalAdvance(m_text)), ceilToInt(metrics.height())};
}

QSize TarnTextLine::minimumSizeHint() const {
    return {0, sizeHint().height()};
}

int TarnTextLine::heightForWidth(int width) const {
    const QFontMetricsF metrics(font());
    if (m_maximumLines <= 1)
        return ceilToInt(metrics.height());
    QTextLayout layout(m_text, font());
    layout.beginLayout();
    int lines = 0;
    while (lines < m_maximumLines) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(std::max(1, width));
        ++lines;
    }
    layout.endLayout();
    return ceilToInt(std::max(1, lines) * metrics.lineSpacing());
}

void TarnTextLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(m_colour);
    const QFont shown = shownFont();
    painter.setFont(shown);
    const QFontMetricsF metrics(shown);
    if (m_maximumLines <= 1) {
        const QString text = metrics.horizontalAdvance(m_text) <= width() + 0.5
                                 ? m_text
                                 : metrics.elidedText(m_text, m_elide, width());
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
        return;
    }
    // Wrapped at words; the last allowed line takes the rest, cut at its tail.
    QTextLayout layout(m_text, shown);
    layout.beginLayout();
    double y = 0;
    int lines = 0;
    int consumed = 0;
    while (lines < m_maximumLines - 1) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width());
        line.setPosition(QPointF(0, y));
        y += metrics.lineSpacing();
        consumed = line.textStart() + line.textLength();
        ++lines;
    }
    layout.endLayout();
    layout.draw(&painter, QPointF(0, 0));
    if (consumed < m_text.size()) {
        const QString rest = m_text.mid(consumed);
        painter.drawText(QRectF(0, y, width(), metrics.height()),
                         Qt::AlignLeft | Qt::TextSingleLine,
                         metrics.elidedText(rest, Qt::ElideRight, width()));
    }
}

// --- Activity indicator --------------------------------------------------------------

TarnActivityIndicator::TarnActivityIndicator(int side, const QColor& colour, QWidget* parent)
    : QWidget(parent), m_side(side), m_colour(colour), m_timer(new QTimer(this)) {
    setFixedSize(side, side);
    m_timer->setInterval(83);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % 12;
        update();
    });
}

void TarnActivityIndicator::showEvent(QShowEvent*) {
    m_timer->start();
}

void TarnActivityIndicator::hideEvent(QHideEvent*) {
    m_timer->stop();
}

void TarnActivityIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const double radius = m_side / 2.0;
    for (int i = 0; i < 12; ++i) {
        QColor tick = m_colour;
        tick.setAlphaF(static_cast<float>(0.2 + 0.8 * ((i + 12 - m_step) % 12) / 11.0));
        painter.setPen(QPen(tick, std::max(1.0, m_side / 9.0), Qt::SolidLine, Qt::RoundCap));
        const double angle = 2 * std::numbers::pi * i / 12;
        painter.drawLine(QPointF(std::cos(angle) * radius * 0.5, std::sin(angle) * radius * 0.5),
                         QPointF(std::cos(angle) * radius * 0.9, std::sin(angle) * radius * 0.9));
    }
}

} // namespace tarn
