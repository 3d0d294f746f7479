// The text box model driven by a script of edits; after every step its
// incrementally kept layout must equal a layout of the same text from
// scratch, the lines must cover the text from character start to character
// start, and the selection must stand on character starts.
//
// Input: byte 0 picks the wrap width, byte 1 the tab width and the width
// table; then commands, each one byte (its value mod 8) with its arguments:
//   0 select: two 16-bit positions (anchor, caret), taken mod (length + 2)
//   1 insert a piece from the table below: one byte picks it
//   2 insert raw bytes: one byte n (mod 9), then n bytes (a lone lead byte
//     at their end is dropped: only whole characters are typed or pasted)
//   3 backspace, 4 delete key, 5 undo
//   6 wrap width: one byte
//   7 one byte b: b even appends a lone lead byte at the very end, b odd
//     replaces the selection without an undo record by the next piece
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "ui/text_box_model.h"
#include "tests/support/reference.h"

namespace {

using yz::ui::TextBoxModel;

void Check(bool ok) {
    if (!ok) std::abort();
}

// Widths from 0 to 4 px, two-byte characters 1 to 5; `mode` shifts them so
// the fuzzer can try other tables.
int Measure(void* context, unsigned code) {
    const unsigned mode = *static_cast<const unsigned*>(context);
    if (code < 0x100) return static_cast<int>((code + mode) % 5);
    return 1 + static_cast<int>((code + mode) % 5);
}

const char* const kPieces[] = {
    "a",  " ",      "\t",   "\r\n",       "\r",        "\n",  "\xB0\xA1",   "\xC4\xE3", "ab cd", "\r\n\r\n",
    "xyz\r\n", "\x81\r", " \r\n ", "\xB0\xA1\xB0\xA1 a", "\n\r", "  \t  ", "abcdefghijk", "\xFF\xFF",
};
constexpr std::size_t kPieceCount = sizeof(kPieces) / sizeof(kPieces[0]);

void CheckModel(const TextBoxModel& m, TextBoxModel& fresh) {
    const std::string& text = m.Text();
    const std::size_t n = text.size();
    const std::vector<bool> starts = yz::reference::TextBoxCharStarts(text);

    // (a) the same layout as from scratch
    fresh.SetWrapWidth(m.WrapWidth());
    fresh.SetText(text);
    Check(m.LineCount() == fresh.LineCount());
    for (std::size_t i = 0; i < m.LineCount(); ++i) {
        Check(m.LineStart(i) == fresh.LineStart(i));
        Check(m.EndsWithBreak(i) == fresh.EndsWithBreak(i));
    }

    // (b) lines from character start to character start, no gaps, breaks
    // only at a CR LF that starts a character
    Check(m.LineCount() >= 1 && m.LineStart(0) == 0);
    for (std::size_t i = 0; i < m.LineCount(); ++i) {
        const std::size_t s = m.LineStart(i), e = m.LineEnd(i);
        Check(s <= n && starts[s]);
        Check(i + 1 == m.LineCount() ? e == n : s < e);
        if (m.EndsWithBreak(i)) {
            const std::size_t c = m.LineContentEnd(i);
            Check(c + 2 == e && starts[c] && text[c] == '\r' && text[c + 1] == '\n');
        }
    }
    Check(!m.EndsWithBreak(m.LineCount() - 1));

    // (c) the selection on character starts inside the text
    Check(m.Anchor() <= n && starts[m.Anchor()]);
    Check(m.Caret() <= n && starts[m.Caret()]);

    // Steps and indexes from the caret come back to it.
    const std::size_t c = m.Caret();
    if (c < n) Check(m.PrevChar(m.NextChar(c)) == c);
    Check(m.OffsetOfCharIndex(m.CharIndexOf(c)) == c);
    const std::size_t left = m.WordLeft(c), right = m.WordRight(c);
    Check(starts[left] && left <= c && (c == 0 || left < c));
    Check(starts[right] && right >= c && (c == n || right > c));
    std::size_t ws = 0, we = 0;
    m.WordAt(c, ws, we);
    Check(ws <= c && c <= we && we <= n && starts[ws] && starts[we]);
    const std::size_t line = m.CaretLine();
    Check(m.LineStart(line) <= c && c <= m.LineEnd(line));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    static unsigned mode = 0;
    mode = data[1] >> 3;
    const int tab = 1 + data[1] % 8;

    TextBoxModel m;
    m.SetMeasure(Measure, &mode, tab);
    m.SetWrapWidth(1 + data[0] % 24);
    static TextBoxModel fresh;
    fresh.SetMeasure(Measure, &mode, tab);

    std::size_t i = 2, piece = 0;
    auto next = [&]() -> unsigned { return i < size ? data[i++] : 0u; };
    while (i < size && m.Text().size() < 4096) {
        const std::size_t n = m.Text().size();
        switch (next() % 8) {
        case 0: {
            const std::size_t a = (next() | next() << 8) % (n + 2);
            const std::size_t c = (next() | next() << 8) % (n + 2);
            m.Select(a, c, (a ^ c) & 1);
            break;
        }
        case 1:
            m.ReplaceSelection(kPieces[next() % kPieceCount]);
            break;
        case 2: {
            const std::size_t len = next() % 9;
            std::string raw;
            for (std::size_t k = 0; k < len && i < size; ++k) raw += static_cast<char>(next());
            // A lead byte as the last byte of raw has no trail: drop it.
            std::size_t k = 0;
            while (k < raw.size()) {
                const std::size_t step = TextBoxModel::IsLead(static_cast<unsigned char>(raw[k])) ? 2 : 1;
                if (k + step > raw.size()) break;
                k += step;
            }
            raw.resize(k);
            m.ReplaceSelection(raw);
            break;
        }
        case 3:
            if (!m.HasSelection()) m.Select(m.PrevChar(m.Caret()), m.Caret());
            m.ReplaceSelection("");
            break;
        case 4:
            if (!m.HasSelection()) m.Select(m.NextChar(m.Caret()), m.Caret());
            m.ReplaceSelection("");
            break;
        case 5:
            m.Undo();
            break;
        case 6:
            m.SetWrapWidth(static_cast<int>(next() % 40));
            break;
        default:
            if (next() % 2 == 0) {
                m.Select(n, n);
                m.ReplaceSelection("\xB0");
            } else {
                m.ReplaceSelection(kPieces[piece++ % kPieceCount], false);
            }
            break;
        }
        CheckModel(m, fresh);
    }
    return 0;
}
