#include "slk2msg/sylk.hpp"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstring>

#include "common/console.hpp"
#include "msgcore/frontend.hpp"

namespace slk2msg {

namespace {

std::size_t find_byte(msg::Source src, std::size_t from, std::uint8_t byte) {
  if (from >= src.size()) return src.size();
  const void* hit = std::memchr(src.data() + from, byte, src.size() - from);
  return hit ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - src.data())
             : src.size();
}

}  // namespace

namespace {

SylkMessage encode_sylk(msg::Source src, std::size_t start, msg::Body& body, msg::Diagnostics& diag,
                        msg::SourceIndex* index) {
  const std::size_t size = src.size();
  auto next_quote = [&](std::size_t from) {
    return index != nullptr ? index->next_quote(from) : find_byte(src, from, '"');
  };
  msg::Unclosed unclosed;
  const std::size_t open = next_quote(start);
  if (open >= size) {  // no quoted text anywhere further on
    unclosed.note(start, 0);
    return {0, unclosed};
  }
  const std::size_t t = open + 1;
  // The byte at t is never the end: the shortest text is one character.
  const std::size_t e = next_quote(t + 1);
  if (e >= size) unclosed.note(open, '"');
  const std::size_t base = body.size();
  std::size_t p = t;
  while (p < e) {
    const std::uint8_t b = src[p];
    if (b == '#') {
      const msg::Scan s =
          index != nullptr ? msg::hex_run(src, p, body, *index) : msg::hex_run(src, p, body);
      if (s.hit_end) unclosed.note(p, '#');
      p = s.next;
    } else if (b == '[') {
      const msg::Scan s =
          index != nullptr ? msg::tag(src, p, body, diag, *index) : msg::tag(src, p, body, diag);
      if (s.hit_end) unclosed.note(p, '[');
      p = s.next;
    } else {
      const msg::PlainCode pc = msg::plain_code(b, msg::byte_at(src, p + 1));
      body.push_back(static_cast<std::uint8_t>(pc.code));
      p += pc.advance;
    }
  }
  return {static_cast<std::uint32_t>(body.size() - base), unclosed};
}

}  // namespace

SylkMessage encode_sylk_message(msg::Source src, std::size_t start, msg::Body& body,
                                msg::Diagnostics& diag) {
  return encode_sylk(src, start, body, diag, nullptr);
}

SylkMessage encode_sylk_message(msg::Source src, std::size_t start, msg::Body& body,
                                msg::Diagnostics& diag, msg::SourceIndex& index) {
  return encode_sylk(src, start, body, diag, &index);
}

long item_number(std::span<const std::uint8_t> text) {
  std::size_t i = 0;
  auto is_space = [](std::uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (i < text.size() && is_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 0x80000000LL) value = 0x80000000LL;  // saturated: stays out of range
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  if (value < INT32_MIN) value = INT32_MIN;
  return static_cast<long>(value);
}

Table read_table(msg::Source src, int text_column, msg::Diagnostics& diag, std::uint64_t max_body) {
  return read_table(src, text_column, diag, msg::BodySink(), max_body);
}

Table read_table(msg::Source src, int text_column, msg::Diagnostics& diag,
                 const msg::BodySink& sink, std::uint64_t max_body,
                 const msg::LengthSink& length_sink) {
  Table table;
  const std::size_t size = src.size();
  bool in_text_column = false;
  std::size_t pos = 0;
  std::uint64_t passed_on = 0;  // body bytes already given to the sink
  msg::SourceIndex index(src);
  for (;;) {
    if (pos >= size) {
      // An item would start at the end of the table: it did not end after a line end.
      table.ended_early = true;
      break;
    }
    // Find the end of the item first: where it ends and where the next one starts.
    std::size_t end = pos + 1;  // the ';' or line feed that ends the item, or the table's end
    std::size_t next = size;
    bool finished = false;
    for (;;) {
      end = std::min(end, size);
      // Jump to the first byte that can matter here.
      while (end < size && src[end] != '"' && src[end] != ';' && src[end] != '\n') ++end;
      if (end >= size) {
        // Blank lines after the last line end cut no record short.
        table.ended_early = src[pos] != '\n' ||
                            !std::all_of(src.begin() + static_cast<std::ptrdiff_t>(pos), src.end(),
                                         [](std::uint8_t c) { return c == '\n' || c == '\r'; });
        finished = true;
        break;
      }
      if (src[end] == '"') {
        end = find_byte(src, end + 1, '"') + 1;  // a quoted run, ';' and line feeds included
        continue;
      }
      if (src[end] == ';') {
        next = end + 1;
      } else {
        next = end + 1;
        while (next < size && src[next] == '\r') ++next;
        if (next >= size) finished = true;  // the table's proper end
      }
      break;
    }

    const std::uint8_t letter = src[pos];
    const std::uint8_t upper = (letter >= 'a' && letter <= 'z') ? letter - 32 : letter;
    if (upper == 'K') {
      if (in_text_column) {
        msg::Body& body = table.archive.body;
        const SylkMessage m = encode_sylk_message(src, pos + 1, body, diag, index);
        table.archive.lengths.push_back(m.length);
        if (m.unclosed) table.unclosed.note(m.unclosed.at, m.unclosed.opener);
        if (passed_on + body.size() > max_body) {
          table.archive.too_large = true;
          break;
        }
        if (sink && body.size() >= msg::kBodyPiece) {
          sink(body);
          passed_on += body.size();
          body.clear();
        }
        if (length_sink && table.archive.lengths.size() >= msg::kLengthPiece) {
          length_sink(table.archive.lengths);
          table.archive.lengths.clear();
        }
      }
    } else if (upper == 'X' || upper == 'Y') {
      const std::size_t text_end = std::min(end, size);
      const long number = item_number(src.subspan(pos + 1, text_end - (pos + 1)));
      if (upper == 'X') in_text_column = number == text_column;
    }
    if (finished) break;
    pos = next;
  }
  if (sink) {
    sink(table.archive.body);
    table.archive.body.clear();
  }
  if (length_sink) {
    length_sink(table.archive.lengths);
    table.archive.lengths.clear();
  }
  return table;
}

namespace {

constexpr std::array<const char*, 5> kHelp = {
    "\nConverts SYLK table to Hollowfen bin+offset file",
    "\n\t/o or -o\tcreate offset file, not table",
    "\n\t/L or -L\tignore line numbers (first column)",
    "\n\t/H, /?, -H, or -?\tdisplay this help message",
    "\npress enter to quit",
};

}  // namespace

int run(const std::vector<std::string>& args) {
  const msg::Switches sw =
      msg::parse_switches(args, msg::kLineNumbers | msg::kTableMode, /*accept_q=*/false);
  if (sw.help) {
    msg::show_help(kHelp);
    return 0;
  }
  std::string input_name;
  return con::run_guarded(input_name, [&]() {
    const msg::FrontEnd fe{"\nSYLK file (latin scripts only)? ", "SYLK file name"};
    int status = 0;
    auto opened = msg::open_files(fe, sw.settings, sw.input, status);
    if (!opened) return status;
    input_name = opened->input_name;

    // The body goes to its file as it is made, so a table whose messages make a large body never
    // holds it in memory.
    msg::ArchiveOutput out;
    if (!out.open(*opened)) return 1;
    // Every report waits for Enter; at the end of input it goes on at once.
    msg::Diagnostics diag(msg::DiagBuild::sylk, stderr, [] { return con::read_char(); });
    const int text_column = (sw.settings & msg::kLineNumbers) ? 2 : 1;
    const bool table_mode = (sw.settings & msg::kTableMode) != 0;
    const Table table = read_table(
        opened->input, text_column, diag,
        [&out](std::span<const std::uint8_t> piece) { out.write_body(piece); }, msg::kMaxBody,
        [&out, table_mode](std::span<const std::uint32_t> lengths) {
          out.write_lengths(lengths, table_mode);
        });
    std::string warning;
    if (table.ended_early) {
      warning = opened->input_name +
                ": the table ends early (no line end after its last record); read as if it "
                "ended there";
    } else if (table.unclosed) {
      warning = msg::unclosed_warning(opened->input_name, table.unclosed);
    }
    return msg::finish_compile(out, *opened, table.archive, table_mode, warning);
  });
}

}  // namespace slk2msg
