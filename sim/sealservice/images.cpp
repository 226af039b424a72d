#include "sim/sealservice/images.h"

#include <qrencode.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "sim/sealservice/png_image.h"

namespace qex::sim {
namespace {

struct QrFree {
    void operator()(QRcode* code) const { QRcode_free(code); }
};

constexpr double kPi = 3.14159265358979323846;

// Inside the five-pointed star of outer radius r centred at the origin,
// pointing up (y grows downwards).
bool InStar(double x, double y, double r) {
    const double inner = r * 0.382;
    double px[10], py[10];
    for (int i = 0; i < 10; ++i) {
        const double a = -kPi / 2 + i * kPi / 5;
        const double rr = i % 2 == 0 ? r : inner;
        px[i] = rr * std::cos(a);
        py[i] = rr * std::sin(a);
    }
    bool inside = false;
    for (int i = 0, j = 9; i < 10; j = i++) {
        if ((py[i] > y) != (py[j] > y) && x < (px[j] - px[i]) * (y - py[i]) / (py[j] - py[i]) + px[i]) {
            inside = !inside;
        }
    }
    return inside;
}

}  // namespace

std::string QrPng(const std::string& text) {
    std::unique_ptr<QRcode, QrFree> code(QRcode_encodeString8bit(text.c_str(), 0, QR_ECLEVEL_M));
    if (!code) return std::string();
    const int modules = code->width + 2 * kQrQuietModules;
    GreyImage image;
    image.width = image.height = modules * kQrModulePixels;
    image.pixels.assign(static_cast<std::size_t>(image.width) * image.height, 255);
    for (int my = 0; my < code->width; ++my) {
        for (int mx = 0; mx < code->width; ++mx) {
            // Bit 0 of each libqrencode byte is the module's colour.
            if ((code->data[my * code->width + mx] & 1) == 0) continue;
            for (int dy = 0; dy < kQrModulePixels; ++dy) {
                const int y = (my + kQrQuietModules) * kQrModulePixels + dy;
                const int x = (mx + kQrQuietModules) * kQrModulePixels;
                std::fill_n(&image.pixels[static_cast<std::size_t>(y) * image.width + x], kQrModulePixels, 0);
            }
        }
    }
    return EncodePng(image);
}

std::string SealPng() {
    constexpr int kSize = 160;
    constexpr double c = kSize / 2.0;
    RgbaImage image;
    image.width = image.height = kSize;
    image.pixels.assign(static_cast<std::size_t>(kSize) * kSize * 4, 0);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const double dx = x + 0.5 - c, dy = y + 0.5 - c;
            const double d = std::sqrt(dx * dx + dy * dy);
            const bool ring = d <= 76 && d >= 68;
            const bool inner = d <= 62 && d >= 60;
            if (!ring && !inner && !InStar(dx, dy - 2, 30)) continue;
            std::uint8_t* p = &image.pixels[(static_cast<std::size_t>(y) * kSize + x) * 4];
            p[0] = 0xD8;
            p[1] = 0x1E;
            p[2] = 0x06;
            p[3] = 0xE6;
        }
    }
    return EncodePng(image);
}

}  // namespace qex::sim
