// What the BPS maker is built from: reading and comparing bytes, the hash indexes, the nodes of
// its dynamic program and the writer of the chosen actions. For the maker's own file only.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "bpscore/patch.hpp"
#include "bpscore/varint.hpp"
#include "common/memory.hpp"

namespace bpscore::detail {

constexpr std::size_t kHashBytes = 8;
constexpr std::size_t kSourceStep = 4;      // every fourth source position is indexed
constexpr std::size_t kLongStep = 16;       // and every 16th by the 32 bytes there
constexpr std::uint64_t kNice = 256;        // a match this long is taken at once
constexpr std::size_t kSegment = 1u << 15;  // the most positions one parse weighs at a time
constexpr std::size_t kBackLimit = 64;      // how far a match found by hash is followed back
constexpr std::uint64_t kAhead = 8;         // how far ahead the lookups are fetched
constexpr std::uint64_t kMinRun = 32;       // the runs whose ends are indexed
constexpr std::uint64_t kNear = 256;        // how far from the source cursor a long copy is sought
constexpr std::uint64_t kNearTarget = 32;   // and a TargetCopy, from the target cursor
constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
constexpr std::uint64_t kInfinite = ~std::uint64_t{0} >> 2;

inline std::uint64_t load64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

inline void prefetch([[maybe_unused]] const void* p) {
#if defined(__GNUC__) || defined(__clang__)
  __builtin_prefetch(p);
#endif
}

// How many bytes `a` and `b` agree for, up to `limit`.
inline std::uint64_t forward_match(const std::uint8_t* a, const std::uint8_t* b,
                                   std::uint64_t limit) {
  std::uint64_t n = 0;
  for (; n + 8 <= limit; n += 8) {
    const std::uint64_t x = load64(a + n) ^ load64(b + n);
    if (x != 0) {
      if constexpr (std::endian::native == std::endian::little) {
        return n + static_cast<std::uint64_t>(std::countr_zero(x) >> 3);
      } else {
        return n + static_cast<std::uint64_t>(std::countl_zero(x) >> 3);
      }
    }
  }
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

// How many bytes before `a` and `b` agree, up to `limit`.
inline std::uint64_t backward_match(const std::uint8_t* a, const std::uint8_t* b,
                                    std::uint64_t limit) {
  std::uint64_t n = 0;
  for (; n + 8 <= limit; n += 8) {
    const auto back = static_cast<std::ptrdiff_t>(n + 8);
    const std::uint64_t x = load64(a - back) ^ load64(b - back);
    if (x != 0) {
      if constexpr (std::endian::native == std::endian::little) {
        return n + static_cast<std::uint64_t>(std::countl_zero(x) >> 3);
      } else {
        return n + static_cast<std::uint64_t>(std::countr_zero(x) >> 3);
      }
    }
  }
  while (n < limit &&
         a[-1 - static_cast<std::ptrdiff_t>(n)] == b[-1 - static_cast<std::ptrdiff_t>(n)]) {
    ++n;
  }
  return n;
}

// Up to two positions per bucket, found by a hash of the `Words` 8-byte words there, the latest
// first: a later position with the same hash pushes the oldest out. Two ways keep both copies of
// data that the source holds twice, so that the one nearer the cursor can be chosen; one way
// (the second left empty) is quicker to fill, as no bucket is read before it is written.
template <std::size_t Words>
class Index {
 public:
  static constexpr std::size_t kBytes = 8 * Words;
  Index(std::uint64_t positions, int max_bits, bool two_ways = false) : two_ways_(two_ways) {
    bits_ = std::clamp(static_cast<int>(std::bit_width(positions)) - 1, 10, max_bits);
    const std::size_t size = std::size_t{1} << bits_;
    // Looked up at random: huge pages spare most of the misses in the address translation.
    slots_.reset(new std::uint32_t[size]);
    memory::advise_large_block(slots_.get(), size * sizeof(std::uint32_t));
    std::fill(slots_.get(), slots_.get() + size, kEmpty);
  }
  std::size_t ways() const { return two_ways_ ? 2 : 1; }
  // The bucket of the bytes at `p`: ways() positions.
  std::uint32_t* bucket(const std::uint8_t* p) {
    std::uint64_t h = load64(p) * 0x9E3779B97F4A7C15ull;
    for (std::size_t w = 1; w < Words; ++w) h = (h ^ load64(p + 8 * w)) * 0xC2B2AE3D27D4EB4Full;
    if (two_ways_) return &slots_[static_cast<std::size_t>(h >> (64 - bits_ + 1)) * 2];
    return &slots_[static_cast<std::size_t>(h >> (64 - bits_))];
  }
  std::uint32_t& at(const std::uint8_t* p) { return *bucket(p); }
  void put(const std::uint8_t* p, std::uint32_t position) {
    std::uint32_t* b = bucket(p);
    if (two_ways_) b[1] = b[0];
    b[0] = position;
  }

 private:
  bool two_ways_;
  int bits_ = 10;
  std::unique_ptr<std::uint32_t[]> slots_;
};

// Where the cursors stand after an action.
struct Cursors {
  std::uint64_t source = 0;       // the SourceCopy cursor
  std::uint64_t target = 0;       // the TargetCopy cursor
  std::int64_t source_shift = 0;  // source position minus output position of the last SourceCopy
  // Where the last two reads of the source (SourceRead or SourceCopy) that did not go on from the
  // one before ended, the latest first: after bytes inserted into the target, the source goes on
  // there, and after a stretch copied from elsewhere it may go on at the one before.
  std::uint64_t read_end[2] = {0, 0};
};

// The cheapest way found to reach a position with an action boundary there.
struct Node {
  std::uint64_t cost = kInfinite;
  std::uint32_t from = 0;  // where the action that ends here starts, in the segment
  unsigned kind = 0;
  std::uint64_t pos = 0;  // where a copy reads
  Cursors cursors;
};

// The cheapest way found to reach a position inside a TargetRead that goes on.
struct Literal {
  std::uint64_t cost = kInfinite;
  std::uint32_t start = 0;  // where the TargetRead starts, in the segment
};

// A match already offered to the parse: the same copy found again further on is not.
struct Offered {
  unsigned from_target = 2;  // 0 source, 1 target; 2 unused
  std::int64_t shift = 0;
  std::uint64_t end = 0;
  std::uint64_t start_cost = 0;
};

// A match long enough to be taken without weighing it.
struct Taken {
  bool found = false;
  unsigned kind = 0;
  std::size_t start = 0;  // in the segment
  std::uint64_t pos = 0;
  std::uint64_t length = 0;
  std::int64_t score = 0;
};

inline std::size_t delta_size(std::uint64_t to, std::uint64_t cursor) {
  return varint_size(offset_word(static_cast<std::int64_t>(to - cursor)));
}

// Writes the actions of the parse, joining each to the one before when it goes on from it. The
// last SourceRead is held back with what follows it until the next SourceCopy: when that one
// reads far from the source cursor, the SourceRead is written as a SourceCopy instead (the same
// length word, and a delta), so that the cursor stands near and the far delta becomes a short one.
class Writer {
 public:
  Writer(Bytes& out, ByteSpan target) : out_(out), target_(target) {}

  void add(unsigned kind, std::uint64_t at, std::uint64_t length, std::uint64_t pos) {
    if (open_ && kind == open_action_.kind &&
        (kind == source_read || kind == target_read ||
         pos == open_action_.pos + open_action_.length)) {
      open_action_.length += length;
      return;
    }
    close();
    open_ = true;
    open_action_ = Done{kind, at, length, pos};
  }

  // Writes everything added.
  void flush() {
    close();
    write_held();
  }

 private:
  struct Done {
    unsigned kind = 0;
    std::uint64_t at = 0;  // in the target
    std::uint64_t length = 0;
    std::uint64_t pos = 0;  // where a copy reads
  };
  static constexpr std::size_t kMostHeld = 64;

  void close() {
    if (!open_) return;
    open_ = false;
    const Done& a = open_action_;
    if (a.kind == source_read) {
      write_held();
      held_.push_back(a);
    } else if (a.kind == source_copy) {
      if (!held_.empty()) {
        const Done& r = held_.front();
        const std::uint64_t cursor = cursors_.source;
        if (delta_size(r.at, cursor) + delta_size(a.pos, r.at + r.length) <
            delta_size(a.pos, cursor)) {
          held_.front() = Done{source_copy, r.at, r.length, r.at};
        }
        write_held();
      }
      write(a);
    } else if (held_.empty()) {
      write(a);
    } else {
      held_.push_back(a);
      if (held_.size() >= kMostHeld) write_held();
    }
  }

  void write_held() {
    for (const Done& a : held_) write(a);
    held_.clear();
  }

  void write(const Done& a) {
    put_varint(out_, action_word(a.length, a.kind));
    if (a.kind == target_read) {
      const auto* p = target_.data() + a.at;
      out_.insert(out_.end(), p, p + a.length);
    } else if (a.kind != source_read) {
      std::uint64_t& cursor = a.kind == source_copy ? cursors_.source : cursors_.target;
      put_varint(out_, offset_word(static_cast<std::int64_t>(a.pos - cursor)));
      cursor = a.pos + a.length;
    }
  }

  Bytes& out_;
  ByteSpan target_;
  Cursors cursors_;
  bool open_ = false;
  Done open_action_;
  std::vector<Done> held_;
};

}  // namespace bpscore::detail
