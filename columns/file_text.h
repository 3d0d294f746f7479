// The byte walk of a dropped file: what part of the bytes read becomes the
// column's text. Portable, so that it is unit-tested and fuzzed natively.
#pragma once

#include <cstddef>
#include <string>

namespace yz {

// Walks the bytes one character at a time: 0x00 or 0x1A at a character start
// ends the text; a lead byte (0x80+) takes the next byte with it unless that
// byte is 0x00, in which case the text ends before the lead byte. A lead byte
// that is the very last byte is kept. No other change: no code page, byte
// order mark or line end conversion.
std::string TextFromFileBytes(const char* data, std::size_t size);

}  // namespace yz
