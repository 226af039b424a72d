#include "sim/sealservice/png_image.h"

#include <png.h>

#include <cstring>

namespace qex::sim {
namespace {

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

void Append(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

void Flush(png_structp) {}

// Rows already packed for `colorType`/`bitDepth`. libpng reports errors by
// longjmp, so this frame holds nothing that needs a destructor.
bool Write(int width, int height, int colorType, int bitDepth, const std::vector<png_bytep>& rows,
           std::string* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, Append, Flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), bitDepth,
                 colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    png_write_image(png, const_cast<png_bytepp>(rows.data()));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool Valid(int width, int height, std::size_t bytes, std::size_t perPixel) {
    return width > 0 && height > 0 && bytes == static_cast<std::size_t>(width) * height * perPixel;
}

}  // namespace

std::string EncodePng(const GreyImage& image) {
    if (!Valid(image.width, image.height, image.pixels.size(), 1)) return std::string();
    bool twoTone = true;
    for (auto p : image.pixels) twoTone = twoTone && (p == 0 || p == 255);
    const std::size_t stride = twoTone ? (image.width + 7) / 8 : image.width;
    std::vector<png_byte> packed(stride * image.height, 0);
    std::vector<png_bytep> rows(image.height);
    for (int y = 0; y < image.height; ++y) {
        png_bytep row = &packed[stride * y];
        rows[y] = row;
        const std::uint8_t* src = &image.pixels[static_cast<std::size_t>(image.width) * y];
        if (!twoTone) {
            std::memcpy(row, src, image.width);
            continue;
        }
        for (int x = 0; x < image.width; ++x) {
            if (src[x]) row[x / 8] |= static_cast<png_byte>(0x80 >> (x % 8));
        }
    }
    std::string out;
    if (!Write(image.width, image.height, PNG_COLOR_TYPE_GRAY, twoTone ? 1 : 8, rows, &out)) return std::string();
    return out;
}

std::string EncodePng(const RgbaImage& image) {
    if (!Valid(image.width, image.height, image.pixels.size(), 4)) return std::string();
    std::vector<png_bytep> rows(image.height);
    for (int y = 0; y < image.height; ++y) {
        rows[y] = const_cast<png_bytep>(&image.pixels[static_cast<std::size_t>(image.width) * 4 * y]);
    }
    std::string out;
    if (!Write(image.width, image.height, PNG_COLOR_TYPE_RGBA, 8, rows, &out)) return std::string();
    return out;
}

bool PngSize(const std::string& bytes, int* width, int* height) {
    // Signature, then the first chunk: length 13, "IHDR", width, height.
    if (bytes.size() < 24 || std::memcmp(bytes.data(), kSignature, 8) != 0 ||
        bytes.compare(12, 4, "IHDR") != 0) {
        return false;
    }
    auto be32 = [&](std::size_t at) {
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
        return (static_cast<unsigned long>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    };
    const unsigned long w = be32(16), h = be32(20);
    if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return false;
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}

}  // namespace qex::sim
