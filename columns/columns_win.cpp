// Column change handling and the clear buttons: each column's word list and
// count label follow its edit box's text.
#include <memory>
#include <string>

#include "app/handlers.h"
#include "columns/column_store.h"
#include "text/text.h"
#include "text/word_list.h"
#include "ui/runtime.h"

namespace yz {

void RefreshColumn(int column) {
    if (column < 1 || column > ColumnStore::kColumns) return;
    // Typing one character into a column of megabytes reads and splits the
    // whole text again: one copy out of the box, which the new list keeps.
    std::string text;
    ui::ReadText(ui::kColumnEdit[column], text);
    const bool empty = text.empty();
    auto list = std::make_shared<const WordList>(WordList::FromText(std::move(text)));
    const std::int32_t count = list->MemberCount();
    Columns().ReplaceWordList(column, std::move(list));
    ui::SetCaption(ui::kColumnLabel[column], JoinTexts({IntegerToText(count), "个"}));
    // Emptiness is a property of the text, not of the count: "\r\n" has one
    // (empty) member and keeps its tick.
    if (column >= 2 && empty) ui::SetChecked(ui::kColumnCheck[column], false);
}

void ClearColumn(int column) {
    if (column < 1 || column > ColumnStore::kColumns) return;
    ui::SetText(ui::kColumnEdit[column], "");
}

namespace {

// Runs keep reading ticks from the column store, never from the window.
void MirrorIncludeBox(std::string_view control, bool checked) {
    for (int c = 2; c <= ColumnStore::kColumns; ++c)
        if (control == ui::kColumnCheck[c]) Columns().SetTicked(c, checked);
}

}  // namespace

void WatchIncludeBoxes() {
    ui::SetCheckObserver(MirrorIncludeBox);
    for (int c = 2; c <= ColumnStore::kColumns; ++c) Columns().SetTicked(c, ui::GetChecked(ui::kColumnCheck[c]));
}

}  // namespace yz
