#include "columns/column_store.h"

namespace yz {

namespace {
const WordListPtr& EmptyList() {
    static const WordListPtr empty = std::make_shared<const WordList>();
    return empty;
}

bool ValidColumn(int column) { return column >= 1 && column <= ColumnStore::kColumns; }
}  // namespace

ColumnStore::ColumnStore() {
    for (auto& list : lists_) list = EmptyList();
}

void ColumnStore::ReplaceWordList(int column, WordListPtr list) {
    if (!ValidColumn(column)) return;
    if (!list) list = EmptyList();
    WordListPtr old;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        old = std::move(lists_[column]);
        lists_[column] = std::move(list);
        version_.fetch_add(1, std::memory_order_acq_rel);
    }
    // The old list goes here, outside the lock, unless a snapshot still holds it.
}

void ColumnStore::SetTicked(int column, bool ticked) {
    if (!ValidColumn(column)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    ticked_[column] = ticked;
    version_.fetch_add(1, std::memory_order_acq_rel);
}

ColumnSnapshot ColumnStore::Snapshot(int column) const {
    if (!ValidColumn(column)) return ColumnSnapshot{EmptyList(), false};
    std::lock_guard<std::mutex> lock(mutex_);
    ColumnSnapshot s{lists_[column], ticked_[column]};
    if (!s.list) s.list = EmptyList();  // released at exit: reads as empty
    return s;
}

void ColumnStore::ReleaseAll(const std::function<void(int)>& onRelease) {
    static constexpr int kOrder[kColumns] = {4, 3, 1, 2};
    for (int column : kOrder) {
        WordListPtr old;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            old = std::move(lists_[column]);
            lists_[column].reset();
            version_.fetch_add(1, std::memory_order_acq_rel);
        }
        old.reset();
        if (onRelease) onRelease(column);
    }
}

ColumnStore& Columns() {
    static ColumnStore store;
    return store;
}

}  // namespace yz
