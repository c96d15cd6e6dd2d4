#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Vision/VisionError.h"
#include "TarnKit/Vision/VisionImage.h"
#include "TarnKit/Vision/VisionTestImages.h"
#include "support/TemporaryFolder.h"

#include <cerrno>
#include <fstream>
#include <gtest/gtest.h>

namespace {

using tarn::VisionErrorCode;
using tarn::VisionImage;
namespace testing = tarn::testing;

// The error a call throws, as (domain, code); ("", 0) when it throws none.
std::pair<std::string, long> errorOf(auto&& call) {
    try {
        call();
    } catch (const tarn::PlatformError& error) {
        return {error.domain(), error.code()};
    }
    return {"", 0};
}

std::pair<std::string, long> visionError(VisionErrorCode code) {
    return {tarn::kVisionErrorDomain, static_cast<long>(code)};
}

// Four pixels with every channel different, and partly transparent.
VisionImage sample() {
    return VisionImage(2, 2, {10, 20, 30, 255, 200, 100, 50, 128, 0, 0, 0, 0, 255, 255, 255, 255});
}

// Lossless formats must give back exactly the pixels that were encoded; an
// image without alpha must come back opaque, however its pixels are stored.
TEST(VisionImageTest, DecodesLosslessFormatsPixelForPixel) {
    const VisionImage gray = testing::scene(9, 7, 3).image();
    const struct {
        const char* name;
        testing::PixPointer pix;
        int format;
        VisionImage expected;
    } cases[] = {
        {"RGBA PNG", testing::toPix(sample(), 32), IFF_PNG, sample()},
        {"gray PNG", testing::toPix(gray, 8), IFF_PNG, gray},
        {"palette PNG", testing::toPix(gray, 8, true), IFF_PNG, gray},
        {"gray BMP", testing::toPix(gray, 8), IFF_BMP, gray},
        {"gray PNM", testing::toPix(gray, 8), IFF_PNM, gray},
        {"gray TIFF", testing::toPix(gray, 8), IFF_TIFF_ZIP, gray},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(VisionImage::fromEncodedData(testing::encode(c.pix.get(), c.format)), c.expected);
    }
}

TEST(VisionImageTest, ReadsImageFiles) {
    tarn::testing::TemporaryFolder folder;
    const std::vector<std::uint8_t> png =
        testing::encode(testing::toPix(sample(), 32).get(), IFF_PNG);
    std::ofstream(folder.path() / "sample.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));

    EXPECT_EQ(VisionImage::fromFile(folder.path() / "sample.png"), sample());
    EXPECT_EQ(errorOf([&] { VisionImage::fromFile(folder.path() / "missing.png"); }),
              std::make_pair(std::string("NSPOSIXErrorDomain"), long{ENOENT}));
    EXPECT_EQ(errorOf([&] { VisionImage::fromFile(folder.path()); }).first, "NSPOSIXErrorDomain");
}

// A PNG header with the given size and zeros behind it (Leptonica reads the
// size without checking the chunk's CRC).
std::vector<std::uint8_t> pngHeader(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n',
                                    0,    0,   0,   13,  'I',  'H',  'D',  'R'};
    for (std::uint32_t value : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    bytes.insert(bytes.end(), {8, 6, 0, 0, 0});
    bytes.resize(64);
    return bytes;
}

TEST(VisionImageTest, RefusesWhatIsNoUsableImage) {
    std::vector<std::uint8_t> truncated =
        testing::encode(testing::toPix(testing::scene(64, 64, 5).image(), 8).get(), IFF_PNG);
    truncated.resize(truncated.size() / 2);
    const std::string text = "GET / HTTP/1.1\r\n\r\n";
    const struct {
        const char* name;
        std::vector<std::uint8_t> bytes;
        VisionErrorCode error;
    } cases[] = {
        {"no bytes", {}, VisionErrorCode::unreadableImage},
        {"text", std::vector<std::uint8_t>(text.begin(), text.end()),
         VisionErrorCode::unreadableImage},
        {"truncated PNG", truncated, VisionErrorCode::unreadableImage},
        {"header only", pngHeader(64, 64), VisionErrorCode::unreadableImage},
        // Refused from the header, before a byte of pixels is allocated.
        {"huge size", pngHeader(200000, 200000), VisionErrorCode::imageTooLarge},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(errorOf([&] { VisionImage::fromEncodedData(c.bytes); }), visionError(c.error));
    }
}

TEST(VisionImageTest, PixelBufferMustMatchTheSize) {
    EXPECT_EQ(errorOf([] { VisionImage(2, 2, std::vector<std::uint8_t>(15)); }),
              visionError(VisionErrorCode::invalidImage));
    EXPECT_EQ(errorOf([] { VisionImage(-1, -4, std::vector<std::uint8_t>(16)); }),
              visionError(VisionErrorCode::invalidImage));
    EXPECT_TRUE(VisionImage(0, 5, {}).isEmpty());
    EXPECT_EQ(VisionImage(0, 5, {}), VisionImage());
}

} // namespace
