// ResultLines: the set of the result box's whole lines.
//
// The lines live one after another in an arena of fixed blocks; an
// open-addressing table of (hash, place) finds them. Nothing is allocated per
// line, so millions of lines cost the blocks and one growing table.
#include <algorithm>
#include <cstring>
#include <unordered_set>
#include <vector>

#include "generator/combination_run.h"
#include "text/text.h"

namespace yz {

namespace {

std::uint64_t Load64(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::uint64_t Mix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    h ^= h >> 33;
    return h;
}

// Eight bytes a step; only the table's own consistency depends on it.
std::uint32_t HashBytes(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    std::size_t n = s.size();
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ (static_cast<std::uint64_t>(n) * 0xC2B2AE3D27D4EB4Full);
    while (n >= 8) {
        h = (h ^ Load64(p)) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 29;
        p += 8;
        n -= 8;
    }
    if (n > 0) {
        std::uint64_t v = 0;
        std::memcpy(&v, p, n);
        h = (h ^ v) * 0x9E3779B97F4A7C15ull;
    }
    return static_cast<std::uint32_t>(Mix(h));
}

}  // namespace

struct ResultLines::Impl {
    // A slot names a line by its hash and where it lies in the arena; 0 is
    // the free slot. Eight bytes a slot keep the table small for the cache.
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t ref = 0;
    };
    // The arena: blocks of 1 MB, each line stored as its 32-bit length and its
    // bytes, never across blocks. A ref is block number * 1 MB + offset, so
    // blocks are never moved (no big copies, no demand for one huge piece of
    // address space in a 32-bit process).
    static constexpr std::uint32_t kBlockBits = 20;
    static constexpr std::uint32_t kBlock = 1u << kBlockBits;
    static constexpr std::size_t kMaxBlocks = 4096;  // refs stay below 4 GB

    std::vector<std::unique_ptr<char[]>> blocks;
    std::vector<std::uint32_t> ends;  // bytes used in each block
    std::uint32_t used = 0;    // bytes used in the last block
    std::vector<Slot> slots;   // power-of-two size, or empty
    std::size_t count = 0;     // distinct complete lines in the table
    // Lines too long for a block, or beyond 4 GB of arena: rare, kept plainly.
    std::unordered_set<std::string> overflow;
    std::vector<const std::string*> overflowOrder;  // elements never move

    // The piece after the last cut, not yet ended by CR LF, and where the cut
    // walk stands in it: the next byte is a trail byte, or the last byte is a
    // CR at a character start that an LF would turn into a cut.
    std::string tail;
    bool afterLead = false;
    bool pendingCr = false;
    std::uint64_t generation = 0;  // grows with every Reset

    void Clear() {
        ++generation;
        blocks.clear();
        ends.clear();
        used = 0;
        std::vector<Slot>().swap(slots);
        count = 0;
        overflow.clear();
        overflowOrder.clear();
        tail.clear();
        afterLead = false;
        pendingCr = false;
    }

    const char* At(std::uint32_t ref) const {
        return blocks[ref >> kBlockBits].get() + (ref & (kBlock - 1));
    }

    bool Equal(std::uint32_t ref, std::string_view line) const {
        const char* p = At(ref);
        std::uint32_t length;
        std::memcpy(&length, p, sizeof length);
        return length == line.size() && std::memcmp(p + sizeof length, line.data(), line.size()) == 0;
    }

    bool Find(std::string_view line, std::uint32_t hash) const {
        if (!overflow.empty() && overflow.count(std::string(line)) != 0) return true;
        if (slots.empty()) return false;
        const std::size_t mask = slots.size() - 1;
        for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
            const Slot& s = slots[i];
            if (s.ref == 0) return false;
            if (s.hash == hash && Equal(s.ref, line)) return true;
        }
    }

    // Starts fetching the stored line that the hash's first slot names.
    void PrefetchLine(std::uint32_t hash) const {
        if (slots.empty()) return;
        const Slot& s = slots[hash & (slots.size() - 1)];
        if (s.ref != 0 && s.hash == hash) {
#if defined(__GNUC__) || defined(__clang__)
            __builtin_prefetch(At(s.ref));
#endif
        }
    }

    void Grow() {
        const std::size_t size = slots.empty() ? 1024 : slots.size() * 2;
        std::vector<Slot> old(size);
        old.swap(slots);
        const std::size_t mask = slots.size() - 1;
        for (const Slot& s : old) {
            if (s.ref == 0) continue;
            std::size_t i = s.hash & mask;
            while (slots[i].ref != 0) i = (i + 1) & mask;
            slots[i] = s;
        }
    }

    // The ref of a new copy of the line in the arena, or 0 when it does not fit.
    std::uint32_t Store(std::string_view line) {
        const std::size_t need = sizeof(std::uint32_t) + line.size();
        if (need > kBlock) return 0;
        if (blocks.empty() || used + need > kBlock) {
            if (blocks.size() >= kMaxBlocks) return 0;
            blocks.push_back(std::unique_ptr<char[]>(new char[kBlock]));
            ends.push_back(0);
            // Ref 0 marks the free slot: the first block starts at 4.
            used = blocks.size() == 1 ? 4 : 0;
            if (used + need > kBlock) return 0;
        }
        const std::uint32_t ref = static_cast<std::uint32_t>((blocks.size() - 1) << kBlockBits) | used;
        char* p = blocks.back().get() + used;
        const std::uint32_t length = static_cast<std::uint32_t>(line.size());
        std::memcpy(p, &length, sizeof length);
        if (!line.empty()) std::memcpy(p + sizeof length, line.data(), line.size());
        used += static_cast<std::uint32_t>(need);
        ends.back() = used;
        return ref;
    }

    void Insert(std::string_view line, std::uint32_t hash) {
        const std::uint32_t ref = Store(line);
        if (ref == 0) {
            const auto placed = overflow.emplace(line);
            if (placed.second) overflowOrder.push_back(&*placed.first);
            return;
        }
        if ((count + 1) * 4 > slots.size() * 3) Grow();
        const std::size_t mask = slots.size() - 1;
        std::size_t i = hash & mask;
        while (slots[i].ref != 0) i = (i + 1) & mask;
        slots[i].hash = hash;
        slots[i].ref = ref;
        ++count;
    }

    // Calls f(ref, line) for every line stored from (block, offset) on.
    template <typename F>
    void ForEachStored(std::size_t block, std::uint32_t offset, F f) const {
        for (std::size_t b = block; b < blocks.size(); ++b) {
            std::uint32_t o = b == block ? offset : 0;
            if (b == 0 && o < 4) o = 4;
            while (o < ends[b]) {
                const char* p = blocks[b].get() + o;
                std::uint32_t length;
                std::memcpy(&length, p, sizeof length);
                f(static_cast<std::uint32_t>(b << kBlockBits) | o, std::string_view(p + sizeof length, length));
                o += static_cast<std::uint32_t>(sizeof length) + length;
            }
        }
    }

    Checkpoint Save() const {
        Checkpoint c;
        c.blocks = blocks.size();
        c.used = used;
        c.slots = slots.size();
        c.overflow = overflowOrder.size();
        c.tail = tail;
        c.afterLead = afterLead;
        c.pendingCr = pendingCr;
        c.generation = generation;
        return c;
    }

    void Rollback(const Checkpoint& c) {
        if (c.generation != generation) return;  // a Reset came in between
        const std::size_t from = c.blocks == 0 ? 0 : c.blocks - 1;
        const std::uint32_t offset = c.blocks == 0 ? 0 : c.used;
        if (slots.size() == c.slots) {
            // Taking the newest lines out newest first leaves the table as it
            // was before they came: each sits at the end of its probe run.
            std::vector<std::uint32_t> refs;
            ForEachStored(from, offset, [&](std::uint32_t ref, std::string_view) { refs.push_back(ref); });
            const std::size_t mask = slots.size() - 1;
            for (auto it = refs.rbegin(); it != refs.rend(); ++it) {
                const char* p = At(*it);
                std::uint32_t length;
                std::memcpy(&length, p, sizeof length);
                std::size_t i = HashBytes(std::string_view(p + sizeof length, length)) & mask;
                while (slots[i].ref != *it) i = (i + 1) & mask;
                slots[i] = Slot{};
                --count;
            }
            Truncate(c);
        } else {
            // The table grew since: build it again from what stays.
            Truncate(c);
            std::fill(slots.begin(), slots.end(), Slot{});
            count = 0;
            const std::size_t mask = slots.size() - 1;
            ForEachStored(0, 0, [&](std::uint32_t ref, std::string_view line) {
                const std::uint32_t hash = HashBytes(line);
                std::size_t i = hash & mask;
                while (slots[i].ref != 0) i = (i + 1) & mask;
                slots[i] = Slot{hash, ref};
                ++count;
            });
        }
        while (overflowOrder.size() > c.overflow) {
            overflow.erase(*overflowOrder.back());
            overflowOrder.pop_back();
        }
        tail = c.tail;
        afterLead = c.afterLead;
        pendingCr = c.pendingCr;
    }

    void Truncate(const Checkpoint& c) {
        blocks.resize(c.blocks);
        ends.resize(c.blocks);
        used = c.used;
        if (!ends.empty()) ends.back() = used;
    }

    // A complete line; kept once.
    void AddComplete(std::string_view line) {
        const std::uint32_t hash = HashBytes(line);
        if (!Find(line, hash)) Insert(line, hash);
    }

    // Walks more of the box's text on from where the walk stands, cutting at
    // CR LF at character starts.
    void Feed(std::string_view bytes) {
        const std::size_t n = bytes.size();
        if (n == 0) return;
        std::size_t i = 0;
        if (afterLead) {
            tail.push_back(bytes[0]);
            i = 1;
        } else if (pendingCr && bytes[0] == '\n') {
            tail.pop_back();  // the CR
            AddComplete(tail);
            tail.clear();
            i = 1;
        }
        afterLead = false;
        pendingCr = false;
        std::size_t start = i;
        while (i < n) {
            const unsigned char b = static_cast<unsigned char>(bytes[i]);
            if (b == '\r') {
                if (i + 1 < n && bytes[i + 1] == '\n') {
                    const std::string_view piece = bytes.substr(start, i - start);
                    if (tail.empty()) {
                        AddComplete(piece);
                    } else {
                        tail.append(piece);
                        AddComplete(tail);
                        tail.clear();
                    }
                    i += 2;
                    start = i;
                    continue;
                }
                if (i + 1 == n) pendingCr = true;
            }
            i += IsLeadByte(b) ? 2 : 1;
        }
        afterLead = (i > n);  // the text ends inside a character
        tail.append(bytes.substr(start));
    }

    bool Contains(std::string_view line) const {
        if (!tail.empty() && line == std::string_view(tail)) return true;
        return Find(line, HashBytes(line));
    }

    // True when line followed by CR LF is one whole line by itself: nothing
    // pending, no CR in it, and it does not end inside a character.
    bool Standalone(std::string_view line) const {
        if (!tail.empty() || afterLead || pendingCr) return false;
        std::size_t i = 0;
        const std::size_t n = line.size();
        while (i < n) {
            const unsigned char b = static_cast<unsigned char>(line[i]);
            if (b == '\r') return false;
            i += IsLeadByte(b) ? 2 : 1;
        }
        return i == n;
    }

    void Append(std::string_view line) {
        if (Standalone(line)) {
            AddComplete(line);
            return;
        }
        Feed(line);
        Feed(std::string_view("\r\n", 2));
    }

    // Contains and Append in one, hashing the line once in the common case.
    bool AppendIfAbsent(std::string_view line, std::uint32_t hash) {
        if (Standalone(line)) {
            if (Find(line, hash)) return false;
            Insert(line, hash);
            return true;
        }
        if (Contains(line)) return false;
        Feed(line);
        Feed(std::string_view("\r\n", 2));
        return true;
    }
};

ResultLines::ResultLines() : impl_(std::make_unique<Impl>()) {}
ResultLines::~ResultLines() = default;

void ResultLines::Reset(std::string_view boxText) {
    impl_->Clear();
    impl_->Feed(boxText);
}

bool ResultLines::Contains(std::string_view line) const { return impl_->Contains(line); }

void ResultLines::Append(std::string_view line) { impl_->Append(line); }

bool ResultLines::AppendIfAbsent(std::string_view line) { return impl_->AppendIfAbsent(line, HashBytes(line)); }

std::uint32_t ResultLines::Hash(std::string_view line) { return HashBytes(line); }

void ResultLines::Prefetch(std::uint32_t hash) const {
    const Impl& d = *impl_;
    if (d.slots.empty()) return;
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(&d.slots[hash & (d.slots.size() - 1)]);
#endif
}

void ResultLines::PrefetchLine(std::uint32_t hash) const { impl_->PrefetchLine(hash); }

ResultLines::Checkpoint ResultLines::Save() const { return impl_->Save(); }

void ResultLines::Rollback(const Checkpoint& checkpoint) { impl_->Rollback(checkpoint); }

bool ResultLines::AppendIfAbsent(std::string_view line, std::uint32_t hash) {
    return impl_->AppendIfAbsent(line, hash);
}

std::size_t ResultLines::LineCount() const {
    const Impl& d = *impl_;
    std::size_t n = d.count + d.overflow.size();
    if (!d.tail.empty() && !d.Find(d.tail, HashBytes(d.tail))) ++n;
    return n;
}

}  // namespace yz
