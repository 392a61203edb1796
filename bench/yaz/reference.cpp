// A reference Yaz0 encoder in the style of the fastest common compressors: a hash of three bytes,
// head and previous-position chains over the 4096-byte window, newest first, and levels 1 to 9
// that set the chain depth, the length that is good enough and the lazy evaluation as the usual
// deflate level table does. Usage: yaz_reference LEVEL INPUT OUTPUT
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kWindow = 4096;
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 273;
constexpr int kHashBits = 15;
constexpr std::uint32_t kNil = UINT32_MAX;

// good: chains are cut to a quarter once a match this long is in hand; lazy: no lazy search
// beyond this length (levels 1-3: no lazy search at all, and matches up to it are all entered);
// nice: a match this long ends the search; chain: the most candidates looked at.
struct Level {
  std::size_t good, lazy, nice, chain;
  bool lazy_search;
};
constexpr Level kLevels[10] = {{0, 0, 0, 0, false},        {4, 4, 8, 4, false},
                               {4, 5, 16, 8, false},       {4, 6, 32, 32, false},
                               {4, 4, 16, 16, true},       {8, 16, 32, 32, true},
                               {8, 16, 128, 128, true},    {8, 32, 128, 256, true},
                               {32, 128, 273, 1024, true}, {32, 273, 273, 4096, true}};

class Chains {
 public:
  explicit Chains(const Bytes& d)
      : d_(d), head_(std::size_t{1} << kHashBits, kNil), prev_(kWindow) {}
  void insert(std::size_t pos) {
    if (pos + kMinMatch > d_.size()) return;
    const std::uint32_t h = hash(pos);
    prev_[pos % kWindow] = head_[h];
    head_[h] = static_cast<std::uint32_t>(pos);
  }
  // The longest match at pos (at least `have` + 1 long to count), newest candidates first.
  std::size_t longest(std::size_t pos, std::size_t have, const Level& lv, std::size_t& dist) const {
    const std::size_t cap = std::min(kMaxMatch, d_.size() - pos);
    if (cap < kMinMatch) return 0;
    std::size_t chain = have >= lv.good ? lv.chain / 4 : lv.chain;
    std::size_t best = have;
    const std::size_t low = pos > kWindow ? pos - kWindow : 0;
    for (std::uint32_t c = head_[hash(pos)]; c != kNil && c >= low && chain-- > 0;
         c = prev_[c % kWindow]) {
      if (c >= pos) continue;
      std::size_t n = 0;
      while (n < cap && d_[c + n] == d_[pos + n]) ++n;
      if (n > best) {
        best = n;
        dist = pos - c;
        if (n >= lv.nice) break;
      }
      const std::uint32_t older = prev_[c % kWindow];
      if (older != kNil && older >= c) break;  // the slot was reused: the chain ends
    }
    return best > have ? best : 0;
  }

 private:
  std::uint32_t hash(std::size_t p) const {
    const std::uint32_t v = d_[p] | d_[p + 1] << 8 | d_[p + 2] << 16;
    return (v * 2654435761u) >> (32 - kHashBits);
  }
  const Bytes& d_;
  std::vector<std::uint32_t> head_;
  std::vector<std::uint32_t> prev_;
};

class Writer {
 public:
  explicit Writer(std::size_t size) {
    out_ = {'Y',
            'a',
            'z',
            '0',
            static_cast<std::uint8_t>(size >> 24),
            static_cast<std::uint8_t>(size >> 16),
            static_cast<std::uint8_t>(size >> 8),
            static_cast<std::uint8_t>(size),
            0,
            0,
            0,
            0,
            0,
            0,
            0,
            0};
  }
  void literal(std::uint8_t b) {
    flag(true);
    out_.push_back(b);
  }
  void copy(std::size_t len, std::size_t dist) {
    flag(false);
    const std::size_t field = len > 17 ? 0 : len - 2;
    out_.push_back(static_cast<std::uint8_t>(field << 4 | (dist - 1) >> 8));
    out_.push_back(static_cast<std::uint8_t>(dist - 1));
    if (len > 17) out_.push_back(static_cast<std::uint8_t>(len - 18));
  }
  const Bytes& bytes() const { return out_; }

 private:
  void flag(bool lit) {
    if (count_ % 8 == 0) {
      at_ = out_.size();
      out_.push_back(0);
    }
    if (lit) out_[at_] |= static_cast<std::uint8_t>(0x80 >> (count_ % 8));
    ++count_;
  }
  Bytes out_;
  std::size_t at_ = 0, count_ = 0;
};

// Levels 1-3: the match found is taken; short ones have their positions entered.
void encode_fast(const Bytes& d, const Level& lv, Writer& w) {
  Chains chains(d);
  for (std::size_t pos = 0; pos < d.size();) {
    std::size_t dist = 0;
    const std::size_t len = chains.longest(pos, kMinMatch - 1, lv, dist);
    if (len == 0) {
      w.literal(d[pos]);
      chains.insert(pos++);
      continue;
    }
    w.copy(len, dist);
    if (len <= lv.lazy) {
      for (std::size_t i = 0; i < len; ++i) chains.insert(pos + i);
    } else {
      chains.insert(pos);
    }
    pos += len;
  }
}

// Levels 4-9: a match is held back while the next position has a longer one.
void encode_lazy(const Bytes& d, const Level& lv, Writer& w) {
  Chains chains(d);
  std::size_t prev_len = 0, prev_dist = 0;
  bool pending = false;  // a literal at pos - 1 not yet written
  for (std::size_t pos = 0; pos < d.size();) {
    std::size_t dist = 0, len = 0;
    if (prev_len < lv.lazy) len = chains.longest(pos, std::max(prev_len, kMinMatch - 1), lv, dist);
    chains.insert(pos);
    if (prev_len >= kMinMatch && len <= prev_len) {
      w.copy(prev_len, prev_dist);  // the match at pos - 1 stands
      for (std::size_t i = pos + 1; i < pos - 1 + prev_len; ++i) chains.insert(i);
      pos = pos - 1 + prev_len;
      prev_len = 0;
      pending = false;
      continue;
    }
    if (pending) w.literal(d[pos - 1]);
    pending = true;
    prev_len = len;
    prev_dist = dist;
    ++pos;
  }
  if (pending) w.literal(d.back());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: yaz_reference LEVEL INPUT OUTPUT\n", stderr);
    return 1;
  }
  const int level = std::atoi(argv[1]);
  if (level < 1 || level > 9) return 1;
  Bytes data;
  if (std::FILE* f = std::fopen(argv[2], "rb")) {
    std::uint8_t buf[1 << 16];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
      data.insert(data.end(), buf, buf + n);
    std::fclose(f);
  } else {
    return 1;
  }
  Writer w(data.size());
  if (kLevels[level].lazy_search) {
    encode_lazy(data, kLevels[level], w);
  } else {
    encode_fast(data, kLevels[level], w);
  }
  std::FILE* f = std::fopen(argv[3], "wb");
  if (f == nullptr || std::fwrite(w.bytes().data(), 1, w.bytes().size(), f) != w.bytes().size() ||
      std::fclose(f) != 0) {
    return 1;
  }
  return 0;
}
