// Decompiling a whole message archive into a source that compiles back to it byte for byte.
//
// Every message is written in its readable form (msgcore/readable.hpp). Its pieces are closed in
// themselves, so its text compiles to the bytes of its pieces: the forms of single bytes and the
// hex runs are proven by the tests for every pair of bytes, and each tag is checked as it is
// written by compiling it through the compilers' own tag path. A message whose tag fails that
// check is written as one hex run of all its bytes, and that line is checked whole with the
// compiler's own encoding loop. Such a run reproduces any bytes: it is closed on its line, holds
// nothing but hex digits, blanks and its two '#', and is at least "##" (a SYLK cell's text is
// never empty). So no message is ever refused; should a check fail all the same, the message is
// named and nothing is written.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "msgcore/diagnostics.hpp"
#include "msgcore/encoding.hpp"
#include "msgcore/readable.hpp"

namespace msg {

// What went wrong with an archive: which of its two files is at fault, and the problem with its
// offset, as one line for the user ("the entry at byte 8 (...) is less than the one before it").
struct ArchiveProblem {
  bool in_body = false;
  std::string text;
};

// The end offset of every message in the body, from the index in table or offset form, checked
// against a body of `body_size` bytes: the index is whole 4-byte words; a table ends in its zero
// word and its entries never decrease; no message ends past the body; the last one ends where the
// body ends.
struct MessageEnds {
  std::vector<std::uint32_t> ends;
  std::optional<ArchiveProblem> problem;
};
MessageEnds read_index(std::span<const std::uint8_t> index, bool table_mode,
                       std::uint64_t body_size);

// Reused between the checks of one run.
struct CheckScratch {
  Body body;
  Diagnostics diag = Diagnostics::quiet();
};

// Compiles one written message in memory and tells whether it gives exactly `bytes`, with no
// report and nothing left open. `piece` is the message as the compiler finds it: for a dump, the
// text with the CR LF that ends its line; for SYLK, the text between its two quotation marks, both
// included.
using MessageCheck = bool (*)(std::span<const std::uint8_t> piece,
                              std::span<const std::uint8_t> bytes, CheckScratch& scratch);

// The check of a dump line, through the text-dump encoding loop.
bool check_dump_line(std::span<const std::uint8_t> piece, std::span<const std::uint8_t> bytes,
                     CheckScratch& scratch);

// How the source is laid out.
struct Layout {
  SourceForm form = SourceForm::dump;
  // Dump: "N<TAB>" before each text. SYLK: the message numbers in column 1, the texts in column 2
  // (else the texts in column 1).
  bool line_numbers = true;
  // Checks a message written as a hex run after its readable form failed.
  MessageCheck check = nullptr;
};

// Receives the source in pieces.
using TextSink = std::function<void(std::string_view)>;

// Writes the source of the archive whose messages end at `ends` in `body`: a dump is UTF-8 with a
// byte-order mark, one line per message, each ending in CR LF (without line numbers, a last empty
// message is "##", not a blank line at the end); a SYLK table is an ID record, one
// row per message and an E record, with CR LF line ends. Returns the number of a message that no
// text reproduces (what was given to `sink` is then to be dropped), or nullopt.
std::optional<std::size_t> decompile(std::span<const std::uint8_t> body,
                                     std::span<const std::uint32_t> ends, const Layout& layout,
                                     const TextSink& sink);

}  // namespace msg
