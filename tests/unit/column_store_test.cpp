// The four columns' lists and ticks, shared with a run on another thread.
#include "columns/column_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace yz {
namespace {

WordListPtr ListOf(const std::string& text) { return std::make_shared<const WordList>(WordListFromText(text)); }

TEST(ColumnStore, StartsEmptyAndUnticked) {
    ColumnStore store;
    for (int c = 1; c <= ColumnStore::kColumns; ++c) {
        const ColumnSnapshot s = store.Snapshot(c);
        ASSERT_NE(s.list, nullptr);
        EXPECT_EQ(s.list->MemberCount(), 0);
        EXPECT_FALSE(s.ticked);
    }
    EXPECT_EQ(&Columns(), &Columns());
    EXPECT_NE(Columns().Snapshot(1).list, nullptr);
}

TEST(ColumnStore, ChangesShowInSnapshotsAndVersion) {
    ColumnStore store;
    std::uint64_t v = store.Version();
    store.ReplaceWordList(2, ListOf("a\r\nb"));
    EXPECT_GT(store.Version(), v);
    v = store.Version();
    store.SetTicked(2, true);
    EXPECT_GT(store.Version(), v);

    const ColumnSnapshot s = store.Snapshot(2);
    EXPECT_EQ(s.list->MemberCount(), 2);
    EXPECT_TRUE(s.ticked);
    EXPECT_EQ(store.List(3)->MemberCount(), 0);  // other columns untouched
    EXPECT_FALSE(store.Snapshot(3).ticked);

    store.ReplaceWordList(2, nullptr);  // never null: reads as the empty list
    EXPECT_EQ(store.List(2)->MemberCount(), 0);
}

TEST(ColumnStore, SnapshotKeepsAReplacedListAlive) {
    ColumnStore store;
    store.ReplaceWordList(1, ListOf("old"));
    const ColumnSnapshot held = store.Snapshot(1);
    store.ReplaceWordList(1, ListOf("new"));
    EXPECT_EQ(held.list->Member(1), "old");
    EXPECT_EQ(store.List(1)->Member(1), "new");
}

TEST(ColumnStore, ReleaseAllGoesInOrder4312) {
    ColumnStore store;
    std::weak_ptr<const WordList> watch[ColumnStore::kColumns + 1];
    for (int c = 1; c <= ColumnStore::kColumns; ++c) {
        WordListPtr list = ListOf("w" + std::to_string(c));
        watch[c] = list;
        store.ReplaceWordList(c, std::move(list));
    }
    std::vector<int> order;
    store.ReleaseAll([&](int column) {
        // This column's list is gone, the ones still to come are not.
        EXPECT_TRUE(watch[column].expired()) << column;
        order.push_back(column);
        for (int later : {4, 3, 1, 2}) {
            if (std::find(order.begin(), order.end(), later) == order.end()) {
                EXPECT_FALSE(watch[later].expired()) << later;
            }
        }
    });
    EXPECT_EQ(order, (std::vector<int>{4, 3, 1, 2}));
    EXPECT_EQ(store.List(1)->MemberCount(), 0);  // a late reader sees the empty list
}

TEST(ColumnStore, ReplacingWhileAnotherThreadDraws) {
    // Every list holds words tagged with its generation; a reader must only
    // ever draw words of the list its snapshot gave, and only of generations
    // already published.
    ColumnStore store;
    std::atomic<int> published{0};
    std::atomic<bool> stop{false};
    auto makeList = [](int gen) {
        std::string text;
        for (int i = 0; i < 1 + gen % 7; ++i) text += "g" + std::to_string(gen) + "_" + std::to_string(i) + "\r\n";
        return ListOf(text);
    };
    store.ReplaceWordList(1, makeList(0));

    std::thread writer([&] {
        for (int gen = 1; gen <= 20000; ++gen) {
            store.ReplaceWordList(1, makeList(gen));
            store.SetTicked(2, gen % 2 == 0);
            published.store(gen, std::memory_order_release);
        }
        stop.store(true);
    });

    Random r(1);
    int failures = 0;
    long draws = 0;
    while (!stop.load() || draws < 1000) {
        const int before = published.load(std::memory_order_acquire);
        const ColumnSnapshot s = store.Snapshot(1);
        const int after = published.load(std::memory_order_acquire);
        const std::string word(DrawMember(*s.list, r));
        ++draws;
        const std::string first(s.list->Member(1));
        const std::string tag = first.substr(0, first.find('_') + 1);
        const int gen = std::stoi(first.substr(1));
        // Current at the snapshot: published no earlier than "before", and at
        // most one ahead of "after" (replaced, not yet published).
        if (word.rfind(tag, 0) != 0 || gen < before || gen > after + 1 || s.list->MemberCount() != 1 + gen % 7) {
            ++failures;
        }
    }
    writer.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(store.List(1)->Member(1), "g20000_0");
}

}  // namespace
}  // namespace yz
