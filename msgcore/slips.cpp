#include "msgcore/slips.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "msgcore/charmap.hpp"
#include "msgcore/encoding.hpp"
#include "msgcore/readable.hpp"

namespace msg {
namespace {

constexpr const char* kWords[] = {"no", "one", "two", "three", "four"};

// "0xC2 0xA0".
std::string codes_of(std::span<const std::uint8_t> bytes) {
  std::string hex;
  for (const std::uint8_t b : bytes) {
    char h[8];
    std::snprintf(h, sizeof h, hex.empty() ? "0x%02X" : " 0x%02X", b);
    hex += h;
  }
  return hex;
}

// What the decompiler of `build` writes for `bytes`: "msg2txt writes back as をタ".
std::string back_as(std::span<const std::uint8_t> bytes, DiagBuild build) {
  const bool sylk = build == DiagBuild::sylk;
  return cat({sylk ? "msg2slk" : "msg2txt", " writes back as ",
              decode_message(bytes, sylk ? SourceForm::sylk : SourceForm::dump)});
}

// The escape pairs of `lead`, from the encoder's own rule: "$- $. $8 $d ...".
std::string pairs_of(std::uint8_t lead) {
  std::string pairs;
  for (int f = 0x21; f <= 0x7E; ++f) {
    if ((f >= 'A' && f <= 'Z') || no_escape_pair(lead, f)) continue;  // upper case is folded
    if (!pairs.empty()) pairs += ' ';
    pairs.push_back(static_cast<char>(lead));
    pairs.push_back(static_cast<char>(f));
  }
  return pairs;
}

// "#C3 A9#": the bytes in a hex run.
std::string hex_run_of(std::span<const std::uint8_t> bytes) {
  std::string run = "#";
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    char h[4];
    std::snprintf(h, sizeof h, k == 0 ? "%02X" : " %02X", bytes[k]);
    run += h;
  }
  return run + "#";
}

}  // namespace

bool no_escape_pair(std::uint8_t lead, int follower) {
  const PlainCode pc = plain_code(lead, follower);
  return pc.advance == 2 && pc.code == lead;
}

void warn_escape(std::span<const std::uint8_t> src, std::size_t at, bool at_end,
                 Diagnostics& diag) {
  if (!diag.shows_warnings()) return diag.warn_at(at, {});
  const std::uint8_t lead = src[at];
  const int follower = at + 1 < src.size() ? src[at + 1] : -1;
  const std::uint8_t code[] = {lead};
  const std::string what = cat({codes_of(code), ", which ", back_as(code, diag.build())});
  const std::string hint = cat({"(the game has no '", std::string(1, static_cast<char>(lead)),
                                "'; the pairs are ", pairs_of(lead), ")"});
  const char lead_text[] = {static_cast<char>(lead), 0};
  if (at_end) {
    diag.warn_at(at, cat({"the '", lead_text, "' at the end of the ",
                          diag.build() == DiagBuild::sylk ? "cell" : "message",
                          " is no escape pair: it writes ", what, " ", hint}));
    return;
  }
  const Utf8Char c = utf8_char(src.subspan(at + 1, std::min<std::size_t>(4, src.size() - at - 1)));
  std::string after;
  if (follower == '[') {
    after = "the '[' starts no tag";
  } else if (follower == '#') {
    after = "the '#' starts no hex run";
  } else if (follower == ' ') {
    after = "drops the blank after it";
  } else if (follower > 0x20 && follower < 0x7F) {
    after = cat({"drops the ", std::string(1, static_cast<char>(follower))});
  } else if (c.length >= 2) {
    after = cat({"takes the first byte of ", character_name(src.subspan(at + 1), c),
                 " with it, so that its other bytes give other characters"});
  } else {
    char h[40];
    std::snprintf(h, sizeof h, "drops the byte %02X after it", static_cast<unsigned>(follower));
    after = h;
  }
  // The pair, or the lead with the whole character whose first byte it takes.
  const std::size_t pair = std::min<std::size_t>(c.length >= 2 ? 1 + c.length : 2, src.size() - at);
  diag.warn_at(at, cat({"\"", shown(src.subspan(at, pair)), "\" is no escape pair: it writes ",
                        what, ", and ", after, " ", hint}));
}

void warn_copied_character(std::span<const std::uint8_t> src, std::size_t at, Utf8Char c,
                           Diagnostics& diag) {
  if (!diag.shows_warnings()) return diag.warn_at(at, {});
  const std::span<const std::uint8_t> bytes = src.subspan(at, c.length);
  const std::string name = character_name(bytes, c);
  const std::string back = back_as(bytes, diag.build());
  // A character of the game's map, in a table: the SYLK compiler has no map, but a tag for it.
  if (c.length == 3) {
    const std::uint8_t code = charmap_lookup(bytes[1], bytes[2]);
    const auto key = static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]);
    if (code != kNoMatch && charmap_lead(key) == bytes[0]) {
      const std::uint8_t one[] = {code};
      diag.warn_at(at, cat({name, " is written as its three bytes, ", codes_of(bytes), ", which ",
                            back, ": a SYLK table has no kana map (write ",
                            decode_message(one, SourceForm::sylk), " for it)"}));
      return;
    }
  }
  diag.warn_at(at, cat({name, " is not a character of the game: its ", kWords[c.length], " bytes, ",
                        codes_of(bytes), ", are written as they are, which ", back,
                        " (write a character the game has; ", hex_run_of(bytes),
                        " keeps these bytes without a warning)"}));
}

void report_four_byte(std::span<const std::uint8_t> src, std::size_t at, Utf8Char c,
                      std::uint8_t code, Diagnostics& diag) {
  const std::span<const std::uint8_t> bytes = src.subspan(at, 4);
  const std::string name = character_name(bytes, c);
  const std::string last = cat({"its last byte, ", codes_of(bytes.subspan(3)),
                                ", is written, which ", back_as(bytes.subspan(3), diag.build())});
  if (code == kNoMatch) {
    diag.report(Report::unmapped_character,
                cat({name,
                     " is not a character of the game: its first three bytes are skipped "
                     "and ",
                     last}));
    return;
  }
  const std::uint8_t one[] = {code};
  diag.warn_at(at, cat({name, " is not a character of the game: its first three bytes are read as ",
                        codes_of(one), ", which ", back_as(one, diag.build()), ", and ", last}));
}

void warn_semicolons(std::size_t at, std::size_t count, Diagnostics& diag) {
  if (!diag.shows_warnings()) return diag.warn_at(at, {});
  const std::string run(count, ';');
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(run.data()),
                                            count == 2 ? 2 : 1);
  const std::string what = cat({codes_of(bytes), ", which ", back_as(bytes, diag.build())});
  const char* const rest = " (the game has no ';', 0x3B is its sweat drop: write $d for one)";
  if (count == 2) {
    diag.warn_at(at, cat({"\";;\" is how a spreadsheet saves one ';' typed into a cell, but both ",
                          "reach the message: ", what, rest}));
    return;
  }
  diag.warn_at(at, cat({"\"", run, "\" is how a spreadsheet saves ';' typed into a cell, ",
                        "each one doubled, but all ", std::to_string(count),
                        " reach the message as ", what, rest}));
}

}  // namespace msg
