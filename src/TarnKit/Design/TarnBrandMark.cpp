#include "TarnKit/Design/TarnBrandMark.h"

#include "TarnKit/Design/Emblems/TarnAppEmblem.h"
#include "TarnKit/Design/TarnGlassPainting.h"

#include <QCache>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace tarn {
namespace TarnBrandMarkGeometry {

const Piece& topRightPiece() {
    static const Piece piece = {{{31.95, 3.93},
                                 {46.21, 12.7},
                                 {46.21, 28.72},
                                 {60.73, 37.39},
                                 {49.34, 43.59},
                                 {34.02, 34.57},
                                 {34.07, 18.85},
                                 {20.96, 10.63}}};
    return piece;
}

const Piece& leftPiece() {
    static const Piece piece = {{{17.69, 12.39},
                                 {29.83, 19.8},
                                 {29.83, 34.67},
                                 {13.65, 44.25},
                                 {13.71, 59.01},
                                 {1.81, 51.66},
                                 {1.86, 38.05},
                                 {17.69, 28.47}}};
    return piece;
}

const Piece& bottomRightPiece() {
    static const Piece piece = {{{31.95, 38.1},
                                 {48.48, 47.98},
                                 {62.19, 40.27},
                                 {62.19, 51.66},
                                 {48.08, 60.07},
                                 {31.9, 50.8},
                                 {16.28, 59.62},
                                 {16.33, 47.27}}};
    return piece;
}

std::span<const Piece, 3> allPieces() {
    static const std::array<Piece, 3> pieces = {topRightPiece(), leftPiece(), bottomRightPiece()};
    return pieces;
}

void paint(QPainter& painter, double width, double height) {
    const double sx = width / viewBoxSize;
    const double sy = height / viewBoxSize;

    QLinearGradient body(QPointF(0, 0), QPointF(width, height));
    body.setColorAt(0, Qt::white);
    body.setColorAt(0.55, qColor(TarnColor::fromHex(0xEEF1F6)));
    body.setColorAt(1, qColor(TarnColor::fromHex(0xC3CAD8)));

    QLinearGradient sheen(QPointF(0, height), QPointF(width, 0));
    sheen.setColorAt(0, qColor(TarnColor::white(0)));
    sheen.setColorAt(0.3, qColor(TarnColor::white(0)));
    sheen.setColorAt(0.5, qColor(TarnColor::white(0.55)));
    sheen.setColorAt(0.7, qColor(TarnColor::white(0)));
    sheen.setColorAt(1, qColor(TarnColor::white(0)));

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    for (const Piece& piece : allPieces()) {
        QPainterPath path;
        path.setFillRule(Qt::WindingFill);
        path.moveTo(piece[0].x() * sx, piece[0].y() * sy);
        for (std::size_t i = 1; i < piece.size(); ++i)
            path.lineTo(piece[i].x() * sx, piece[i].y() * sy);
        path.closeSubpath();
        painter.fillPath(path, body);
        painter.fillPath(path, sheen);
    }
    painter.restore();
}

} // namespace TarnBrandMarkGeometry

namespace {

// The suite mark at `pixels` × `pixels`, painted once per size: its two
// gradient fills of three polygons cost far more than a copy. Main thread.
QImage suiteMarkImage(int pixels) {
    static QCache<int, QImage> images(32);
    if (const QImage* cached = images.object(pixels))
        return *cached;
    auto* image = new QImage(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image->fill(Qt::transparent);
    {
        QPainter painter(image);
        TarnBrandMarkGeometry::paint(painter, pixels, pixels);
    }
    QImage result = *image;
    images.insert(pixels, image);
    return result;
}

} // namespace

std::optional<TarnAppIdentity>
TarnBrandMarkStyle::shownApp(std::optional<TarnAppIdentity> runningApp) const {
    switch (m_kind) {
    case Kind::app:
        return m_identity;
    case Kind::currentApp:
        return runningApp;
    case Kind::brindleSuite:
        break;
    }
    return std::nullopt;
}

TarnBrandMark::TarnBrandMark(double size, TarnBrandMarkStyle style, QWidget* parent)
    : TarnBrandMark(size, style,
                    style.kind() == TarnBrandMarkStyle::Kind::currentApp ? appidentity::current()
                                                                         : std::nullopt,
                    parent) {}

TarnBrandMark::TarnBrandMark(double size, TarnBrandMarkStyle style,
                             std::optional<TarnAppIdentity> runningApp, QWidget* parent)
    : QWidget(parent), m_size(size), m_style(style), m_shownApp(style.shownApp(runningApp)) {
    const int side = emblemViewSide(size);
    setFixedSize(side, side);
}

QString TarnBrandMark::shownAppSlug() const {
    if (!m_shownApp)
        return {};
    const std::string_view slug = rawValue(*m_shownApp);
    return QString::fromLatin1(slug.data(), static_cast<qsizetype>(slug.size()));
}

QSize TarnBrandMark::sizeHint() const {
    const int side = emblemViewSide(m_size);
    return {side, side};
}

void TarnBrandMark::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_shownApp) {
        paintAppEmblem(painter, rect(), *m_shownApp, false, QColor());
        return;
    }
    const int side = std::min(width(), height());
    // The scale of the device painted on, not the screen's: a picture may be
    // drawn at another ratio.
    const double ratio = std::max(devicePixelRatioF(), std::abs(painter.deviceTransform().m11()));
    const int pixels = static_cast<int>(std::lround(side * ratio));
    if (pixels <= 0)
        return;
    const QRectF square((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(square, suiteMarkImage(pixels));
}

} // namespace tarn
