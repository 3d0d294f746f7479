#include "ui/text_box_model.h"

#include <algorithm>

namespace yz::ui {
namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

bool IsBlank(unsigned char b) { return b == ' ' || b == '\t'; }

}  // namespace

TextBoxModel::TextBoxModel() : starts_{0}, hard_{0}, widths_(65536, -1) {}

// --- Layout parameters ---

void TextBoxModel::SetMeasure(Measure measure, void* context, int tabWidth) {
    measure_ = measure;
    measureContext_ = context;
    tabWidth_ = std::max(1, tabWidth);
    std::fill(widths_.begin(), widths_.end(), static_cast<std::int16_t>(-1));
    LayoutAll();
}

void TextBoxModel::SetWrapWidth(int pixels) {
    pixels = std::max(1, pixels);
    if (pixels == wrapWidth_) return;
    wrapWidth_ = pixels;
    LayoutAll();
}

// --- Characters ---

std::size_t TextBoxModel::CharLength(std::size_t offset) const {
    if (offset >= text_.size()) return 0;
    if (IsLead(static_cast<unsigned char>(text_[offset])) && offset + 1 < text_.size()) return 2;
    return 1;
}

int TextBoxModel::CachedWidth(unsigned code) const {
    std::int16_t& w = widths_[code & 0xFFFF];
    if (w < 0) {
        int measured = measure_ ? measure_(measureContext_, code) : (code < 0x100 ? 8 : 16);
        w = static_cast<std::int16_t>(std::clamp(measured, 0, 4096));
    }
    return w;
}

int TextBoxModel::Advance(std::size_t offset, int x) const {
    const auto b = static_cast<unsigned char>(text_[offset]);
    if (b == '\t') return tabWidth_ - x % tabWidth_;
    if (!IsLead(b)) return CachedWidth(b);
    const unsigned trail = offset + 1 < text_.size() ? static_cast<unsigned char>(text_[offset + 1]) : 0;
    return CachedWidth((static_cast<unsigned>(b) << 8) | trail);
}

std::size_t TextBoxModel::NextChar(std::size_t offset) const {
    if (offset >= text_.size()) return text_.size();
    if (text_[offset] == '\r' && offset + 1 < text_.size() && text_[offset + 1] == '\n') return offset + 2;
    return offset + CharLength(offset);
}

std::size_t TextBoxModel::PrevChar(std::size_t offset) const {
    offset = std::min(offset, text_.size());
    if (offset == 0) return 0;
    std::size_t line = LineOf(offset);
    if (starts_[line] == offset) {
        if (hard_[line - 1]) return offset - 2;
        --line;
    }
    std::size_t p = starts_[line], last = p;
    while (p < offset) {
        last = p;
        p = NextChar(p);
    }
    return last;
}

std::size_t TextBoxModel::Snap(std::size_t offset) const {
    if (offset >= text_.size()) return text_.size();
    std::size_t p = starts_[LineOf(offset)];
    for (;;) {
        const std::size_t next = NextChar(p);
        if (next > offset) return p;
        p = next;
    }
}

std::size_t TextBoxModel::WordLeft(std::size_t offset) const {
    std::size_t p = Snap(offset);
    if (p == 0) return 0;
    std::size_t q = PrevChar(p);
    if (text_[q] == '\r' && q + 1 < text_.size() && text_[q + 1] == '\n') return q;
    while (p > 0 && IsBlank(static_cast<unsigned char>(text_[q]))) {
        p = q;
        if (p == 0) return 0;
        q = PrevChar(p);
    }
    while (p > 0) {
        q = PrevChar(p);
        const auto b = static_cast<unsigned char>(text_[q]);
        if (IsBlank(b) || (b == '\r' && NextChar(q) == q + 2)) break;
        p = q;
    }
    return p;
}

std::size_t TextBoxModel::WordRight(std::size_t offset) const {
    std::size_t p = Snap(offset);
    const std::size_t n = text_.size();
    if (p >= n) return n;
    if (NextChar(p) == p + 2 && text_[p] == '\r') return p + 2;
    while (p < n && !IsBlank(static_cast<unsigned char>(text_[p])) && !(text_[p] == '\r' && NextChar(p) == p + 2))
        p = NextChar(p);
    while (p < n && IsBlank(static_cast<unsigned char>(text_[p]))) p = NextChar(p);
    return p;
}

void TextBoxModel::WordAt(std::size_t offset, std::size_t& start, std::size_t& end) const {
    std::size_t p = Snap(offset);
    const std::size_t n = text_.size();
    auto isBreak = [&](std::size_t q) { return text_[q] == '\r' && NextChar(q) == q + 2; };
    if (p >= n || isBreak(p)) {
        if (p == 0 || (p < n && p == starts_[LineOf(p)] && p > 0 && isBreak(PrevChar(p)))) {
            start = end = p;
            return;
        }
        const std::size_t at = p;
        p = PrevChar(p);
        if (isBreak(p)) {
            start = end = at;
            return;
        }
    }
    const bool blank = IsBlank(static_cast<unsigned char>(text_[p]));
    auto same = [&](std::size_t q) {
        return !isBreak(q) && IsBlank(static_cast<unsigned char>(text_[q])) == blank;
    };
    start = p;
    while (start > 0) {
        const std::size_t q = PrevChar(start);
        if (!same(q)) break;
        start = q;
    }
    end = p;
    while (end < n && same(end)) end = NextChar(end);
}

std::size_t TextBoxModel::CharIndexOf(std::size_t offset) const {
    offset = std::min(offset, text_.size());
    std::size_t index = 0, p = 0;
    while (p < offset) {
        p += IsLead(static_cast<unsigned char>(text_[p])) ? 2 : 1;
        ++index;
    }
    return index;
}

std::size_t TextBoxModel::OffsetOfCharIndex(std::size_t index) const {
    std::size_t p = 0;
    const std::size_t n = text_.size();
    for (std::size_t i = 0; i < index && p < n; ++i) p += CharLength(p);
    return Snap(p);
}

// --- Lines ---

std::size_t TextBoxModel::LineEnd(std::size_t line) const {
    return line + 1 < starts_.size() ? starts_[line + 1] : text_.size();
}

std::size_t TextBoxModel::LineContentEnd(std::size_t line) const {
    return LineEnd(line) - (hard_[line] ? 2 : 0);
}

std::size_t TextBoxModel::LineOf(std::size_t offset, bool afterWrap) const {
    auto it = std::upper_bound(starts_.begin(), starts_.end(), offset);
    std::size_t line = static_cast<std::size_t>(it - starts_.begin()) - 1;
    if (afterWrap && line > 0 && IsAfterWrap(line - 1, offset)) --line;
    return line;
}

int TextBoxModel::XOf(std::size_t line, std::size_t offset) const {
    const std::size_t end = std::min(offset, LineContentEnd(line));
    int x = 0;
    for (std::size_t p = starts_[line]; p < end; p += CharLength(p)) x += Advance(p, x);
    return x;
}

std::size_t TextBoxModel::OffsetAtX(std::size_t line, int x) const {
    const std::size_t end = LineContentEnd(line);
    int cx = 0;
    for (std::size_t p = starts_[line]; p < end; p += CharLength(p)) {
        const int w = Advance(p, cx);
        if (x < cx + (w + 1) / 2) return p;
        cx += w;
    }
    return end;
}

std::size_t TextBoxModel::WrapLine(std::size_t start, bool& hard) {
    const std::size_t n = text_.size();
    std::size_t p = start, lastBreak = kNone;
    int x = 0;
    hard = false;
    while (p < n) {
        if (text_[p] == '\r' && p + 1 < n && text_[p + 1] == '\n') {
            hard = true;
            return p + 2;
        }
        const std::size_t len = CharLength(p);
        const int w = Advance(p, x);
        if (x + w > wrapWidth_ && p > start) {
            if (IsBlank(static_cast<unsigned char>(text_[p]))) {
                // Blanks hang past the edge at the end of the line.
                while (p < n && IsBlank(static_cast<unsigned char>(text_[p]))) ++p;
                if (p + 1 < n && text_[p] == '\r' && text_[p + 1] == '\n') {
                    hard = true;
                    return p + 2;
                }
                return p;
            }
            return lastBreak != kNone ? lastBreak : p;
        }
        if (len == 2 && p > start) lastBreak = p;
        x += w;
        p += len;
        if (len == 2 || IsBlank(static_cast<unsigned char>(text_[p - 1]))) lastBreak = p;
    }
    return n;
}

void TextBoxModel::LayoutAll() {
    starts_.clear();
    hard_.clear();
    std::size_t p = 0;
    for (;;) {
        starts_.push_back(static_cast<std::uint32_t>(p));
        bool hard = false;
        const std::size_t q = WrapLine(p, hard);
        hard_.push_back(hard);
        if (!hard && q >= text_.size()) break;
        p = q;
    }
}

void TextBoxModel::Relayout(std::size_t from, std::size_t oldTo, std::size_t newTo) {
    // The line before the change may take up the start of the changed line,
    // and the line before that may end where it does only because the first
    // character of the changed line did not fit after it.
    std::size_t first = LineOf(from);
    for (int back = 0; back < 2 && first > 0 && !hard_[first - 1]; ++back) --first;
    const long long delta = static_cast<long long>(newTo) - static_cast<long long>(oldTo);
    const std::size_t oldCount = starts_.size();
    std::vector<std::uint32_t> lines;
    std::vector<std::uint8_t> hard;
    std::size_t p = starts_[first], j = first + 1;
    for (;;) {
        lines.push_back(static_cast<std::uint32_t>(p));
        bool h = false;
        const std::size_t q = WrapLine(p, h);
        hard.push_back(h);
        if (!h && q >= text_.size()) {
            j = oldCount;   // laid out to the end
            break;
        }
        p = q;
        if (p < newTo) continue;
        // Past the change, a line that starts where an old line started
        // (shifted) lays out as it did: the rest stays.
        while (j < oldCount && (starts_[j] < oldTo || static_cast<long long>(starts_[j]) + delta < static_cast<long long>(p)))
            ++j;
        if (j < oldCount && static_cast<long long>(starts_[j]) + delta == static_cast<long long>(p)) break;
    }
    const std::size_t replaced = j - first;
    if (lines.size() == replaced) {
        std::copy(lines.begin(), lines.end(), starts_.begin() + static_cast<std::ptrdiff_t>(first));
        std::copy(hard.begin(), hard.end(), hard_.begin() + static_cast<std::ptrdiff_t>(first));
    } else {
        starts_.erase(starts_.begin() + static_cast<std::ptrdiff_t>(first), starts_.begin() + static_cast<std::ptrdiff_t>(j));
        starts_.insert(starts_.begin() + static_cast<std::ptrdiff_t>(first), lines.begin(), lines.end());
        hard_.erase(hard_.begin() + static_cast<std::ptrdiff_t>(first), hard_.begin() + static_cast<std::ptrdiff_t>(j));
        hard_.insert(hard_.begin() + static_cast<std::ptrdiff_t>(first), hard.begin(), hard.end());
    }
    if (delta != 0)
        for (std::size_t k = first + lines.size(); k < starts_.size(); ++k)
            starts_[k] = static_cast<std::uint32_t>(static_cast<long long>(starts_[k]) + delta);
}

// --- Text ---

void TextBoxModel::SetText(std::string text) {
    text_ = std::move(text);
    anchor_ = caret_ = 0;
    afterWrap_ = false;
    undo_ = {};
    LayoutAll();
}

void TextBoxModel::Splice(std::size_t from, std::size_t to, std::string_view insert) {
    text_.replace(from, to - from, insert);
    Relayout(from, to, from + insert.size());
}

bool TextBoxModel::ReplaceSelection(std::string_view insert, bool canUndo) {
    const std::size_t s = SelectionStart(), e = SelectionEnd();
    if (s == e && insert.empty()) return false;
    std::string removed = text_.substr(s, e - s);
    Splice(s, e, insert);
    if (!canUndo) {
        undo_ = {};
    } else if (undo_.valid && removed.empty() && s == undo_.position + undo_.inserted) {
        undo_.inserted += insert.size();   // typing on
    } else if (undo_.valid && insert.empty() && undo_.inserted == 0 && e == undo_.position) {
        undo_.removed.insert(0, removed);   // backspacing on
        undo_.position = s;
    } else if (undo_.valid && insert.empty() && undo_.inserted == 0 && s == undo_.position) {
        undo_.removed += removed;   // deleting on
    } else {
        undo_ = {true, s, insert.size(), std::move(removed)};
    }
    // A lone lead byte at the very end pairs with what is typed after it.
    anchor_ = caret_ = Snap(s + insert.size());
    afterWrap_ = false;
    return true;
}

bool TextBoxModel::Undo() {
    if (!undo_.valid) return false;
    UndoRecord r = std::move(undo_);
    std::string takenOut = text_.substr(r.position, r.inserted);
    Splice(r.position, r.position + r.inserted, r.removed);
    undo_ = {true, r.position, r.removed.size(), std::move(takenOut)};
    // Snapped: text typed after a lone lead byte starts inside a character.
    anchor_ = Snap(r.position);
    caret_ = Snap(r.position + r.removed.size());
    afterWrap_ = false;
    return true;
}

// --- Selection ---

void TextBoxModel::Select(std::size_t anchor, std::size_t caret, bool afterWrap) {
    anchor_ = Snap(anchor);
    caret_ = Snap(caret);
    const std::size_t line = LineOf(caret_);
    afterWrap_ = afterWrap && line > 0 && IsAfterWrap(line - 1, caret_);
}

}  // namespace yz::ui
