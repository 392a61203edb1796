// SYLK tables: walking a spreadsheet table item by item, and encoding the quoted text of each
// value in the text column.
#pragma once

#include <cstdint>
#include <span>

#include "msgcore/archive.hpp"
#include "msgcore/decompile.hpp"
#include "msgcore/diagnostics.hpp"
#include "msgcore/encoding.hpp"

namespace msg {

struct SylkMessage {
  std::uint32_t length;  // bytes added to the body
  Unclosed unclosed;     // the text, a tag or a hex run that the end of the table cut off
};

// Encodes one value: the text between the first quotation mark at or after `start` and the next
// one after that (at least one character long). Tags and hex runs as in every message; the
// shorthands and escape pairs too; every other byte, control bytes and 0xE1-0xFF included, is
// copied. The end of the table ends the text.
SylkMessage encode_sylk_message(Source src, std::size_t start, Body& body, Diagnostics& diag);
// The same with an index over the whole table, which keeps a table's messages linear in time.
SylkMessage encode_sylk_message(Source src, std::size_t start, Body& body, Diagnostics& diag,
                                SourceIndex& index);

// How the walk over a table ended.
struct TableEnd {
  bool ended_early = false;  // the table did not end right after a line end
  Unclosed unclosed;         // the first text, tag or hex run that the end of the table cut off
};

// Walks the whole table into `out`. Items start at the beginning, after each ';' and after each
// line end; an item's first letter, in either case, says what it is: X a column number, Y a row
// number (read and dropped), K a value. The value of a K item is a message when the last X item
// named `text_column` (1 or 2); X and Y numbers are read as strtol reads them. Quoted runs may hold
// ';' and line feeds. Stops where `out` says the body has grown too large. `out` is not finished.
TableEnd read_table(Source src, int text_column, Diagnostics& diag, ArchiveWriter& out);

// The same in memory.
struct Table : TableEnd {
  Archive archive;
};
Table read_table(Source src, int text_column, Diagnostics& diag, std::uint64_t max_body = kMaxBody);

// The check of one cell that msg2slk writes: `piece` is its text with the two quotation marks
// around it. The text must be printable ASCII without a quotation mark or a semicolon, and the
// SYLK encoding loop must make exactly `bytes` of it, with no report.
bool check_cell(std::span<const std::uint8_t> piece, std::span<const std::uint8_t> bytes,
                CheckScratch& scratch);

}  // namespace msg
