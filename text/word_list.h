// WordList: the words of one column, the column's text cut at CR LF.
//
// A list is immutable once built and is shared between the window thread and
// a combination run through std::shared_ptr<const WordList>: a replacement of
// a column's list never frees a list that a draw still reads.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace yz {

class WordList {
public:
    WordList() = default;

    // One pass over the text; CR LF recognised only at a character start.
    static WordList FromText(std::string_view text);
    // The same list, keeping the given text as its storage instead of a copy:
    // a column of megabytes is split on every keystroke.
    static WordList FromText(std::string&& text);
    static WordList FromText(const char* text) { return FromText(std::string_view(text)); }

    std::int32_t MemberCount() const { return static_cast<std::int32_t>(starts_.size()); }
    // pos is 1-based, 1 <= pos <= MemberCount().
    std::string_view Member(std::int32_t pos) const;

private:
    void Split();

    std::string bytes_;                  // the members' bytes, one after another
    std::vector<std::uint32_t> starts_;  // member i spans [starts_[i], ends_[i])
    std::vector<std::uint32_t> ends_;
};

using WordListPtr = std::shared_ptr<const WordList>;

inline WordList WordListFromText(std::string_view text) { return WordList::FromText(text); }
inline std::int32_t MemberCount(const WordList& list) { return list.MemberCount(); }

// The per-run random generator: 214013 / 2531011, 15 bits out.
class Random {
public:
    explicit Random(std::uint32_t state = 0) : state_(state) {}
    int NextRandom();  // 0..32767
    std::uint32_t State() const { return state_; }
    void SetState(std::uint32_t s) { state_ = s; }

private:
    std::uint32_t state_;
};

// seed = tick + SeedOffset; SeedOffset += (seed & 0xFF) + 100. Process-wide
// offset, safe to call from several threads at once. Gives the seed.
std::uint32_t SeedRandom(Random& random, std::uint32_t tickCount);
// Tests only: puts the process-wide offset back to its start value.
void ResetSeedOffsetForTest(std::uint32_t value = 0);

// Position 1..n of the member drawn (n >= 1). n == 1 takes no number; up to
// 32768 members one NextRandom; beyond that two, so every member can come.
std::int32_t DrawPosition(std::int32_t memberCount, Random& random);

// The member drawn; the list must have at least one member. The view lives as
// long as the list.
std::string_view DrawMember(const WordList& list, Random& random);

}  // namespace yz
