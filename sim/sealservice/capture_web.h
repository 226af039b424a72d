// The web side of a handwriting capture: the phone page the QR code leads
// to, the phone's submit, the stored handwriting image, and the seal image.
//   GET  /phone/capture?id=I   the drawing page (404 unknown id, 409 finished)
//   POST /phone/submit?id=I    body: a PNG as a data URL or raw Base64;
//                              finishes the capture (400 not a PNG, 404, 409)
//   GET  /hw/I.png             the handwriting image of a finished capture
//   GET  /seal/NAME.png        a drawn red seal, for seal image URLs that
//                              point at the simulator
#pragma once

#include <cstddef>
#include <string>

#include "sim/sealservice/store.h"

namespace qex::sim {

// The biggest POST body the web side reads; a bigger one is answered 413
// without being read.
inline constexpr std::size_t kMaxPostBytes = 2u * 1024 * 1024;
// The biggest handwriting image accepted, in pixels each way.
inline constexpr int kMaxHandwritingSide = 4096;

std::string PhoneCapturePage(Store& store, const std::string& wwwDir, const std::string& query);
std::string SubmitHandwriting(Store& store, const std::string& publicBase, const std::string& query,
                              const std::string& body);
// `route` starts with "/hw/".
std::string HandwritingImage(Store& store, const std::string& route);
std::string SealImage();

// A page of the folder when it is there, else the built-in copy; empty when
// neither exists.
std::string SitePage(const std::string& wwwDir, const std::string& name);

// The PNG bytes in a submit body: "data:image/png;base64," and the Base64
// text, or the Base64 text alone. Empty when the bytes are not a PNG file.
std::string SubmittedPng(const std::string& body);

}  // namespace qex::sim
