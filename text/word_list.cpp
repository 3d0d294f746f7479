#include "text/word_list.h"

#include "text/text.h"

#include <cstring>
#include <utility>

namespace yz {

WordList WordList::FromText(std::string_view text) {
    WordList list;
    if (text.empty()) return list;
    list.bytes_.assign(text.data(), text.size());
    list.Split();
    return list;
}

WordList WordList::FromText(std::string&& text) {
    WordList list;
    if (text.empty()) return list;
    list.bytes_ = std::move(text);
    list.Split();
    return list;
}

void WordList::Split() {
    // Members point into one copy of the text: the CR LFs stay in the copy but
    // no member spans them. Offsets are 32-bit: a column's text is an edit
    // box's text or a file of less than 2 GB.
    const char* p = bytes_.data();
    const std::size_t n = bytes_.size();
    starts_.reserve(n / 16 + 1);
    ends_.reserve(n / 16 + 1);
    // A CR counts only where a character starts. The byte after any byte
    // below 0x80 starts a character (that byte ended a character either way),
    // so a CR starts one exactly when the run of bytes of 0x80 or above before
    // it, back to the last known start, has even length: they pair up as lead
    // and trail. This lets memchr find the CRs and keeps the walk one pass.
    std::size_t start = 0;  // start of the current piece
    std::size_t known = 0;  // a position known to start a character
    std::size_t i = 0;
    while (i + 1 < n) {
        const void* hit = std::memchr(p + i, '\r', n - 1 - i);
        if (hit == nullptr) break;
        const std::size_t cr = static_cast<std::size_t>(static_cast<const char*>(hit) - p);
        std::size_t j = cr;
        while (j > known && static_cast<unsigned char>(p[j - 1]) >= 0x80) --j;
        const bool atStart = ((cr - j) & 1u) == 0;
        if (atStart && p[cr + 1] == '\n') {
            starts_.push_back(static_cast<std::uint32_t>(start));
            ends_.push_back(static_cast<std::uint32_t>(cr));
            start = cr + 2;
            i = start;
        } else {
            // A CR (below 0x80) ends a character whether lead, trail or alone.
            i = cr + 1;
        }
        known = i;
    }
    if (start < n) {
        starts_.push_back(static_cast<std::uint32_t>(start));
        ends_.push_back(static_cast<std::uint32_t>(n));
    }
}

std::string_view WordList::Member(std::int32_t pos) const {
    if (pos < 1 || pos > MemberCount()) return {};
    const std::size_t k = static_cast<std::size_t>(pos - 1);
    return std::string_view(bytes_.data() + starts_[k], ends_[k] - starts_[k]);
}

int Random::NextRandom() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7FFFu);
}

namespace {
std::atomic<std::uint32_t> g_seedOffset{0};
}  // namespace

std::uint32_t SeedRandom(Random& random, std::uint32_t tickCount) {
    // Compare-exchange so that two runs seeding in the same millisecond on
    // two threads still step the offset one after the other and differ.
    std::uint32_t offset = g_seedOffset.load(std::memory_order_relaxed);
    std::uint32_t seed = 0;
    for (;;) {
        seed = tickCount + offset;
        const std::uint32_t next = offset + (seed & 0xFFu) + 100u;
        if (g_seedOffset.compare_exchange_weak(offset, next, std::memory_order_acq_rel,
                                               std::memory_order_relaxed)) {
            break;
        }
    }
    random.SetState(seed);
    return seed;
}

void ResetSeedOffsetForTest(std::uint32_t value) { g_seedOffset.store(value); }

std::int32_t DrawPosition(std::int32_t memberCount, Random& random) {
    if (memberCount <= 1) return memberCount < 1 ? 0 : 1;
    const std::uint32_t n = static_cast<std::uint32_t>(memberCount);
    if (n <= 32768u) {
        return static_cast<std::int32_t>(1u + static_cast<std::uint32_t>(random.NextRandom()) % n);
    }
    // One output has only 15 bits; two give 30, so every member of a long
    // list can be drawn (the bias of the modulo is below n / 2^30).
    const std::uint32_t a = static_cast<std::uint32_t>(random.NextRandom());
    const std::uint32_t b = static_cast<std::uint32_t>(random.NextRandom());
    return static_cast<std::int32_t>(1u + ((a << 15) | b) % n);
}

std::string_view DrawMember(const WordList& list, Random& random) {
    const std::int32_t n = list.MemberCount();
    if (n < 1) return {};  // nothing to draw; no number is taken
    const std::int32_t pos = DrawPosition(n, random);
    if (pos < 1 || pos > n) return {};
    return list.Member(pos);
}

}  // namespace yz
