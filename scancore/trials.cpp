#include "scancore/trials.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <optional>

#include "base/bytes.hpp"
#include "yazcore/format.hpp"

namespace scancore::trials {
namespace {

using yazcore::kHeaderSize;

// The most bytes a Yaz0 flag group spans: its flag byte and eight long copies.
constexpr std::size_t kLongestGroup = 1 + 3 * yazcore::kGroupTokens;
// Group starts a few groups ahead, by position: more slots than a group spans.
constexpr std::size_t kRing = 32;
static_assert(kRing > kLongestGroup && kRing == 32);

// A Yaz0 copy: its distance and length.
struct Copy {
  std::size_t distance;
  std::size_t length;
};

// The Yaz0 copy whose link is at `ip`, which moves past it (and a long copy's length byte);
// nullopt when the image ends first.
std::optional<Copy> read_copy(const std::uint8_t* f, std::size_t n, std::size_t& ip) {
  if (n - ip < 2) return std::nullopt;
  const unsigned link = unsigned{f[ip]} << 8 | f[ip + 1];
  std::size_t len = link >> yazcore::kLengthShift;
  if (len == 0) {
    if (n - ip < 3) return std::nullopt;
    len = std::size_t{f[ip + 2]} + yazcore::kLongBias;
    ip += 3;
  } else {
    len += yazcore::kShortBias;
    ip += 2;
  }
  return Copy{(link & yazcore::kDistanceMask) + 1, len};
}

// Leftist min-heaps of trials by a signed key, where a number can be added to all the keys of a
// heap at once: melding two and taking the least cost O(log n), adding a new least O(1).
class Heaps {
 public:
  using Id = std::int32_t;
  static constexpr Id kEmpty = -1;

  Id make(std::int64_t key, std::uint32_t trial) {
    nodes_.push_back({key, 0, kEmpty, kEmpty, 1, trial});
    return static_cast<Id>(nodes_.size() - 1);
  }
  Id meld(Id a, Id b) {
    if (a == kEmpty) return b;
    if (b == kEmpty) return a;
    if (nodes_[b].key < nodes_[a].key) std::swap(a, b);
    push(a);
    const Id right = meld(nodes_[a].right, b);
    Node& x = nodes_[a];
    x.right = right;
    if (rank(x.left) < rank(x.right)) std::swap(x.left, x.right);
    x.rank = rank(x.right) + 1;
    return a;
  }
  void add(Id h, std::int64_t d) {
    if (h == kEmpty) return;
    nodes_[h].key += d;
    nodes_[h].tag += d;
  }
  std::int64_t key(Id h) const { return nodes_[h].key; }
  std::uint32_t trial(Id h) const { return nodes_[h].trial; }
  Id pop(Id h) {
    push(h);
    return meld(nodes_[h].left, nodes_[h].right);
  }

 private:
  struct Node {
    std::int64_t key;
    std::int64_t tag;  // added to the keys below, not yet to theirs
    Id left, right;
    std::int32_t rank;  // the length of the rightmost path
    std::uint32_t trial;
  };
  std::int32_t rank(Id h) const { return h == kEmpty ? 0 : nodes_[h].rank; }
  void push(Id h) {
    Node& x = nodes_[h];
    if (x.tag == 0) return;
    add(x.left, x.tag);
    add(x.right, x.tag);
    x.tag = 0;
  }
  std::vector<Node> nodes_;
};

// The `out` of a cohort at which a trial's size is reached.
struct Ending {
  std::int64_t out;
  std::uint32_t trial;
};
struct Later {
  bool operator()(const Ending& a, const Ending& b) const { return a.out > b.out; }
};

// Trials that stand at the same flag group's start. A trial's bytes made are its base plus
// `out`, the bytes the cohort made since it formed; its size is reached when `out` is its size
// less its base.
struct Cohort {
  std::int64_t out = 0;
  std::vector<Ending> by_end;         // a binary heap, the least first
  Heaps::Id by_base = Heaps::kEmpty;  // each trial's base (0 or less)
  std::size_t live = 0;               // trials not yet done or failed

  void add_ending(Ending e) {
    by_end.push_back(e);
    std::push_heap(by_end.begin(), by_end.end(), Later{});
  }
  // The trial whose size is reached first, taken out when that is at `to` or before.
  std::optional<Ending> ending_by(std::int64_t to) {
    if (by_end.empty() || by_end.front().out > to) return std::nullopt;
    std::pop_heap(by_end.begin(), by_end.end(), Later{});
    const Ending e = by_end.back();
    by_end.pop_back();
    return e;
  }
};

// The merged Yaz0 trials: group starts in increasing order, each decoded once for the cohort that
// stands there (cohorts that reach the same start merge).
class Sweep {
 public:
  Sweep(ByteSpan image, std::span<const std::uint32_t> offsets)
      : image_(image), offsets_(offsets), ends_(offsets.size(), 0), over_(offsets.size(), false) {}

  std::vector<std::uint32_t> run() {
    std::array<Cohort, kRing> ring{};
    std::uint32_t occupied = 0;  // a bit per slot that holds a cohort
    std::size_t last = 0, next = 0;
    const auto bit = [](std::size_t pos) { return std::uint32_t{1} << (pos % kRing); };
    for (;;) {
      std::size_t x = next < offsets_.size() ? offsets_[next] + kHeaderSize : SIZE_MAX;
      if (occupied != 0) {  // the cohorts stand in the slots after the last start
        const int ahead =
            std::countr_zero(std::rotr(occupied, static_cast<int>((last + 1) % kRing)));
        x = std::min(x, last + 1 + static_cast<std::size_t>(ahead));
      }
      if (x == SIZE_MAX) break;
      last = x;
      Cohort& here = ring[x % kRing];
      occupied |= bit(x);
      while (next < offsets_.size() && offsets_[next] + kHeaderSize == x) join(here, next++);
      const std::optional<std::size_t> to = group(here, x);
      Cohort moved = std::move(here);
      here = Cohort{};
      occupied &= ~bit(x);
      if (!to) continue;
      if (occupied & bit(*to)) {
        absorb(ring[*to % kRing], moved);
      } else {
        ring[*to % kRing] = std::move(moved);
        occupied |= bit(*to);
      }
    }
    return std::move(ends_);
  }

 private:
  void join(Cohort& c, std::size_t trial) {
    const std::uint32_t size = bytes::load_be32(image_.data() + offsets_[trial] + 4);
    const auto t = static_cast<std::uint32_t>(trial);
    c.add_ending({size + c.out, t});
    c.by_base = heaps_.meld(c.by_base, heaps_.make(-c.out, t));
    ++c.live;
  }

  // Takes the trials of `from` (which stands where `into` stands) into `into`, the fewer endings
  // into the more.
  void absorb(Cohort& into, Cohort& from) {
    if (into.by_end.size() < from.by_end.size()) std::swap(into, from);
    const std::int64_t shift = from.out - into.out;
    for (const Ending& e : from.by_end) into.add_ending({e.out - shift, e.trial});
    heaps_.add(from.by_base, shift);
    into.by_base = heaps_.meld(into.by_base, from.by_base);
    into.live += from.live;
  }

  void settle(Cohort& c, std::uint32_t trial, std::size_t end) {
    if (over_[trial]) return;
    over_[trial] = true;
    ends_[trial] = static_cast<std::uint32_t>(end);
    --c.live;
  }

  // A token took `out` to `to`, ending at `end`: the trials whose size it reaches are done, those
  // whose size it passes fail.
  void reach(Cohort& c, std::int64_t to, std::size_t end) {
    while (const auto e = c.ending_by(to)) settle(c, e->trial, e->out == to ? end : 0);
  }

  // A copy from `distance` back: the trials that have made fewer bytes fail.
  void reach_back(Cohort& c, std::size_t distance) {
    const std::int64_t below = static_cast<std::int64_t>(distance) - c.out;
    while (c.by_base != Heaps::kEmpty && heaps_.key(c.by_base) < below) {
      const std::uint32_t trial = heaps_.trial(c.by_base);
      c.by_base = heaps_.pop(c.by_base);
      settle(c, trial, 0);
    }
  }

  // The flag group at `x` for the cohort there: the next group's start, nullopt when no trial
  // goes on (the trials still going then read past the image and fail).
  std::optional<std::size_t> group(Cohort& c, std::size_t x) {
    const std::uint8_t* const f = image_.data();
    const std::size_t n = image_.size();
    unsigned flags = f[x];
    std::size_t ip = x + 1;
    if (flags == 0xFF) {  // eight literals: a trial that ends among them needs its bytes alone
      while (const auto e = c.ending_by(c.out + 8)) {
        const auto take = static_cast<std::size_t>(e->out - c.out);
        settle(c, e->trial, take <= n - ip ? ip + take : 0);
      }
      if (c.live == 0 || n - ip <= 8) return std::nullopt;
      c.out += 8;
      return ip + 8;
    }
    for (int i = 0; i < yazcore::kGroupTokens && c.live > 0; ++i, flags <<= 1) {
      if (flags & 0x80) {
        if (ip >= n) return std::nullopt;
        ++ip;
        reach(c, c.out + 1, ip);
        c.out += 1;
        continue;
      }
      const auto copy = read_copy(f, n, ip);
      if (!copy) return std::nullopt;
      reach_back(c, copy->distance);
      const auto len = static_cast<std::int64_t>(copy->length);
      reach(c, c.out + len, ip);
      c.out += len;
    }
    if (c.live == 0 || ip >= n) return std::nullopt;
    return ip;
  }

  ByteSpan image_;
  std::span<const std::uint32_t> offsets_;
  std::vector<std::uint32_t> ends_;
  std::vector<bool> over_;  // done or failed
  Heaps heaps_;
};

template <bool kMio0>
Outcome run_tables_of(ByteSpan image, TableTrial& t, std::uint64_t& steps) {
  const std::uint8_t* const f = image.data();
  const std::size_t n = image.size();
  const std::size_t at = t.at;
  const std::uint32_t size = bytes::load_be32(f + at + 4);
  const std::size_t link = bytes::load_be32(f + at + 8);
  const std::size_t chunk = bytes::load_be32(f + at + 12);
  if (link < kHeaderSize || chunk < link || chunk > n - at) return {};
  const std::size_t mask_end = at + link;
  const std::size_t link_end = at + chunk;
  std::size_t mp = t.mask_at, lp = t.link_at, cp = t.chunk_at;
  std::uint64_t op = t.made;
  std::uint32_t mask = t.mask;
  unsigned left = t.left;
  const auto end = [&] { return Outcome{Verdict::done, std::max(cp, lp)}; };
  for (;;) {
    if (steps == 0) {
      t.mask_at = static_cast<std::uint32_t>(mp);
      t.link_at = static_cast<std::uint32_t>(lp);
      t.chunk_at = static_cast<std::uint32_t>(cp);
      t.made = static_cast<std::uint32_t>(op);
      t.mask = mask;
      t.left = static_cast<std::uint8_t>(left);
      return {Verdict::paused};
    }
    --steps;
    if (left == 0) {
      if (mask_end - mp < 4) return {};
      mask = bytes::load_be32(f + mp);
      mp += 4;
      if (mask == 0xFFFFFFFFu) {  // 32 literals
        const std::uint64_t take = std::min<std::uint64_t>(32, size - op);
        if (n - cp < take) return {};
        cp += take;
        op += take;
        if (op == size) return end();
        continue;
      }
      left = yazcore::kMaskTokens;
    }
    --left;
    const bool literal = mask & 0x80000000u;
    mask <<= 1;
    if (literal) {
      if (cp >= n) return {};
      ++cp;
      ++op;
    } else {
      if (link_end - lp < 2) return {};
      const unsigned word = unsigned{f[lp]} << 8 | f[lp + 1];
      lp += 2;
      const std::size_t dist = (word & yazcore::kDistanceMask) + 1;
      std::size_t len = word >> yazcore::kLengthShift;
      if constexpr (kMio0) {
        len += yazcore::kMio0Bias;
      } else if (len == 0) {
        if (cp >= n) return {};
        len = std::size_t{f[cp++]} + yazcore::kLongBias;
      } else {
        len += yazcore::kShortBias;
      }
      if (dist > op || len > size - op) return {};
      op += len;
    }
    if (op == size) return end();
  }
}

}  // namespace

Outcome yaz0(ByteSpan image, std::size_t at, std::uint32_t size, std::size_t groups) {
  const std::uint8_t* const f = image.data();
  const std::size_t n = image.size();
  std::size_t ip = at + kHeaderSize;
  std::uint64_t op = 0;
  for (; groups > 0; --groups) {
    if (ip >= n) return {};
    unsigned flags = f[ip++];
    if (flags == 0xFF) {  // eight literals
      const std::uint64_t take = std::min<std::uint64_t>(8, size - op);
      if (n - ip < take) return {};
      ip += take;
      op += take;
      if (op == size) return {Verdict::done, ip};
      continue;
    }
    for (int i = 0; i < yazcore::kGroupTokens; ++i, flags <<= 1) {
      if (flags & 0x80) {
        if (ip >= n) return {};
        ++ip;
        ++op;
      } else {
        const auto copy = read_copy(f, n, ip);
        if (!copy || copy->distance > op || copy->length > size - op) return {};
        op += copy->length;
      }
      if (op == size) return {Verdict::done, ip};
    }
  }
  return {Verdict::paused};
}

std::vector<std::uint32_t> yaz0_merged(ByteSpan image, std::span<const std::uint32_t> offsets) {
  return Sweep(image, offsets).run();
}

TableTrial start_tables(ByteSpan image, std::size_t at, bool mio0) {
  TableTrial t;
  t.at = static_cast<std::uint32_t>(at);
  t.mask_at = static_cast<std::uint32_t>(at + kHeaderSize);
  t.link_at = static_cast<std::uint32_t>(at + bytes::load_be32(image.data() + at + 8));
  t.chunk_at = static_cast<std::uint32_t>(at + bytes::load_be32(image.data() + at + 12));
  t.mio0 = mio0;
  return t;
}

Outcome run_tables(ByteSpan image, TableTrial& t, std::uint64_t& steps) {
  return t.mio0 ? run_tables_of<true>(image, t, steps) : run_tables_of<false>(image, t, steps);
}

}  // namespace scancore::trials
