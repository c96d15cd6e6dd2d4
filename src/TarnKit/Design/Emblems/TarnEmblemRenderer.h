#pragma once

#include "TarnKit/Utilities/TarnAppIdentity.h"

#include <QByteArray>
#include <QImage>
#include <QString>

class QPainter;

namespace tarn {

struct TarnEmblemTone;

// An emblem bitmap with the size in logical pixels it was made for. A template
// image carries the same pixels as the other one; the view tints it.
struct TarnEmblemImage {
    QImage bitmap; // square, premultiplied ARGB; null when the size could not be drawn
    double pointSize = 0;
    bool isTemplate = false;
};

// Turns the vector emblem of a catalogue entry into pixels. Every entry is
// drawn from paths in code; no image file is read. The image cache is shared
// by the whole process and guarded, so any thread may call in; the views call
// from the main thread.
namespace TarnEmblemRenderer {

// Larger bitmaps are refused: 4096 × 4096 × 4 bytes is already 64 MiB.
inline constexpr int maximumPixelSize = 4096;
inline constexpr int cacheCountLimit = 256;

// The bitmap side for a request: the point size raised to at least 10 (NaN
// counts as 10), the scale kept within 1...3 (NaN counts as 1), their product
// rounded half away from zero and raised to at least 16. 0 when the product is
// infinite or above maximumPixelSize: such a request draws nothing.
int pixelSize(double pointSize, double scale);

// "<slug>_<pixels>_tpl" or "<slug>_<pixels>_glass".
QString cacheKey(TarnAppIdentity app, int pixelSize, bool asTemplate);

// The cached image for the request, drawn on a miss. A hit returns the image
// as first made, even when another point size gave the same pixel size. An
// impossible size gives a null bitmap and is not cached.
TarnEmblemImage image(TarnAppIdentity app, double pointSize, double scale, bool asTemplate);

// The emblem at exactly `pixelSize` pixels in `tone`, bypassing the cache;
// a null image for a size outside 1...maximumPixelSize. The image bitmaps are
// this in the white-glass tone.
QImage bitmap(TarnAppIdentity app, int pixelSize, const TarnEmblemTone& tone);

// How many images the cache holds now (never more than cacheCountLimit).
int cachedImageCount();

// PNG bytes of the emblem at exactly `pixelSize` pixels, bypassing the cache;
// empty for a size outside 1...maximumPixelSize or when encoding fails.
QByteArray pngData(TarnAppIdentity app, int pixelSize);

// Draws the entry's emblem with `painter`, whose transform already maps canvas
// units (centre (50, 50), y downwards), and answers true; false when no drawing
// exists for the entry.
bool drawFlatEmblem(TarnAppIdentity app, QPainter& painter, const TarnEmblemTone& tone);

} // namespace TarnEmblemRenderer
} // namespace tarn
