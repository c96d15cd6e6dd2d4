#include "TarnKit/Vision/VisionImage.h"

#include "TarnKit/Platform/Files.h"
#include "TarnKit/Platform/Numbers.h"
#include "TarnKit/Platform/PlatformError.h"
#include "TarnKit/Vision/VisionError.h"

#include <cerrno>
#include <leptonica/allheaders.h>
#include <memory>
#include <string>

namespace tarn {
namespace {

struct PixDeleter {
    void operator()(PIX* pix) const { pixDestroy(&pix); }
};
using PixPointer = std::unique_ptr<PIX, PixDeleter>;

[[noreturn]] void fail(VisionErrorCode code, const std::string& description) {
    throw PlatformError(kVisionErrorDomain, static_cast<long>(code), description);
}

[[noreturn]] void failUnreadable() {
    fail(VisionErrorCode::unreadableImage, "The data is not an image that can be read.");
}

std::string sizeText(std::int64_t width, std::int64_t height) {
    return numbers::formatInteger(width) + " x " + numbers::formatInteger(height);
}

// Leptonica keeps every depth (1 to 32 bits, with or without a palette) in its
// own layout; one 32-bit form with alpha where the image had any is all the
// analyses need to know.
PixPointer toRgba(PixPointer pix) {
    if (pixGetColormap(pix.get()) != nullptr) {
        // Keeps transparent palette entries transparent, which a plain
        // conversion to 32 bits would make opaque.
        pix.reset(pixRemoveColormap(pix.get(), REMOVE_CMAP_WITH_ALPHA));
        if (!pix)
            failUnreadable();
    }
    if (pixGetDepth(pix.get()) != 32) {
        pix.reset(pixConvertTo32(pix.get()));
        if (!pix)
            failUnreadable();
    }
    return pix;
}

} // namespace

VisionImage::VisionImage(int width, int height, std::vector<std::uint8_t> rgba)
    : m_width(width), m_height(height), m_rgba(std::move(rgba)) {
    if (width < 0 || height < 0 ||
        m_rgba.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4)
        fail(VisionErrorCode::invalidImage,
             "The pixel buffer does not hold a " + sizeText(width, height) + " RGBA image.");
    if (width == 0 || height == 0)
        m_width = m_height = 0;
}

VisionImage VisionImage::fromEncodedData(std::span<const std::uint8_t> bytes) {
    if (bytes.empty())
        failUnreadable();
    l_int32 format = 0, width = 0, height = 0, bitsPerSample = 0, samplesPerPixel = 0,
            hasPalette = 0;
    if (pixReadHeaderMem(bytes.data(), bytes.size(), &format, &width, &height, &bitsPerSample,
                         &samplesPerPixel, &hasPalette) != 0 ||
        width <= 0 || height <= 0)
        failUnreadable();
    const std::int64_t pixels = std::int64_t{width} * height;
    if (pixels > kMaximumPixelCount)
        fail(VisionErrorCode::imageTooLarge,
             "The image is too large (" + sizeText(width, height) + " pixels).");

    PixPointer pix(pixReadMem(bytes.data(), bytes.size()));
    if (!pix)
        failUnreadable();
    // The header is only a claim; what counts is what was decoded.
    if (pixGetWidth(pix.get()) != width || pixGetHeight(pix.get()) != height)
        failUnreadable();
    const bool hasAlpha = pixGetSpp(pix.get()) == 4 || hasPalette != 0;
    pix = toRgba(std::move(pix));
    const bool keepsAlpha = hasAlpha && pixGetSpp(pix.get()) == 4;

    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(pixels) * 4);
    const l_uint32* data = pixGetData(pix.get());
    const l_int32 wordsPerLine = pixGetWpl(pix.get());
    std::uint8_t* out = rgba.data();
    for (l_int32 y = 0; y < height; ++y) {
        const l_uint32* line = data + static_cast<std::ptrdiff_t>(y) * wordsPerLine;
        for (l_int32 x = 0; x < width; ++x) {
            const l_uint32 word = line[x];
            *out++ = static_cast<std::uint8_t>(word >> L_RED_SHIFT);
            *out++ = static_cast<std::uint8_t>(word >> L_GREEN_SHIFT);
            *out++ = static_cast<std::uint8_t>(word >> L_BLUE_SHIFT);
            *out++ = keepsAlpha ? static_cast<std::uint8_t>(word >> L_ALPHA_SHIFT) : 255;
        }
    }
    return VisionImage(width, height, std::move(rgba));
}

VisionImage VisionImage::fromFile(const std::filesystem::path& file) {
    const std::optional<std::string> bytes = files::readFile(file);
    if (!bytes)
        throw PlatformError(kPOSIXErrorDomain, ENOENT,
                            "Could not open \"" + file.string() + "\": No such file or directory");
    return fromEncodedData(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()));
}

} // namespace tarn
