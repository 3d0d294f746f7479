// Text rules every handler relies on.
//
// A text is a std::string of GBK (code page 936) bytes. The empty string stands
// for the absent text. A byte of 0x80 or above is the lead byte of a two-byte
// character and the byte after it is its trail byte, whatever its value; this
// rule is fixed and never asked of the system. Positions are 1-based byte
// positions, -1 means "not found". Functions here hold no state and may run on
// any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace yz {

inline bool IsLeadByte(unsigned char b) { return b >= 0x80; }

// Full-width forms, the ideographic space, the wave dash and the stars folded
// to their ASCII look-alikes; a lead byte at the very end is dropped.
std::string FoldFullWidth(std::string_view text);

// Decimal reading after FoldFullWidth: leading 09-0D/20 skipped, one sign,
// digits with 32-bit wrap-around, stops at the first non-digit; no digits -> 0.
std::int32_t TextToInteger(std::string_view text);

std::string IntegerToText(std::int32_t value);

bool IsEmptyText(std::string_view text);

std::string JoinTexts(std::initializer_list<std::string_view> parts);

std::size_t TextLength(std::string_view text);

// Forward search at character starts only; 1-based position or -1.
std::ptrdiff_t FindText(std::string_view haystack, std::string_view needle);

std::vector<unsigned char> TextToBytes(std::string_view text);

}  // namespace yz
