// Word lists: the split at CR LF, the generator, seeding and the draw.
#include "text/word_list.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace yz {
namespace {

std::vector<std::string> Members(const WordList& list) {
    std::vector<std::string> out;
    for (std::int32_t i = 1; i <= list.MemberCount(); ++i) out.emplace_back(list.Member(i));
    return out;
}

TEST(WordListFromText, CutsAtCrLfOnly) {
    using V = std::vector<std::string>;
    const struct {
        std::string text;
        V members;
    } cases[] = {
        {"", {}},
        {"abc", {"abc"}},
        {"a\r\nb", {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"\r\n", {""}},
        {"\r\na", {"", "a"}},
        {"a\r\n\r\n", {"a", ""}},
        {" a \r\nb", {" a ", "b"}},
        {"a\nb", {"a\nb"}},
        {"a\r\r\nb", {"a\r", "b"}},
        {"\r", {"\r"}},
        {"\n", {"\n"}},
        {"\n\r", {"\n\r"}},
        {"个\r\n词", {"个", "词"}},
        // A lead byte before CR LF takes the CR as its trail: no cut there.
        {"a\x81\r\nb", {"a\x81\r\nb"}},
        {"a\x81\r\n\r\nb", {"a\x81\r\n", "b"}},
        // Runs of bytes of 0x80 or above pair up from the last one-byte character.
        {"\x81\x82\r\nb", {"\x81\x82", "b"}},
        {"\x81\x82\x83\r\nb", {"\x81\x82\x83\r\nb"}},
        {"\x81" "a\x82\r\nb", {"\x81" "a\x82\r\nb"}},        // 81 61 is one character
        {"\x81" "a" "a\x82\r\nb", {"\x81" "aa\x82\r\nb"}},
        {"\x81\r\r\nb", {"\x81\r", "b"}},                     // CR as a trail, then a real CR LF
        {"\x81\r\n\x82\r\n", {"\x81\r\n\x82\r\n"}},
        {"ab\x81", {"ab\x81"}},           // lead byte at the very end stays in the member
        {"a\r\n\x81", {"a", "\x81"}},
        {std::string("a\0b\r\nc", 6), {std::string("a\0b", 3), "c"}},
    };
    for (const auto& c : cases) {
        const WordList list = WordListFromText(c.text);
        EXPECT_EQ(Members(list), c.members) << testing::PrintToString(c.text);
        EXPECT_EQ(MemberCount(list), static_cast<std::int32_t>(c.members.size()));
        // The list that takes the text over cuts the same, also when the
        // string's buffer is larger than its text (as a converted text, sized
        // for the worst case, is).
        std::string owned = c.text;
        owned.reserve(owned.size() * 2 + 64);
        const WordList taken = WordList::FromText(std::move(owned));
        EXPECT_EQ(Members(taken), c.members) << testing::PrintToString(c.text);
    }
}

TEST(WordListFromText, MemberOutsideTheListIsEmpty) {
    const WordList list = WordListFromText("a\r\nb");
    EXPECT_EQ(list.Member(0), "");
    EXPECT_EQ(list.Member(3), "");
    EXPECT_EQ(WordList().MemberCount(), 0);
}

TEST(WordListFromText, LongTextsGiveAListAndACount) {
    // One 10 MB line, and many lines of GBK words.
    const std::string oneLine(10u << 20, 'x');
    const WordList a = WordListFromText(oneLine);
    ASSERT_EQ(a.MemberCount(), 1);
    EXPECT_EQ(a.Member(1).size(), oneLine.size());

    std::string many;
    for (int i = 0; i < 100000; ++i) many += "词语" + std::to_string(i) + "\r\n";
    const WordList b = WordListFromText(many);
    ASSERT_EQ(b.MemberCount(), 100000);
    EXPECT_EQ(b.Member(1), "词语0");
    EXPECT_EQ(b.Member(100000), "词语99999");
}

TEST(Random, KnownSequenceAndDrawPositions) {
    Random r(1);
    for (int expected : {41, 18467, 6334, 26500, 19169}) EXPECT_EQ(r.NextRandom(), expected);

    Random d(1);
    const WordList three = WordListFromText("a\r\nb\r\nc");
    std::vector<std::int32_t> positions;
    for (int i = 0; i < 5; ++i) positions.push_back(DrawPosition(MemberCount(three), d));
    EXPECT_EQ(positions, (std::vector<std::int32_t>{3, 3, 2, 2, 3}));

    Random m(1);
    std::string drawn;
    for (int i = 0; i < 5; ++i) drawn += DrawMember(three, m);
    EXPECT_EQ(drawn, "ccbbc");
}

TEST(Random, SameSeedSamePositions) {
    const WordList list = WordListFromText("1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7");
    Random a(12345), b(12345);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(DrawMember(list, a), DrawMember(list, b));
}

TEST(SeedRandom, OffsetGrowsSoSameTickGivesNewSeed) {
    ResetSeedOffsetForTest();
    Random r;
    EXPECT_EQ(SeedRandom(r, 1000), 1000u);  // first seeding: the tick alone
    EXPECT_EQ(r.State(), 1000u);
    EXPECT_EQ(SeedRandom(r, 1000), 1332u);  // offset 332 = (1000 & 0xFF) + 100 + 0
    EXPECT_EQ(r.State(), 1332u);
    // offset is now 484: the next seed shows it
    EXPECT_EQ(SeedRandom(r, 1000), 1484u);

    ResetSeedOffsetForTest(0xFFFFFFF0u);    // the sum wraps around
    EXPECT_EQ(SeedRandom(r, 0x20), 0x10u);
    ResetSeedOffsetForTest();
}

TEST(SeedRandom, ThreadsSeedingAtOnceGetDifferentSeeds) {
    ResetSeedOffsetForTest();
    constexpr int kThreads = 4, kEach = 2000;
    std::vector<std::vector<std::uint32_t>> seeds(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&seeds, t] {
            Random r;
            for (int i = 0; i < kEach; ++i) seeds[t].push_back(SeedRandom(r, 5000));
        });
    }
    for (auto& t : threads) t.join();
    std::set<std::uint32_t> all;
    for (const auto& s : seeds) all.insert(s.begin(), s.end());
    // The offset only grows (by 100 to 355) and stays far below 2^32 here, so
    // every seeding of the same tick gets its own seed.
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kEach));
    ResetSeedOffsetForTest();
}

// A generator whose next output is v: the state before is found by running
// the step backwards (214013 is odd, so it has an inverse modulo 2^32).
Random YieldingNext(std::uint32_t v) {
    std::uint32_t inverse = 214013u;  // Newton: x = x * (2 - a * x) doubles the good bits
    for (int i = 0; i < 5; ++i) inverse *= 2u - 214013u * inverse;
    const std::uint32_t after = v << 16;
    return Random((after - 2531011u) * inverse);
}

TEST(DrawPosition, SmallListsOverEveryOutputValue) {
    // Each output 0..32767 once: the counts are the chances of each position.
    const struct {
        std::int32_t n;
        std::vector<int> counts;
    } cases[] = {
        {2, {16384, 16384}},
        {3, {10923, 10923, 10922}},
        {10, {3277, 3277, 3277, 3277, 3277, 3277, 3277, 3277, 3276, 3276}},
    };
    for (const auto& c : cases) {
        std::vector<int> counts(static_cast<std::size_t>(c.n), 0);
        for (std::uint32_t v = 0; v < 32768u; ++v) {
            Random r = YieldingNext(v);
            const std::int32_t pos = DrawPosition(c.n, r);
            ASSERT_GE(pos, 1);
            ASSERT_LE(pos, c.n);
            ++counts[static_cast<std::size_t>(pos - 1)];
        }
        EXPECT_EQ(counts, c.counts) << "n = " << c.n;
    }
    // 32768 members: every output picks its own member, the last one included.
    Random top = YieldingNext(32767);
    EXPECT_EQ(DrawPosition(32768, top), 32768);
}

TEST(DrawPosition, NumbersTakenFromTheGenerator) {
    const struct {
        std::int32_t n;
        int taken;
    } cases[] = {{1, 0}, {2, 1}, {32768, 1}, {32769, 2}, {40000, 2}, {INT32_MAX, 2}};
    for (const auto& c : cases) {
        Random drawn(77), reference(77);
        DrawPosition(c.n, drawn);
        for (int i = 0; i < c.taken; ++i) reference.NextRandom();
        EXPECT_EQ(drawn.State(), reference.State()) << "n = " << c.n;
    }
    // A one-member list never moves the generator: the other columns' draws
    // stay as if it were not drawn from.
    const WordList one = WordListFromText("only\r\n");
    Random r(9);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(DrawMember(one, r), "only");
    EXPECT_EQ(r.State(), 9u);
}

TEST(DrawMember, LongListReachesEveryPart) {
    std::string text;
    for (int i = 1; i <= 40000; ++i) text += std::to_string(i) + "\r\n";
    const WordList list = WordListFromText(text);
    ASSERT_EQ(list.MemberCount(), 40000);

    Random r(2024);
    bool lastDrawn = false;
    int beyond = 0;
    constexpr int kDraws = 4000000;
    for (int i = 0; i < kDraws && !lastDrawn; ++i) {
        const std::string word(DrawMember(list, r));
        const int pos = std::stoi(word);
        ASSERT_GE(pos, 1);
        ASSERT_LE(pos, 40000);
        if (pos > 32768) ++beyond;
        if (word == "40000") lastDrawn = true;
    }
    EXPECT_TRUE(lastDrawn);
    EXPECT_GT(beyond, 0);

    // Members beyond 32768 take roughly their share (7232 of 40000).
    Random s(7);
    int high = 0;
    constexpr int kSample = 200000;
    for (int i = 0; i < kSample; ++i) high += DrawPosition(40000, s) > 32768 ? 1 : 0;
    EXPECT_NEAR(static_cast<double>(high) / kSample, 7232.0 / 40000.0, 0.01);

    // The drawn member is the one at the drawn position.
    Random a(5), b(5);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(DrawMember(list, a), std::to_string(DrawPosition(40000, b)));
}

TEST(DrawMember, EmptyListGivesEmptyAndTakesNoNumber) {
    const WordList empty = WordListFromText("");
    Random r(3);
    EXPECT_EQ(DrawMember(empty, r), "");
    EXPECT_EQ(r.State(), 3u);
}

TEST(DrawMember, EmptyMembersAreDrawnAsEmpty) {
    const WordList list = WordListFromText("\r\n\r\n");  // two empty members
    ASSERT_EQ(list.MemberCount(), 2);
    Random r(1);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(DrawMember(list, r), "");
}

}  // namespace
}  // namespace yz
