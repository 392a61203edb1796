// What the encoding loops say about text that compiles to other characters than the ones it
// shows: an escape lead without its pair, a UTF-8 character copied as its bytes, a spreadsheet's
// doubled ';'. The compiled bytes are the loops' own; these only warn. What the game shows is
// named as the decompiler of the same build writes it back (msg2txt for a dump, msg2slk for a
// SYLK table), from the encoder's own tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "msgcore/diagnostics.hpp"

namespace msg {

// True when `lead` ('$' or a backslash) with `follower` is no escape pair: the two write the
// lead's own code.
bool no_escape_pair(std::uint8_t lead, int follower);

// The lead at `at` of `src` and the follower after it make no escape pair; `at_end`: the follower
// ends the message (its line end or tab, the cell's closing quotation mark, the end of the source).
void warn_escape(std::span<const std::uint8_t> src, std::size_t at, bool at_end, Diagnostics& diag);

// The UTF-8 character `c` at `at` of `src` is copied as its bytes.
void warn_copied_character(std::span<const std::uint8_t> src, std::size_t at, Utf8Char c,
                           Diagnostics& diag);

// A text dump's four-byte character `c` at `at`: its first three bytes were taken as a
// three-byte sequence (giving `code`, kNoMatch for none) and its last byte is written as it is.
// One report (the old one for an unrecognised character, when nothing matched).
void report_four_byte(std::span<const std::uint8_t> src, std::size_t at, Utf8Char c,
                      std::uint8_t code, Diagnostics& diag);

// A run of `count` (2 or more) ';' at `at` in a SYLK text.
void warn_semicolons(std::size_t at, std::size_t count, Diagnostics& diag);

}  // namespace msg
