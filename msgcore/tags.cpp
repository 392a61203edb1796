#include "msgcore/tags.hpp"

#include <cstdint>
#include <cstring>
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

void put_id(std::uint8_t* at, std::string_view word) {
  const auto id = static_cast<std::uint16_t>(static_cast<std::uint32_t>(parse_number(word, 16)));
  at[0] = static_cast<std::uint8_t>(id >> 8);
  at[1] = static_cast<std::uint8_t>(id);
}

constexpr std::uint8_t kTimePhrase[] = {0x7F, 0x21, 0x3A, 0x7F, 0x22, 0x20, 0x7F,
                                        0x76, 0x20, 0x6F, 0x6E, 0x20, 0x7F, 0x1E,
                                        0xCD, 0x7F, 0x20, 0x2C, 0x20, 0x7F, 0x1D};

// Builds the control sequence of `entry` in `seq` (zero-filled, 14 bytes) and returns its length.
std::uint32_t build_sequence(const TagEntry& entry, Words& words, std::uint8_t* seq,
                             Diagnostics& diag) {
  std::string_view word;
  // The next word as an ID at `at`; a missing one is reported with the tag's status (ID 0000).
  const auto required_id = [&](std::uint8_t* at) {
    if (words.next(word)) {
      put_id(at, word);
    } else {
      diag.report(entry.status);
    }
  };
  seq[0] = 0x7F;
  seq[1] = entry.code;
  switch (entry.kind) {
    case TagKind::character:
    case TagKind::time: break;  // handled by the caller
    case TagKind::control: return 2;

    case TagKind::pause:
    case TagKind::small_number:
      if (words.next(word)) {
        seq[2] = low8(parse_number(word, 10));
      } else {
        diag.report(entry.status);  // size1, sound and size have no message text
      }
      return 3;

    case TagKind::jump: required_id(seq + 2); return 4;

    case TagKind::select: {
      std::uint8_t op = entry.code;
      if (words.next(word)) {
        const std::int32_t n = parse_number(word, 10);
        if (n >= 1 && n <= 6) {
          op = static_cast<std::uint8_t>(op + n + (n >= 5 ? 100 : 0));
        } else {
          diag.report(entry.status);
          op = static_cast<std::uint8_t>(op + 1);
        }
      }
      if (words.next(word)) {
        put_id(seq + 2, word);
      } else {
        // Without an ID the sequence always falls back to the first select number.
        diag.report(entry.status);
        op = static_cast<std::uint8_t>(entry.code + 1);
      }
      seq[1] = op;
      return 4;
    }

    case TagKind::choice: {
      std::uint8_t op = entry.code;
      std::uint32_t length = 2;
      std::uint32_t next_free = 2;
      if (words.next(word)) {
        put_id(seq + 2, word);
        next_free = 4;
      }
      if (words.next(word)) {
        put_id(seq + next_free, word);
        length = next_free + 2;
      } else {
        diag.report(entry.status);
        length = 6;
      }
      for (int more = 0; more < 2; ++more) {  // third and fourth ID
        if (words.next(word)) {
          put_id(seq + length, word);
          length += 2;
          ++op;
        }
      }
      // Only a menu goes on to a fifth and sixth choice; later words are ignored.
      if (words.next(word) && op == 0x18) {
        put_id(seq + length, word);
        length += 2;
        op = 0x79;
      }
      if (words.next(word) && op == 0x79) {
        put_id(seq + length, word);
        length += 2;
        op = 0x7A;
      }
      seq[1] = op;
      return length;
    }

    case TagKind::range:
      // A missing first ID alone is not reported: the second is then missing too.
      if (words.next(word)) put_id(seq + 2, word);
      required_id(seq + 4);
      return 6;

    case TagKind::string: {
      std::uint32_t n = 0;
      if (words.next(word)) {
        n = static_cast<std::uint32_t>(parse_number(word, 10));
        if (n > 25) {  // also every negative number
          diag.report(entry.status);
          n = 25;
        }
      } else {
        diag.report(entry.status);
      }
      std::uint32_t op = n + 0x23;
      if (n > 10) op += 8;
      if (n > 20) op -= 15;
      seq[1] = static_cast<std::uint8_t>(op);
      return 2;
    }

    case TagKind::color: {
      // "#i" as the first argument selects the indexed form; the index goes last.
      std::uint32_t length = 5;
      bool have = words.next(word);
      if (have && word.front() == '#') {
        seq[1] = 0x50;
        seq[5] = low8(parse_number(word.substr(1), 10));
        length = 6;
        have = words.next(word);
      }
      if (have) seq[2] = low8(parse_number(word, 10));
      if (words.next(word)) seq[3] = low8(parse_number(word, 10));
      if (words.next(word)) {
        seq[4] = low8(parse_number(word, 10));
      } else {
        diag.report(entry.status);
      }
      return length;
    }
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

  Words words(chars, size);
  std::string_view name;
  const TagEntry* entry = words.next(name) ? find_tag(name) : nullptr;
  if (entry == nullptr) return 2;  // unknown: two bytes that the caller leaves as zeros

  if (entry->kind == TagKind::character) {
    out.push_back(entry->code);
    return 1;
  }
  if (entry->kind == TagKind::time) {
    out.insert(out.end(), std::begin(kTimePhrase), std::end(kTimePhrase));
    return sizeof kTimePhrase;
  }
  std::uint8_t seq[14] = {};
  const std::uint32_t length = build_sequence(*entry, words, seq, diag);
  out.insert(out.end(), seq, seq + length);
  return length;
}

}  // namespace msg
