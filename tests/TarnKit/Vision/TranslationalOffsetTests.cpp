#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Vision/TarnVisionServices.h"
#include "TarnKit/Vision/VisionError.h"
#include "TarnKit/Vision/VisionTestImages.h"

#include <gtest/gtest.h>

namespace {

using tarn::VisionImage;
using tarn::VisionVector;
namespace vision = tarn::TarnVisionServices;
namespace testing = tarn::testing;

TEST(TranslationalOffsetTest, IdenticalImagesNeedNoMove) {
    const VisionImage picture = testing::scene(320, 240, 1).image();
    EXPECT_EQ(vision::translationalOffset(picture, picture), (VisionVector{0, 0}));
    // Nothing to align on: no position to prefer over another.
    const VisionImage flat = testing::Canvas(64, 48, 128).image();
    EXPECT_EQ(vision::translationalOffset(flat, flat), (VisionVector{0, 0}));
}

// `to` is cut from a larger scene `right` pixels further left and `down`
// pixels further up than `from`, so its content appears moved right and down
// by that much; moving it back means dx = -right and, with y pointing up,
// dy = +down.
TEST(TranslationalOffsetTest, RecoversAKnownShiftWithItsSign) {
    const struct {
        const char* name;
        int width, height; // of both images
        int right, down;
    } cases[] = {
        {"right and down", 200, 150, 7, 3},
        {"left and down", 200, 150, -12, 5},
        {"straight up", 200, 150, 0, -9},
        {"odd sizes", 301, 173, 25, -17},
        // Wider than one correlation window: found at a quarter and at half the
        // size, then refined at full size.
        {"wide", 1100, 160, 37, -21},
        {"wide, odd sizes", 601, 251, -63, 45},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const testing::Canvas world = testing::scene(c.width + 200, c.height + 200, 42);
        const int x = 100, y = 100;
        const VisionImage from = world.crop(x, y, c.width, c.height).image();
        const VisionImage to = world.crop(x - c.right, y - c.down, c.width, c.height).image();

        EXPECT_EQ(vision::translationalOffset(from, to),
                  (VisionVector{static_cast<double>(-c.right), static_cast<double>(c.down)}));
        // The other way round is the opposite move.
        EXPECT_EQ(vision::translationalOffset(to, from),
                  (VisionVector{static_cast<double>(c.right), static_cast<double>(-c.down)}));
    }
}

TEST(TranslationalOffsetTest, AlignsImagesOfDifferentSizes) {
    const testing::Canvas world = testing::scene(500, 400, 9);
    const VisionImage from = world.crop(50, 40, 400, 300).image();
    // A smaller piece whose top left shows what `from` shows at (70, 25).
    const VisionImage to = world.crop(120, 65, 240, 200).image();
    EXPECT_EQ(vision::translationalOffset(from, to), (VisionVector{70, -25}));
}

TEST(TranslationalOffsetTest, EmptyImageIsRefused) {
    const VisionImage picture = testing::scene(32, 32, 2).image();
    for (const auto& [from, to] : {std::pair{VisionImage(), picture}, {picture, VisionImage()}}) {
        try {
            vision::translationalOffset(from, to);
            ADD_FAILURE() << "no error thrown";
        } catch (const tarn::PlatformError& error) {
            EXPECT_EQ(error.domain(), tarn::kVisionErrorDomain);
            EXPECT_EQ(error.code(), static_cast<long>(tarn::VisionErrorCode::invalidImage));
        }
    }
}

} // namespace
