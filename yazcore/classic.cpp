#include "yazcore/classic.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "yazcore/match.hpp"
#include "yazcore/parallel.hpp"

namespace yazcore::detail {
namespace {

// The data is parsed in parts of this size, each from its own start, on as many threads as there
// are; the choice at a position depends on the data alone, so once the parse that comes from
// before meets a position where the part's own parse made a choice, the two agree from there on.
// Until they meet (they mostly do within a few tokens), the parse from before goes on by itself.
constexpr std::size_t kPart = std::size_t{1} << 17;
// Tokens are handed on in batches of this many.
constexpr std::size_t kBatch = std::size_t{1} << 14;

Token token_of(const Match& m) {
  return {static_cast<std::uint16_t>(m.length), static_cast<std::uint16_t>(m.distance)};
}

// One choice of the classic rule at `pos` (one token, or a literal and the copy after it);
// returns the position after it.
std::size_t step(ChainFinder& finder, std::size_t pos, std::vector<Token>& tokens) {
  const Match here = finder.search(pos, 0);
  if (here.length == 0) {
    tokens.push_back({});
    return pos + 1;
  }
  // Only a match at least two bytes longer at pos + 1 changes the choice.
  const Match next = finder.search(pos + 1, here.length + 1);
  if (next.length != 0) {
    tokens.push_back({});
    tokens.push_back(token_of(next));
    return pos + 1 + next.length;
  }
  tokens.push_back(token_of(here));
  return pos + here.length;
}

// A part's own parse: its tokens and, one bit per position, where its choices start.
struct Piece {
  std::vector<Token> tokens;
  std::vector<std::uint64_t> starts;
  std::size_t begin = 0;  // the part's first position
  std::size_t from = 0;   // where its parse starts
  std::size_t end = 0;    // the position after its last token

  void start(std::size_t begin_at, std::size_t size) {
    tokens.clear();
    tokens.reserve(size + 1);  // at most a token a byte, and once: the slot's next part reuses it
    starts.assign((size + 63) / 64, 0);
    begin = begin_at;
  }
  void mark(std::size_t pos) {
    starts[(pos - begin) / 64] |= std::uint64_t{1} << (pos - begin) % 64;
  }
  // Whether a choice starts at `pos`, a position of the part.
  bool starts_at(std::size_t pos) const {
    return (starts[(pos - begin) / 64] >> (pos - begin) % 64 & 1) != 0;
  }
  // The index of the token that starts at `pos`.
  std::size_t token_at(std::size_t pos) const {
    std::size_t t = 0;
    for (std::size_t p = from; p < pos; ++t) p += std::max<std::size_t>(tokens[t].length, 1);
    return t;
  }
};

// Where a part's own parse starts: at the part, or, when the part starts inside a run of one byte
// longer than a copy, at the run's end (or the part's): through such a run the parse from before
// goes in steps whose phase nothing in the part tells, and it mostly meets the part's choices
// again where the run ends. All zeros, the part's parse is empty and costs nothing.
std::size_t piece_from(ByteSpan data, std::size_t begin, std::size_t end) {
  if (begin == 0 || data[begin - 1] != data[begin]) return begin;
  std::size_t run_end = begin + 1;
  while (run_end < end && data[run_end] == data[begin]) ++run_end;
  return run_end - begin > kMaxCopy ? run_end : begin;
}

void parse_piece(ByteSpan data, std::size_t begin, std::size_t end, Piece& piece) {
  piece.start(begin, end - begin);
  std::size_t pos = piece_from(data, begin, end);
  piece.from = pos;
  if (pos < end) {
    ChainFinder finder(data, pos);
    while (pos < end) {
      piece.mark(pos);
      pos = step(finder, pos, piece.tokens);
    }
  }
  piece.end = pos;
}

// The parse from the start, put together from the parts' parses.
class Stitcher {
 public:
  Stitcher(ByteSpan data, const TokenOut& out) : data_(data), out_(out) {}

  // Goes on through the part that ends at `end`, whose own parse is `piece`.
  void through(const Piece& piece, std::size_t end) {
    while (pos_ < end) {
      if (piece.starts_at(pos_)) {
        flush();
        out_(std::span(piece.tokens).subspan(piece.token_at(pos_)));
        pos_ = piece.end;
        return;
      }
      if (!finder_ || finder_->entered() + kWindow < pos_) finder_.emplace(data_, pos_);
      pos_ = step(*finder_, pos_, pending_);
      if (pending_.size() >= kBatch) flush();
    }
    flush();
  }

  // Parses from the current position to the end of the data alone.
  void rest() {
    finder_.emplace(data_, pos_);
    while (pos_ < data_.size()) {
      pos_ = step(*finder_, pos_, pending_);
      if (pending_.size() >= kBatch) flush();
    }
    flush();
  }

  std::size_t pos() const { return pos_; }

 private:
  void flush() {
    if (!pending_.empty()) out_(pending_);
    pending_.clear();
  }

  ByteSpan data_;
  const TokenOut& out_;
  std::optional<ChainFinder> finder_;
  std::vector<Token> pending_;
  std::size_t pos_ = 0;
};

}  // namespace

namespace {

// The parts parsed ahead of the join, in a ring, and what the threads tell each other about it.
class Ring {
 public:
  Ring(std::size_t parts, std::size_t slots)
      : parts_(parts), pieces_(slots), holds_(slots, kEmpty) {}

  // A parser's next part (none once all are taken or the work failed), when its slot is free.
  std::optional<std::size_t> claim() {
    return board_.when([&] { return failed_ || next_ >= parts_ || next_ < joined_ + slots(); },
                       [&]() -> std::optional<std::size_t> {
                         if (failed_ || next_ >= parts_) return std::nullopt;
                         return next_++;
                       });
  }
  Piece& piece(std::size_t part) { return pieces_[part % slots()]; }
  void parsed(std::size_t part) {
    board_.tell([&] { holds_[part % slots()] = part; });
  }
  // The joiner's next part: parsed, or taken to be parsed by the joiner itself when no parser
  // has taken it yet (none may ever run); nothing when the work failed.
  enum class Next { parsed, parse_here, failed };
  Next wait(std::size_t part) {
    return board_.when([&] { return failed_ || holds_[part % slots()] == part || next_ == part; },
                       [&] {
                         if (failed_) return Next::failed;
                         if (holds_[part % slots()] == part) return Next::parsed;
                         ++next_;
                         return Next::parse_here;
                       });
  }
  void joined(std::size_t part) {
    board_.tell([&] {
      holds_[part % slots()] = kEmpty;
      joined_ = part + 1;
    });
  }
  void fail() {
    board_.tell([&] { failed_ = true; });
  }

 private:
  static constexpr std::size_t kEmpty = SIZE_MAX;
  std::size_t slots() const { return pieces_.size(); }

  std::size_t parts_;
  std::vector<Piece> pieces_;
  std::vector<std::size_t> holds_;  // the part each slot holds, parsed
  std::size_t next_ = 0;            // the next part to parse
  std::size_t joined_ = 0;          // the parts joined so far
  bool failed_ = false;
  Board board_;
};

}  // namespace

void parse_classic(ByteSpan data, unsigned threads, const TokenOut& out, const Progress& progress) {
  const std::size_t n = data.size();
  const std::size_t parsers = thread_count(threads);
  Stitcher stitch(data, out);
  if (parsers == 1 || n <= kPart) {
    stitch.rest();
    return;
  }
  const std::size_t parts = (n + kPart - 1) / kPart;
  Ring ring(parts, parsers + 1);
  Reporter report(progress);
  auto parse = [&](std::size_t part) {
    Piece& piece = ring.piece(part);
    parse_piece(data, part * kPart, std::min(n, (part + 1) * kPart), piece);
  };
  // Thread 0 (the caller's) joins the parts in order, parsing those no other thread has taken;
  // the others parse them.
  run_parallel(parsers + 1, [&](std::size_t thread) {
    try {
      if (thread == 0) {
        for (std::size_t part = 0; part < parts; ++part) {
          const Ring::Next next = ring.wait(part);
          if (next == Ring::Next::failed) return;
          if (next == Ring::Next::parse_here) parse(part);
          stitch.through(ring.piece(part), std::min(n, (part + 1) * kPart));
          ring.joined(part);
          report.at(stitch.pos());
        }
        return;
      }
      while (const auto part = ring.claim()) {
        parse(*part);
        ring.parsed(*part);
      }
    } catch (...) {
      ring.fail();
      throw;
    }
  });
}

}  // namespace yazcore::detail
