#include "msgcore/dump.hpp"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>

namespace msg {

std::size_t first_message_offset(Source dump) {
  if (!dump.empty() && dump[0] == 0xEF) return std::min<std::size_t>(3, dump.size());
  return 0;
}

const char* other_unicode_form(Source dump) {
  const auto starts = [dump](std::initializer_list<std::uint8_t> mark) {
    return dump.size() >= mark.size() && std::equal(mark.begin(), mark.end(), dump.begin());
  };
  if (starts({0xFF, 0xFE, 0x00, 0x00}) || starts({0x00, 0x00, 0xFE, 0xFF})) return "UTF-32";
  if (starts({0xFF, 0xFE}) || starts({0xFE, 0xFF})) return "UTF-16";
  return nullptr;
}

namespace {

// Where the line that holds `pos` starts, when `pos` follows a line end: the carriage returns that
// the line end before passed over (a blank CRLF line) belong to this line, and the warnings about a
// line name its first column.
std::size_t line_of(Source dump, std::size_t start, std::size_t pos) {
  while (pos > start && dump[pos - 1] == '\r') --pos;
  return pos;
}

// What a line number field holds: `number` when it is digits and blanks with at least one digit
// (which lose nothing), and its value when the blanks stand only around the digits (saturated far
// beyond any message count).
struct Field {
  bool number = false;
  std::optional<std::uint64_t> value;
};
Field read_field(Source field) {
  std::size_t k = 0;
  const std::size_t n = field.size();
  while (k < n && field[k] == ' ') ++k;
  std::uint64_t value = 0;
  const std::size_t digits = k;
  for (; k < n && field[k] >= '0' && field[k] <= '9'; ++k) {
    value = value * 10 + (field[k] - '0');
  }
  if (k - digits > 18) value = std::uint64_t{1} << 60;  // no count of messages comes near
  const bool any = k > digits;
  while (k < n && field[k] == ' ') ++k;
  if (k == n) return {any, any ? std::optional<std::uint64_t>(value) : std::nullopt};
  // Digits after blanks after digits: still no text lost, but no one number.
  const bool rest = std::all_of(field.begin() + static_cast<std::ptrdiff_t>(k), field.end(),
                                [](std::uint8_t c) { return (c >= '0' && c <= '9') || c == ' '; });
  return {any && rest, std::nullopt};
}

// Warns when what is passed over as the line number of message `k`, from `from` to `to`, is not
// digits and a tab at the start of a line: the compiler then takes text for numbers and numbers
// for text, and every later message moves. Returns the line's number when it has one.
std::optional<std::uint64_t> check_line_number(Source dump, std::size_t start, std::size_t from,
                                               std::size_t to, Diagnostics& diag) {
  const bool tab = to > from && dump[to - 1] == '\t';
  const bool line_start = from == start || dump[from - 1] == '\n' || dump[from - 1] == '\r';
  // Digits, and blanks around them, lose nothing.
  const Field field = read_field(dump.subspan(from, tab ? to - 1 - from : 0));
  if (line_start && tab && field.number) return field.value;
  std::size_t text_end = to;
  while (text_end > from &&
         (dump[text_end - 1] == '\n' || dump[text_end - 1] == '\r' || dump[text_end - 1] == '\t')) {
    --text_end;
  }
  const std::string text = shown(dump.subspan(from, text_end - from));
  const char* moves = ", and every later message moves";
  const std::size_t line = line_start ? line_of(dump, start, from) : from;
  if (!line_start) {
    diag.warn_at(from, cat({"the message before ends at a tab, and \"", text,
                            "\" after it is passed over as this message's line number", moves}));
  } else if (text_end == from && !tab) {
    diag.warn_at(line, cat({"a blank line is passed over as this message's line number, so the "
                            "next line's number becomes its text",
                            moves}));
  } else if (!tab) {
    diag.warn_at(line, cat({"the line has no line number and tab: \"", text,
                            "\" is passed over as this message's line number and lost", moves}));
  } else {
    diag.warn_at(line, cat({"\"", text, "\" before the tab is not a line number: passed over"}));
  }
  return std::nullopt;
}

// What the line numbers and line ends of a dump say that the compiler does not do: numbers that
// count the messages but skip, repeat or go back; with /L, a tab inside a line and blank lines at
// the end of the file; a carriage return that ends no line.
class LineChecks {
 public:
  LineChecks(Source dump, std::size_t start, Diagnostics& diag)
      : dump_(dump), start_(start), diag_(diag) {}

  // The line number `number` (nullopt: none) of message `k`, whose line starts at `line`. The
  // numbers count the messages when the first line's is 0 or 1; then the first line of every
  // run of lines whose numbers do not go on by one is named, and the numbers are followed again
  // from there.
  void numbered(std::size_t k, std::size_t line, std::optional<std::uint64_t> number);
  // Message `k`, which starts at `pos` and was compiled as `m`, in a dump without line numbers.
  void unnumbered(std::size_t k, std::size_t pos, const Message& m);
  // Message `k`, compiled as `m`.
  void compiled(const Message& m);

 private:
  void tab_after(std::size_t k, std::size_t pos, std::size_t tab);
  void blank_lines_at_the_end(std::size_t last);

  Source dump_;
  std::size_t start_;
  Diagnostics& diag_;
  bool counting_ = false;
  std::uint64_t base_ = 0;      // the first line's number
  std::uint64_t expected_ = 0;  // the number that goes on by one from the line before
  bool off_ = false;            // the line before did not hold it
  bool numbers_in_text_ = false;
  bool lone_cr_ = false;
  std::size_t blank_from_ = kNone;  // the first of the blank lines that end the file so far
  std::size_t blank_at_ = 0;
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
};

void LineChecks::numbered(std::size_t k, std::size_t line, std::optional<std::uint64_t> number) {
  if (k == 0) {
    counting_ = number && *number <= 1;
    if (counting_) {
      base_ = *number;
      expected_ = base_ + 1;
    }
    return;
  }
  if (!counting_) return;
  if (number && *number == expected_) {
    off_ = false;
    ++expected_;
    return;
  }
  if (number && !off_) {
    const std::string n = std::to_string(*number);
    const std::string before = std::to_string(expected_ - 1);
    const bool skip = *number > expected_;
    const std::string what = skip ? cat({"the line numbers skip from ", before, " to ", n})
                             : *number + 1 == expected_
                                 ? cat({"the line number ", n, " repeats"})
                                 : cat({"the line numbers go back from ", before, " to ", n});
    const std::string hint =
        skip ? cat({"a line deleted? \"", std::to_string(expected_), "<TAB>\" is an empty message"})
             : std::string("a line doubled or moved?");
    diag_.warn_at(line, cat({what, ", but the lines are taken in order, not by their numbers: ",
                             "this line is taken as ", std::to_string(base_ + k),
                             ", and every later message moves with it (", hint, ")"}));
  }
  off_ = true;
  expected_ = number ? *number + 1 : expected_ + 1;
}

void LineChecks::compiled(const Message& m) {
  if (m.lone_cr == Message::kNone || lone_cr_) return;
  lone_cr_ = true;  // said once: a file with such line ends has one on every line
  diag_.warn_at(m.lone_cr,
                "a carriage return alone (an old Mac's line end, as Excel for Mac saves text) "
                "ends no message: the text after it stays in this one (save the file with LF or "
                "CR LF line ends)");
}

void LineChecks::unnumbered(std::size_t k, std::size_t pos, const Message& m) {
  const std::size_t end = m.next;
  if (end > pos && dump_[end - 1] == '\t') tab_after(k, pos, end - 1);
  // A blank line: its line end alone.
  const bool blank =
      end > pos && std::all_of(dump_.begin() + static_cast<std::ptrdiff_t>(pos),
                               dump_.begin() + static_cast<std::ptrdiff_t>(end),
                               [](std::uint8_t c) { return c == '\n' || c == '\r'; });
  if (!blank) {
    blank_from_ = kNone;
  } else if (blank_from_ == kNone) {
    blank_from_ = k;
    blank_at_ = line_of(dump_, start_, pos);
  }
  if (m.last && blank) blank_lines_at_the_end(k);
}

void LineChecks::tab_after(std::size_t k, std::size_t pos, std::size_t tab) {
  const bool line_start = pos == start_ || dump_[pos - 1] == '\n' || dump_[pos - 1] == '\r';
  const Source before = dump_.subspan(pos, tab - pos);
  const bool number = line_start && !before.empty() &&
                      std::all_of(before.begin(), before.end(),
                                  [](std::uint8_t c) { return c >= '0' && c <= '9'; });
  if (number) {
    if (numbers_in_text_) return;  // said once: such a dump has a number on every line
    numbers_in_text_ = true;
    diag_.warn_at(pos, cat({"the line starts with a number and a tab, as lines with line "
                            "numbers do, but with /L the number \"",
                            shown(before),
                            "\" is a message of its own, and every later message "
                            "moves (compile without /L to pass the numbers over)"}));
    return;
  }
  diag_.in_message(k + 1);
  if (!diag_.shows_warnings()) return diag_.warn_at(tab, {});
  std::size_t to = tab + 1;
  while (to < dump_.size() && to < tab + 42 && dump_[to] != '\t' && dump_[to] != '\n' &&
         dump_[to] != '\r') {
    ++to;
  }
  diag_.warn_at(tab,
                cat({"a tab ends a message, so \"", shown(dump_.subspan(tab + 1, to - tab - 1)),
                     "\" after it is a message of its own, and every later message moves "
                     "(the game has no tab: write blanks)"}));
}

void LineChecks::blank_lines_at_the_end(std::size_t last) {
  diag_.in_message(blank_from_);
  const std::size_t count = last - blank_from_ + 1;
  diag_.warn_at(blank_at_, count == 1
                               ? std::string("the blank line at the end of the file is an empty "
                                             "message of its own (delete it if no message is "
                                             "meant; ## is an empty message that says so)")
                               : cat({"the ", std::to_string(count),
                                      " blank lines at the end of the file are empty messages of "
                                      "their own (delete them if no messages are meant; ## is an "
                                      "empty message that says so)"}));
}

}  // namespace

void compile_dump(Source dump, std::size_t start, bool line_numbers, Diagnostics& diag,
                  ArchiveWriter& out, Unclosed* unclosed) {
  std::size_t pos = start;
  SourceIndex index(dump);
  LineChecks lines(dump, start, diag);
  for (;;) {
    const std::size_t k = out.messages();
    diag.in_message(k);
    if (line_numbers) {
      const Scan number = pass_terminator(dump, pos);
      // The end of the dump after a last line end is no message's line.
      if (!(number.hit_end && number.next == pos)) {
        lines.numbered(k, line_of(dump, start, pos),
                       check_line_number(dump, start, pos, number.next, diag));
      }
      pos = number.next;
    }
    const Message m = encode_text_message(dump, pos, out.body(), diag, index);
    if (unclosed != nullptr && m.unclosed) unclosed->note(m.unclosed.at, m.unclosed.opener);
    lines.compiled(m);
    if (!line_numbers) lines.unnumbered(k, pos, m);
    if (!out.end_message() || m.last) break;
    pos = m.next;
  }
}

Archive compile_dump(Source dump, std::size_t start, bool line_numbers, Diagnostics& diag,
                     std::uint64_t max_body, Unclosed* unclosed) {
  return compile_in_memory(
      [&](ArchiveWriter& out) {
        out.body().reserve(dump.size());
        compile_dump(dump, start, line_numbers, diag, out, unclosed);
      },
      max_body);
}

}  // namespace msg
