// In-memory PNG files for the images the simulator hands out: the capture's
// QR code (1-bit grey) and the seal image (RGBA).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qex::sim {

// One byte per pixel, row by row.
struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;   // 0 black .. 255 white
};

// Four bytes per pixel (R, G, B, A), row by row.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// The PNG file bytes, or empty when libpng fails. A grey image whose pixels
// are all 0 or 255 is written with one bit per pixel.
std::string EncodePng(const GreyImage& image);
std::string EncodePng(const RgbaImage& image);

// Width and height from the header of PNG file bytes; false when the bytes do
// not start with the PNG signature and an IHDR chunk.
bool PngSize(const std::string& bytes, int* width, int* height);

}  // namespace qex::sim
