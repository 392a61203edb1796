#include "msgcore/sylk.hpp"

#include <algorithm>
#include <array>
#include <string_view>

#include "msgcore/number.hpp"
#include "msgcore/slips.hpp"

namespace msg {
namespace {

// Bytes that a SYLK text copies unchanged without a look at what follows: ASCII (control bytes
// included) except the hex-run and tag openers, the escape leads, the shorthands and ';'.
constexpr std::array<bool, 256> make_copied() {
  std::array<bool, 256> t{};
  for (int c = 0x00; c <= 0x7F; ++c) t[c] = true;
  for (const char c : {'#', '[', '$', '\\', '~', '+', '{', '}', '*', ';'})
    t[static_cast<unsigned char>(c)] = false;
  return t;
}
constexpr std::array<bool, 256> kCopied = make_copied();

// The run of ';' at `p` in a text that ends at `e`, copied; a doubled one is how a spreadsheet
// saves a ';' typed into a cell.
std::size_t semicolons(Source src, std::size_t p, std::size_t e, Body& body, Diagnostics& diag) {
  std::size_t q = p;
  while (q < e && src[q] == ';') ++q;
  if (q - p >= 2) warn_semicolons(p, q - p, diag);
  body.insert(body.end(), q - p, static_cast<std::uint8_t>(';'));
  return q;
}

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
    return {0, unclosed, size, size};
  }
  const std::size_t t = open + 1;
  // The byte at t is never the end: the shortest text is one character.
  const std::size_t e = next_quote(t + 1);
  if (e >= size) unclosed.note(open, '"');
  const std::size_t base = body.size();
  std::size_t p = t;
  while (p < e) {
    const std::uint8_t b = src[p];
    if (kCopied[b]) {
      std::size_t q = p + 1;
      while (q < e && kCopied[src[q]]) ++q;
      body.insert(body.end(), src.begin() + static_cast<std::ptrdiff_t>(p),
                  src.begin() + static_cast<std::ptrdiff_t>(q));
      p = q;
    } else if (b == '#' || b == '[') {
      p = run_or_tag(src, p, e, body, diag, index, unclosed, "cell (its closing quotation mark)");
    } else if (b == ';') {
      p = semicolons(src, p, e, body, diag);
    } else if (b >= 0x80) {
      p = copy_character(src, p, body, diag);
    } else {
      p = plain_step(src, p, e, true, body, diag);
    }
  }
  return {static_cast<std::uint32_t>(body.size() - base), unclosed, open, e};
}

// The rows of a table as its values go by: every row that has values but none in the text
// column gives no message, so every later message moves up one place.
struct Rows {
  Rows(Diagnostics& d, int text, std::size_t size)
      : diag(d), text_column(text), source_size(size) {}

  // A value at `pos` of the current row and column; `text`: in the text column.
  void value(std::size_t pos, bool text) {
    if (!text) {
      if (row > last_text) untexted = std::max(untexted, static_cast<long>(row));
      untexted_at = pos;
      if (!any_text && first_row == 0) first_row = row;
      if (first_value_at == kNone) first_value_at = pos;
      return;
    }
    diag.in_cell(row, column);
    if (any_text && row > last_text + 1) missing(pos, last_text + 1, row - 1);
    // Rows with values before the first text: the first message's cell was emptied.
    if (!any_text && first_row > 0 && first_row < row) missing(pos, first_row, row - 1);
    any_text = true;
    last_text = row;
  }
  // The text-column value at `pos` gave message `m`, which ends at `item_end`. A value that is no
  // quoted text (a number) takes the next quoted text of the table as its message; when that text
  // is a text-column value of its own, it is compiled twice and every later message moves.
  void borrowed(std::size_t pos, const SylkMessage& m, std::size_t item_end) {
    if (borrower_open == m.open && borrower_pos < pos) {
      diag.in_cell(borrower_row, text_column);
      diag.warn_at(borrower_pos,
                   cat({"the value is no quoted text (a number?), so this row's message is the "
                        "text of the next text cell, row ",
                        std::to_string(row),
                        ", which that row gives again as its own; the other rows keep theirs "
                        "(type the number as text)"}));
    }
    borrower_open = kNone;
    if (m.open >= item_end && m.open < source_size) {
      borrower_open = m.open;
      borrower_pos = pos;
      borrower_row = row;
    }
  }

  // After the last value.
  void finish(std::size_t pos) {
    diag.in_cell(untexted, text_column);
    if (any_text && untexted > last_text)
      missing(std::min(pos, untexted_at), last_text + 1, untexted);
    // Values, but none in the text column: every message of the table is lost.
    if (!any_text && first_value_at != kNone) {
      diag.warn_source(first_value_at,
                       cat({"no row has a value in column ", std::to_string(text_column),
                            ", so the archive holds no message (",
                            text_column == 2 ? "with /L the messages are taken from column 1"
                                             : "without /L they are taken from column 2",
                            ")"}));
    }
  }

  Diagnostics& diag;
  int text_column;
  std::int32_t row = 0;
  std::int32_t column = 0;

 private:
  void missing(std::size_t pos, long first, long last) {
    const std::string which =
        first == last
            ? cat({"row ", std::to_string(first), " has"})
            : cat({"rows ", std::to_string(first), " to ", std::to_string(last), " have"});
    diag.warn_at(pos, cat({which, " no text in column ", std::to_string(text_column),
                           ": no message for it, so every later message moves up (write ## for "
                           "an empty message)"}));
  }

  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t source_size;
  std::size_t borrower_open = kNone;
  std::size_t borrower_pos = 0;
  long borrower_row = 0;
  bool any_text = false;
  long last_text = 0;
  long untexted = 0;   // the last row with values but no text after the last text, if any
  long first_row = 0;  // the first row with values, when they came before any text
  std::size_t untexted_at = 0;
  std::size_t first_value_at = kNone;
};

// True when a record starts at `pos`: a letter and a ';', or the closing E record.
bool record_at(Source src, std::size_t pos) {
  const int c = byte_at(src, pos) | 0x20;
  if (c < 'a' || c > 'z') return false;
  const int after = byte_at(src, pos + 1);
  return after == ';' || (c == 'e' && (after == '\r' || after == '\n' || after == kEndOfSource));
}

// Warns when the value at `item`, which ends at `item_end`, did not give its cell's text: a
// quotation mark typed into the cell cuts the text there and drops the rest; quotation marks that
// do not pair up run the text on over later records; a number takes the next quoted text of the
// table.
void check_cell_end(Source src, std::size_t item, const SylkMessage& m, std::size_t item_end,
                    Diagnostics& diag) {
  if (m.open >= item_end) return;  // a number: see Rows::borrowed
  std::size_t records = 0;
  for (std::size_t at = item; at < item_end; ++at) {
    const bool line_end =
        src[at] == '\n' || (src[at] == '\r' && (at + 1 >= src.size() || src[at + 1] != '\n'));
    if (line_end && record_at(src, at + 1)) ++records;
  }
  if (records > 0) {
    diag.warn_at(m.open,
                 cat({"the quotation marks of this cell do not pair up: it runs on over the ",
                      std::to_string(records), records == 1 ? " record" : " records",
                      " after it, which are read as part of it (write $q for a quotation "
                      "mark)"}));
    return;
  }
  if (m.end >= item_end) return;
  std::size_t rest_end = item_end;
  while (rest_end > m.end + 1 && src[rest_end - 1] == '\r') --rest_end;
  if (rest_end > m.end + 1) {
    diag.warn_at(m.end,
                 cat({"a quotation mark in the text ends it here, and the rest of the cell, ",
                      shown(src.subspan(m.end + 1, rest_end - m.end - 1)),
                      ", is dropped (write $q for a quotation mark)"}));
  }
}

}  // namespace

SylkMessage encode_sylk_message(Source src, std::size_t start, Body& body, Diagnostics& diag) {
  return encode_sylk(src, start, body, diag, nullptr);
}

SylkMessage encode_sylk_message(Source src, std::size_t start, Body& body, Diagnostics& diag,
                                SourceIndex& index) {
  return encode_sylk(src, start, body, diag, &index);
}

namespace {

// Where one item of a record ends. An item runs from its letter to the ';' or line end that ends
// it (quoted runs, with the ';' and line ends in them, included), or to the table's end. A line
// ends at a line feed, or at a carriage return that no line feed follows (an old Mac's line end);
// the carriage returns after it belong to it, and so does a line feed after those.
struct ItemEnd {
  std::size_t end = 0;       // the ';' or line end, or the table's end
  std::size_t next = 0;      // where the next item starts
  bool last = false;         // no item follows
  bool ended_early = false;  // the table ends inside this item
  bool line_end = false;     // the item ends its record
};

ItemEnd item_end(Source src, std::size_t pos) {
  const std::size_t size = src.size();
  ItemEnd item;
  std::size_t end = pos + 1;
  for (;;) {
    end = std::min(end, size);
    // Jump to the first byte that can matter here.
    while (end < size && src[end] != '"' && src[end] != ';' && src[end] != '\n' &&
           src[end] != '\r') {
      ++end;
    }
    if (end >= size) {
      // Blank lines after the last line end cut no record short.
      item.ended_early = (src[pos] != '\n' && src[pos] != '\r') ||
                         !std::all_of(src.begin() + static_cast<std::ptrdiff_t>(pos), src.end(),
                                      [](std::uint8_t c) { return c == '\n' || c == '\r'; });
      return {size, size, true, item.ended_early, true};
    }
    if (src[end] == '\r' && end + 1 < size && src[end + 1] == '\n') {
      ++end;  // a carriage return before a line feed belongs to the item
      continue;
    }
    if (src[end] != '"') break;
    end = find_byte(src, end + 1, size, '"') + 1;  // a quoted run
  }
  item.end = end;
  item.next = end + 1;
  if (src[end] != ';') {
    item.line_end = true;
    while (item.next < size && src[item.next] == '\r') ++item.next;
    if (src[end] == '\r' && item.next < size && src[item.next] == '\n') {
      ++item.next;
      while (item.next < size && src[item.next] == '\r') ++item.next;
    }
    item.last = item.next >= size;  // the table's proper end
  }
  return item;
}

// True when the record whose first item is [pos, end) is a bounds (B) or options (O) record: their
// numbers select no column and give no value (the bounds' X is the table's width, and an options
// record's K no cell's value).
bool bounds_or_options(Source src, std::size_t pos, std::size_t end) {
  while (pos < end && (src[pos] == '\n' || src[pos] == '\r')) ++pos;
  while (end > pos && src[end - 1] == '\r') --end;
  if (end != pos + 1) return false;
  const int c = src[pos] | 0x20;
  return c == 'b' || c == 'o';
}

// The table as its items go by: the column and row the X and Y items select, and the messages of
// the values in the text column.
class TableReader {
 public:
  TableReader(Source src, int text_column, Diagnostics& diag, ArchiveWriter& out)
      : src_(src),
        text_column_(text_column),
        diag_(diag),
        out_(out),
        index_(src),
        rows_(diag, text_column, src.size()) {}

  // The item at `pos`, which ends at `end`; `record_start`: the first item of its record. False
  // when the archive is full.
  bool item(std::size_t pos, std::size_t end, bool record_start) {
    if (record_start) passed_over_ = bounds_or_options(src_, pos, end);
    if (passed_over_) return true;
    const std::uint8_t letter = src_[pos];
    const std::uint8_t upper = (letter >= 'a' && letter <= 'z') ? letter - 32 : letter;
    if (upper == 'K') return value(pos, end);
    if (upper == 'X' || upper == 'Y') {
      const std::int32_t number = parse_number(
          std::string_view(reinterpret_cast<const char*>(src_.data()) + pos + 1, end - (pos + 1)),
          10);
      if (upper == 'X') {
        in_text_column_ = number == text_column_;
        rows_.column = number;
      } else {
        rows_.row = number;
      }
    }
    return true;
  }
  void finish(std::size_t pos) { rows_.finish(pos); }
  const Unclosed& unclosed() const { return unclosed_; }

 private:
  bool value(std::size_t pos, std::size_t end) {
    rows_.value(pos, in_text_column_);
    if (!in_text_column_) return true;
    const SylkMessage m = encode_sylk_message(src_, pos + 1, out_.body(), diag_, index_);
    if (m.unclosed) unclosed_.note(m.unclosed.at, m.unclosed.opener);
    check_cell_end(src_, pos, m, end, diag_);
    rows_.borrowed(pos, m, end);
    return out_.end_message();
  }

  Source src_;
  int text_column_;
  Diagnostics& diag_;
  ArchiveWriter& out_;
  SourceIndex index_;
  Rows rows_;
  Unclosed unclosed_;
  bool in_text_column_ = false;
  bool passed_over_ = false;  // in a bounds or options record
};

}  // namespace

TableEnd read_table(Source src, int text_column, Diagnostics& diag, ArchiveWriter& out) {
  TableEnd table;
  const std::size_t size = src.size();
  if (size < 2 || (src[0] | 0x20) != 'i' || (src[1] | 0x20) != 'd') {
    diag.warn_source(0,
                     "the file does not begin with an ID record, so it is no SYLK table "
                     "(saved in another format?); read as one all the same");
  }
  TableReader reader(src, text_column, diag, out);
  std::size_t pos = 0;
  bool record_start = true;
  for (;;) {
    if (pos >= size) {
      // An item would start at the end of the table: it did not end after a line end.
      table.ended_early = true;
      break;
    }
    const ItemEnd item = item_end(src, pos);
    table.ended_early = item.ended_early;
    if (!reader.item(pos, item.end, record_start) || item.last) break;
    record_start = item.line_end;
    pos = item.next;
  }
  reader.finish(pos);
  table.unclosed = reader.unclosed();
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
