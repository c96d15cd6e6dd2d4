#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace tarn {

// A decoded bitmap, the input of every image analysis: 8-bit RGBA (straight,
// not premultiplied alpha), rows from the top, four bytes per pixel and no
// padding. A value; safe to read from any thread.
class VisionImage {
public:
    // Decoders refuse images with more pixels than this (a 16384 x 8192 image
    // fits) before they allocate anything, so a small file that claims a huge
    // size cannot exhaust memory.
    static constexpr std::int64_t kMaximumPixelCount = std::int64_t{1} << 27;

    // The empty image (0 x 0). The analyses refuse it.
    VisionImage() = default;

    // Takes `rgba` as width * height pixels of R, G, B, A. Throws
    // tarn::PlatformError (kVisionErrorDomain, invalidImage) when a size is
    // negative or the buffer does not hold exactly that many pixels.
    VisionImage(int width, int height, std::vector<std::uint8_t> rgba);

    // Decodes PNG, JPEG, GIF, TIFF, BMP, WebP or PNM bytes. Images without alpha
    // become opaque. Throws tarn::PlatformError (kVisionErrorDomain)
    // unreadableImage or imageTooLarge.
    static VisionImage fromEncodedData(std::span<const std::uint8_t> bytes);

    // Reads and decodes an image file. A file that cannot be read throws
    // tarn::PlatformError with the domain "NSPOSIXErrorDomain" and the errno
    // value; its content is decoded as by fromEncodedData.
    static VisionImage fromFile(const std::filesystem::path& file);

    int width() const noexcept { return m_width; }
    int height() const noexcept { return m_height; }
    bool isEmpty() const noexcept { return m_width == 0 || m_height == 0; }
    const std::vector<std::uint8_t>& rgba() const noexcept { return m_rgba; }

    bool operator==(const VisionImage&) const = default;

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<std::uint8_t> m_rgba;
};

} // namespace tarn
