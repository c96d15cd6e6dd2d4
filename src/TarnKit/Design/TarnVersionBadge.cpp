#include "TarnKit/Design/TarnVersionBadge.h"

#include "TarnKit/Design/TarnFonts.h"
#include "TarnKit/Design/TarnGlassPainting.h"
#include "TarnKit/Utilities/TarnGlassTokens.h"

#include <QPainter>
#include <cmath>
#include <utility>

namespace tarn {
namespace {

constexpr double kHorizontalPadding = 7;
constexpr double kVerticalPadding = 2.5;

} // namespace

TarnVersionBadge::TarnVersionBadge(TarnAppVersion version, bool showBuild, QWidget* parent)
    : QWidget(parent), m_version(std::move(version)), m_showBuild(showBuild) {
    setFont(fonts::system(10, QFont::DemiBold, true));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QString TarnVersionBadge::text() const {
    return QString::fromStdString(m_showBuild ? m_version.detailedDisplay() : m_version.tag());
}

QSize TarnVersionBadge::sizeHint() const {
    const QFontMetricsF metrics(font());
    return {static_cast<int>(std::ceil(metrics.horizontalAdvance(text()) + 2 * kHorizontalPadding)),
            static_cast<int>(std::ceil(metrics.height() + 2 * kVerticalPadding))};
}

void TarnVersionBadge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paintGlassShape(painter, rect(), capsuleRadius(rect()), qColor(TarnGlassTokens::surface2),
                    qColor(TarnGlassTokens::borderSubtle));
    painter.setPen(qColor(TarnGlassTokens::textSecondary));
    painter.drawText(QRectF(rect()), Qt::AlignCenter | Qt::TextSingleLine, text());
}

} // namespace tarn
