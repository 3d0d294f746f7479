// Checks the split, the number reading and the search against plain
// reference versions written out step by step here.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"
#include "text/word_list.h"

namespace {

// Which bytes start a character: a byte of 0x80+ owns the byte after it.
std::vector<bool> CharacterStarts(std::string_view s) {
    std::vector<bool> starts(s.size(), false);
    bool trail = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (trail) {
            trail = false;
            continue;
        }
        starts[i] = true;
        trail = static_cast<unsigned char>(s[i]) >= 0x80;
    }
    return starts;
}

std::vector<std::string> ReferenceSplit(std::string_view s) {
    std::vector<std::string> members;
    const std::vector<bool> starts = CharacterStarts(s);
    std::string piece;
    std::size_t i = 0;
    while (i < s.size()) {
        if (starts[i] && i + 1 < s.size() && s[i] == '\r' && s[i + 1] == '\n') {
            members.push_back(piece);
            piece.clear();
            i += 2;
        } else {
            piece += s[i];
            ++i;
        }
    }
    if (!piece.empty()) members.push_back(piece);
    return members;
}

std::string ReferenceFold(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const unsigned char b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            continue;
        }
        if (i + 1 == s.size()) break;
        const unsigned char t = static_cast<unsigned char>(s[++i]);
        if (b == 0xA3 && t >= 0xA1 && t <= 0xFE) out += static_cast<char>(t - 0x80);
        else if (b == 0xA1 && t == 0xA1) out += ' ';
        else if (b == 0xA1 && t == 0xAB) out += '~';
        else if (b == 0xA1 && (t == 0xEE || t == 0xEF)) out += '*';
        else {
            out += static_cast<char>(b);
            out += static_cast<char>(t);
        }
    }
    return out;
}

std::int32_t ReferenceInteger(std::string_view text) {
    const std::string s = ReferenceFold(text);
    std::size_t i = 0;
    while (i < s.size() && std::strchr("\t\n\v\f\r ", s[i]) != nullptr && s[i] != '\0') ++i;
    std::uint32_t sign = 1;
    if (i < s.size() && s[i] == '-') {
        sign = 0xFFFFFFFFu;
        ++i;
    } else if (i < s.size() && s[i] == '+') {
        ++i;
    }
    std::uint32_t v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = v * 10u + static_cast<std::uint32_t>(s[i] - '0');
    return static_cast<std::int32_t>(v * sign);
}

std::ptrdiff_t ReferenceFind(std::string_view h, std::string_view n) {
    if (n.empty()) return h.empty() ? -1 : 1;
    const std::vector<bool> starts = CharacterStarts(h);
    for (std::size_t i = 0; i < h.size(); ++i) {
        if (starts[i] && i + n.size() <= h.size() && h.substr(i, n.size()) == n) return static_cast<std::ptrdiff_t>(i + 1);
    }
    return -1;
}

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const yz::WordList list = yz::WordListFromText(text);
    const std::vector<std::string> expected = ReferenceSplit(text);
    Check(list.MemberCount() == static_cast<std::int32_t>(expected.size()));
    for (std::size_t k = 0; k < expected.size(); ++k) Check(list.Member(static_cast<std::int32_t>(k + 1)) == expected[k]);
    if (list.MemberCount() > 0) {
        yz::Random r(static_cast<std::uint32_t>(size));
        for (int k = 0; k < 4; ++k) {
            const std::int32_t pos = yz::DrawPosition(list.MemberCount(), r);
            Check(pos >= 1 && pos <= list.MemberCount());
        }
        const std::string_view drawn = yz::DrawMember(list, r);
        bool found = false;
        for (const std::string& m : expected) found = found || m == drawn;
        Check(found);
    }

    const std::int32_t value = yz::TextToInteger(text);
    Check(value == ReferenceInteger(text));
    Check(yz::TextToInteger(yz::IntegerToText(value)) == value);
    Check(yz::FoldFullWidth(text) == ReferenceFold(text));

    // First byte: the needle's length; the needle follows, the rest is searched.
    if (size > 0) {
        const std::size_t m = std::min<std::size_t>(data[0] % 8, size - 1);
        const std::string_view needle = text.substr(1, m);
        const std::string_view haystack = text.substr(1 + m);
        Check(yz::FindText(haystack, needle) == ReferenceFind(haystack, needle));
        Check(yz::FindText(text, text.substr(size / 2)) == ReferenceFind(text, text.substr(size / 2)));
    }
    return 0;
}
