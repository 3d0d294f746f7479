// Plain reference versions of core rules, shared by the unit tests and the
// fuzzers: written the obvious way, so that the fast code is checked against
// something that is easy to read.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "ui/text_box_model.h"

namespace yz::reference {

// A text cut at CR LF where a character starts (a byte of 0x80 or more takes
// the next one with it); an unfinished last piece is a line too. Columns and
// the result box are cut alike.
inline std::vector<std::string> CutLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            lines.push_back(current);
            current.clear();
            i += 2;
            continue;
        }
        const std::size_t step = static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1;
        current.append(text, i, step);
        i += step;
    }
    if (!current.empty()) lines.push_back(current);
    return lines;
}

// Where the text box's characters start (code page 936's lead bytes), the
// end included.
inline std::vector<bool> TextBoxCharStarts(const std::string& s) {
    std::vector<bool> starts(s.size() + 1, false);
    std::size_t i = 0;
    while (i < s.size()) {
        starts[i] = true;
        i += ui::TextBoxModel::IsLead(static_cast<unsigned char>(s[i])) ? 2 : 1;
    }
    starts[s.size()] = true;
    return starts;
}

}  // namespace yz::reference
