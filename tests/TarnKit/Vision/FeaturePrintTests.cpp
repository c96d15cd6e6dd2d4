#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Vision/TarnVisionServices.h"
#include "TarnKit/Vision/VisionError.h"
#include "TarnKit/Vision/VisionTestImages.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

using tarn::FeaturePrintObservation;
using tarn::VisionImage;
namespace vision = tarn::TarnVisionServices;
namespace testing = tarn::testing;

float distance(const VisionImage& a, const VisionImage& b) {
    return vision::featurePrint(a).computeDistance(vision::featurePrint(b));
}

testing::Canvas screenshot(const std::vector<std::string>& lines) {
    return testing::textCanvas(640, 400, lines, 14, 30, 70, 80);
}

TEST(FeaturePrintTest, IdenticalImagesGiveTheSamePrint) {
    const VisionImage picture = testing::scene(300, 200, 7).image();
    const FeaturePrintObservation print = vision::featurePrint(picture);

    EXPECT_EQ(print.elementCount(), FeaturePrintObservation::kElementCount);
    EXPECT_EQ(vision::featurePrint(VisionImage(picture)), print);
    EXPECT_EQ(print.computeDistance(vision::featurePrint(picture)), 0.0f);
    double length = 0;
    for (float value : print.data)
        length += double{value} * value;
    EXPECT_NEAR(std::sqrt(length), 1.0, 1e-5);
}

// The point of a print: a resized copy is near, a different picture is far,
// whatever the kind of picture.
TEST(FeaturePrintTest, ScaledCopiesAreNearAndUnrelatedImagesFar) {
    const testing::Canvas photo = testing::scene(480, 320, 11);
    const testing::Canvas text =
        screenshot({"GET /v1/users", "200 OK  42 ms", "Content-Type: json"});
    const struct {
        const char* name;
        testing::Canvas original;
        testing::Canvas other;
    } pictures[] = {
        {"photo", photo, testing::scene(480, 320, 12)},
        {"screenshot", text, screenshot({"Settings", "", "", "Quit"})},
    };
    for (const auto& picture : pictures) {
        SCOPED_TRACE(picture.name);
        const VisionImage original = picture.original.image();
        for (int factor : {2, 3}) {
            SCOPED_TRACE(factor);
            EXPECT_LT(distance(original, picture.original.shrunk(factor).image()), 0.15f);
        }
        EXPECT_GT(distance(original, picture.other.image()), 0.8f);
    }
    EXPECT_GT(distance(photo.image(), text.image()), 0.8f);
}

TEST(FeaturePrintTest, DoesNotDependOnBrightnessOrContrast) {
    testing::Canvas picture = testing::scene(200, 200, 21);
    testing::Canvas dimmer = picture;
    for (std::uint8_t& value : dimmer.gray)
        value = static_cast<std::uint8_t>(40 + value / 2);
    EXPECT_LT(distance(picture.image(), dimmer.image()), 0.05f);
}

TEST(FeaturePrintTest, EmptyImageHasNoPrint) {
    try {
        vision::featurePrint(VisionImage());
        FAIL() << "no error thrown";
    } catch (const tarn::PlatformError& error) {
        EXPECT_EQ(error.domain(), "TarnVisionServices");
        EXPECT_EQ(error.code(), 1);
        EXPECT_EQ(error.description(), "Could not compute image feature print.");
    }
}

TEST(FeaturePrintTest, PrintsOfDifferentLengthsAreNotCompared) {
    const FeaturePrintObservation print = vision::featurePrint(testing::scene(50, 40, 4).image());
    const FeaturePrintObservation shorter{
        std::vector<float>(print.data.begin(), print.data.end() - 1)};
    try {
        print.computeDistance(shorter);
        FAIL() << "no error thrown";
    } catch (const tarn::PlatformError& error) {
        EXPECT_EQ(error.domain(), tarn::kVisionErrorDomain);
        EXPECT_EQ(error.code(), static_cast<long>(tarn::VisionErrorCode::incompatiblePrints));
    }
}

} // namespace
