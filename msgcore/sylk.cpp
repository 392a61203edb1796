#include "msgcore/sylk.hpp"

#include <algorithm>
#include <string_view>

#include "msgcore/number.hpp"

namespace msg {
namespace {

SylkMessage encode_sylk(Source src, std::size_t start, Body& body, Diagnostics& diag,
                        SourceIndex* index) {
  const std::size_t size = src.size();
  auto next_quote = [&](std::size_t from) {
    return index != nullptr ? index->next_quote(from) : find_byte(src, from, src.size(), '"');
  };
  Unclosed unclosed;
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
      const Scan s = index != nullptr ? hex_run(src, p, body, *index) : hex_run(src, p, body);
      if (s.hit_end) unclosed.note(p, '#');
      p = s.next;
    } else if (b == '[') {
      const Scan s = index != nullptr ? tag(src, p, body, diag, *index) : tag(src, p, body, diag);
      if (s.hit_end) unclosed.note(p, '[');
      p = s.next;
    } else {
      const PlainCode pc = plain_code(b, byte_at(src, p + 1));
      body.push_back(static_cast<std::uint8_t>(pc.code));
      p += pc.advance;
    }
  }
  return {static_cast<std::uint32_t>(body.size() - base), unclosed};
}

}  // namespace

SylkMessage encode_sylk_message(Source src, std::size_t start, Body& body, Diagnostics& diag) {
  return encode_sylk(src, start, body, diag, nullptr);
}

SylkMessage encode_sylk_message(Source src, std::size_t start, Body& body, Diagnostics& diag,
                                SourceIndex& index) {
  return encode_sylk(src, start, body, diag, &index);
}

TableEnd read_table(Source src, int text_column, Diagnostics& diag, ArchiveWriter& out) {
  TableEnd table;
  const std::size_t size = src.size();
  bool in_text_column = false;
  std::size_t pos = 0;
  SourceIndex index(src);
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
        end = find_byte(src, end + 1, src.size(), '"') +
              1;  // a quoted run, ';' and line feeds included
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
        const SylkMessage m = encode_sylk_message(src, pos + 1, out.body(), diag, index);
        if (m.unclosed) table.unclosed.note(m.unclosed.at, m.unclosed.opener);
        if (!out.end_message()) break;
      }
    } else if (upper == 'X' || upper == 'Y') {
      const std::size_t text_end = std::min(end, size);
      const std::int32_t number =
          parse_number(std::string_view(reinterpret_cast<const char*>(src.data()) + pos + 1,
                                        text_end - (pos + 1)),
                       10);
      if (upper == 'X') in_text_column = number == text_column;
    }
    if (finished) break;
    pos = next;
  }
  return table;
}

Table read_table(Source src, int text_column, Diagnostics& diag, std::uint64_t max_body) {
  Table table;
  table.archive = compile_in_memory(
      [&](ArchiveWriter& out) {
        const TableEnd end = read_table(src, text_column, diag, out);
        table.ended_early = end.ended_early;
        table.unclosed = end.unclosed;
      },
      max_body);
  return table;
}

bool check_cell(std::span<const std::uint8_t> piece, std::span<const std::uint8_t> bytes,
                CheckScratch& scratch) {
  if (piece.size() < 3 || piece.front() != '"' || piece.back() != '"') return false;
  const bool printable = std::all_of(piece.begin() + 1, piece.end() - 1, [](std::uint8_t c) {
    return c >= 0x20 && c <= 0x7E && c != '"' && c != ';';
  });
  if (!printable) return false;
  scratch.body.clear();
  const unsigned long reports = scratch.diag.reports();
  const SylkMessage m = encode_sylk_message(piece, 0, scratch.body, scratch.diag);
  return scratch.diag.reports() == reports && !m.unclosed &&
         std::equal(scratch.body.begin(), scratch.body.end(), bytes.begin(), bytes.end());
}

}  // namespace msg
