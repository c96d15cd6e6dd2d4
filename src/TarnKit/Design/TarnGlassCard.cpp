#include "TarnKit/Design/TarnGlassCard.h"

#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace tarn {

TarnGlassCard::TarnGlassCard(double padding, double cornerRadius, QWidget* parent)
    : QWidget(parent), m_padding(padding), m_cornerRadius(cornerRadius) {
    auto* layout = new QVBoxLayout(this);
    const int margin = static_cast<int>(std::lround(std::max(padding, 0.0)));
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(0);
}

void TarnGlassCard::setContent(QWidget* content) {
    delete m_content;
    m_content = content;
    if (content)
        layout()->addWidget(content);
}

void TarnGlassCard::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintGlassShape(painter, rect(), m_cornerRadius, qColor(TarnGlassTokens::surface1),
                    qColor(TarnGlassTokens::borderSubtle));
}

} // namespace tarn
