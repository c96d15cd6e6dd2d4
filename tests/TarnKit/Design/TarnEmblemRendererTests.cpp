#include "TarnKit/Design/Emblems/TarnEmblemArtworkMedia.h"
#include "TarnKit/Design/Emblems/TarnEmblemArtworkProductivity.h"
#include "TarnKit/Design/Emblems/TarnEmblemArtworkSystemNet.h"
#include "TarnKit/Design/Emblems/TarnEmblemRenderer.h"
#include "TarnKit/Design/Emblems/TarnEmblemTone.h"
#include "TarnKit/Design/Emblems/TarnFlatDraw.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <numbers>
#include <string>
#include <thread>

namespace {

using tarn::TarnAppIdentity;
using tarn::TarnEmblemTone;
using tarn::TarnFlatPaint;
namespace renderer = tarn::TarnEmblemRenderer;

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The pixel under a canvas point of an n × n emblem bitmap.
QColor canvasPixel(const QImage& bitmap, double x, double y) {
    const int n = bitmap.width();
    const double k = n * 0.88 / 60.0;
    const int px = static_cast<int>(std::floor(n * 0.5 + (x - 50) * k));
    const int py = static_cast<int>(std::floor(n * 0.5 + (y - 50) * k));
    return bitmap.pixelColor(px, py);
}

QImage decodedPNG(TarnAppIdentity app, int pixels) {
    return QImage::fromData(renderer::pngData(app, pixels), "PNG");
}

TEST(TarnEmblemRenderer, PixelSizeClampsBeforeConverting) {
    const struct {
        double pointSize;
        double scale;
        int pixels;
    } cases[] = {
        {4, 1, 16},        {20, 0.5, 20}, {20, 5, 60},         {10.25, 2, 21},
        {32, 2, 64},       {64, 1, 64},   {kNaN, 1, 16},       {kNaN, 2, 20},
        {20, kNaN, 20},    {-5, 3, 30},   {1365, 3, 4095},     {1366, 3, 0},
        {kInfinity, 1, 0}, {1e300, 2, 0}, {20, kInfinity, 60}, {-kInfinity, 1, 16},
    };
    for (const auto& c : cases)
        EXPECT_EQ(renderer::pixelSize(c.pointSize, c.scale), c.pixels)
            << c.pointSize << " @ " << c.scale;
}

TEST(TarnEmblemRenderer, ImagesAreCachedByPixelSize) {
    EXPECT_EQ(renderer::cacheKey(TarnAppIdentity::quiller, 64, false), "quiller_64_glass");
    EXPECT_EQ(renderer::cacheKey(TarnAppIdentity::heddle, 16, true), "heddle_16_tpl");

    const auto small = renderer::image(TarnAppIdentity::quiller, 4, 1, false);
    EXPECT_EQ(small.bitmap.size(), QSize(16, 16));
    EXPECT_EQ(small.pointSize, 10);

    // 32 points at scale 2 and 64 at scale 1 share the key of 64 pixels: the
    // second request returns the first image, made for 32 points.
    const auto first = renderer::image(TarnAppIdentity::sketto, 32, 2, false);
    const auto second = renderer::image(TarnAppIdentity::sketto, 64, 1, false);
    EXPECT_EQ(second.pointSize, 32);
    EXPECT_EQ(second.bitmap.cacheKey(), first.bitmap.cacheKey());
    EXPECT_EQ(first.bitmap.size(), QSize(64, 64));

    // Template and coloured images are two entries with the same pixels.
    const auto glass = renderer::image(TarnAppIdentity::quiller, 24, 2, false);
    const auto tpl = renderer::image(TarnAppIdentity::quiller, 24, 2, true);
    EXPECT_TRUE(tpl.isTemplate);
    EXPECT_FALSE(glass.isTemplate);
    EXPECT_NE(tpl.bitmap.cacheKey(), glass.bitmap.cacheKey());
    EXPECT_EQ(tpl.bitmap, glass.bitmap);
}

TEST(TarnEmblemRenderer, ImpossibleSizesGiveEmptyImagesNotCrashes) {
    for (const double points : {kInfinity, 1e300, 5000.0}) {
        const auto image = renderer::image(TarnAppIdentity::quiller, points, 2, false);
        EXPECT_TRUE(image.bitmap.isNull()) << points;
    }
    for (const int pixels : {0, -5, renderer::maximumPixelSize + 1})
        EXPECT_TRUE(renderer::pngData(TarnAppIdentity::quiller, pixels).isEmpty()) << pixels;
}

// The paper plane in white glass: an opaque upper wing, a half-strength lower
// wing, a fold erased right through both, the motion bars in the accent, and
// nothing outside the canvas square.
TEST(TarnEmblemRenderer, QuillerEmblemProbes) {
    const QImage bitmap = decodedPNG(TarnAppIdentity::quiller, 256);
    ASSERT_EQ(bitmap.size(), QSize(256, 256));
    EXPECT_TRUE(bitmap.hasAlphaChannel());

    const struct {
        const char* where;
        double x, y;
        int alpha;
    } probes[] = {
        {"upper wing", 48.3, 41, 250},  {"lower wing", 59.7, 51, 117},
        {"fold", 60.5, 39.5, 0},        {"fold near the tip", 70, 30, 0},
        {"first bar", 31.5, 65.2, 184}, {"second bar", 29, 73.2, 184},
        {"beside the bars", 45, 73, 0}, {"above the plane", 30, 28, 0},
    };
    for (const auto& p : probes)
        EXPECT_NEAR(canvasPixel(bitmap, p.x, p.y).alpha(), p.alpha, 3) << p.where;
    for (const auto& corner : {QPoint(0, 0), QPoint(255, 0), QPoint(0, 255), QPoint(255, 255)})
        EXPECT_EQ(bitmap.pixelColor(corner).alpha(), 0);

    // Everything drawn lies within the canvas square from 20 to 80.
    const double k = 256 * 0.88 / 60.0;
    const int low = static_cast<int>(std::floor(128 + (20 - 50) * k)) - 1;
    const int high = static_cast<int>(std::ceil(128 + (80 - 50) * k)) + 1;
    int covered = 0;
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            if (bitmap.pixelColor(x, y).alpha() == 0)
                continue;
            ++covered;
            EXPECT_TRUE(x >= low && x <= high && y >= low && y <= high) << x << "," << y;
        }
    }
    EXPECT_GT(covered, 256 * 256 / 10);
}

TEST(TarnEmblemRenderer, FlatToneFoldIsLightGrey) {
    QImage canvas(200, 200, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    {
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(2, 2); // canvas units 0...100 over 200 pixels
        const auto tone = TarnEmblemTone::flatLight(Qt::black, Qt::red);
        EXPECT_TRUE(renderer::drawFlatEmblem(TarnAppIdentity::quiller, painter, tone));
    }
    EXPECT_EQ(canvas.pixelColor(121, 79), QColor(238, 241, 247)); // on the fold, (60.5, 39.5)
    EXPECT_EQ(canvas.pixelColor(63, 130), QColor(Qt::red));       // first bar
}

// Each entry belongs to exactly one family (elvast to the renderer itself),
// and a family asked for an entry outside its range draws nothing.
TEST(TarnEmblemArtwork, EveryEntryHasOneDrawing) {
    QImage scratch(100, 100, QImage::Format_ARGB32_Premultiplied);
    const auto tone = TarnEmblemTone::whiteGlass();
    const auto families =
        std::array{&tarn::TarnEmblemArtworkProductivity::draw, &tarn::TarnEmblemArtworkMedia::draw,
                   &tarn::TarnEmblemArtworkSystemNet::draw};
    const std::array<int, 3> expected{27, 15, 32};
    std::array<int, 3> drawn{};
    for (const TarnAppIdentity app : tarn::appidentity::allCases()) {
        const std::size_t position = static_cast<std::size_t>(app) + 1;
        int owners = 0;
        for (std::size_t family = 0; family < families.size(); ++family) {
            scratch.fill(Qt::transparent);
            QPainter painter(&scratch);
            const bool answered = families[family](app, painter, tone);
            painter.end();
            owners += answered;
            drawn[family] += answered;
            if (!answered) {
                EXPECT_EQ(scratch,
                          [] {
                              QImage empty(100, 100, QImage::Format_ARGB32_Premultiplied);
                              empty.fill(Qt::transparent);
                              return empty;
                          }())
                    << rawValue(app) << " drawn by family " << family;
            }
        }
        EXPECT_EQ(owners, app == TarnAppIdentity::elvast ? 0 : 1)
            << rawValue(app) << " at " << position;
    }
    EXPECT_EQ(drawn, expected);
}

// Every emblem at 64 pixels: drawn, inside the canvas square's margin, with
// transparent corners, and unlike every other emblem, in both looks.
TEST(TarnEmblemArtwork, EveryEmblemIsDrawnInsideItsMarginAndUnlikeTheOthers) {
    const auto flat = TarnEmblemTone::flatLight(QColor(0x23, 0x3a, 0x7a), QColor(0xff, 0x7a, 0x2e));
    for (const TarnEmblemTone& tone : {TarnEmblemTone::whiteGlass(), flat}) {
        std::map<QByteArray, TarnAppIdentity> seen;
        for (const TarnAppIdentity app : tarn::appidentity::allCases()) {
            SCOPED_TRACE(std::string(rawValue(app)) +
                         (tone.isWhiteGlass ? " in white glass" : " flat"));
            const QImage bitmap = renderer::bitmap(app, 64, tone);
            ASSERT_EQ(bitmap.size(), QSize(64, 64));
            // The square from 20 to 80 lies within pixels 3.84 ... 60.16; a
            // stroke may reach a unit past it, never into the outer 3 pixels.
            int covered = 0;
            for (int y = 0; y < 64; ++y) {
                for (int x = 0; x < 64; ++x) {
                    const int alpha = bitmap.pixelColor(x, y).alpha();
                    covered += alpha > 0;
                    if (x < 3 || y < 3 || x > 60 || y > 60) {
                        ASSERT_EQ(alpha, 0) << "at " << x << "," << y;
                    }
                }
            }
            EXPECT_GT(covered, 64 * 64 / 8);
            const QByteArray bytes(reinterpret_cast<const char*>(bitmap.constBits()),
                                   bitmap.sizeInBytes());
            const auto [where, fresh] = seen.emplace(bytes, app);
            EXPECT_TRUE(fresh) << "looks like " << rawValue(where->second);
        }
    }
}

TEST(TarnEmblemRenderer, CacheKeepsItsLimitUnderTwoThreads) {
    // 75 entries at four sizes: 300 keys, requested from two threads at once.
    const auto requestAll = [](bool reversed) {
        for (int round = 0; round < 300; ++round) {
            const int i = reversed ? 299 - round : round;
            const auto app = tarn::appidentity::allCases()[static_cast<std::size_t>(i % 75)];
            const int size = 16 + i / 75; // a size a step larger every 75 rounds
            const auto image = renderer::image(app, size, 1, false);
            ASSERT_FALSE(image.bitmap.isNull());
            ASSERT_LE(renderer::cachedImageCount(), renderer::cacheCountLimit);
        }
    };
    std::thread other(requestAll, true);
    requestAll(false);
    other.join();
    EXPECT_LE(renderer::cachedImageCount(), renderer::cacheCountLimit);
    EXPECT_GE(renderer::cachedImageCount(), 200) << "the cache does hold what it can";
}

TEST(TarnEmblemTone, PaintsOfTheTwoLooks) {
    const TarnEmblemTone& glass = TarnEmblemTone::whiteGlass();
    const TarnEmblemTone flat = TarnEmblemTone::flatLight(QColor(10, 20, 30, 128), Qt::red);

    EXPECT_EQ(glass.onPrimaryAccent(), TarnFlatPaint::cutout(0.86));
    EXPECT_EQ(flat.onPrimaryAccent(), TarnFlatPaint::color(Qt::red));
    EXPECT_EQ(glass.cutout(0.2), TarnFlatPaint::cutout(0.55));
    EXPECT_EQ(glass.cutout(0.4), TarnFlatPaint::cutout(0.55));
    EXPECT_NEAR(glass.cutout(0.6).cutoutStrength, 0.69, 1e-12);
    EXPECT_EQ(glass.cutout(0.9), TarnFlatPaint::cutout(1));
    const TarnFlatPaint grey = flat.cutout(0.2);
    ASSERT_EQ(grey.kind, TarnFlatPaint::Kind::color);
    EXPECT_EQ(grey.paintColor.rgb(), QColor(238, 241, 247).rgb());
    EXPECT_NEAR(grey.paintColor.alphaF(), 0.2, 1e-3);

    // mid replaces a translucent primary's opacity rather than multiplying it.
    EXPECT_NEAR(flat.mid().paintColor.alphaF(), 0.46, 1e-3);
    EXPECT_NEAR(flat.soft().paintColor.alphaF(), 0.11, 1e-3);
    EXPECT_NEAR(glass.soft().paintColor.alphaF(), 0.16, 1e-3);
    EXPECT_NEAR(glass.stroke().paintColor.alphaF(), 0.42, 1e-3);
    EXPECT_NEAR(flat.stroke().paintColor.alphaF(), 0.28, 1e-3);
}

TEST(TarnFlatDraw, CutoutsEraseOnlyWhatLiesBeneath) {
    QImage canvas(20, 20, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    // A cut-out on an empty area leaves nothing visible ...
    tarn::TarnFlatDraw::fill(painter, tarn::TarnFlatDraw::roundedRect({0, 0, 20, 20}, 0),
                             TarnFlatPaint::cutout(1));
    EXPECT_EQ(canvas.pixelColor(5, 5).alpha(), 0);
    // ... and over a shape removes its share of the coverage.
    tarn::TarnFlatDraw::fill(painter, tarn::TarnFlatDraw::roundedRect({0, 0, 20, 20}, 0),
                             TarnFlatPaint::color(Qt::white));
    tarn::TarnFlatDraw::fill(painter, tarn::TarnFlatDraw::roundedRect({0, 0, 10, 20}, 0),
                             TarnFlatPaint::cutout(0.86));
    painter.end();
    EXPECT_NEAR(canvas.pixelColor(5, 5).alpha(), 36, 2);
    EXPECT_EQ(canvas.pixelColor(15, 5).alpha(), 255);
}

TEST(TarnFlatDraw, ArcsTurnClockwiseOnTheImage) {
    // From -135 to -45 degrees around (50, 35): over the top, through (50, 23).
    const QPainterPath arc =
        tarn::TarnFlatDraw::arc({50, 35}, 12, -3 * std::numbers::pi / 4, -std::numbers::pi / 4);
    const QPointF start = arc.pointAtPercent(0);
    const QPointF middle = arc.pointAtPercent(0.5);
    const QPointF end = arc.pointAtPercent(1);
    EXPECT_NEAR(start.x(), 50 - 12 / std::sqrt(2), 1e-6);
    EXPECT_NEAR(start.y(), 35 - 12 / std::sqrt(2), 1e-6);
    EXPECT_NEAR(middle.x(), 50, 1e-3);
    EXPECT_NEAR(middle.y(), 23, 1e-3);
    EXPECT_NEAR(end.x(), 50 + 12 / std::sqrt(2), 1e-6);
    // An end below the start goes the long way round, through the bottom.
    const QPainterPath longWay = tarn::TarnFlatDraw::arc({0, 0}, 10, 0, -std::numbers::pi / 2);
    EXPECT_NEAR(longWay.pointAtPercent(1.0 / 3).y(), 10, 1e-3);
}

} // namespace
