#include "msgcore/encoding.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "msgcore/charmap.hpp"
#include "msgcore/slips.hpp"
#include "msgcore/tags.hpp"

namespace msg {
namespace {

// Bytes per block of a SourceIndex, and the mark of a block not yet scanned.
constexpr std::size_t kIndexBlock = 256;
constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);

// Bytes that a text-dump message copies unchanged without a look at what follows: printable
// ASCII except the hex-run and tag openers, the escape leads and the shorthands. (0x80 to 0xE0 are
// copied too, after a look at the UTF-8 character they may begin.)
constexpr std::array<bool, 256> make_copied() {
  std::array<bool, 256> t{};
  for (int c = 0x20; c <= 0x7F; ++c) t[c] = true;
  for (const char c : {'#', '[', '$', '\\', '~', '+', '{', '}', '*'})
    t[static_cast<unsigned char>(c)] = false;
  return t;
}
constexpr std::array<bool, 256> kCopied = make_copied();

int hex_value(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr std::array<bool, 256> make_hex_stops() {
  std::array<bool, 256> t{};
  for (const char c : std::string_view("#0123456789abcdefABCDEF"))
    t[static_cast<unsigned char>(c)] = true;
  return t;
}
constexpr std::array<bool, 256> kHexStop = make_hex_stops();

std::size_t find_hex_stop(Source src, std::size_t from, std::size_t to) {
  const std::uint8_t* data = src.data();
  while (from < to && !kHexStop[data[from]]) ++from;
  return from;
}

// A hex run from the '#' at `hash`; `next_stop(q)` gives the first '#' or hex digit at or after q.
template <class NextStop>
Scan walk_hex_run(Source src, std::size_t hash, Body& body, NextStop next_stop) {
  std::size_t q = hash + 1;
  for (;;) {
    q = next_stop(q);
    if (q >= src.size()) return {src.size(), true};
    if (src[q] == '#') return {q + 1, false};
    // Two characters read as one base-16 number: conversion stops at the first non-digit.
    const int high = hex_value(src[q]);
    const int low = hex_value(byte_at(src, q + 1));
    body.push_back(static_cast<std::uint8_t>(low >= 0 ? high * 16 + low : high));
    q += 2;
  }
}

// A tag from the '[' at `open` whose ']' is at `close` (the size of the source when it has none).
Scan encode_tag_at(Source src, std::size_t open, std::size_t close, Body& body, Diagnostics& diag) {
  const std::size_t start = open + 1;
  const std::size_t before = body.size();
  const Source text = start < close ? src.subspan(start, close - start) : Source{};
  const std::uint32_t count = encode_tag(text, body, diag);
  // An unknown tag counts bytes it does not write: they stay zero.
  body.resize(before + count, 0);
  if (close >= src.size()) return {src.size(), true};
  return {close + 1, false};
}

}  // namespace

std::size_t find_byte(Source src, std::size_t from, std::size_t to, std::uint8_t byte) {
  if (from >= to) return to;
  const void* hit = std::memchr(src.data() + from, byte, to - from);
  return hit != nullptr
             ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - src.data())
             : to;
}

template <class Match>
std::size_t SourceIndex::Finder<Match>::find(std::size_t from) {
  const std::size_t size = src_.size();
  if (from >= size) return size;
  const std::size_t block = from / kIndexBlock;
  const std::size_t block_end = std::min(size, (block + 1) * kIndexBlock);
  const std::size_t hit = Match::scan(src_, from, block_end);
  return hit < block_end ? hit : first_from_block(block + 1);
}

template <class Match>
std::size_t SourceIndex::Finder<Match>::first_from_block(std::size_t block) {
  const std::size_t size = src_.size();
  const std::size_t blocks = (size + kIndexBlock - 1) / kIndexBlock;
  if (block >= blocks) return size;
  if (first_.empty()) first_.assign(blocks, kUnknown);
  // Scan forward block by block up to the first answer known or found, then note that answer
  // for every block passed: no block is scanned twice.
  std::size_t b = block;
  std::size_t result = size;
  for (; b < blocks; ++b) {
    if (first_[b] != kUnknown) {
      result = first_[b];
      break;
    }
    const std::size_t start = b * kIndexBlock;
    const std::size_t end = std::min(size, start + kIndexBlock);
    const std::size_t hit = Match::scan(src_, start, end);
    if (hit < end) {
      result = first_[b] = hit;
      break;
    }
  }
  for (std::size_t i = block; i < b && i < blocks; ++i) first_[i] = result;
  return result;
}

std::size_t SourceIndex::CloseBracket::scan(Source src, std::size_t from, std::size_t to) {
  return find_byte(src, from, to, ']');
}
std::size_t SourceIndex::Quote::scan(Source src, std::size_t from, std::size_t to) {
  return find_byte(src, from, to, '"');
}
std::size_t SourceIndex::HexStop::scan(Source src, std::size_t from, std::size_t to) {
  return find_hex_stop(src, from, to);
}

SourceIndex::SourceIndex(Source src) : brackets_(src), quotes_(src), hex_stops_(src) {}
std::size_t SourceIndex::next_close_bracket(std::size_t from) { return brackets_.find(from); }
std::size_t SourceIndex::next_quote(std::size_t from) { return quotes_.find(from); }
std::size_t SourceIndex::next_hex_stop(std::size_t from) { return hex_stops_.find(from); }

Scan hex_run(Source src, std::size_t hash, Body& body) {
  return walk_hex_run(src, hash, body,
                      [src](std::size_t q) { return find_hex_stop(src, q, src.size()); });
}

Scan hex_run(Source src, std::size_t hash, Body& body, SourceIndex& index) {
  return walk_hex_run(src, hash, body, [&index](std::size_t q) { return index.next_hex_stop(q); });
}

Scan tag(Source src, std::size_t open, Body& body, Diagnostics& diag) {
  return encode_tag_at(src, open, find_byte(src, open + 1, src.size(), ']'), body, diag);
}

Scan tag(Source src, std::size_t open, Body& body, Diagnostics& diag, SourceIndex& index) {
  return encode_tag_at(src, open, index.next_close_bracket(open + 1), body, diag);
}

std::string unclosed_warning(const std::string& file, const Unclosed& u) {
  const std::string where = " at byte " + std::to_string(u.at);
  switch (u.opener) {
    case '#':
      return file + ": the hex run ('#')" + where + " is not closed before the end of the file";
    case '[': return file + ": the tag ('[')" + where + " is not closed before the end of the file";
    case '"':
      return file + ": the text (quotation mark)" + where +
             " is not closed before the end of the file";
    default: return file + ": the value" + where + " has no quoted text before the end of the file";
  }
}

std::string unclosed_note(const Unclosed& u) {
  switch (u.opener) {
    case '#': return "the hex run that is not closed begins here";
    case '[': return "the tag that is not closed begins here";
    case '"': return "the text that is not closed begins here";
    default: return "the value with no quoted text begins here";
  }
}

void check_closed(Source src, std::size_t open, Scan piece, std::size_t end, Diagnostics& diag,
                  const char* unit) {
  const bool run = src[open] == '#';
  const char* hint = run ? "write #23# for a '#' in text" : "write #5B# for a '[' in text";
  if (piece.next > end) {
    const char* to = piece.hit_end ? "the end of the file" : run ? "the next '#'" : "the next ']'";
    diag.warn_at(open, cat({run ? "the '#' here starts a hex run" : "the '[' here starts a tag",
                            " that runs on past the end of its ", unit, " to ", to,
                            ", and what lies between is not text (", hint, ")"}));
    return;
  }
  if (!run || piece.hit_end) return;  // cut off by the end of the file: said once for the file
  const Source inside = src.subspan(open + 1, piece.next - open - 2);
  const bool plain = std::all_of(inside.begin(), inside.end(),
                                 [](std::uint8_t b) { return b == ' ' || hex_value(b) >= 0; });
  if (!plain) {
    const char* const what =
        "# holds characters other than hex digits and blanks, which are skipped (";
    diag.warn_at(open, cat({"the hex run #", shown(inside), what, hint, ")"}));
  }
}

std::size_t run_or_tag(Source src, std::size_t p, std::size_t end, Body& body, Diagnostics& diag,
                       SourceIndex* index, Unclosed& unclosed, const char* unit) {
  const bool run = src[p] == '#';
  if (!run) diag.at(p);
  const Scan s =
      run ? (index != nullptr ? hex_run(src, p, body, *index) : hex_run(src, p, body))
          : (index != nullptr ? tag(src, p, body, diag, *index) : tag(src, p, body, diag));
  if (s.hit_end) unclosed.note(p, run ? '#' : '[');
  check_closed(src, p, s, end, diag, unit);
  return s.next;
}

Scan pass_terminator(Source src, std::size_t from) {
  const std::uint8_t* data = src.data();
  const std::size_t size = src.size();
  for (std::size_t i = from; i < size; ++i) {
    const std::uint8_t c = data[i];
    if (c == '\t') return {i + 1, false};
    if (c == '\n') {
      std::size_t j = i + 1;
      while (j < size && data[j] == '\r') ++j;
      return {j, j >= size};
    }
  }
  return {size, true};
}

std::size_t copy_character(Source src, std::size_t p, Body& body, Diagnostics& diag) {
  const Utf8Char c = utf8_char(src.subspan(p, std::min<std::size_t>(4, src.size() - p)));
  const std::size_t n = c.length >= 2 ? c.length : 1;
  if (c.length >= 2) warn_copied_character(src, p, c, diag);
  body.insert(body.end(), src.begin() + static_cast<std::ptrdiff_t>(p),
              src.begin() + static_cast<std::ptrdiff_t>(p + n));
  return p + n;
}

namespace {

// The sequence whose lead, 0xE1 or above, is at `p`: three bytes looked up in the character map,
// the last byte of a four-byte character being left for the next step. Returns where encoding
// goes on.
std::size_t map_sequence(Source src, std::size_t p, Body& body, Diagnostics& diag) {
  diag.at(p);
  if (p + 2 >= src.size()) {
    // A sequence cut short by the end of the source matches nothing.
    diag.report(Report::unmapped_character, "the file ends inside a three-byte character: skipped");
    return p + 3;
  }
  // Only a lead from 0xF0 up can begin a four-byte character.
  const Utf8Char c = src[p] >= 0xF0
                         ? utf8_char(src.subspan(p, std::min<std::size_t>(4, src.size() - p)))
                         : Utf8Char{};
  if (c.length == 4) {
    const std::uint8_t code = charmap_lookup(src[p + 1], src[p + 2]);
    if (code != kNoMatch) body.push_back(code);
    report_four_byte(src, p, c, code, diag);
    return p + 3;
  }
  const std::uint8_t code = map_character(src.subspan(p).first<3>(), diag);
  if (code != kNoMatch) body.push_back(code);
  return p + 3;
}

// Where the carriage returns from `p` on end, and whether they end no line although more text of
// the message (which ends at `e`) follows them: a carriage return alone, as old Macs end lines.
struct CarriageReturns {
  std::size_t next;
  bool alone;
};
CarriageReturns carriage_returns(Source src, std::size_t p, std::size_t e) {
  std::size_t q = p;
  while (q < e && src[q] == '\r') ++q;
  return {q, q < e && src[q] != '\n' && src[q] != '\t'};
}

Message encode_text(Source src, std::size_t start, Body& body, Diagnostics& diag,
                    SourceIndex* index) {
  const Scan end = pass_terminator(src, start);
  const std::size_t e = end.next;
  Message m{0, e, end.hit_end, {}, Message::kNone};
  const std::size_t base = body.size();
  const std::uint8_t* data = src.data();
  std::size_t p = start;
  while (p < e) {
    const std::uint8_t c = data[p];
    if (kCopied[c]) {
      // A run of bytes that pass through unchanged, copied in one go.
      std::size_t q = p + 1;
      while (q < e && kCopied[data[q]]) ++q;
      body.insert(body.end(), data + p, data + q);
      p = q;
    } else if (c == '#' || c == '[') {
      p = run_or_tag(src, p, e, body, diag, index, m.unclosed, "line");
    } else if (c >= 0x20 && c < 0x80) {
      p = plain_step(src, p, e, false, body, diag);
    } else if (c == '\r') {
      // Dropped, as every control byte.
      const CarriageReturns cr = carriage_returns(src, p, e);
      if (cr.alone && m.lone_cr == Message::kNone) m.lone_cr = p;
      p = cr.next;
    } else if (c < 0x20) {
      ++p;  // control bytes, the terminator among them, are dropped
    } else if (c >= 0xE1) {
      p = map_sequence(src, p, body, diag);
    } else {
      p = copy_character(src, p, body, diag);
    }
  }
  m.length = static_cast<std::uint32_t>(body.size() - base);
  return m;
}

}  // namespace

Message encode_text_message(Source src, std::size_t start, Body& body, Diagnostics& diag) {
  return encode_text(src, start, body, diag, nullptr);
}

Message encode_text_message(Source src, std::size_t start, Body& body, Diagnostics& diag,
                            SourceIndex& index) {
  return encode_text(src, start, body, diag, &index);
}

}  // namespace msg
