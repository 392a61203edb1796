#include "msgcore/dump.hpp"

#include <algorithm>
#include <string>

namespace msg {

std::size_t first_message_offset(Source dump) {
  if (!dump.empty() && dump[0] == 0xEF) return std::min<std::size_t>(3, dump.size());
  return 0;
}

namespace {

// Warns when what is passed over as the line number of message `k`, from `from` to `to`, is not
// digits and a tab at the start of a line: the compiler then takes text for numbers and numbers
// for text, and every later message moves.
void check_line_number(Source dump, std::size_t start, std::size_t from, std::size_t to,
                       Diagnostics& diag) {
  const bool tab = to > from && dump[to - 1] == '\t';
  const bool line_start = from == start || dump[from - 1] == '\n' || dump[from - 1] == '\r';
  // Digits, and blanks around them, lose nothing.
  const Source field = dump.subspan(from, tab ? to - 1 - from : 0);
  const bool number = std::any_of(field.begin(), field.end(),
                                  [](std::uint8_t c) { return c >= '0' && c <= '9'; }) &&
                      std::all_of(field.begin(), field.end(), [](std::uint8_t c) {
                        return (c >= '0' && c <= '9') || c == ' ';
                      });
  if (line_start && tab && number) return;
  std::size_t text_end = to;
  while (text_end > from &&
         (dump[text_end - 1] == '\n' || dump[text_end - 1] == '\r' || dump[text_end - 1] == '\t')) {
    --text_end;
  }
  const std::string text = shown(dump.subspan(from, text_end - from));
  const char* moves = ", and every later message moves";
  // The carriage returns that the line end before passed over (a blank CRLF line) belong to this
  // line: the warnings about a line name its first column.
  std::size_t line = from;
  while (line_start && line > start && dump[line - 1] == '\r') --line;
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
}

}  // namespace

void compile_dump(Source dump, std::size_t start, bool line_numbers, Diagnostics& diag,
                  ArchiveWriter& out, Unclosed* unclosed) {
  std::size_t pos = start;
  SourceIndex index(dump);
  for (;;) {
    diag.in_message(out.messages());
    if (line_numbers) {
      const Scan number = pass_terminator(dump, pos);
      // The end of the dump after a last line end is no message's line.
      if (!(number.hit_end && number.next == pos)) {
        check_line_number(dump, start, pos, number.next, diag);
      }
      pos = number.next;
    }
    const Message m = encode_text_message(dump, pos, out.body(), diag, index);
    if (unclosed != nullptr && m.unclosed) unclosed->note(m.unclosed.at, m.unclosed.opener);
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
