// Decoding: the readable source text of a message's bytes, in the form that one of the compilers
// reads (a text-dump line or the text of a SYLK cell). The forms are taken from the encoder's own
// tables at start-up: the character map, the tag vocabulary and the shorthand and escape rule.
//
// Each byte outside a control sequence is written, in this order of preference:
// - text dump: a code of the character map as its UTF-8 character (0x5D is "や", 0x2F "♪"); a
//   game symbol that the map lacks by its shorthand or escape pair (0x5C "+", 0x2B "$h", 0x22
//   "$q", 0x3B "$d", 0xBF "$s", 0xCD "\n"); printable ASCII that the compiler copies as itself;
// - SYLK: every game symbol and kana by its shorthand or escape pair ("~", "{", "$o", ...), else
//   by its tag ("[h-ya]", "[k-a]"); printable ASCII that the compiler copies as itself, except
//   the quotation mark and the semicolon;
// - anything else (0x7F outside a sequence, 0x80) in a hex run, two digits a byte ("#7F 80#").
// A game symbol is a code that the character map yields or a named character tag writes: it is
// never written as the ASCII character of the same value, which the game does not show.
//
// A control sequence (0x7F and an opcode) is written as the tag of the first vocabulary name that
// compiles to it (a name of its own before a string number: "[item]", not "[string 21]"), with its
// arguments: IDs as four upper-case hex digits, other numbers in decimal
// ("[jump 1A2B]", "[selected 5 2F0A]", "[color #2 255 0 0]"); the 21 bytes of the date phrase as
// "[TIME]". An unknown opcode (0x7F and the opcode byte), or a sequence that the end of the message
// cuts short (0x7F to the end), goes into a hex run.
//
// Every form is closed in itself: a byte's form is taken whole by the compilers whatever stands
// before or after it (the tests prove it for every pair of bytes), a hex run ends at its own '#',
// and a tag holds no ']' before its end. So a message's text compiles to the bytes of its pieces,
// and only the tags need a check of their own.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "msgcore/diagnostics.hpp"
#include "msgcore/encoding.hpp"

namespace msg {

enum class SourceForm : std::uint8_t { dump, sylk };

// Text that grows at its end, written through a pointer without being filled first.
class TextBuffer {
 public:
  // Room for `count` more characters after the end; write them, then commit().
  char* room(std::size_t count);
  // The text now ends at `end` (within the room asked for).
  void commit(const char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }
  void append(std::string_view text);
  void resize(std::size_t size) { size_ = size; }  // only ever shrinks
  void clear() { size_ = 0; }
  std::size_t size() const { return size_; }
  std::string_view view() const { return {data_.get(), size_}; }
  std::span<const std::uint8_t> bytes(std::size_t from, std::size_t to) const {
    return {reinterpret_cast<const std::uint8_t*>(data_.get()) + from, to - from};
  }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// Checks the tags that decoding writes: each must compile, through the tag path that both
// compilers' loops share, to exactly the sequence it stands for, with no report. That path keeps
// no state, so each distinct sequence is compiled once and the answer kept.
class TagChecker {
 public:
  bool check(std::string_view tag, std::span<const std::uint8_t> sequence);

 private:
  // A sequence, zero-padded; size 0 marks an empty slot.
  struct Key {
    std::uint64_t words[3];
    std::uint8_t size;
  };
  // An open-addressing set of the sequences verified so far.
  std::vector<Key> slots_ = std::vector<Key>(64);
  std::size_t count_ = 0;
  Key* find(const Key& key);
  Body scratch_;
  Diagnostics diag_ = Diagnostics::quiet();
};

// Appends the source text of `message` in `form`. An empty message is an empty dump text, and the
// empty hex run "##" in SYLK (a cell's text is at least one character long). With `tags`, each
// tag written is checked; false when one fails (what was appended is then to be dropped).
bool decode_message(std::span<const std::uint8_t> message, SourceForm form, TextBuffer& out,
                    TagChecker* tags = nullptr);

// The same into a string, unchecked.
std::string decode_message(std::span<const std::uint8_t> message, SourceForm form);

// Appends `message` as one hex run of two digits a byte: "#41 42#", or "##" when it is empty.
void hex_message(std::span<const std::uint8_t> message, TextBuffer& out);

}  // namespace msg
