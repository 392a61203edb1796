// What the encoder's parsers share: reading the data, measuring matches and finding them in the
// window (the classic mode's hash chains). For the encoder's own files only.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
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

// Hash tables grow with the input up to 2^`most` buckets.
inline int hash_bits(std::size_t size, int most = 16) {
  return std::clamp(static_cast<int>(std::bit_width(size)), 8, most);
}

inline std::uint32_t hash3(const std::uint8_t* p, int bits, std::uint32_t factor = 2654435761u) {
  return (read3(p) * factor) >> (32 - bits);
}

// An odd factor for hash3 drawn at random once a run: whatever the data, two kinds of three bytes
// then share a bucket with a chance of about 2 in 2^bits, so no input can be made to fill one
// bucket with strings that never match (which would make every search walk the whole window).
// What a search finds never depends on it.
inline std::uint32_t random_factor() {
  static const std::uint32_t factor = [] {
    std::uint32_t f = 2654435761u;
    try {
      std::random_device device;
      f ^= device();
    } catch (...) {
      // No source of randomness: the fixed factor.
    }
    return f | 1u;
  }();
  return factor;
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

// The positions of the last 4096 bytes, in hash chains over their first three bytes (hashed with
// random_factor), each chain
// linked from its oldest position to its newest. A search walks a chain from the farthest back
// and takes only strictly longer matches, so among equal lengths the farthest wins, and it stops
// at the longest length possible: a run of equal bytes ends at its first candidate.
class ChainFinder {
 public:
  // A search may start at `from` or later: the window before it is entered first.
  explicit ChainFinder(ByteSpan data, std::size_t from = 0)
      : data_(data.data()),
        size_(data.size()),
        // The window's 4096 positions spread thinly over 2^14 buckets, and each thread's tables
        // stay small.
        bits_(hash_bits(data.size(), 14)),
        factor_(random_factor()),
        first_(from > kWindow ? from - kWindow : 0),
        entered_(first_),
        next_(kWindow, kNone),
        oldest_(std::size_t{1} << bits_, kNone),
        newest_(std::size_t{1} << bits_, kNone) {}

  // The farthest of the longest matches at `pos` that are longer than `shorter`; positions up to
  // pos - 1 are entered first. Calls come with non-decreasing positions.
  Match search(std::size_t pos, std::size_t shorter) {
    enter_up_to(pos);
    const std::size_t cap = copy_cap(pos, size_);
    if (cap < kMinCopy || shorter >= cap) return {};
    const std::uint8_t* const q = data_ + pos;
    std::size_t best = std::max(shorter, kMinCopy - 1);
    std::uint32_t c = oldest_[hash3(q, bits_, factor_)];
    if (best < kMinCopy) {
      // The first candidate with the same three bytes is the farthest match of at least 3.
      const std::uint32_t head = read3(q);
      while (c != kNone && read3(data_ + c) != head) c = next_[c & (kWindow - 1)];
      if (c == kNone) return {};
    }
    Match found;
    for (; c != kNone; c = next_[c & (kWindow - 1)]) {
      const std::uint8_t* const s = data_ + c;
      // A longer match must agree on the four bytes that end at the current best length.
      if (best >= kMinCopy && load32(s + best - 3) != load32(q + best - 3)) continue;
      const std::size_t length = match_length(s, q, 0, cap);
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
  void enter_up_to(std::size_t pos) {
    for (; entered_ < pos; ++entered_) {
      if (entered_ >= first_ + kWindow) leave(entered_ - kWindow);
      enter(entered_);
    }
  }
  void enter(std::size_t pos) {
    if (pos + kMinCopy > size_) return;
    const std::uint32_t h = hash3(data_ + pos, bits_, factor_);
    const auto p = static_cast<std::uint32_t>(pos);
    if (newest_[h] == kNone) {
      oldest_[h] = p;
    } else {
      next_[newest_[h] & (kWindow - 1)] = p;
    }
    newest_[h] = p;
    next_[pos & (kWindow - 1)] = kNone;
  }
  // The oldest position of the window leaves it; it is the oldest of its chain.
  void leave(std::size_t pos) {
    if (pos + kMinCopy > size_) return;
    const std::uint32_t h = hash3(data_ + pos, bits_, factor_);
    oldest_[h] = next_[pos & (kWindow - 1)];
    if (oldest_[h] == kNone) newest_[h] = kNone;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  int bits_;
  std::uint32_t factor_;
  std::size_t first_;  // the first position entered
  std::size_t entered_;
  std::vector<std::uint32_t> next_;  // by position modulo the window
  std::vector<std::uint32_t> oldest_;
  std::vector<std::uint32_t> newest_;
};

}  // namespace yazcore::detail
