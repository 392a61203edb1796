// The BPS maker: a cost-driven parse of the target over copies from the source and from the
// target itself.
//
// Candidates at each output position: a SourceRead (the source at the same offset), a SourceCopy
// that goes on with the shift of the last one, the SourceCopy that a hash of the next 8 bytes
// finds among every fourth source position, TargetCopies one and four bytes back (runs of bytes
// and of words), the one that goes on where the last ended, those that read a few bytes either
// side of the target cursor (a one-byte delta), and the one a hash of the output so far finds.
// Each action's price is its encoded size (the length word and the cursor delta, which
// depends on where the cursors stand on the cheapest path so far), and a forward dynamic program
// chooses the cheapest parse between the places where a match of kNice bytes or more is simply
// taken, once the other copies that could take its place have been weighed against it (see
// reconsider). Inside such long matches nothing is looked up, which keeps a patch between two
// similar files quick to make; matches that a candidate has already offered are not offered
// again, so the work stays linear in the target also on runs of one byte and repeating patterns.
#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

#include "base/bytes.hpp"
#include "base/crc32.hpp"
#include "bpscore/make_parts.hpp"
#include "bpscore/patch.hpp"
#include "bpscore/varint.hpp"

namespace bpscore {
namespace {

using namespace detail;

using SourceIndex = Index<1>;
using LongIndex = Index<4>;

// A small source (a ROM of a few MiB) gets roomier indexes: two ways in buckets for twice its
// sampled positions, and the 32-byte index at every fourth position rather than every 16th, so
// that the copy of a common string that goes on is found near where it starts. Its patches also
// weigh the TargetCopies near the target cursor (a few bytes saved per patch, for some time).
constexpr std::uint64_t kRoomy = std::uint64_t{8} << 20;

class Maker {
 public:
  Maker(ByteSpan source, ByteSpan target, Bytes& out)
      : src_(source.data()),
        tgt_(target.data()),
        source_size_(source.size()),
        target_size_(target.size()),
        indexed_(source.size() < kEmpty && target.size() < kEmpty),
        sources_(indexed_ ? source.size() / kSourceStep * (source.size() < kRoomy ? 2 : 1) : 0, 23,
                 source.size() < kRoomy),
        long_step_(source.size() < kRoomy ? kSourceStep : kLongStep),
        near_targets_(source.size() < kRoomy),
        long_sources_(indexed_ ? source.size() / long_step_ : 0, 22),
        targets_(indexed_ ? target.size() / kSourceStep : 0, 22),
        run_ends_(indexed_ ? source.size() / 256 : 0, 20, true),
        writer_(out, target),
        nodes_(static_cast<std::size_t>(std::min<std::uint64_t>(target.size(), kSegment)) + kNice +
               2),
        literals_(nodes_.size()) {
    if (indexed_ && source_size_ >= kHashBytes) index_source();
    if (indexed_ && source_size_ >= LongIndex::kBytes) {
      for (std::uint64_t r = 0; r + LongIndex::kBytes <= source_size_; r += long_step_) {
        long_sources_.put(src_ + r, static_cast<std::uint32_t>(r));
      }
    }
  }

  // Indexes every fourth source position, and where the runs of one byte value (32 bytes or
  // more) end, by the 8 bytes there.
  void index_source() {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    // With two ways, each bucket is read before it is written: the buckets some way ahead are
    // fetched early, so the misses overlap.
    constexpr std::uint64_t kEarly = 32 * kSourceStep;
    std::uint64_t run_start = 0;  // where the run of 8-byte blocks that ends at r started
    for (std::uint64_t r = 0; r + kHashBytes <= source_size_; r += kSourceStep) {
      if (sources_.ways() == 2 && r + kEarly + kHashBytes <= source_size_) {
        prefetch(sources_.bucket(src_ + r + kEarly));
      }
      sources_.put(src_ + r, static_cast<std::uint32_t>(r));
      const std::uint64_t w = load64(src_ + r);
      const bool run = w == (w & 0xFF) * kOnes;
      if (!run) run_start = r + kSourceStep;
      if (!run ||
          (r + kSourceStep + kHashBytes <= source_size_ && load64(src_ + r + kSourceStep) == w)) {
        continue;
      }
      std::uint64_t end = r + kHashBytes;
      while (end < source_size_ && src_[end] == src_[r]) ++end;
      if (end - run_start >= kMinRun && end + kHashBytes <= source_size_) {
        run_ends_.put(src_ + end, static_cast<std::uint32_t>(end));
      }
    }
  }

  void run() {
    Cursors cursors;
    std::uint64_t base = 0;
    while (base < target_size_) base = segment(base, cursors);
    writer_.flush();
  }

 private:
  // Parses from `base` until a long match is taken, the segment is full or the target ends;
  // writes what was chosen and returns where the next segment starts.
  std::uint64_t segment(std::uint64_t base, Cursors& cursors) {
    base_ = base;
    ready_ = 0;
    prepare(0);
    nodes_[0].cost = 0;
    nodes_[0].cursors = cursors;
    for (Offered& o : offered_) o.from_target = 2;
    offered_end_ = 0;
    // The last positions of a long match were not indexed: a repeat of the bytes across its end
    // (into the new bytes after it) is found so.
    if (indexed_) {
      for (std::uint64_t q = base - std::min<std::uint64_t>(base, kBackLimit / 4);
           q < base && q + kHashBytes <= target_size_; ++q) {
        targets_.at(tgt_ + q) = static_cast<std::uint32_t>(q);
      }
    }
    for (std::size_t i = 0;; ++i) {
      const std::uint64_t p = base + i;
      prepare(i + 1);
      if (literals_[i].cost < nodes_[i].cost) {
        Node& n = nodes_[i];
        n.cost = literals_[i].cost;
        n.from = literals_[i].start;
        n.kind = target_read;
        n.cursors = nodes_[literals_[i].start].cursors;
      }
      if (p == target_size_ || i == kSegment) {
        commit(i);
        cursors = nodes_[i].cursors;
        return p;
      }
      taken_ = Taken{};
      offer_candidates(i, p);
      if (taken_.found) {
        reconsider(i, p);
        quiet_ = 0;
        commit(taken_.start);
        const Taken t = taken_;
        Node after = next_node(t.start, t.kind, t.pos, t.length);
        writer_.add(t.kind, base + t.start, t.length, t.pos);
        cursors = after.cursors;
        return base + t.start + t.length;
      }
      relax_literal(i);
    }
  }

  // Makes the entries up to `i` fresh for this segment.
  void prepare(std::size_t i) {
    for (; ready_ <= i; ++ready_) {
      nodes_[ready_] = Node{};
      literals_[ready_] = Literal{};
    }
  }

  void relax_literal(std::size_t i) {
    const Node& a = nodes_[i];
    const Literal& l = literals_[i];
    std::uint64_t cost = a.cost + 2;
    std::uint32_t start = static_cast<std::uint32_t>(i);
    if (l.cost < kInfinite) {
      const std::uint64_t run = i - l.start;
      const std::uint64_t longer = l.cost + 1 + varint_size(action_word(run + 1, target_read)) -
                                   varint_size(action_word(run, target_read));
      if (longer <= cost) {
        cost = longer;
        start = l.start;
      }
    }
    Literal& next = literals_[i + 1];
    if (cost < next.cost) next = Literal{cost, start};
  }

  // The node an action from segment position `start` leads to (its cost left out).
  Node next_node(std::size_t start, unsigned kind, std::uint64_t pos, std::uint64_t length) const {
    Node n;
    n.from = static_cast<std::uint32_t>(start);
    n.kind = kind;
    n.pos = pos;
    n.cursors = nodes_[start].cursors;
    if (kind == source_copy) {
      n.cursors.source = pos + length;
      n.cursors.source_shift = static_cast<std::int64_t>(pos - (base_ + start));
    } else if (kind == target_copy) {
      n.cursors.target = pos + length;
    }
    if (kind == source_read || kind == source_copy) {
      std::uint64_t* ends = n.cursors.read_end;
      if (ends[0] != pos) ends[1] = ends[0];
      ends[0] = pos + length;
    }
    return n;
  }

  bool already_offered(unsigned from_target, std::int64_t shift, std::uint64_t p,
                       std::uint64_t cost) const {
    for (const Offered& o : offered_) {
      if (o.from_target == from_target && o.shift == shift && p < o.end && cost >= o.start_cost) {
        return true;
      }
    }
    return false;
  }

  // Weighs a copy of `length` bytes that starts at segment position `start` (at most `now`) and
  // reads at `pos`: every end past `now` gets its price, or, when it is long, it is noted to be
  // taken.
  void offer(std::size_t now, unsigned kind, std::size_t start, std::uint64_t pos,
             std::uint64_t length) {
    const Node& from = nodes_[start];
    std::size_t extra = 0;
    if (kind == source_copy) extra = delta_size(pos, from.cursors.source);
    if (kind == target_copy) extra = delta_size(pos, from.cursors.target);
    if (length >= kNice) {
      // How far it gets, less what it costs to get there.
      const auto score =
          static_cast<std::int64_t>(start + length) -
          static_cast<std::int64_t>(from.cost + extra + varint_size(action_word(length, kind)));
      if (!taken_.found || score > taken_.score)
        taken_ = Taken{true, kind, start, pos, length, score};
      return;
    }
    const std::uint64_t base_cost = from.cost + extra;
    const Node proto = next_node(start, kind, pos, length);
    prepare(start + static_cast<std::size_t>(length));
    for (std::uint64_t k = now - start + 1; k <= length; ++k) {
      const std::uint64_t cost = base_cost + (k <= 32 ? 1 : 2);
      Node& n = nodes_[start + k];
      // At the same price, a way that leaves the source cursor where it was is kept or taken:
      // the source is mostly read on from there.
      if (cost < n.cost || (cost == n.cost && n.kind == source_copy && kind != source_copy)) {
        n = proto;
        n.cost = cost;
        if (kind == source_copy) n.cursors.source = pos + k;
        if (kind == target_copy) n.cursors.target = pos + k;
        if (kind != target_copy) n.cursors.read_end[0] = pos + k;
      }
    }
    Offered& o = offered_[next_offered_++ % offered_.size()];
    o.from_target = kind == target_copy ? 1 : 0;
    o.shift = static_cast<std::int64_t>(pos - (base_ + start));
    o.end = base_ + start + length;
    o.start_cost = from.cost;
    offered_end_ = std::max(offered_end_, o.end);
  }

  void offer_candidates(std::size_t i, std::uint64_t p) {
    const Node& here = nodes_[i];
    const std::uint64_t left = target_size_ - p;
    const std::uint64_t cost = here.cost;
    // The source at the same offset.
    if (p < source_size_ && !already_offered(0, 0, p, cost)) {
      const std::uint64_t n = forward_match(src_ + p, tgt_ + p, std::min(source_size_ - p, left));
      if (n > 0) offer(i, source_read, i, p, n);
    }
    // The source with the shift of the last SourceCopy, and where the last reads ended.
    const std::uint64_t again[3] = {p + static_cast<std::uint64_t>(here.cursors.source_shift),
                                    here.cursors.read_end[0], here.cursors.read_end[1]};
    for (const std::uint64_t r : again) {
      const auto shift = static_cast<std::int64_t>(r - p);
      if (r == p || r >= source_size_ || already_offered(0, shift, p, cost)) continue;
      const std::uint64_t n = forward_match(src_ + r, tgt_ + p, std::min(source_size_ - r, left));
      if (n > 0) offer(i, source_copy, i, r, n);
    }
    // The output so far: where the last TargetCopy ended, one byte back, one word back.
    const std::uint64_t behind[3] = {here.cursors.target, p - 1, p - 4};
    for (std::size_t k = 0; k < 3; ++k) {
      const std::uint64_t q = behind[k];
      if (q >= p || (k > 0 && p < (k == 1 ? 1u : 4u))) continue;
      const auto back = static_cast<std::int64_t>(q - p);
      if (already_offered(1, back, p, cost)) continue;
      const std::uint64_t n = forward_match(tgt_ + q, tgt_ + p, left);
      if (n > 0) offer(i, target_copy, i, q, n);
    }
    if (indexed_ && left >= kHashBytes) look_up(i, p, left);
  }

  // Offers the longest TargetCopy that reads up to kNearTarget bytes either side of the target
  // cursor (its delta is short): a repeat of what the last one copied, or of the bytes around it.
  // Each is measured to kNice bytes at most (a longer one is taken as it is), and only one is
  // offered: on runs and short repeating patterns many of them match, and weighing them all would
  // cost a multiple of the bytes.
  void near_target(std::size_t i, std::uint64_t p, std::uint64_t left, std::uint64_t cost) {
    const std::uint64_t c = nodes_[i].cursors.target;
    if (c >= p || offered_end_ >= p + kNearTarget) return;
    if (pairs_cursor_ != c) note_pairs(c);
    if ((pairs_[pair_hash(tgt_ + p) >> 6] >> (pair_hash(tgt_ + p) & 63) & 1) == 0) return;
    Near best;
    near_target_in(p, std::min(left, kNice), c - std::min(c, kNearTarget), c, best);
    near_target_in(p, std::min(left, kNice), c + 1, std::min(c + 1 + kNearTarget, p), best);
    if (best.length < 2 || already_offered(1, static_cast<std::int64_t>(best.pos - p), p, cost)) {
      return;
    }
    offer(i, target_copy, i, best.pos, best.length);
  }

  // The pairs of bytes that start within kNearTarget bytes of target position `c`, by a 12-bit
  // hash: near_target() passes over the positions whose next two bytes are none of them. The
  // cursor stays where it is for long, so the set is made once for many positions.
  void note_pairs(std::uint64_t c) {
    for (const std::uint16_t h : pair_list_) pairs_[h >> 6] = 0;
    pair_list_.clear();
    const std::uint64_t to = std::min(c + 1 + kNearTarget, target_size_ - 1);
    for (std::uint64_t q = c - std::min(c, kNearTarget); q < to; ++q) {
      const std::uint16_t h = pair_hash(tgt_ + q);
      pairs_[h >> 6] |= std::uint64_t{1} << (h & 63);
      pair_list_.push_back(h);
    }
    pairs_cursor_ = c;
  }

  static std::uint16_t pair_hash(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(((p[0] << 8 | p[1]) * 0x9E3779B1u) >> 20);
  }

  struct Near {
    std::uint64_t pos = 0;
    std::uint64_t length = 0;
  };

  // The part of near_target() that reads from positions `from` to `to` (not included).
  void near_target_in(std::uint64_t p, std::uint64_t limit, std::uint64_t from, std::uint64_t to,
                      Near& best) const {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    const std::uint64_t pattern = kOnes * tgt_[p];
    for (std::uint64_t w = from; w < to; w += 8) {
      if (w + 8 <= to) {
        // Eight positions none of which holds the byte at `p` are passed over at once.
        const std::uint64_t x = load64(tgt_ + w) ^ pattern;
        if (((x - kOnes) & ~x & (kOnes << 7)) == 0) continue;
      }
      for (std::uint64_t q = w; q < std::min(w + 8, to); ++q) {
        if (tgt_[q] != tgt_[p] || tgt_[q + 1] != tgt_[p + 1]) continue;
        const std::uint64_t n = forward_match(tgt_ + q, tgt_ + p, limit);
        if (n > best.length) best = Near{q, n};
      }
    }
  }

  // Offers what the hashes find at `p` in the source and in the output so far.
  void look_up(std::size_t i, std::uint64_t p, std::uint64_t left) {
    // Where the hashes have long found nothing (new data), they are asked at every third, then
    // every seventh position: steps that meet every alignment of the sampled source positions.
    const std::uint64_t step = quiet_ < 64 ? 1 : quiet_ < 512 ? 3 : 7;
    if (p % step != 0) return;
    if (near_targets_) near_target(i, p, left, nodes_[i].cost);
    // The buckets two steps ahead, and the bytes that those one step ahead point to, are fetched
    // early: each lookup is a cache miss, and they overlap so.
    const std::uint64_t ahead = kAhead * step;
    if (left >= kHashBytes + ahead * 2) {
      prefetch(sources_.bucket(tgt_ + p + ahead * 2));
      if (left >= LongIndex::kBytes + ahead * 2) prefetch(&long_sources_.at(tgt_ + p + ahead * 2));
      prefetch(&targets_.at(tgt_ + p + ahead * 2));
      const std::uint32_t* ways = sources_.bucket(tgt_ + p + ahead);
      for (std::size_t w = 0; w < sources_.ways(); ++w) {
        if (ways[w] != kEmpty) prefetch(src_ + ways[w]);
      }
      const std::uint32_t q = targets_.at(tgt_ + p + ahead);
      if (q != kEmpty) prefetch(tgt_ + q);
    }
    const bool found = find_in_source(i, p, left);
    std::uint32_t& q = targets_.at(tgt_ + p);
    const bool repeated = q != kEmpty && find(i, p, target_copy, q, tgt_, p);
    q = static_cast<std::uint32_t>(p);
    quiet_ = found || repeated ? 0 : quiet_ + 1;
  }

  // Offers the source matches of both ways of the 8-byte bucket. Short repeats (of words in text,
  // say) point the 8-byte index anywhere; the 32-byte one finds the long match among them (and
  // only where the 8 bytes occur at all).
  bool find_in_source(std::size_t i, std::uint64_t p, std::uint64_t left) {
    const std::uint32_t* ways = sources_.bucket(tgt_ + p);
    bool found = false;
    const std::size_t n = sources_.ways();
    for (std::size_t w = 0; w < n; ++w) {
      if (ways[w] != kEmpty && find(i, p, source_copy, ways[w], src_, source_size_)) found = true;
    }
    if (found && left >= LongIndex::kBytes) {
      const std::uint32_t longer = long_sources_.at(tgt_ + p);
      if (longer != kEmpty && std::find(ways, ways + n, longer) == ways + n) {
        find(i, p, source_copy, longer, src_, source_size_);
      }
    }
    return found;
  }

  // Offers the match between position `p` of the target and position `at` of `data` that a hash
  // found, followed back as far as it goes. False when the bytes there differ.
  bool find(std::size_t i, std::uint64_t p, unsigned kind, std::uint64_t at,
            const std::uint8_t* data, std::uint64_t data_end) {
    const auto shift = static_cast<std::int64_t>(at - p);
    const unsigned from_target = kind == target_copy ? 1 : 0;
    if (shift == 0 || already_offered(from_target, shift, p, nodes_[i].cost)) return true;
    if (load64(data + at) != load64(tgt_ + p)) return false;
    // A TargetCopy may read what it writes: the bytes it compares lie in the target either way.
    const std::uint64_t limit =
        kind == target_copy ? target_size_ - p : std::min(data_end - at, target_size_ - p);
    const std::uint64_t n = kHashBytes + forward_match(data + at + kHashBytes,
                                                       tgt_ + p + kHashBytes, limit - kHashBytes);
    const std::uint64_t back =
        backward_match(data + at, tgt_ + p, std::min<std::uint64_t>({at, i, kBackLimit}));
    offer(i, kind, i - back, at - back, n + back);
    return true;
  }

  // Before a long match is taken, other source copies are weighed against it: those that the
  // buckets of the next few positions point to (the index samples every fourth source position,
  // so another copy of the same bytes, one nearer the cursor, may show up there first), and those
  // that the bytes where it ends point to, followed back to where it starts (a copy that goes on
  // past it, where the source holds the same bytes twice).
  void reconsider(std::size_t i, std::uint64_t p) {
    if (!indexed_) return;
    for (std::uint64_t j = 1; j < kSourceStep; ++j) {
      weigh(i, p + j, std::min<std::uint64_t>(i + j, kBackLimit));
    }
    const std::uint64_t start = base_ + taken_.start;
    const std::uint64_t end = start + taken_.length;
    for (std::uint64_t j = 0; j < kSourceStep; ++j) weigh(i, end + j, end + j - start);
    resync_after_run(i, start, end);
    near_cursor(i);
  }

  // A long copy from far off may also lie near the source cursor, where the source holds the
  // same bytes twice and the index kept the other: the copies from the same target position
  // that read within kNear bytes of the cursor are weighed too (their cursor delta is shorter).
  // A few are followed, each not much further than the copy at hand: the work stays within a
  // constant times the bytes that copy takes.
  void near_cursor(std::size_t i) {
    if (taken_.kind != source_copy) return;
    const std::size_t at = taken_.start;
    const std::uint64_t cursor = nodes_[at].cursors.source;
    const std::uint64_t q = base_ + at;
    if (delta_size(taken_.pos, cursor) <= 1 || q + kHashBytes > target_size_) return;
    const std::uint64_t word = load64(tgt_ + q);
    const std::uint64_t reach = taken_.start + taken_.length - at + kNice;
    unsigned followed = 0;
    for (std::uint64_t r = cursor - std::min(cursor, kNear);
         r <= cursor + kNear && r + kHashBytes <= source_size_ && followed < 4; ++r) {
      if (load64(src_ + r) != word) continue;
      ++followed;
      const std::uint64_t limit = std::min({source_size_ - r, target_size_ - q, reach});
      const std::uint64_t n = kHashBytes + forward_match(src_ + r + kHashBytes,
                                                         tgt_ + q + kHashBytes, limit - kHashBytes);
      if (n >= kNice) offer(i, source_copy, at, r, n);
    }
  }

  // Where the long match ends at a run of one byte value, the copy may go on at another shift:
  // where the source's run ends (bytes taken out of the run), or after the target's run (bytes
  // put into it, or a copy from elsewhere that ends where the run starts).
  void resync_after_run(std::size_t i, std::uint64_t start, std::uint64_t end) {
    if (end >= target_size_) return;
    if (taken_.kind != target_copy && taken_.pos + taken_.length < source_size_) {
      const std::uint64_t from = taken_.pos + taken_.length;
      const std::uint64_t stop = std::min(source_size_, from + kBackLimit);
      std::uint64_t r = from + 1;
      while (r < stop && src_[r] == src_[from]) ++r;
      if (r < stop) weigh_at(i, end, r, end - start);
    }
    // A run already followed is not followed again: the scans cost the target's length at most.
    const std::uint8_t v = tgt_[end];
    std::uint64_t q = end + 1;
    if (q < run_end_ && q >= run_start_ && v == run_value_) q = run_end_;
    while (q < target_size_ && tgt_[q] == v) ++q;
    run_start_ = end;
    run_end_ = q;
    run_value_ = v;
    if (q - end < kHashBytes || q == target_size_) return;
    for (std::uint64_t j = 0; j < kSourceStep; ++j) weigh(i, q + j, q + j - start);
    if (q + kHashBytes > target_size_) return;
    const std::uint32_t* ends = run_ends_.bucket(tgt_ + q);
    for (std::size_t w = 0; w < 2; ++w) {
      if (ends[w] != kEmpty) weigh_at(i, q, ends[w], q - start);
    }
  }

  // Offers the long source matches that the indexes find at target position `q` (after `i`, the
  // segment position at hand), followed back at most `most_back` bytes and to `i` at least.
  void weigh(std::size_t i, std::uint64_t q, std::uint64_t most_back) {
    if (q + LongIndex::kBytes > target_size_) return;
    const std::uint8_t* t = tgt_ + q;
    const std::uint32_t* ways = sources_.bucket(t);
    const std::uint32_t found[3] = {ways[0], sources_.ways() == 2 ? ways[1] : kEmpty,
                                    long_sources_.at(t)};
    for (const std::uint32_t r : found) {
      if (r != kEmpty) weigh_at(i, q, r, most_back);
    }
  }

  void weigh_at(std::size_t i, std::uint64_t q, std::uint64_t r, std::uint64_t most_back) {
    if (r + kHashBytes > source_size_ || q + kHashBytes > target_size_ ||
        load64(src_ + r) != load64(tgt_ + q)) {
      return;
    }
    const std::uint64_t back = backward_match(src_ + r, tgt_ + q, std::min(r, most_back));
    if (back < q - base_ - i) return;  // it would start after `i`
    const std::uint64_t n =
        kHashBytes + forward_match(src_ + r + kHashBytes, tgt_ + q + kHashBytes,
                                   std::min(source_size_ - r, target_size_ - q) - kHashBytes);
    if (n + back >= kNice) offer(i, source_copy, q - back - base_, r - back, n + back);
  }

  // Writes the cheapest parse that ends at segment position `end`.
  void commit(std::size_t end) {
    steps_.clear();
    for (std::size_t j = end; j > 0; j = nodes_[j].from) steps_.push_back(j);
    for (auto it = steps_.rbegin(); it != steps_.rend(); ++it) {
      const Node& n = nodes_[*it];
      writer_.add(n.kind, base_ + n.from, *it - n.from, n.pos);
    }
  }

  const std::uint8_t* src_;
  const std::uint8_t* tgt_;
  std::uint64_t source_size_;
  std::uint64_t target_size_;
  bool indexed_;
  SourceIndex sources_;
  std::uint64_t long_step_;
  bool near_targets_;  // whether near_target() is asked
  LongIndex long_sources_;
  Index<1> targets_;
  SourceIndex run_ends_;  // where the source's runs of one byte value end, by the bytes there
  Writer writer_;
  std::vector<Node> nodes_;
  std::vector<Literal> literals_;
  std::vector<std::size_t> steps_;
  std::array<Offered, 8> offered_{};
  std::size_t next_offered_ = 0;
  std::uint64_t offered_end_ = 0;  // where the copies offered in this segment reach, at most
  std::uint64_t base_ = 0;
  std::size_t ready_ = 0;
  std::uint64_t quiet_ = 0;                    // positions since the hashes last found a match
  std::uint64_t run_start_ = 0, run_end_ = 0;  // the target's run last followed
  std::uint8_t run_value_ = 0;
  Taken taken_;
  std::array<std::uint64_t, 64> pairs_{};  // the pairs near the target cursor (note_pairs)
  std::vector<std::uint16_t> pair_list_;
  std::uint64_t pairs_cursor_ = kInfinite;
};

}  // namespace

Bytes make(ByteSpan source, ByteSpan target, ByteSpan metadata) {
  Bytes out = {'B', 'P', 'S', '1'};
  put_varint(out, source.size());
  put_varint(out, target.size());
  put_varint(out, metadata.size());
  out.insert(out.end(), metadata.begin(), metadata.end());
  Maker(source, target, out).run();
  bytes::append_le32(out, crc::crc32(source));
  bytes::append_le32(out, crc::crc32(target));
  bytes::append_le32(out, crc::crc32(out));
  return out;
}

}  // namespace bpscore
