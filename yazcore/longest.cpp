#include "yazcore/longest.hpp"

#include <atomic>
#include <optional>

#include "yazcore/match.hpp"
#include "yazcore/parallel.hpp"

namespace yazcore::detail {
namespace {

// The positions of the last 4096 bytes in binary search trees ordered by the bytes that follow
// them (one tree per hash of their first four bytes), each tree with its newest position at the
// root. Entering a position walks down from the root towards it and splits the tree around it;
// the positions that sort next to it, and so the longest match, lie on that path. A position that
// agrees with the new one to the longest length possible is replaced by it: any later match with
// it is one with the newer position too. Exact: nothing is left out of the trees but positions
// that have left the window, and those only ever lie below the ones still in it.
// A match of three bytes alone is found in hash chains over the first three bytes, newest first:
// any position there with the same three bytes agrees with the new one for exactly three, since
// one that agrees for four lies in its tree. Both hashes take a factor drawn at random for the
// run, so no input can be made to put many strings that never match in one bucket.
class TreeFinder {
 public:
  explicit TreeFinder(ByteSpan data)
      : data_(data.data()),
        size_(data.size()),
        bits_(hash_bits(data.size())),
        factor_(random_factor()),
        root_(std::size_t{1} << bits_, kNone),
        child_(4 * kWindow, kNone),
        head3_(std::size_t{1} << kBits3, kNone),
        next3_(2 * kWindow, kNone) {}

  // Forgets every position entered.
  void clear() {
    std::fill(root_.begin(), root_.end(), kNone);
    std::fill(head3_.begin(), head3_.end(), kNone);
  }

  // Enters `pos` (positions come in order, none left out) and returns its longest match, given
  // that the position `hint` agrees with it for at least `hint_length` bytes.
  Match enter(std::size_t pos, std::size_t hint, std::size_t hint_length) {
    const std::size_t cap = copy_cap(pos, size_);
    if (cap < kMinCopy) return {};
    const std::size_t window_start = pos > kWindow ? pos - kWindow : 0;
    const std::uint32_t h3 = hash3(data_ + pos, kBits3, factor_);
    const std::uint32_t older = head3_[h3];
    head3_[h3] = static_cast<std::uint32_t>(pos);
    next3_[pos & (2 * kWindow - 1)] = older;
    // The last three positions have no four bytes to hash, nor any later position to match them.
    const Match found = cap > kMinCopy ? walk(pos, cap, window_start, hint, hint_length) : Match{};
    if (found.length > kMinCopy) return found;
    if (hint_length >= kMinCopy) return {kMinCopy, pos - hint};
    return three(pos, older, window_start);
  }

 private:
  static constexpr int kBits3 = 14;

  // Enters `pos` in its tree; returns its longest match there.
  Match walk(std::size_t pos, std::size_t cap, std::size_t window_start, std::size_t hint,
             std::size_t hint_length) {
    const std::uint8_t* const q = data_ + pos;
    const std::uint32_t h = (load32(q) * factor_) >> (32 - bits_);
    std::uint32_t node = root_[h];
    root_[h] = static_cast<std::uint32_t>(pos);

    std::uint32_t* smaller = &child_[slot(pos)];     // where the next smaller node goes
    std::uint32_t* larger = &child_[slot(pos) + 1];  // where the next larger node goes
    std::size_t smaller_length = 0;  // how far the nodes below agree with the new position on
    std::size_t larger_length = 0;   // each side
    Match best;
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
    return best;
  }

  // The newest position from `c` on down its chain with the same three bytes as `pos`.
  Match three(std::size_t pos, std::uint32_t c, std::size_t window_start) const {
    const std::uint32_t head = read3(data_ + pos);
    for (; c != kNone && c >= window_start; c = next3_[c & (2 * kWindow - 1)]) {
      if (read3(data_ + c) == head) return {kMinCopy, pos - c};
    }
    return {};
  }

  // Two children per position; the window and the position entered need 4097 places.
  static std::size_t slot(std::size_t pos) { return 2 * (pos & (2 * kWindow - 1)); }

  const std::uint8_t* data_;
  std::size_t size_;
  int bits_;
  std::uint32_t factor_;
  std::vector<std::uint32_t> root_;
  std::vector<std::uint32_t> child_;
  std::vector<std::uint32_t> head3_;  // the newest position of each chain
  std::vector<std::uint32_t> next3_;  // the next older position in its chain, by position
};

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

}  // namespace

namespace {

// The longest matches are found in parts of this size, on as many threads as there are: each
// part's search starts with the window before it entered, so each finds exactly what one search
// from the start would (the distances of equally long matches may differ; any of them will do).
constexpr std::size_t kPart = std::size_t{1} << 20;

// Long runs of one byte: their positions stay out of the tree (where they would make every walk
// long), and their matches follow from the runs before them. A position with r >= kRun equal bytes
// from it, inside its run, matches the position before it for r bytes; a longer match can only
// start r bytes before the end of an earlier run of the same byte (at least r long) and goes on
// as far as the bytes after the two runs agree, which is one measure per pair of runs. A run's
// first position is entered in the tree as usual and also looks at the earlier long runs.
// Positions in the tree never lose a match to this: a position that starts with fewer than kRun
// equal bytes finds as long a match at the end of any longer run of them, or, inside a run, the
// byte before it.
class RunMatcher {
 public:
  static constexpr std::size_t kRun = 32;

  // Runs are measured up to `limit` at most: one that goes on past it is longer than any copy at
  // the positions looked at, which lie more than the longest copy before it.
  RunMatcher(ByteSpan data, std::size_t limit)
      : data_(data.data()), size_(data.size()), limit_(limit) {}

  // The equal bytes from `pos` on (positions come in order).
  std::size_t left(std::size_t pos) {
    if (pos >= end_) start_run(pos);
    return end_ - pos;
  }
  bool inside(std::size_t pos) const { return pos > start_; }

  // The longest match at `pos` among the earlier long runs and the position before (inside a
  // run), or `found` where that is longer.
  Match match(std::size_t pos, Match found) const {
    const std::size_t cap = copy_cap(pos, size_);
    const std::size_t r = end_ - pos;
    if (inside(pos) && std::min(r, cap) > found.length) found = {std::min(r, cap), 1};
    // Shorter, it matches no earlier run for longer than a position of the tree does.
    if (r < kRun) return found;
    const std::size_t low = pos > kWindow ? pos - kWindow : 0;
    for (std::size_t i = 0; i < count_; ++i) {
      const Run& run = runs_[i];
      if (run.end <= low || data_[run.start] != data_[pos]) continue;
      const std::size_t from = std::max(run.start, low);
      const std::size_t length =
          std::min(cap, run.end - from >= r ? r + run.after : run.end - from);
      if (length > found.length) found = {length, pos - (run.end - from >= r ? run.end - r : from)};
    }
    return found;
  }

 private:
  struct Run {
    std::size_t start;
    std::size_t end;
    std::size_t after;  // how far the bytes after it agree with those after the current run
  };
  static constexpr std::size_t kKept = kWindow / kRun + 2;

  void start_run(std::size_t pos) {
    if (end_ - start_ >= kRun) keep({start_, end_, 0});
    start_ = pos;
    end_ = pos + 1;
    while (end_ < limit_ && data_[end_] == data_[pos]) ++end_;
    if (end_ - start_ < kRun) return;
    // Runs that ended a window or more before are out of reach from here on.
    std::size_t gone = 0;
    while (gone < count_ && runs_[gone].end + kWindow <= pos) ++gone;
    std::move(runs_ + gone, runs_ + count_, runs_);
    count_ -= gone;
    const std::size_t cap = std::min(kMaxCopy, size_ - end_);
    for (std::size_t i = 0; i < count_; ++i) {
      runs_[i].after = match_length(data_ + runs_[i].end, data_ + end_, 0, cap);
    }
  }
  // Keeps the runs that may still be in the window (they do not overlap: the newest kKept).
  void keep(const Run& run) {
    if (count_ == kKept) {
      std::move(runs_ + 1, runs_ + kKept, runs_);
      --count_;
    }
    runs_[count_++] = run;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t limit_;
  std::size_t start_ = 0;  // the current run
  std::size_t end_ = 0;
  Run runs_[kKept] = {};
  std::size_t count_ = 0;
};

// `finder` is emptied first: one per thread serves all its parts.
void find_part(ByteSpan data, std::size_t begin, std::size_t end, Longest& longest,
               TreeFinder& finder) {
  finder.clear();
  RunMatcher runs(data, std::min(data.size(), end + kMaxCopy + 1));
  Match last;
  for (std::size_t pos = begin > kWindow ? begin - kWindow : 0; pos < end; ++pos) {
    const std::size_t left = runs.left(pos);
    if (left >= RunMatcher::kRun && runs.inside(pos)) {
      last = runs.match(pos, {});
    } else {
      // The match at pos - 1 goes on at pos from the same distance, one byte shorter.
      const std::size_t hint = last.length > 1 ? pos - last.distance : kNone;
      last = finder.enter(pos, hint, last.length > 1 ? last.length - 1 : 0);
      if (left >= RunMatcher::kRun || (left >= kMinCopy && runs.inside(pos))) {
        last = runs.match(pos, last);
      }
    }
    if (pos >= begin) {
      longest.length[pos] = static_cast<std::uint16_t>(last.length);
      longest.distance[pos] = static_cast<std::uint16_t>(last.distance);
    }
  }
}

}  // namespace

namespace {

// The parts of the data, handed out to be searched from the last to the first (the order in which
// the parse is chosen), and which of them are done.
class Parts {
 public:
  explicit Parts(std::size_t count) : count_(count), done_(count, false) {}

  // The next part to search; none once all are taken or the work failed.
  std::optional<std::size_t> claim() {
    return board_.when([] { return true; },
                       [&]() -> std::optional<std::size_t> {
                         if (failed_ || claimed_ == count_) return std::nullopt;
                         return count_ - 1 - claimed_++;
                       });
  }
  void searched(std::size_t part) {
    board_.tell([&] { done_[part] = true; });
  }
  void fail() {
    board_.tell([&] { failed_ = true; });
  }
  // Waits for `part` to be searched, or takes it to be searched by the caller when no other
  // thread has taken it yet (none may ever run).
  enum class Next { searched, search_here, failed };
  Next wait(std::size_t part) {
    return board_.when([&] { return failed_ || done_[part] || count_ - 1 - claimed_ == part; },
                       [&] {
                         if (failed_) return Next::failed;
                         if (done_[part]) return Next::searched;
                         ++claimed_;
                         return Next::search_here;
                       });
  }

 private:
  std::size_t count_;
  std::vector<bool> done_;
  std::size_t claimed_ = 0;
  bool failed_ = false;
  Board board_;
};

std::size_t part_end(std::size_t part, std::size_t n) { return std::min(n, (part + 1) * kPart); }

}  // namespace

Longest find_longest(ByteSpan data, const Progress& progress, unsigned threads) {
  const std::size_t n = data.size();
  Longest longest;
  longest.length.resize(n);
  longest.distance.resize(n);
  const std::size_t parts = (n + kPart - 1) / kPart;
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> done{0};
  Reporter report(progress);
  run_parallel(std::min<std::size_t>(thread_count(threads), parts), [&](std::size_t worker) {
    TreeFinder finder(data);
    for (std::size_t part; (part = next.fetch_add(1)) < parts;) {
      find_part(data, part * kPart, part_end(part, n), longest, finder);
      const std::size_t finished = done.fetch_add(1) + 1;
      // Progress is reported by the calling thread alone.
      if (worker == 0) report.at(std::min(n, finished * kPart));
    }
  });
  return longest;
}

// Chooses the parse with the fewest bits, from the end of the data to its start: the cost of the
// rest from `pos` is a literal and the rest from pos + 1, or a short copy (3 to `max_short` bytes)
// or, where the format has them, a long copy (from max_short + 1 to the longest match) and the
// cheapest rest it can reach. Since the longest match at pos + 1 is at least the one at pos less
// a byte, the reachable positions of both kinds of copy move only towards the start, and each is
// the minimum of a sliding window. Replaces `longest.length` with the length of the token chosen
// at each position (0: a literal), some positions at a time.
class BestChooser {
 public:
  BestChooser(Longest& longest, std::size_t max_short, bool long_copies)
      : longest_(longest),
        max_short_(max_short),
        long_copies_(long_copies),
        pos_(longest.length.size()),
        costs_(FallingWindow::kRing) {
    cost(pos_) = 0;
  }

  // Chooses at the positions from `first` up to those chosen at already.
  void down_to(std::size_t first) {
    for (; pos_ > first; --pos_) choose(pos_ - 1);
  }

 private:
  std::uint64_t& cost(std::size_t pos) { return costs_[pos % FallingWindow::kRing]; }

  void choose(std::size_t pos) {
    const std::size_t length = longest_.length[pos];
    // The last position each kind of copy reaches (below its first when there is none).
    const std::size_t short_end = pos + std::max(kMinCopy - 1, std::min(length, max_short_));
    const std::size_t long_end = pos + (long_copies_ ? std::max(max_short_, length) : max_short_);
    if (pos + kMinCopy <= short_end) {
      shorts_.enter(pos + kMinCopy, cost(pos + kMinCopy), costs_.data());
    }
    if (pos + max_short_ + 1 <= long_end) {
      longs_.enter(pos + max_short_ + 1, cost(pos + max_short_ + 1), costs_.data());
    }
    shorts_.cut(short_end);
    longs_.cut(long_end);

    std::uint64_t best = kLiteralBits + cost(pos + 1);
    std::size_t choice = 0;
    if (!shorts_.empty() && kShortBits + cost(shorts_.best()) <= best) {
      best = kShortBits + cost(shorts_.best());
      choice = shorts_.best() - pos;
    }
    if (!longs_.empty() && kLongBits + cost(longs_.best()) <= best) {
      best = kLongBits + cost(longs_.best());
      choice = longs_.best() - pos;
    }
    cost(pos) = best;
    longest_.length[pos] = static_cast<std::uint16_t>(choice);
  }

  Longest& longest_;
  std::size_t max_short_;
  bool long_copies_;
  std::size_t pos_;                   // the positions from here on are chosen at
  std::vector<std::uint64_t> costs_;  // the cost of the rest, by position
  FallingWindow shorts_;
  FallingWindow longs_;
};

void choose_best(Longest& longest, std::size_t max_short, bool long_copies) {
  BestChooser(longest, max_short, long_copies).down_to(0);
}

Longest find_and_choose_best(ByteSpan data, const Progress& progress, unsigned threads,
                             std::size_t max_short, bool long_copies) {
  const std::size_t n = data.size();
  const std::size_t parts = (n + kPart - 1) / kPart;
  const std::size_t searchers = std::min<std::size_t>(thread_count(threads), parts);
  if (searchers <= 1) {
    Longest longest = find_longest(data, progress, threads);
    choose_best(longest, max_short, long_copies);
    return longest;
  }
  Longest longest;
  longest.length.resize(n);
  longest.distance.resize(n);
  Parts work(parts);
  BestChooser chooser(longest, max_short, long_copies);
  Reporter report(progress);
  // Thread 0 (the caller's) chooses, part by part from the end, as the others search them.
  run_parallel(searchers + 1, [&](std::size_t thread) {
    try {
      std::optional<TreeFinder> finder;
      if (thread == 0) {
        for (std::size_t part = parts; part-- > 0;) {
          const Parts::Next next = work.wait(part);
          if (next == Parts::Next::failed) return;
          if (next == Parts::Next::search_here) {
            if (!finder) finder.emplace(data);
            find_part(data, part * kPart, part_end(part, n), longest, *finder);
          }
          chooser.down_to(part * kPart);
          report.at(n - part * kPart);
        }
        return;
      }
      while (const auto part = work.claim()) {
        if (!finder) finder.emplace(data);
        find_part(data, *part * kPart, part_end(*part, n), longest, *finder);
        work.searched(*part);
      }
    } catch (...) {
      work.fail();
      throw;
    }
  });
  return longest;
}

}  // namespace yazcore::detail
