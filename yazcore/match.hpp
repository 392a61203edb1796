// What the encoder's parsers share: reading the data, measuring matches and finding them in the
// window (the classic mode's hash chains). For the encoder's own files only.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "yazcore/encode.hpp"

namespace yazcore::detail {

constexpr std::uint32_t kNone = UINT32_MAX;
// Progress is reported after about this many input bytes.
constexpr std::size_t kProgressStep = std::size_t{1} << 20;

inline std::uint64_t load64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  std::memcpy(&v, p, 8);
  return v;
}

inline std::uint32_t load32(const std::uint8_t* p) {
  std::uint32_t v = 0;
  std::memcpy(&v, p, 4);
  return v;
}

inline std::uint32_t read3(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16;
}

// How far `a` and `b` agree, from `from` on (they agree before it), `cap` at most. Reads nothing
// at or past a[cap] and b[cap].
inline std::size_t match_length(const std::uint8_t* a, const std::uint8_t* b, std::size_t from,
                                std::size_t cap) {
  std::size_t n = from;
  while (n + 8 <= cap) {
    const std::uint64_t diff = load64(a + n) ^ load64(b + n);
    if (diff != 0) {
      if constexpr (std::endian::native == std::endian::little) {
        return n + static_cast<std::size_t>(std::countr_zero(diff)) / 8;
      } else {
        return n + static_cast<std::size_t>(std::countl_zero(diff)) / 8;
      }
    }
    n += 8;
  }
  while (n < cap && a[n] == b[n]) ++n;
  return n;
}

// The longest copy possible at `pos`.
inline std::size_t copy_cap(std::size_t pos, std::size_t size) {
  return std::min(kMaxCopy, size - pos);
}

// Hash tables grow with the input up to 2^16 buckets.
inline int hash_bits(std::size_t size) {
  return std::clamp(static_cast<int>(std::bit_width(size)), 8, 16);
}

inline std::uint32_t hash3(const std::uint8_t* p, int bits) {
  return (read3(p) * 2654435761u) >> (32 - bits);
}

// A match found in the window.
struct Match {
  std::size_t length = 0;  // 0: none
  std::size_t distance = 0;
};

// Reports progress every kProgressStep bytes or so.
class Reporter {
 public:
  explicit Reporter(const Progress& progress) : progress_(progress) {}
  void at(std::size_t done) {
    if (done >= next_ && progress_) {
      progress_(done);
      next_ = done + kProgressStep;
    }
  }

 private:
  const Progress& progress_;
  std::size_t next_ = kProgressStep;
};

// The positions of the last 4096 bytes, in chains of the positions that start with the same three
// bytes, each chain linked from its oldest position to its newest. A search walks a chain from the
// farthest back and takes only strictly longer matches, so among equal lengths the farthest wins,
// and it stops at the longest length possible: a run of equal bytes ends at its first candidate.
// The chains are found by their first two bytes, then the third, so no two kinds of string ever
// share one (a shared chain lets data made for it make every search walk the whole window): the
// two-byte table points to a block of 256 chains, one in use for each two bytes that begin a
// position of the window, at most 4096 of them.
class ChainFinder {
 public:
  // A search may start at `from` or later: the window before it is entered first.
  explicit ChainFinder(ByteSpan data, std::size_t from = 0)
      : data_(data.data()),
        size_(data.size()),
        first_(from > kWindow ? from - kWindow : 0),
        entered_(first_),
        left_(first_),
        next_(kWindow, kNone),
        block_of_(std::size_t{1} << 16, kNoBlock),
        uses_(std::size_t{1} << 16, 0) {}

  // The farthest of the longest matches at `pos` that are longer than `shorter`; positions up to
  // pos - 1 are entered first. Calls come with non-decreasing positions.
  Match search(std::size_t pos, std::size_t shorter) {
    enter_up_to(pos);
    const std::size_t cap = copy_cap(pos, size_);
    if (cap < kMinCopy || shorter >= cap) return {};
    const std::uint8_t* const q = data_ + pos;
    const Chain* chain = find(q);
    if (chain == nullptr || !live(chain->newest, q)) return {};
    std::size_t best = std::max(shorter, kMinCopy - 1);
    Match found;
    for (std::uint32_t c = chain->oldest; c != kNone; c = next_[c & (kWindow - 1)]) {
      const std::uint8_t* const s = data_ + c;
      // A longer match must agree on the four bytes that end at the current best length.
      if (best >= kMinCopy && load32(s + best - 3) != load32(q + best - 3)) continue;
      const std::size_t length = match_length(s, q, kMinCopy, cap);
      if (length > best) {
        best = length;
        found = {length, pos - c};
        if (length == cap) break;
      }
    }
    return found;
  }
  // The positions before this one are in the window.
  std::size_t entered() const { return entered_; }

 private:
  struct Chain {
    std::uint32_t oldest;
    std::uint32_t newest;
  };
  static constexpr std::uint32_t kNoBlock = UINT32_MAX;
  static constexpr std::size_t kBlock = 256;

  static std::size_t pair_of(const std::uint8_t* p) { return p[0] | std::size_t{p[1]} << 8; }
  Chain* find(const std::uint8_t* p) {
    const std::uint32_t block = block_of_[pair_of(p)];
    return block == kNoBlock ? nullptr : &chains_[block * kBlock + p[2]];
  }
  // Whether `newest` (from a chain, which may be left over from an earlier use of its block) is
  // a position of the window that starts with the bytes at `p`: then its chain is the one in use.
  bool live(std::uint32_t newest, const std::uint8_t* p) const {
    return newest != kNone && newest >= left_ && newest < entered_ &&
           read3(data_ + newest) == read3(p);
  }

  void enter_up_to(std::size_t pos) {
    for (; entered_ < pos; ++entered_) {
      if (entered_ >= first_ + kWindow) leave(entered_ - kWindow);
      enter(entered_);
    }
  }
  void enter(std::size_t pos) {
    if (pos + kMinCopy > size_) return;
    const std::uint8_t* const p = data_ + pos;
    const std::size_t pair = pair_of(p);
    if (uses_[pair]++ == 0) block_of_[pair] = take_block();
    Chain& chain = chains_[block_of_[pair] * kBlock + p[2]];
    const auto at = static_cast<std::uint32_t>(pos);
    if (live(chain.newest, p)) {
      next_[chain.newest & (kWindow - 1)] = at;
    } else {
      chain.oldest = at;
    }
    chain.newest = at;
    next_[pos & (kWindow - 1)] = kNone;
  }
  // The oldest position of the window leaves it; it is the oldest of its chain.
  void leave(std::size_t pos) {
    left_ = pos + 1;
    if (pos + kMinCopy > size_) return;
    const std::size_t pair = pair_of(data_ + pos);
    find(data_ + pos)->oldest = next_[pos & (kWindow - 1)];
    if (--uses_[pair] == 0) {
      free_.push_back(block_of_[pair]);
      block_of_[pair] = kNoBlock;
    }
  }
  std::uint32_t take_block() {
    if (free_.empty()) {
      free_.push_back(static_cast<std::uint32_t>(chains_.size() / kBlock));
      chains_.resize(chains_.size() + kBlock, Chain{kNone, kNone});
    }
    const std::uint32_t block = free_.back();
    free_.pop_back();
    return block;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t first_;  // the first position entered
  std::size_t entered_;
  std::size_t left_;  // the positions before this one have left the window
  std::vector<std::uint32_t> next_;      // by position modulo the window
  std::vector<std::uint32_t> block_of_;  // by the first two bytes
  std::vector<std::uint16_t> uses_;      // the window's positions that start with them
  std::vector<Chain> chains_;            // blocks of 256, by the third byte
  std::vector<std::uint32_t> free_;
};

}  // namespace yazcore::detail
