#include "TarnKit/Design/Emblems/TarnEmblemRenderer.h"

#include "TarnKit/Design/Emblems/TarnEmblemArtworkMedia.h"
#include "TarnKit/Design/Emblems/TarnEmblemArtworkProductivity.h"
#include "TarnKit/Design/Emblems/TarnEmblemArtworkSystemNet.h"
#include "TarnKit/Design/Emblems/TarnEmblemTone.h"
#include "TarnKit/Design/Emblems/TarnFlatDraw.h"

#include <QBuffer>
#include <QCache>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <mutex>

namespace tarn::TarnEmblemRenderer {
namespace {

struct ImageCache {
    std::mutex lock;
    QCache<QString, TarnEmblemImage> images{cacheCountLimit};
};

ImageCache& sharedCache() {
    static ImageCache cache;
    return cache;
}

QImage makeBitmap(TarnAppIdentity app, int n) {
    return bitmap(app, n, TarnEmblemTone::whiteGlass());
}

} // namespace

// The canvas square from 20 to 80 covers 88 % of the side, centred; Qt's y
// axis already points down like the canvas's, so nothing is flipped. The
// bitmap is the drawing's own layer: cut-outs erase the emblem's shapes
// beneath them, nothing else.
QImage bitmap(TarnAppIdentity app, int n, const TarnEmblemTone& tone) {
    if (n <= 0 || n > maximumPixelSize)
        return {};
    QImage image(n, n, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image; // out of memory
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const double k = n * 0.88 / 60.0;
    painter.translate(n * 0.5, n * 0.5);
    painter.scale(k, k);
    painter.translate(-50, -50);
    drawFlatEmblem(app, painter, tone);
    return image;
}

int pixelSize(double pointSize, double scale) {
    const double points = std::isnan(pointSize) ? 10.0 : std::max(pointSize, 10.0);
    const double factor = std::isnan(scale) ? 1.0 : std::clamp(scale, 1.0, 3.0);
    const double pixels = points * factor;
    // Checked before any conversion: a double beyond int's range would make
    // the rounding undefined.
    if (!std::isfinite(pixels) || pixels > maximumPixelSize)
        return 0;
    return std::max(static_cast<int>(std::lround(pixels)), 16);
}

QString cacheKey(TarnAppIdentity app, int pixels, bool asTemplate) {
    const std::string_view slug = rawValue(app);
    return QString::fromLatin1(slug.data(), static_cast<qsizetype>(slug.size())) + u'_' +
           QString::number(pixels) +
           (asTemplate ? QStringLiteral("_tpl") : QStringLiteral("_glass"));
}

TarnEmblemImage image(TarnAppIdentity app, double pointSize, double scale, bool asTemplate) {
    const double points = std::isnan(pointSize) ? 10.0 : std::max(pointSize, 10.0);
    const int pixels = pixelSize(pointSize, scale);
    if (pixels == 0)
        return {QImage(), points, asTemplate};

    const QString key = cacheKey(app, pixels, asTemplate);
    ImageCache& cache = sharedCache();
    {
        std::lock_guard guard(cache.lock);
        if (const TarnEmblemImage* cached = cache.images.object(key))
            return *cached;
    }
    // Drawn outside the lock; two threads that miss together both draw and the
    // later insert wins, which is harmless since the pixels are the same.
    TarnEmblemImage made{makeBitmap(app, pixels), points, asTemplate};
    if (made.bitmap.isNull())
        return made;
    made.bitmap.setDevicePixelRatio(pixels / points);
    std::lock_guard guard(cache.lock);
    cache.images.insert(key, new TarnEmblemImage(made));
    return made;
}

int cachedImageCount() {
    ImageCache& cache = sharedCache();
    std::lock_guard guard(cache.lock);
    return static_cast<int>(cache.images.count());
}

QByteArray pngData(TarnAppIdentity app, int pixels) {
    if (pixels <= 0 || pixels > maximumPixelSize)
        return {};
    const QImage bitmap = makeBitmap(app, pixels);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (bitmap.isNull() || !buffer.open(QIODevice::WriteOnly) || !bitmap.save(&buffer, "PNG"))
        return {};
    return bytes;
}

bool drawFlatEmblem(TarnAppIdentity app, QPainter& painter, const TarnEmblemTone& tone) {
    if (TarnEmblemArtworkProductivity::draw(app, painter, tone))
        return true;
    if (app == TarnAppIdentity::elvast) {
        // A screen on a stand with a play triangle and a recording dot.
        TarnFlatDraw::displayFrame(painter, tone);
        TarnFlatDraw::fill(painter, TarnFlatDraw::polygon({{44, 36.5}, {60, 44.5}, {44, 52.5}}),
                           tone.primary());
        TarnFlatDraw::fillEllipse(painter, QRectF(27.8, 30.3, 6.4, 6.4), tone.accent());
        return true;
    }
    if (TarnEmblemArtworkMedia::draw(app, painter, tone))
        return true;
    return TarnEmblemArtworkSystemNet::draw(app, painter, tone);
}

} // namespace tarn::TarnEmblemRenderer
