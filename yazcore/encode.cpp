#include "yazcore/encode.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#include "base/bytes.hpp"

namespace yazcore {
namespace {

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
int hash_bits(std::size_t size) {
  return std::clamp(static_cast<int>(std::bit_width(size)), 8, 16);
}

inline std::uint32_t hash3(const std::uint8_t* p, int bits) {
  return (read3(p) * 2654435761u) >> (32 - bits);
}

// Token sinks: where the parsers put what they choose.

class Yaz0Writer {
 public:
  Yaz0Writer(std::uint32_t size, std::size_t expected) {
    out_.reserve(expected + expected / 8 + kHeaderSize + 8);
    out_.resize(kHeaderSize, 0);
    std::memcpy(out_.data(), kYaz0Signature, 4);
    bytes::store_be32(out_.data() + 4, size);
  }
  void literal(std::uint8_t byte) {
    flag(true);
    out_.push_back(byte);
  }
  void copy(std::size_t length, std::size_t distance) {
    flag(false);
    const std::uint16_t link = link_of(length, distance);
    out_.push_back(static_cast<std::uint8_t>(link >> 8));
    out_.push_back(static_cast<std::uint8_t>(link));
    if (length > kMaxShort) out_.push_back(static_cast<std::uint8_t>(length - kLongBias));
  }
  Bytes finish() { return std::move(out_); }

 private:
  void flag(bool literal) {
    if (count_ % kGroupTokens == 0) {
      flag_at_ = out_.size();
      out_.push_back(0);
    }
    if (literal) out_[flag_at_] |= static_cast<std::uint8_t>(0x80u >> (count_ % kGroupTokens));
    ++count_;
  }
  Bytes out_;
  std::size_t flag_at_ = 0;
  std::size_t count_ = 0;
};

class Yay0Writer {
 public:
  Yay0Writer(std::uint32_t size, std::size_t expected) : size_(size) {
    chunks_.reserve(expected / 2);
    links_.reserve(expected / 4);
  }
  void literal(std::uint8_t byte) {
    flag(true);
    chunks_.push_back(byte);
  }
  void copy(std::size_t length, std::size_t distance) {
    flag(false);
    const std::uint16_t link = link_of(length, distance);
    links_.push_back(static_cast<std::uint8_t>(link >> 8));
    links_.push_back(static_cast<std::uint8_t>(link));
    if (length > kMaxShort) chunks_.push_back(static_cast<std::uint8_t>(length - kLongBias));
  }
  Bytes finish() {
    const std::size_t link_at = kHeaderSize + 4 * masks_.size();
    const std::size_t chunk_at = link_at + links_.size();
    Bytes out(chunk_at + chunks_.size());
    std::memcpy(out.data(), kYay0Signature, 4);
    bytes::store_be32(&out[4], size_);
    bytes::store_be32(&out[8], static_cast<std::uint32_t>(link_at));
    bytes::store_be32(&out[12], static_cast<std::uint32_t>(chunk_at));
    for (std::size_t i = 0; i < masks_.size(); ++i)
      bytes::store_be32(&out[kHeaderSize + 4 * i], masks_[i]);
    std::copy(links_.begin(), links_.end(), out.begin() + static_cast<std::ptrdiff_t>(link_at));
    std::copy(chunks_.begin(), chunks_.end(), out.begin() + static_cast<std::ptrdiff_t>(chunk_at));
    return out;
  }

 private:
  void flag(bool literal) {
    if (count_ % kMaskTokens == 0) masks_.push_back(0);
    if (literal) masks_.back() |= 0x80000000u >> (count_ % kMaskTokens);
    ++count_;
  }
  std::uint32_t size_;
  std::vector<std::uint32_t> masks_;
  Bytes links_;
  Bytes chunks_;
  std::size_t count_ = 0;
};

class TokenList {
 public:
  void literal(std::uint8_t) { tokens_.push_back({}); }
  void copy(std::size_t length, std::size_t distance) {
    tokens_.push_back({static_cast<std::uint16_t>(length), static_cast<std::uint16_t>(distance)});
  }
  std::vector<Token> finish() { return std::move(tokens_); }

 private:
  std::vector<Token> tokens_;
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

// ---- classic mode -------------------------------------------------------------------------------

// The positions of the last 4096 bytes, in hash chains over their first three bytes, each chain
// linked from its oldest position to its newest. A search walks a chain from the farthest back
// and takes only strictly longer matches, so among equal lengths the farthest wins, and it stops
// at the longest length possible: a run of equal bytes ends at its first candidate.
class ChainFinder {
 public:
  explicit ChainFinder(ByteSpan data)
      : data_(data.data()),
        size_(data.size()),
        bits_(hash_bits(data.size())),
        next_(kWindow, kNone),
        oldest_(std::size_t{1} << bits_, kNone),
        newest_(std::size_t{1} << bits_, kNone) {}

  struct Match {
    std::size_t length = 0;  // 0: none
    std::size_t distance = 0;
  };

  // The farthest of the longest matches at `pos` that are longer than `shorter`; positions up to
  // pos - 1 are entered first. Calls come with non-decreasing positions.
  Match search(std::size_t pos, std::size_t shorter) {
    enter_up_to(pos);
    const std::size_t cap = copy_cap(pos, size_);
    if (cap < kMinCopy || shorter >= cap) return {};
    const std::uint8_t* const q = data_ + pos;
    std::size_t best = std::max(shorter, kMinCopy - 1);
    std::uint32_t c = oldest_[hash3(q, bits_)];
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

 private:
  void enter_up_to(std::size_t pos) {
    for (; entered_ < pos; ++entered_) {
      if (entered_ >= kWindow) leave(entered_ - kWindow);
      enter(entered_);
    }
  }
  void enter(std::size_t pos) {
    if (pos + kMinCopy > size_) return;
    const std::uint32_t h = hash3(data_ + pos, bits_);
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
    const std::uint32_t h = hash3(data_ + pos, bits_);
    oldest_[h] = next_[pos & (kWindow - 1)];
    if (oldest_[h] == kNone) newest_[h] = kNone;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  int bits_;
  std::size_t entered_ = 0;
  std::vector<std::uint32_t> next_;  // by position modulo the window
  std::vector<std::uint32_t> oldest_;
  std::vector<std::uint32_t> newest_;
};

template <class Sink>
void parse_classic(ByteSpan data, Sink& sink, const Progress& progress) {
  ChainFinder finder(data);
  Reporter report(progress);
  const std::size_t n = data.size();
  std::size_t pos = 0;
  while (pos < n) {
    report.at(pos);
    const ChainFinder::Match here = finder.search(pos, 0);
    if (here.length == 0) {
      sink.literal(data[pos]);
      ++pos;
      continue;
    }
    // Only a match at least two bytes longer at pos + 1 changes the choice.
    const ChainFinder::Match next = finder.search(pos + 1, here.length + 1);
    if (next.length != 0) {
      sink.literal(data[pos]);
      sink.copy(next.length, next.distance);
      pos += 1 + next.length;
    } else {
      sink.copy(here.length, here.distance);
      pos += here.length;
    }
  }
}

// ---- best mode ----------------------------------------------------------------------------------

// The longest match at every position: its length (0 when shorter than 3) and distance.
struct Longest {
  std::vector<std::uint16_t> length;
  std::vector<std::uint16_t> distance;
};

// The positions of the last 4096 bytes in binary search trees ordered by the bytes that follow
// them (one tree per hash of their first three bytes), each tree with its newest position at the
// root. Entering a position walks down from the root towards it and splits the tree around it;
// the positions that sort next to it, and so the longest match, lie on that path. A position that
// agrees with the new one to the longest length possible is replaced by it: any later match with
// it is one with the newer position too. Exact: nothing is left out of the trees but positions
// that have left the window, and those only ever lie below the ones still in it.
class TreeFinder {
 public:
  explicit TreeFinder(ByteSpan data)
      : data_(data.data()),
        size_(data.size()),
        bits_(hash_bits(data.size())),
        root_(std::size_t{1} << bits_, kNone),
        child_(4 * kWindow, kNone) {}

  // Enters `pos` (positions come in order, none left out) and returns its longest match, given
  // that the position `hint` agrees with it for at least `hint_length` bytes.
  ChainFinder::Match enter(std::size_t pos, std::size_t hint, std::size_t hint_length) {
    const std::size_t cap = copy_cap(pos, size_);
    if (cap < kMinCopy) return {};
    const std::uint8_t* const q = data_ + pos;
    const std::size_t window_start = pos > kWindow ? pos - kWindow : 0;
    const std::uint32_t h = hash3(q, bits_);
    std::uint32_t node = root_[h];
    root_[h] = static_cast<std::uint32_t>(pos);

    std::uint32_t* smaller = &child_[slot(pos)];     // where the next smaller node goes
    std::uint32_t* larger = &child_[slot(pos) + 1];  // where the next larger node goes
    std::size_t smaller_length = 0;  // how far the nodes below agree with the new position on
    std::size_t larger_length = 0;   // each side
    ChainFinder::Match best;
    for (;;) {
      if (node == kNone || node < window_start) {
        *smaller = kNone;
        *larger = kNone;
        break;
      }
      std::uint32_t* const children = &child_[slot(node)];
      std::size_t length = std::min(smaller_length, larger_length);
      if (node == hint) length = std::max(length, hint_length);
      length = match_length(data_ + node, q, length, cap);
      if (length > best.length) best = {length, pos - node};
      if (length == cap) {
        *smaller = children[0];
        *larger = children[1];
        break;
      }
      if (data_[node + length] < q[length]) {
        *smaller = node;
        smaller = &children[1];
        node = children[1];
        smaller_length = length;
      } else {
        *larger = node;
        larger = &children[0];
        node = children[0];
        larger_length = length;
      }
    }
    if (best.length < kMinCopy) best = {};
    return best;
  }

 private:
  // Two children per position; the window and the position entered need 4097 places.
  static std::size_t slot(std::size_t pos) { return 2 * (pos & (2 * kWindow - 1)); }

  const std::uint8_t* data_;
  std::size_t size_;
  int bits_;
  std::vector<std::uint32_t> root_;
  std::vector<std::uint32_t> child_;
};

Longest find_longest(ByteSpan data, const Progress& progress) {
  const std::size_t n = data.size();
  Longest longest;
  longest.length.resize(n);
  longest.distance.resize(n);
  TreeFinder finder(data);
  Reporter report(progress);
  ChainFinder::Match last;
  for (std::size_t pos = 0; pos < n; ++pos) {
    if ((pos & (kProgressStep - 1)) == 0) report.at(pos);
    // The match at pos - 1 goes on at pos from the same distance, one byte shorter.
    const std::size_t hint = last.length > 1 ? pos - last.distance : kNone;
    last = finder.enter(pos, hint, last.length > 1 ? last.length - 1 : 0);
    longest.length[pos] = static_cast<std::uint16_t>(last.length);
    longest.distance[pos] = static_cast<std::uint16_t>(last.distance);
  }
  return longest;
}

// The minima of a window of positions that moves towards the start: positions enter at its low
// end and leave at its high end. Kept as a deque of positions whose costs fall from the low end
// to the high end, in a ring (the window never holds more than 273 positions).
class FallingWindow {
 public:
  static constexpr std::size_t kRing = 512;
  static_assert(kRing > kMaxCopy);

  // Enters `pos` (lower than every position entered before) with its cost.
  void enter(std::size_t pos, std::uint64_t cost, const std::uint64_t* costs) {
    while (low_ != high_ && costs[at(low_) % kRing] >= cost) ++low_;
    positions_[--low_ % kRing] = pos;
  }
  // Drops the positions above `last`.
  void cut(std::size_t last) {
    while (low_ != high_ && at(high_ - 1) > last) --high_;
  }
  bool empty() const { return low_ == high_; }
  // The position of the lowest cost (the highest such position).
  std::size_t best() const { return at(high_ - 1); }

 private:
  std::size_t at(std::size_t i) const { return positions_[i % kRing]; }
  std::size_t positions_[kRing] = {};
  // Indices into the ring, counting down from a start far from 0 so they never wrap.
  std::size_t low_ = std::size_t{1} << 62;
  std::size_t high_ = std::size_t{1} << 62;
};

// Chooses the parse with the fewest bits, from the end of the data to its start: the cost of the
// rest from `pos` is a literal and the rest from pos + 1, or a short copy (3 to 17 bytes) or a
// long copy (18 to the longest match) and the cheapest rest it can reach. Since the longest match
// at pos + 1 is at least the one at pos less a byte, the reachable positions of both kinds of
// copy move only towards the start, and each is the minimum of a sliding window. Replaces
// `longest.length` with the length of the token chosen at each position (0: a literal).
void choose_best(Longest& longest) {
  const std::size_t n = longest.length.size();
  std::vector<std::uint64_t> costs(FallingWindow::kRing);  // the cost of the rest, by position
  auto cost = [&](std::size_t pos) -> std::uint64_t& { return costs[pos % FallingWindow::kRing]; };
  cost(n) = 0;
  FallingWindow shorts;
  FallingWindow longs;
  for (std::size_t pos = n; pos-- > 0;) {
    const std::size_t length = longest.length[pos];
    // The last position each kind of copy reaches (below its first when there is none).
    const std::size_t short_end = pos + std::max(kMinCopy - 1, std::min(length, kMaxShort));
    const std::size_t long_end = pos + std::max(kLongBias - 1, length);
    if (pos + kMinCopy <= short_end) {
      shorts.enter(pos + kMinCopy, cost(pos + kMinCopy), costs.data());
    }
    if (pos + kLongBias <= long_end) {
      longs.enter(pos + kLongBias, cost(pos + kLongBias), costs.data());
    }
    shorts.cut(short_end);
    longs.cut(long_end);

    std::uint64_t best = kLiteralBits + cost(pos + 1);
    std::size_t choice = 0;
    if (!shorts.empty() && kShortBits + cost(shorts.best()) <= best) {
      best = kShortBits + cost(shorts.best());
      choice = shorts.best() - pos;
    }
    if (!longs.empty() && kLongBits + cost(longs.best()) <= best) {
      best = kLongBits + cost(longs.best());
      choice = longs.best() - pos;
    }
    cost(pos) = best;
    longest.length[pos] = static_cast<std::uint16_t>(choice);
  }
}

// The payload bytes and the number of tokens of a parse.
struct ParseSize {
  std::uint64_t payload = 0;
  std::uint64_t tokens = 0;
  void add(std::size_t length) {
    payload += length == 0 ? 1 : length > kMaxShort ? 3 : 2;
    ++tokens;
  }
};

// The size of the parse given as the length of the token at each position where one starts
// (0: a literal), as choose_best leaves it.
ParseSize parse_size(std::span<const std::uint16_t> chosen) {
  ParseSize size;
  for (std::size_t pos = 0; pos < chosen.size(); pos += chosen[pos] == 0 ? 1 : chosen[pos]) {
    size.add(chosen[pos]);
  }
  return size;
}

// The size of classic mode's parse, from the longest match at every position: its choices depend
// on the lengths alone (a match at p, unless the one at p + 1 is at least two bytes longer, which
// then follows a literal).
ParseSize classic_size(std::span<const std::uint16_t> longest) {
  ParseSize size;
  const std::size_t n = longest.size();
  for (std::size_t pos = 0; pos < n;) {
    const std::size_t here = longest[pos];
    const std::size_t next = pos + 1 < n ? longest[pos + 1] : 0;
    if (here == 0) {
      size.add(0);
      ++pos;
    } else if (next >= here + 2) {
      size.add(0);
      size.add(next);
      pos += 1 + next;
    } else {
      size.add(here);
      pos += here;
    }
  }
  return size;
}

std::uint64_t file_size(ParseSize size, Format format) {
  const std::uint64_t flags = format == Format::yaz0
                                  ? (size.tokens + kGroupTokens - 1) / kGroupTokens
                                  : (size.tokens + kMaskTokens - 1) / kMaskTokens * 4;
  return kHeaderSize + size.payload + flags;
}

template <class Sink>
void parse_best(ByteSpan data, Format format, Sink& sink, const Progress& progress) {
  Longest longest = find_longest(data, progress);
  // Yay0 spends its flags in words of 32 tokens, so the fewest bits may be up to 3 bytes more than
  // the fewest bytes: where classic mode's choices (which follow from the same lengths) make a
  // smaller file, they are made instead.
  const std::uint64_t classic =
      format == Format::yay0 ? file_size(classic_size(longest.length), format) : 0;
  choose_best(longest);
  if (format == Format::yay0 && classic < file_size(parse_size(longest.length), format)) {
    parse_classic(data, sink, progress);
    return;
  }
  for (std::size_t pos = 0; pos < data.size();) {
    const std::size_t length = longest.length[pos];
    if (length == 0) {
      sink.literal(data[pos]);
      ++pos;
    } else {
      sink.copy(length, longest.distance[pos]);
      pos += length;
    }
  }
}

template <class Sink>
void parse(ByteSpan data, Format format, Mode mode, Sink& sink, const Progress& progress) {
  if (mode == Mode::best) {
    parse_best(data, format, sink, progress);
  } else {
    parse_classic(data, sink, progress);
  }
}

template <class Sink>
void replay(ByteSpan data, std::span<const Token> tokens, Sink& sink) {
  std::size_t pos = 0;
  for (const Token& t : tokens) {
    if (t.length == 0) {
      sink.literal(data[pos++]);
    } else {
      sink.copy(t.length, t.distance);
      pos += t.length;
    }
  }
}

}  // namespace

std::vector<Token> classic_tokens(ByteSpan data) {
  TokenList list;
  parse_classic(data, list, {});
  return list.finish();
}

std::vector<Token> best_tokens(ByteSpan data, Format format) {
  TokenList list;
  parse_best(data, format, list, {});
  return list.finish();
}

std::uint64_t encoded_size(std::span<const Token> tokens, Format format) {
  ParseSize size;
  for (const Token& t : tokens) size.add(t.length);
  return file_size(size, format);
}

namespace {

// The file of `data` in `format`, its tokens given to the format's writer by `fill(writer)`.
template <class Fill>
Bytes write_as(ByteSpan data, Format format, Fill fill) {
  const auto size = static_cast<std::uint32_t>(data.size());
  if (format == Format::yaz0) {
    Yaz0Writer writer(size, data.size());
    fill(writer);
    return writer.finish();
  }
  Yay0Writer writer(size, data.size());
  fill(writer);
  return writer.finish();
}

}  // namespace

Bytes write_file(ByteSpan data, std::span<const Token> tokens, Format format) {
  return write_as(data, format, [&](auto& writer) { replay(data, tokens, writer); });
}

Bytes encode(ByteSpan data, Format format, Mode mode, const Progress& progress) {
  return write_as(data, format, [&](auto& writer) { parse(data, format, mode, writer, progress); });
}

}  // namespace yazcore
