// The pictures the simulator draws itself.
#pragma once

#include <string>

namespace qex::sim {

// Module size and quiet zone of the capture QR code: 4 pixels a module and
// the 4-module margin scanners expect. The client's control shrinks the
// image to 150 x 150 and paints white as transparent, so the code is black
// on white and no bigger than it needs to be.
inline constexpr int kQrModulePixels = 4;
inline constexpr int kQrQuietModules = 4;

// A QR code (error correction M, byte mode) of `text` as a 1-bit grey PNG
// file; empty when the text does not fit a QR code.
std::string QrPng(const std::string& text);

// A red round seal with a star, on a transparent background, as a PNG file:
// the image the demo page shows for a registered seal.
std::string SealPng();

}  // namespace qex::sim
