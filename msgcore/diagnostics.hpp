// The diagnostics routine of the message compilers. Every problem found inside a message is
// reported through it, and no problem stops a compile:
// - the old reports, by a status number naming a fixed message ("\nimproper!\t[pause t]"), each
//   followed by a line of its own that says where it is, in the form compilers use so that
//   editors can jump to it: "dump.txt:12:5: note: message 11: [pause]" (a SYLK table names the
//   record's line and the cell: "table.slk:12: note: row 6, column 2: [pause]");
// - warnings about slips that change the messages, in the same form:
//   "dump.txt:2:1: warning: message 1: ...".
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.hpp"

namespace msg {

// The old reports, by the numbers the old compilers gave them. A tag's number is in most cases
// the opcode it writes, read as a decimal number: pause 0x03 is 3, color 0x05 is 5, jump 0x0E is
// 14, the first select 0x0F is 15, the first string 0x24 is 36, size1 0x54 is 84, sound 0x59 is
// 89, size 0x5A is 90, range 0x63 is 99 and interject 0x6A is 106; rand's and menu's are their
// opcodes' hex digits read as decimal (0x13 is 13, 0x16 is 16). 0 is the character map's. A
// report's fixed message is Diagnostics::message().
enum class Report : std::uint8_t {
  unmapped_character = 0,
  pause = 3,
  color = 5,
  rand = 13,
  jump = 14,
  select = 15,
  menu = 16,
  string = 36,
  size1 = 84,
  sound = 89,
  size = 90,
  range = 99,
  interject = 106,
  none = 255,  // the tags that take no arguments never report
};

// The two builds differ: the SYLK compiler has no character map (no message for status 0) and
// waits for one character from standard input after every old report.
enum class DiagBuild { text_dump, sylk };

class Diagnostics {
 public:
  using ReadChar = std::function<int()>;

  // `err` receives the messages; `read_char` supplies a character when one is waited for (it
  // returns EOF at the end of input, and the routine then goes on at once). With a null `err` and
  // an empty `read_char` the reports are only counted.
  Diagnostics(DiagBuild build, std::FILE* err, ReadChar read_char);

  // Counts reports and prints nothing, waits for nothing.
  static Diagnostics quiet() { return Diagnostics(DiagBuild::text_dump, nullptr, {}); }

  // The source the compiler reads, named `file` in the located lines (its control bytes shown as
  // "\x0A", so that no name can break a line or forge one). Without it the lines name no place.
  // Lines end after each line feed and after each carriage return that no line feed follows.
  void locate(const std::string& file, std::span<const std::uint8_t> source);
  // Where the compiler is: the source offset of the piece being encoded (a tag's '[', a
  // character), the number of the message, and for a SYLK table the cell's row and column.
  void at(std::size_t offset) { at_ = offset; }
  void in_message(std::size_t number) { message_ = number; }
  void in_cell(long row, long column) {
    row_ = row;
    column_ = column;
  }
  std::size_t position() const { return at_; }

  // The old report `report`: its fixed message, then the located note with `detail`; the SYLK
  // build then waits for one character.
  void report(Report report, const std::string& detail);
  // A warning at the current place, or at `offset`.
  void warn(const std::string& detail);
  void warn_at(std::size_t offset, const std::string& detail);
  // A warning about the source as a whole, at `offset`, naming no message or cell.
  void warn_source(std::size_t offset, const std::string& detail);
  // The located note that follows a line about the source as a whole; it is not counted.
  void note_source(std::size_t offset, const std::string& detail) {
    line(offset, "note", detail, false);
  }

  // The fixed message of `report` in `build`, or nullptr when it has none.
  static const char* message(Report report, DiagBuild build);

  DiagBuild build() const { return build_; }
  // False when the next warning is only counted (no stream, or past the warnings shown): its text
  // need not be made.
  bool shows_warnings() const { return err_ != nullptr && warnings_ < kShownWarnings; }
  // Reports and warnings so far (whether or not they printed anything).
  unsigned long reports() const { return reports_; }
  // The line for the end of a run, or empty when nothing was reported: "3 warnings" (and how many
  // were not shown, past the first 100).
  std::string summary() const;

  // Warnings shown at most; the rest are counted.
  static constexpr unsigned long kShownWarnings = 100;

 private:
  // "dump.txt:12:5: " or "table.slk:12: " for `offset`, and the context ("message 11: ").
  std::string place(std::size_t offset);
  void line(std::size_t offset, const char* kind, const std::string& detail, bool context = true);
  void count_warning(std::size_t offset, const std::string& detail, bool context);

  DiagBuild build_;
  std::FILE* err_;
  ReadChar read_char_;
  unsigned long reports_ = 0;
  unsigned long warnings_ = 0;
  std::string file_;
  std::span<const std::uint8_t> source_;
  std::vector<std::size_t> line_starts_;  // found so far, from the start of the source on
  std::size_t scanned_ = 0;               // how far line starts have been looked for
  // The last column counted: the start of its line, its offset and the column there.
  static constexpr std::size_t kNoLine = static_cast<std::size_t>(-1);
  std::size_t counted_line_ = kNoLine;
  std::size_t counted_at_ = 0;
  std::size_t counted_column_ = 0;
  std::size_t at_ = 0;
  std::size_t message_ = 0;
  long row_ = 0;
  long column_ = 0;
};

using text::cat;

// `name` with its control bytes (and DEL) shown as "\x0A": a file name as the lines about it print
// it, so that no name can break a line or forge one.
std::string printable_name(const std::string& name);

// How the located lines show source bytes: printable ASCII as it is, a valid UTF-8 character as
// itself, anything else as hex ("\xE9"); at most `limit` bytes, "..." after a cut.
std::string shown(std::span<const std::uint8_t> bytes, std::size_t limit = 40);

// The UTF-8 character that `bytes` begin with: its length (1 for ASCII, else 2 to 4) and its code
// point; length 0 where the bytes are no UTF-8 character (a stray or missing continuation byte,
// an overlong form, a surrogate, a code point past U+10FFFF).
struct Utf8Char {
  std::size_t length = 0;
  std::uint32_t code = 0;
};
Utf8Char utf8_char(std::span<const std::uint8_t> bytes);

// "U+00E9 'é'" for the character `c` that `bytes` begin with (a control character, which a
// terminal might act on, without its quoted self: "U+0085").
std::string character_name(std::span<const std::uint8_t> bytes, Utf8Char c);

}  // namespace msg
