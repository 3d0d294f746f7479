// The text, layout, selection and undo of the program's own multi-line text
// box (ui/text_box_win.cpp), without any window: the column boxes hold a
// million lines, and an edit must cost time in proportion to the lines it
// touches, not to the lines before it.
//
// The text is GBK bytes, read as code page 936 reads them: a byte from 0x81
// to 0xFE leads a two-byte character and takes the next byte as its trail,
// whatever its value; 0x80 (the euro sign) and 0xFF stand alone. So the box
// shows and gives back every character the rest of the program converts the
// same way. CR LF at a character start ends a line. Every position is a byte
// offset at a character start. Lines wrap at a width in pixels: after a space
// or a tab, around a two-byte character, or, when nothing else fits, before
// the character that does not fit.
//
// Positions seen from outside (the edit-control messages) count characters,
// one UTF-16 unit each: a GBK character always maps to one unit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace yz::ui {

class TextBoxModel {
public:
    // Width in pixels of one character: its byte for a one-byte character,
    // (lead << 8) | trail for a two-byte one (the lead byte alone, with
    // trail 0, when the text ends after it). Asked once per character code
    // and remembered until SetMeasure is called again.
    using Measure = int (*)(void* context, unsigned code);

    TextBoxModel();

    // --- Layout parameters (each lays the whole text out again) ---
    void SetMeasure(Measure measure, void* context, int tabWidth);
    void SetWrapWidth(int pixels);
    int WrapWidth() const { return wrapWidth_; }

    // --- Text ---
    const std::string& Text() const { return text_; }
    // The whole text at once: selection at the start, undo emptied.
    void SetText(std::string text);
    // Replaces the selection with `insert` (whole characters), leaves the
    // caret after it. canUndo: the change can be undone (otherwise the undo
    // record is emptied). Returns false when nothing changed.
    bool ReplaceSelection(std::string_view insert, bool canUndo = true);
    bool CanUndo() const { return undo_.valid; }
    // Undoes the last change; undoing again redoes it. Selects the text put
    // back. False when there is nothing to undo.
    bool Undo();
    void EmptyUndo() { undo_ = {}; }

    // --- Selection ---
    std::size_t Anchor() const { return anchor_; }
    std::size_t Caret() const { return caret_; }
    std::size_t SelectionStart() const { return anchor_ < caret_ ? anchor_ : caret_; }
    std::size_t SelectionEnd() const { return anchor_ < caret_ ? caret_ : anchor_; }
    bool HasSelection() const { return anchor_ != caret_; }
    // Both positions are moved to character starts within the text.
    // afterWrap: a caret at a wrap point stands at the end of the upper line.
    void Select(std::size_t anchor, std::size_t caret, bool afterWrap = false);
    bool CaretAfterWrap() const { return afterWrap_; }

    // --- Characters ---
    static bool IsLead(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
    std::size_t CharLength(std::size_t offset) const;   // 1, 2, or 0 at the end
    std::size_t NextChar(std::size_t offset) const;     // CR LF counts as one step
    std::size_t PrevChar(std::size_t offset) const;
    std::size_t WordLeft(std::size_t offset) const;
    std::size_t WordRight(std::size_t offset) const;
    // The word (or run of spaces) around offset, for a double click.
    void WordAt(std::size_t offset, std::size_t& start, std::size_t& end) const;
    // Character index (UTF-16 units) <-> byte offset.
    std::size_t CharIndexOf(std::size_t offset) const;
    std::size_t OffsetOfCharIndex(std::size_t index) const;   // clamped to the end
    std::size_t CharCount() const { return CharIndexOf(text_.size()); }

    // --- Lines (visual, after wrapping; at least one) ---
    std::size_t LineCount() const { return starts_.size(); }
    std::size_t LineStart(std::size_t line) const { return starts_[line]; }
    // End of the line's characters, before its CR LF.
    std::size_t LineContentEnd(std::size_t line) const;
    // Start of the next line (after CR LF), or the text's end.
    std::size_t LineEnd(std::size_t line) const;
    bool EndsWithBreak(std::size_t line) const { return hard_[line] != 0; }
    // The line is wrapped: its end is also the next line's start.
    bool EndsInWrap(std::size_t line) const { return !hard_[line] && line + 1 < starts_.size(); }
    // A caret at offset on this line stands at the end of the line rather
    // than at the start of the next (the model's afterWrap).
    bool IsAfterWrap(std::size_t line, std::size_t offset) const { return EndsInWrap(line) && offset == LineEnd(line); }
    // The line that offset lies on; at a wrap point the lower line unless
    // afterWrap.
    std::size_t LineOf(std::size_t offset, bool afterWrap = false) const;
    std::size_t CaretLine() const { return LineOf(caret_, afterWrap_); }
    // Pixels from the line's left edge to offset (which lies on the line).
    int XOf(std::size_t line, std::size_t offset) const;
    // The character start on the line nearest to x.
    std::size_t OffsetAtX(std::size_t line, int x) const;
    // Width of the character at offset when it starts x pixels into its
    // line (a tab reaches the next tab stop).
    int Advance(std::size_t offset, int x) const;

private:
    struct UndoRecord {
        bool valid = false;
        std::size_t position = 0;   // where the change starts
        std::size_t inserted = 0;   // bytes inserted there
        std::string removed;        // bytes the change removed
    };

    int CachedWidth(unsigned code) const;
    // Lays out one line from start; gives the next line's start and whether
    // this line ends with CR LF.
    std::size_t WrapLine(std::size_t start, bool& hard);
    void LayoutAll();
    // The bytes [from, oldTo) became [from, newTo): lays out only the lines
    // that can have changed.
    void Relayout(std::size_t from, std::size_t oldTo, std::size_t newTo);
    void Splice(std::size_t from, std::size_t to, std::string_view insert);
    std::size_t Snap(std::size_t offset) const;

    std::string text_;
    std::vector<std::uint32_t> starts_;   // first byte of each visual line
    std::vector<std::uint8_t> hard_;      // line ends with CR LF
    std::size_t anchor_ = 0, caret_ = 0;
    bool afterWrap_ = false;
    UndoRecord undo_;

    Measure measure_ = nullptr;
    void* measureContext_ = nullptr;
    int tabWidth_ = 32;
    int wrapWidth_ = 1 << 30;
    mutable std::vector<std::int16_t> widths_;   // by code, -1 = not asked yet
};

}  // namespace yz::ui
