#include "frame/cursor_file.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "foxpro/platform/regular_file.h"
#include "frame/window_helpers.h"

namespace quorvel::frame {

namespace {

// Layout of a cursor file: a 6-byte directory header (reserved 0, type 2 =
// cursor, image count), then one 16-byte entry per image, each pointing at a
// BITMAPINFOHEADER whose height counts the colour rows and the AND-mask rows.
constexpr size_t kDirectorySize = 6;
constexpr size_t kEntrySize = 16;
constexpr size_t kInfoHeaderSize = 40;
constexpr uint16_t kTypeCursor = 2;
constexpr int kMaxSide = 256;

class Bytes {
  public:
    Bytes(const std::string& data, const std::string& name) : data_(data), name_(name) {}

    uint32_t u8(size_t at) const { return byte(at); }
    uint32_t u16(size_t at) const { return byte(at) | byte(at + 1) << 8; }
    uint32_t u32(size_t at) const { return u16(at) | u16(at + 2) << 16; }
    int32_t i32(size_t at) const { return static_cast<int32_t>(u32(at)); }
    void need(size_t at, size_t length, const char* what) const {
        if (at > data_.size() || length > data_.size() - at)
            fail(std::string(what) + " is cut off");
    }
    [[noreturn]] void fail(const std::string& problem) const {
        throw std::runtime_error(name_ + ": " + problem);
    }
    size_t size() const { return data_.size(); }

  private:
    uint32_t byte(size_t at) const {
        if (at >= data_.size()) fail("file is cut off");
        return static_cast<unsigned char>(data_[at]);
    }
    const std::string& data_;
    const std::string& name_;
};

size_t rowBytes(int width, int bitsPerPixel) {
    return ((static_cast<size_t>(width) * bitsPerPixel + 31) / 32) * 4;
}

}  // namespace

CursorImage parseCursor(const std::string& data, const std::string& name) {
    const Bytes in(data, name);
    in.need(0, kDirectorySize, "cursor header");
    if (in.u16(0) != 0 || in.u16(2) != kTypeCursor) in.fail("not a cursor file");
    const size_t count = in.u16(4);
    if (count == 0) in.fail("cursor file holds no image");
    in.need(kDirectorySize, count * kEntrySize, "image directory");

    // The largest image: the one a pointer of the usual size is drawn from.
    size_t best = 0;
    int bestArea = -1;
    for (size_t i = 0; i < count; ++i) {
        const size_t e = kDirectorySize + i * kEntrySize;
        const int w = in.u8(e) == 0 ? kMaxSide : static_cast<int>(in.u8(e));
        const int h = in.u8(e + 1) == 0 ? kMaxSide : static_cast<int>(in.u8(e + 1));
        if (w * h > bestArea) {
            bestArea = w * h;
            best = e;
        }
    }

    CursorImage image;
    image.hotX = static_cast<int>(in.u16(best + 4));
    image.hotY = static_cast<int>(in.u16(best + 6));
    const size_t length = in.u32(best + 8);
    const size_t offset = in.u32(best + 12);
    in.need(offset, length, "image data");
    if (length >= 8 && data.compare(offset, 8, "\x89PNG\r\n\x1a\n", 8) == 0) {
        in.fail("PNG cursor images are not supported");
    }
    in.need(offset, kInfoHeaderSize, "image header");
    if (in.u32(offset) < kInfoHeaderSize) in.fail("image header is too short");
    const int32_t width = in.i32(offset + 4);
    const int32_t doubledHeight = in.i32(offset + 8);
    const int bits = static_cast<int>(in.u16(offset + 14));
    const uint32_t compression = in.u32(offset + 16);
    uint32_t colorsUsed = in.u32(offset + 32);
    // The header height covers the colour bitmap and the mask below it; a
    // negative (top-down) height is not used by cursor files.
    if (width <= 0 || width > kMaxSide || doubledHeight <= 0 || doubledHeight % 2 != 0 ||
        doubledHeight / 2 > kMaxSide) {
        in.fail("image size " + std::to_string(width) + "x" + std::to_string(doubledHeight) +
                " is not a cursor size");
    }
    if (compression != 0) in.fail("compressed cursor images are not supported");
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) {
        in.fail(std::to_string(bits) + " bits per pixel is not a cursor format");
    }
    const int height = doubledHeight / 2;
    if (image.hotX >= width || image.hotY >= height) in.fail("hot spot lies outside the image");

    size_t palette = offset + in.u32(offset);
    size_t paletteSize = 0;
    if (bits <= 8) {
        if (colorsUsed == 0 || colorsUsed > (1u << bits)) colorsUsed = 1u << bits;
        paletteSize = colorsUsed * 4;
    }
    const size_t colour = palette + paletteSize;
    const size_t colourRow = rowBytes(width, bits);
    const size_t maskRow = rowBytes(width, 1);
    const size_t mask = colour + colourRow * height;
    in.need(palette, paletteSize + colourRow * height + maskRow * height, "pixel data");

    image.width = width;
    image.height = height;
    image.argb.assign(static_cast<size_t>(width) * height, 0);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        // Rows are stored bottom-up.
        const size_t row = colour + colourRow * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            uint32_t bgra = 0;
            if (bits == 32) {
                bgra = in.u32(row + x * 4);
                anyAlpha = anyAlpha || (bgra >> 24) != 0;
            } else if (bits == 24) {
                bgra =
                    in.u8(row + x * 3) | in.u8(row + x * 3 + 1) << 8 | in.u8(row + x * 3 + 2) << 16;
            } else {
                const size_t bit = static_cast<size_t>(x) * bits;
                const uint32_t packed = in.u8(row + bit / 8);
                const uint32_t shift = 8 - bits - bit % 8;
                const uint32_t entry = (packed >> shift) & ((1u << bits) - 1);
                if (entry >= colorsUsed) in.fail("pixel refers past the palette");
                bgra = in.u32(palette + entry * 4) & 0xFFFFFFu;
            }
            image.argb[static_cast<size_t>(y) * width + x] = bgra;
        }
    }
    // Without an alpha channel the AND mask says what is transparent.
    for (int y = 0; y < height; ++y) {
        const size_t row = mask + maskRow * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            uint32_t& pixel = image.argb[static_cast<size_t>(y) * width + x];
            if (bits == 32 && anyAlpha) continue;
            const bool transparent = (in.u8(row + x / 8) >> (7 - x % 8)) & 1;
            pixel = transparent ? 0u : (pixel & 0xFFFFFFu) | 0xFF000000u;
        }
    }
    return image;
}

CursorImage readCursorFile(const std::string& path) {
    // A FIFO or device under the cursor's name would block start-up on open.
    if (foxpro::platform::pathKind(path) == foxpro::platform::PathKind::Other)
        throw std::runtime_error(foxpro::platform::notRegularFileText(path));
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error(path + ": cannot open the cursor file");
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad()) throw std::runtime_error(path + ": cannot read the cursor file");
    return parseCursor(content.str(), path);
}

std::optional<CursorImage> LoadHandCursor(const std::string& appFolder) {
    const std::string path = handCursorPath(appFolder);
    if (!FileExists(path)) return std::nullopt;
    return readCursorFile(path);
}

}  // namespace quorvel::frame
