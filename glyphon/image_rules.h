// The control's portable rules: its lenient Base64 decoder and the integer
// arithmetic that sizes and places the picture. No Windows header here, so
// the rules are unit-tested natively as well.
#pragma once

#include <cstddef>

namespace qex::glyphon {

// Base64 as the control accepts it: only the 64 alphabet characters count
// (groups of four give three bytes); "=", line breaks and every other byte
// are skipped. A trailing group of two or three characters gives one or two
// bytes, a lone trailing character nothing. Returns false only when the
// output would not fit into `capacity` bytes; `written` then holds the bytes
// that did fit. A buffer as long as the text always suffices.
bool DecodeBase64Lenient(const char* text, std::size_t length, unsigned char* out,
                         std::size_t capacity, std::size_t* written);

struct PixelSize {
    long cx;
    long cy;
};

// The largest side the control shows.
inline constexpr long kMaxSide = 150;

// Shrinks (never enlarges) an image into kMaxSide x kMaxSide keeping the
// aspect ratio, truncating: 300x200 -> 150x100, 151x1 -> 150x0.
PixelSize FitImage(long width, long height);

// Offset that centres `inner` in `outer` along one axis, truncated toward
// zero (negative when the inner extent is the larger one).
long CentreOffset(long outer, long inner);

}  // namespace qex::glyphon
