#include "TarnKit/Design/TarnStepper.h"

#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassButtons.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QHBoxLayout>
#include <QLabel>
#include <algorithm>

namespace tarn {

TarnStepper::TarnStepper(const QString& prefix, int minimum, int maximum, int step, int value,
                         QWidget* parent)
    : QWidget(parent), m_prefix(prefix), m_minimum(minimum), m_maximum(std::max(minimum, maximum)),
      m_step(std::max(1, step)), m_value(std::clamp(value, m_minimum, m_maximum)),
      m_label(new QLabel(this)), m_decrement(new TarnGlassButton(QStringLiteral("−"), false, this)),
      m_increment(new TarnGlassButton(QStringLiteral("+"), false, this)) {
    m_label->setObjectName(QStringLiteral("stepperLabel"));
    m_decrement->setObjectName(QStringLiteral("stepperDecrement"));
    m_increment->setObjectName(QStringLiteral("stepperIncrement"));
    m_label->setFont(fonts::font(TarnTextStyle::body));
    for (TarnGlassButton* button : {m_decrement, m_increment}) {
        button->setFont(fonts::system(13, QFont::DemiBold));
        button->setFixedWidth(26);
        button->setFocusPolicy(Qt::TabFocus);
    }
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(m_label);
    row->addSpacing(2);
    row->addWidget(m_decrement);
    row->addWidget(m_increment);
    row->setSpacing(4);
    connect(m_decrement, &QAbstractButton::clicked, this, [this] { stepBy(-1); });
    connect(m_increment, &QAbstractButton::clicked, this, [this] { stepBy(+1); });
    setForeground(qColor(TarnGlassTokens::textPrimary));
    refresh();
}

void TarnStepper::setValue(int value) {
    m_value = std::clamp(value, m_minimum, m_maximum);
    refresh();
}

void TarnStepper::setPrefix(const QString& prefix) {
    m_prefix = prefix;
    refresh();
}

void TarnStepper::setForeground(const QColor& colour) {
    QPalette palette = m_label->palette();
    palette.setColor(QPalette::WindowText, colour);
    m_label->setPalette(palette);
}

void TarnStepper::stepBy(int direction) {
    // Computed wide: a range near the ends of int must not overflow.
    const long long next =
        static_cast<long long>(m_value) + static_cast<long long>(direction) * m_step;
    const int held = static_cast<int>(std::clamp<long long>(next, m_minimum, m_maximum));
    if (held == m_value)
        return;
    m_value = held;
    refresh();
    emit stepped(m_value);
}

void TarnStepper::refresh() {
    const QString text = m_prefix + QString::number(m_value);
    if (m_label->text() != text)
        m_label->setText(text);
    m_decrement->setEnabled(m_value > m_minimum);
    m_increment->setEnabled(m_value < m_maximum);
}

} // namespace tarn
