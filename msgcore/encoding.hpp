// Encoding one message into the game's bytes. The pieces that the text-dump loop and the SYLK loop
// share (shorthands and escape pairs, hex runs, tags) live here beside the text-dump loop itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "msgcore/archive.hpp"
#include "msgcore/diagnostics.hpp"
#include "msgcore/slips.hpp"

namespace msg {

using Source = std::span<const std::uint8_t>;

// Marks "no byte": the follower read at the end of the source.
inline constexpr int kEndOfSource = -1;

// The first `byte` in `src` from `from` up to `to`, or `to`.
std::size_t find_byte(Source src, std::size_t from, std::size_t to, std::uint8_t byte);

// The byte at `pos`, or kEndOfSource past the end.
inline int byte_at(Source src, std::size_t pos) {
  return pos < src.size() ? src[pos] : kEndOfSource;
}

// A shorthand character or escape pair: the code written (or -1 for none) and how many source
// bytes it takes.
struct PlainCode {
  int code;
  unsigned advance;
};

// The rule for a plain byte `c` (not '#' or '['), given the byte `follower` after it (or
// kEndOfSource): the shorthands '~' '+' '{' '}' '*', the pairs of a backslash or '$' with one more
// character (case-folded), and otherwise the byte itself. Control bytes are the caller's concern.
inline PlainCode plain_code(std::uint8_t c, int follower) {
  switch (c) {
    case '~': return {0x2A, 1};
    case '+': return {0x5C, 1};
    case '{': return {0x82, 1};
    case '}': return {0x83, 1};
    case '*': return {0x85, 1};
    case '\\': {
      const int f = (follower >= 'A' && follower <= 'Z') ? follower + 32 : follower;
      return {(f == 'r' || f == 'n') ? 0xCD : 0x5C, 2};
    }
    case '$': {
      const int f = (follower >= 'A' && follower <= 'Z') ? follower + 32 : follower;
      switch (f) {
        case '-': return {0x90, 2};
        case '.': return {0x84, 2};
        case '8':
        case 'n': return {0x2F, 2};
        case 'd': return {0x3B, 2};
        case 'h': return {0x2B, 2};
        case 'o': return {0x81, 2};
        case 'q': return {0x22, 2};
        case 'r': return {0xCD, 2};
        case 's': return {0xBF, 2};
        default: return {0x24, 2};
      }
    }
    default: return {c, 1};
  }
}

// Finds the next ']', quotation mark or hex-run stop ('#' or a hex digit) at or after a position.
// Compiling a whole file asks this again and again, from positions that may lie far before the
// answer: every message after an unclosed '[' looks for the same ']', every number cell of a SYLK
// table for the same quotation mark. The index answers each question in amortised constant time
// however far away the answer is, so compiling stays linear in the input and output. It is built
// lazily, a block at a time, and costs nothing for a source of a few hundred bytes; without one,
// the searches scan the source (which is what a single message needs).
class SourceIndex {
 public:
  explicit SourceIndex(Source src);
  std::size_t next_close_bracket(std::size_t from);
  std::size_t next_quote(std::size_t from);
  std::size_t next_hex_stop(std::size_t from);  // '#' or 0-9, A-F, a-f

 private:
  // The first position at or after `from` whose byte `Match` accepts, or the size of the source.
  template <class Match>
  class Finder {
   public:
    explicit Finder(Source src) : src_(src) {}
    std::size_t find(std::size_t from);

   private:
    std::size_t first_from_block(std::size_t block);
    Source src_;
    std::vector<std::size_t> first_;  // per block: the first match at or after its start
  };
  struct CloseBracket {
    static std::size_t scan(Source src, std::size_t from, std::size_t to);
  };
  struct Quote {
    static std::size_t scan(Source src, std::size_t from, std::size_t to);
  };
  struct HexStop {
    static std::size_t scan(Source src, std::size_t from, std::size_t to);
  };
  Finder<CloseBracket> brackets_;
  Finder<Quote> quotes_;
  Finder<HexStop> hex_stops_;
};

// What a scan that may cross line ends found.
struct Scan {
  std::size_t next;  // where encoding goes on
  bool hit_end;      // the scan ran into the end of the source
};

// A hex run starting on the '#' at `hash`: pairs of characters from a hex digit on are written
// as one byte each (a digit followed by anything else gives that digit alone, and the second
// character is consumed either way); other bytes are skipped; the run ends after the next '#', or
// at the end of the source.
Scan hex_run(Source src, std::size_t hash, Body& body);
Scan hex_run(Source src, std::size_t hash, Body& body, SourceIndex& index);

// A tag starting on the '[' at `open`: the text up to the next ']' (or the end of the source) is
// compiled by the tag encoder; the body grows by the returned count, an unwritten gap being filled
// with zero bytes. Returns the position after the ']'. Adds the count to `length`.
Scan tag(Source src, std::size_t open, Body& body, Diagnostics& diag);
Scan tag(Source src, std::size_t open, Body& body, Diagnostics& diag, SourceIndex& index);

// Warns when the hex run or tag that starts at `open` and was scanned as `piece` does not close
// before `end`, the end of its message (the end of its `unit`: "line" or "cell"), or when a hex
// run holds other characters than hex digits and blanks: both turn text into other bytes.
void check_closed(Source src, std::size_t open, Scan piece, std::size_t end, Diagnostics& diag,
                  const char* unit);

// Passing a message terminator: from `from`, the first tab or line feed, and after a line feed
// every carriage return that directly follows it. `hit_end` when no terminator was found before
// the end, or when the carriage returns after a line feed ran to the end (the source is done).
Scan pass_terminator(Source src, std::size_t from);

// A hex run, tag or quoted text that the end of the source cut off: where it was opened, and by
// what ('#', '[' or a quotation mark).
struct Unclosed {
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t at = kNone;
  char opener = 0;
  explicit operator bool() const { return at != kNone; }
  // Keeps the first one seen.
  void note(std::size_t pos, char what) {
    if (at == kNone) {
      at = pos;
      opener = what;
    }
  }
};

// Encodes the hex run or tag that starts on the '#' or '[' at `p`, in a message that ends at
// `end`, as both encoding loops do: notes it in `unclosed` when the end of the source cuts it off
// and checks it with check_closed(). `index` may be null. Returns where encoding goes on.
std::size_t run_or_tag(Source src, std::size_t p, std::size_t end, Body& body, Diagnostics& diag,
                       SourceIndex* index, Unclosed& unclosed, const char* unit);

// One line for the user about `u`, naming `file`, and what the located note after it says of
// the place where `u` begins.
std::string unclosed_warning(const std::string& file, const Unclosed& u);
std::string unclosed_note(const Unclosed& u);

// A plain byte at `p` (not '#', '[' or a control byte) of a message that ends at `e`: a
// shorthand, an escape pair, or the byte itself, appended to `body`. An escape lead that makes no
// pair with its follower is warned about, the follower at the message's end told apart: its line
// end or tab (or the source's end) in a dump, its closing quotation mark in a SYLK `cell`. Returns
// where encoding goes on.
inline std::size_t plain_step(Source src, std::size_t p, std::size_t e, bool cell, Body& body,
                              Diagnostics& diag) {
  const std::uint8_t c = src[p];
  const int f = byte_at(src, p + 1);
  const PlainCode pc = plain_code(c, f);
  if (pc.advance == 2 && pc.code == c) [[unlikely]] {
    const bool ends = cell ? p + 1 >= e : f == kEndOfSource || f == '\n' || f == '\r' || f == '\t';
    warn_escape(src, p, ends, diag);
  }
  body.push_back(static_cast<std::uint8_t>(pc.code));
  return p + pc.advance;
}

// A byte from 0x80 up at `p`, copied as it is: a whole UTF-8 character of two to four bytes (with
// a warning: the game shows other characters for its bytes), or this byte alone. Returns where
// encoding goes on.
std::size_t copy_character(Source src, std::size_t p, Body& body, Diagnostics& diag);

// One message of a text dump, from `start` to its terminator.
struct Message {
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::uint32_t length;  // bytes added to the body
  std::size_t next;      // start of the next message (after the terminator)
  bool last;             // the terminator scan met the end of the source: no message follows
  Unclosed unclosed;     // a hex run or tag of this message that the end of the source cut off
  // The first carriage return that ends no line, though text of this message follows it (an old
  // Mac's line end), or kNone.
  std::size_t lone_cr;
};

// Encodes the message at `start`, appending its bytes to `body`. Plain bytes, shorthands and
// escape pairs are encoded here, three-byte UTF-8 sequences go to the character map, hex runs and
// tags as above; control bytes are dropped. `index` (over the same source) makes a whole file's
// messages cost linear time.
Message encode_text_message(Source src, std::size_t start, Body& body, Diagnostics& diag);
Message encode_text_message(Source src, std::size_t start, Body& body, Diagnostics& diag,
                            SourceIndex& index);

}  // namespace msg
