#include "text/text.h"

namespace yz {

namespace {

// The two-byte characters that read as a digit, sign or space once folded.
// Gives 0 when the character is not folded.
unsigned char FoldedByte(unsigned char lead, unsigned char trail) {
    if (lead == 0xA3 && trail >= 0xA1 && trail <= 0xFE) return static_cast<unsigned char>(trail - 0x80);
    if (lead == 0xA1) {
        if (trail == 0xA1) return 0x20;
        if (trail == 0xAB) return 0x7E;
        if (trail == 0xEE || trail == 0xEF) return 0x2A;
    }
    return 0;
}

}  // namespace

std::string FoldFullWidth(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char b = static_cast<unsigned char>(text[i]);
        if (!IsLeadByte(b)) {
            out.push_back(static_cast<char>(b));
            ++i;
            continue;
        }
        if (i + 1 >= n) break;  // half a character at the end is dropped
        const unsigned char t = static_cast<unsigned char>(text[i + 1]);
        if (const unsigned char f = FoldedByte(b, t)) {
            out.push_back(static_cast<char>(f));
        } else {
            out.push_back(static_cast<char>(b));
            out.push_back(static_cast<char>(t));
        }
        i += 2;
    }
    return out;
}

std::int32_t TextToInteger(std::string_view text) {
    const std::string folded = FoldFullWidth(text);
    std::size_t i = 0;
    const std::size_t n = folded.size();
    while (i < n) {
        const char c = folded[i];
        if (c == ' ' || (c >= 0x09 && c <= 0x0D)) {
            ++i;
        } else {
            break;
        }
    }
    bool negative = false;
    if (i < n && (folded[i] == '+' || folded[i] == '-')) {
        negative = folded[i] == '-';
        ++i;
    }
    // Unsigned arithmetic: numbers wrap around modulo 2^32 without overflow.
    std::uint32_t value = 0;
    while (i < n && folded[i] >= '0' && folded[i] <= '9') {
        value = value * 10u + static_cast<std::uint32_t>(folded[i] - '0');
        ++i;
    }
    if (negative) value = 0u - value;
    return static_cast<std::int32_t>(value);
}

std::string IntegerToText(std::int32_t value) {
    // Through the unsigned magnitude so that the smallest value has a text too.
    std::uint32_t magnitude = value < 0 ? 0u - static_cast<std::uint32_t>(value)
                                        : static_cast<std::uint32_t>(value);
    char buffer[12];
    char* p = buffer + sizeof buffer;
    do {
        *--p = static_cast<char>('0' + magnitude % 10u);
        magnitude /= 10u;
    } while (magnitude != 0);
    if (value < 0) *--p = '-';
    return std::string(p, buffer + sizeof buffer);
}

bool IsEmptyText(std::string_view text) { return text.empty(); }

std::string JoinTexts(std::initializer_list<std::string_view> parts) {
    std::size_t total = 0;
    for (std::string_view p : parts) total += p.size();
    std::string out;
    out.reserve(total);
    for (std::string_view p : parts) out.append(p);
    return out;
}

std::size_t TextLength(std::string_view text) { return text.size(); }

std::ptrdiff_t FindText(std::string_view haystack, std::string_view needle) {
    const std::size_t n = haystack.size();
    const std::size_t m = needle.size();
    if (m == 0) return n != 0 ? 1 : -1;
    std::size_t i = 0;
    while (i < n) {
        if (n - i < m) return -1;
        if (haystack.compare(i, m, needle) == 0) return static_cast<std::ptrdiff_t>(i) + 1;
        if (IsLeadByte(static_cast<unsigned char>(haystack[i]))) {
            if (i + 1 >= n) return -1;
            i += 2;
        } else {
            i += 1;
        }
    }
    return -1;
}

std::vector<unsigned char> TextToBytes(std::string_view text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}

}  // namespace yz
