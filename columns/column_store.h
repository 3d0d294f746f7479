// The program's own state: the four columns' current word lists and the
// ticked state of the include boxes of columns 2 to 4, shared with a
// combination run on its worker thread.
//
// The window thread replaces a list whole on every change of a column's text
// and mirrors every change of an include box here. A run reads a column's
// list and tick together through Snapshot(); since a list is never freed while
// a snapshot holds it, a draw never reads a released list, and the inclusion
// test (ticked and at least one member, which is "text not empty") and the
// draw that follows it see the same state. Version() grows with every change,
// so a run can keep its snapshots and reload only when something moved.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "text/word_list.h"

namespace yz {

struct ColumnSnapshot {
    WordListPtr list;      // never null
    bool ticked = false;   // include box; column 1 is always taken
};

class ColumnStore {
public:
    static constexpr int kColumns = 4;

    ColumnStore();

    // Column numbers are 1..4.
    void ReplaceWordList(int column, WordListPtr list);
    void SetTicked(int column, bool ticked);
    ColumnSnapshot Snapshot(int column) const;
    WordListPtr List(int column) const { return Snapshot(column).list; }
    std::uint64_t Version() const { return version_.load(std::memory_order_acquire); }

    // Exit clean-up: releases the lists of columns 4, 3, 1 and 2, in this
    // order. onRelease (tests) is told each column as its list goes.
    void ReleaseAll(const std::function<void(int)>& onRelease = {});

private:
    mutable std::mutex mutex_;
    std::array<WordListPtr, kColumns + 1> lists_;
    std::array<bool, kColumns + 1> ticked_{};
    std::atomic<std::uint64_t> version_{1};
};

// The one instance the program has.
ColumnStore& Columns();

}  // namespace yz
