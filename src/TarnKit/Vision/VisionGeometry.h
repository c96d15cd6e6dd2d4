#pragma once

// Small geometry values of the image analyses. Plain values, safe to share
// between threads.
namespace tarn {

// A rectangle of doubles: the corner with the smallest coordinates and the
// extent. Normalised rectangles measure in fractions of the image (0...1) with
// the origin at the lower left, so `y` is the distance of the bottom edge from
// the image's bottom edge.
struct VisionRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    bool operator==(const VisionRect&) const = default;
};

// A translation in pixels, x to the right and y upwards.
struct VisionVector {
    double dx = 0;
    double dy = 0;

    bool operator==(const VisionVector&) const = default;
};

} // namespace tarn
