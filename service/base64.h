// Standard Base64 ("A"-"Z", "a"-"z", "0"-"9", "+", "/", "=" padding, no line
// breaks) into callers' fixed buffers, as the key's digests and the seal
// service's replies need it.
#pragma once

#include <cstddef>
#include <string>

namespace qex {

// Characters EncodeBase64 writes for `length` bytes: 4 per started group of 3.
std::size_t Base64EncodedLength(std::size_t length);

// Encodes `length` bytes of `source` into `dest`. `*capacity` is the room in
// `dest` on input and the number of characters written on success. Writes no
// NUL: callers zero-fill a buffer larger than the text. Fails, writing
// nothing, when an argument is missing or the room is too small.
bool EncodeBase64(const unsigned char* source, std::size_t length, char* dest,
                  std::size_t* capacity);

// Decodes up to `length` characters of `source` (stopping early at a NUL),
// skipping every character outside the alphabet ("=", CR and LF included).
// Each group of k alphabet characters gives 6k/8 bytes (rounded down).
// `*capacity` is the room in `dest` on input and always receives the number
// of bytes the source decodes to. Without `dest`, or when the bytes do not
// fit, no byte past the room is written and the result is false.
bool DecodeBase64(const char* source, std::size_t length, unsigned char* dest,
                  std::size_t* capacity);

// Conveniences on strings for portable callers.
std::string EncodeBase64(const std::string& bytes);
std::string DecodeBase64(const std::string& text);

}  // namespace qex
