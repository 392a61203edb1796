#include "msgcore/tags.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "msgcore/number.hpp"
#include "msgcore/tag_table.hpp"

namespace msg {
namespace {

// Splits the tag text into words at blanks and ']' (runs of them count as one); every other
// byte, tab included, belongs to a word.
class Words {
 public:
  Words(const char* text, std::size_t size) : text_(text), size_(size) {}

  std::size_t size() const { return size_; }

  // The next word, or false when there is none left.
  bool next(std::string_view& word) {
    while (pos_ < size_ && is_separator(text_[pos_])) ++pos_;
    if (pos_ == size_) return false;
    const std::size_t start = pos_;
    while (pos_ < size_ && !is_separator(text_[pos_])) ++pos_;
    word = std::string_view(text_ + start, pos_ - start);
    return true;
  }

 private:
  static bool is_separator(char c) { return c == ' ' || c == ']'; }

  const char* text_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// A small decimal number keeps its low 8 bits, a message ID its low 16 bits.
std::uint8_t low8(std::int32_t v) {
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(v));
}

std::string hex4(std::uint16_t id) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string s(4, '0');
  for (int i = 0; i < 4; ++i) s[static_cast<std::size_t>(i)] = kHex[(id >> (12 - 4 * i)) & 15];
  return s;
}

// The opcodes of the substitutions that [TIME] writes (the tags of those names write them too).
constexpr std::uint8_t kHours = 0x21, kMinutes = 0x22, kAmPm = 0x76, kMonth = 0x1E, kDate = 0x20,
                       kYear = 0x1D;
constexpr std::uint8_t P = kControlPrefix;
// [TIME]: "[hours]:[mins] [am/pm] on [month]", a line break, "[date], [year]".
// clang-format off
constexpr std::uint8_t kTimePhrase[] = {
    P, kHours, ':', P, kMinutes, ' ', P, kAmPm,
    ' ', 'o', 'n', ' ', P, kMonth, kLineBreak,
    P, kDate, ',', ' ', P, kYear};
// clang-format on
static_assert(sizeof kTimePhrase == 21);

// Opcodes that a tag's arguments choose, beyond the tag's own code:
// - a select number n writes the tag's code + n (0x0F to 0x12 for 1 to 4); 5 and 6 lie a further
//   100 on (0x77 and 0x78);
constexpr std::int32_t kSelectFarFrom = 5;
constexpr std::uint8_t kSelectFarStep = 100;
// - a choice's code is that of two IDs, and each further ID counts it up by one; only a menu,
//   whose four-ID opcode is 0x18, goes on to five and six IDs, with opcodes of their own;
constexpr std::uint8_t kMenuFourIds = 0x18, kMenuFiveIds = 0x79, kMenuSixIds = 0x7A;
// - a string number n writes the tag's code (0x23) + n for 1 to 10 (0x24 to 0x2D), then two runs:
//   11 to 20 at 0x36 to 0x3F and 21 to 25 at 0x31 to 0x35;
struct StringRun {
  std::uint32_t first;
  std::uint8_t opcode;
};
constexpr StringRun kStringRuns[] = {{11, 0x36}, {21, 0x31}};
constexpr std::uint32_t kLastString = 25;
// - a colour with an index ("#i" first) is the indexed colour's sequence, the index last.
constexpr std::uint8_t kIndexedColor = 0x50;
// The longest sequence: a menu of six IDs.
constexpr std::size_t kLongestSequence = 2 + 6 * 2;

// The arguments of one tag as they are read, with what the reports and warnings about them say.
class Args {
 public:
  Args(const char* text, std::size_t size, const TagEntry& entry, Diagnostics& diag)
      : text_(text), words_(text, size), entry_(entry), diag_(diag), tag_(diag.position()) {
    std::string_view name;
    words_.next(name);  // the tag's name, already looked up
  }

  bool next(std::string_view& word) { return words_.next(word); }

  // The tag's old report with its status, saying what is wrong.
  void report(const std::string& problem) {
    diag_.report(entry_.status, cat({written(), ": ", problem}));
  }
  // A warning about `word` of the tag.
  void warn(std::string_view word, const std::string& problem) {
    diag_.warn_at(tag_ + 1 + static_cast<std::size_t>(word.data() - text_),
                  cat({written(), ": \"", shown(as_bytes(word)), "\" ", problem}));
  }

  // `word` as a decimal number, of which the low 8 bits are kept.
  std::uint8_t small(std::string_view word) {
    const Number n = read_number(word, 10);
    const std::uint8_t kept = low8(n.value);
    if (!n.whole) {
      warn(word, cat({"is not a number: read as ", std::to_string(kept)}));
    } else if (n.value < 0 || n.value > 255) {
      warn(word, cat({"does not fit in a byte (0 to 255): ", std::to_string(kept), " written"}));
    }
    return kept;
  }
  // `word` as a decimal number, read whole.
  std::int32_t number(std::string_view word) {
    const Number n = read_number(word, 10);
    if (!n.whole) warn(word, cat({"is not a number: read as ", std::to_string(n.value)}));
    return n.value;
  }
  // `word` as a message ID (hexadecimal; -1 is FFFF), written at `at`.
  void id(std::uint8_t* at, std::string_view word) {
    const Number n = read_number(word, 16);
    const auto id = static_cast<std::uint16_t>(static_cast<std::uint32_t>(n.value));
    if (!n.whole) {
      warn(word, cat({"is not a message ID (hexadecimal digits): read as ", hex4(id)}));
    } else if (n.value < -1 || n.value > 0xFFFF) {
      warn(word, cat({"does not fit in four hexadecimal digits: ", hex4(id), " written"}));
    }
    at[0] = static_cast<std::uint8_t>(id >> 8);
    at[1] = static_cast<std::uint8_t>(id);
  }
  // The next word as an ID at `at`; a missing one is reported (ID 0000).
  void required_id(std::uint8_t* at) {
    std::string_view word;
    if (next(word)) {
      id(at, word);
    } else {
      report("a message ID is missing: 0000 written");
    }
  }
  // Words left over are not read.
  void rest_ignored() {
    for (std::string_view word; next(word);) warn(word, "is more than the tag takes: ignored");
  }

 private:
  static std::span<const std::uint8_t> as_bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
  }
  std::string written() const {
    const std::size_t size = std::min<std::size_t>(words_.size(), kTagTextLimit);
    return cat({"[", shown(as_bytes({text_, size}), kTagTextLimit), "]"});
  }

  const char* text_;
  Words words_;
  const TagEntry& entry_;
  Diagnostics& diag_;
  std::size_t tag_;  // the source offset of the '['
};

// The sequences by kind. Each writes its arguments from seq[2] on (seq is zero-filled) and returns
// the sequence's length; seq[1] holds the tag's code, which some kinds change.

// pause, size1, sound, size: one small number.
std::uint32_t small_number_sequence(Args& args, std::uint8_t* seq) {
  std::string_view word;
  if (args.next(word)) {
    seq[2] = args.small(word);
  } else {
    args.report("a number is missing: 0 written");  // size1, sound and size have no text
  }
  return 3;
}

// select: a choice from 1 to 6, then an ID.
std::uint32_t select_sequence(const TagEntry& entry, Args& args, std::uint8_t* seq) {
  std::string_view word;
  std::uint8_t op = entry.code;
  if (args.next(word)) {
    const std::int32_t n = args.number(word);
    if (n >= 1 && n <= 6) {
      op = static_cast<std::uint8_t>(op + n + (n >= kSelectFarFrom ? kSelectFarStep : 0));
    } else {
      args.report(cat({std::to_string(n), " is not a choice from 1 to 6: 1 taken"}));
      op = static_cast<std::uint8_t>(op + 1);
    }
  }
  if (args.next(word)) {
    args.id(seq + 2, word);
  } else {
    // Without an ID the sequence always falls back to the first select number.
    args.report("a message ID is missing: choice 1 and ID 0000 written");
    op = static_cast<std::uint8_t>(entry.code + 1);
  }
  seq[1] = op;
  return 4;
}

// rand, menu, interject: two to four IDs (a menu up to six).
std::uint32_t choice_sequence(const TagEntry& entry, Args& args, std::uint8_t* seq) {
  std::string_view word;
  std::uint8_t op = entry.code;
  std::uint32_t length = 2;
  std::uint32_t next_free = 2;
  if (args.next(word)) {
    args.id(seq + 2, word);
    next_free = 4;
  }
  if (args.next(word)) {
    args.id(seq + next_free, word);
    length = next_free + 2;
  } else {
    args.report("two message IDs at least are needed: 0000 written for the missing");
    length = 6;
  }
  for (int more = 0; more < 2; ++more) {  // third and fourth ID
    if (args.next(word)) {
      args.id(seq + length, word);
      length += 2;
      ++op;
    }
  }
  // Only a menu goes on to a fifth and sixth choice; later words are ignored.
  for (const std::uint8_t from : {kMenuFourIds, kMenuFiveIds}) {
    if (!args.next(word)) break;
    if (op != from) {
      args.warn(word, "is more than the tag takes: ignored");
      break;
    }
    args.id(seq + length, word);
    length += 2;
    op = from == kMenuFourIds ? kMenuFiveIds : kMenuSixIds;
  }
  seq[1] = op;
  return length;
}

// string: a number from 1 to 25, which chooses the opcode; no arguments follow.
std::uint32_t string_sequence(const TagEntry& entry, Args& args, std::uint8_t* seq) {
  std::string_view word;
  std::uint32_t n = 0;
  if (args.next(word)) {
    n = static_cast<std::uint32_t>(args.number(word));
    if (n > kLastString) {  // also every negative number
      args.report(std::to_string(static_cast<std::int32_t>(n)) +
                  " is not a string from 1 to 25: 25 taken");
      n = kLastString;
    }
  } else {
    args.report("a number is missing: string 0 written");
  }
  std::uint32_t op = entry.code + n;
  for (const StringRun& run : kStringRuns) {
    if (n >= run.first) op = run.opcode + (n - run.first);
  }
  seq[1] = static_cast<std::uint8_t>(op);
  return 2;
}

// color: red, green and blue, after "#i" for the indexed form.
std::uint32_t color_sequence(Args& args, std::uint8_t* seq) {
  std::string_view word;
  std::uint32_t length = 5;
  bool have = args.next(word);
  if (have && word.front() == '#') {
    seq[1] = kIndexedColor;
    seq[5] = args.small(word.substr(1));
    length = 6;
    have = args.next(word);
  }
  if (have) seq[2] = args.small(word);
  if (args.next(word)) seq[3] = args.small(word);
  if (args.next(word)) {
    seq[4] = args.small(word);
  } else {
    args.report("three numbers (red, green, blue) are needed: 0 written for the missing");
  }
  return length;
}

// Builds the control sequence of `entry` in `seq` (zero-filled, kLongestSequence bytes) and
// returns its length.
std::uint32_t build_sequence(const TagEntry& entry, Args& args, std::uint8_t* seq) {
  seq[0] = kControlPrefix;
  seq[1] = entry.code;
  std::string_view word;
  switch (entry.kind) {
    case TagKind::character:
    case TagKind::time: break;  // handled by the caller
    case TagKind::control: return 2;
    case TagKind::pause:
    case TagKind::small_number: return small_number_sequence(args, seq);
    case TagKind::jump: args.required_id(seq + 2); return 4;
    case TagKind::select: return select_sequence(entry, args, seq);
    case TagKind::choice: return choice_sequence(entry, args, seq);
    case TagKind::range:
      // A missing first ID alone is not reported: the second is then missing too.
      if (args.next(word)) args.id(seq + 2, word);
      args.required_id(seq + 4);
      return 6;
    case TagKind::string: return string_sequence(entry, args, seq);
    case TagKind::color: return color_sequence(args, seq);
  }
  return 2;
}

}  // namespace

std::uint32_t encode_tag(std::span<const std::uint8_t> text, std::vector<std::uint8_t>& out,
                         Diagnostics& diag) {
  // The tag text is what fits in a zero-filled 50-byte buffer: the first 50 bytes, up to a NUL.
  std::size_t size = text.size() < kTagTextLimit ? text.size() : kTagTextLimit;
  const char* chars = reinterpret_cast<const char*>(text.data());
  if (size != 0) {
    if (const void* nul = std::memchr(chars, 0, size))
      size = static_cast<std::size_t>(static_cast<const char*>(nul) - chars);
  }

  if (text.size() > kTagTextLimit) {
    const std::string limit = std::to_string(kTagTextLimit);
    diag.warn(cat({"the tag is longer than ", limit, " bytes: only the first ", limit,
                   " are read ([", shown(text, kTagTextLimit), "])"}));
  }
  Words words(chars, size);
  std::string_view name;
  const TagEntry* entry = words.next(name) ? find_tag(name) : nullptr;
  if (entry == nullptr) {
    // Two bytes that the caller leaves as zeros. A tag that runs on past a line end is said to
    // do so by the loop.
    if (size == 0 || std::memchr(chars, '\n', size) == nullptr)
      diag.warn(cat({"[", shown(text.first(size)), "] is not a tag: two zero bytes written"}));
    return 2;
  }
  Args args(chars, size, *entry, diag);
  std::uint32_t length = 0;
  if (entry->kind == TagKind::character) {
    out.push_back(entry->code);
    length = 1;
  } else if (entry->kind == TagKind::time) {
    out.insert(out.end(), std::begin(kTimePhrase), std::end(kTimePhrase));
    length = sizeof kTimePhrase;
  } else {
    std::uint8_t seq[kLongestSequence] = {};
    length = build_sequence(*entry, args, seq);
    out.insert(out.end(), seq, seq + length);
  }
  args.rest_ignored();
  return length;
}

}  // namespace msg
