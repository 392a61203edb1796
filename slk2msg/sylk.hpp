// The SYLK front end: walking a SYLK spreadsheet table item by item, and encoding the quoted text
// of each value in the text column.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "msgcore/archive.hpp"
#include "msgcore/diagnostics.hpp"
#include "msgcore/encoding.hpp"

namespace slk2msg {

struct SylkMessage {
  std::uint32_t length;    // bytes added to the body
  msg::Unclosed unclosed;  // the text, a tag or a hex run that the end of the table cut off
};

// Encodes one value: the text between the first quotation mark at or after `start` and the next
// one after that (at least one character long). Tags and hex runs as in every message; the
// shorthands and escape pairs too; every other byte, control bytes and 0xE1-0xFF included, is
// copied. The end of the table ends the text.
SylkMessage encode_sylk_message(msg::Source src, std::size_t start, msg::Body& body,
                                msg::Diagnostics& diag);
// The same with an index over the whole table, which keeps a table's messages linear in time.
SylkMessage encode_sylk_message(msg::Source src, std::size_t start, msg::Body& body,
                                msg::Diagnostics& diag, msg::SourceIndex& index);

struct Table {
  msg::Archive archive;
  bool ended_early = false;  // the table did not end right after a line end
  msg::Unclosed unclosed;    // the first text, tag or hex run that the end of the table cut off
};

// The signed decimal number at the head of an X or Y item's text, read like strtol with base 10
// (leading white space, a sign, digits; any length, saturating at the 32-bit range).
long item_number(std::span<const std::uint8_t> text);

// Walks the whole table. Items start at the beginning, after each ';' and after each line end; an
// item's first letter, in either case, says what it is: X a column number, Y a row number (read
// and dropped), K a value. The value of a K item is a message when the last X item named
// `text_column` (1 or 2). Quoted runs may hold ';' and line feeds. Reading stops, with the
// archive's `too_large` set, once the body passes `max_body` bytes. Without a `sink`, the whole
// body is returned in the archive; with one, the body goes to it in pieces and the archive holds
// the lengths only; with a `length_sink` too, the lengths go to it in pieces and the archive holds
// none.
Table read_table(msg::Source src, int text_column, msg::Diagnostics& diag,
                 std::uint64_t max_body = msg::kMaxBody);
Table read_table(msg::Source src, int text_column, msg::Diagnostics& diag,
                 const msg::BodySink& sink, std::uint64_t max_body = msg::kMaxBody,
                 const msg::LengthSink& length_sink = {});

// The whole program; returns the exit status.
int run(const std::vector<std::string>& args);

}  // namespace slk2msg
