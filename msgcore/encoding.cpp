#include "msgcore/encoding.hpp"

#include <array>
#include <cstring>

#include "msgcore/charmap.hpp"
#include "msgcore/tags.hpp"

namespace msg {
namespace {

// Bytes that a text-dump message copies unchanged: 0x20 to 0xE0 except the hex-run and tag
// openers, the escape leads and the shorthands.
constexpr std::array<bool, 256> make_copied() {
  std::array<bool, 256> t{};
  for (int c = 0x20; c <= 0xE0; ++c) t[c] = true;
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

}  // namespace

Scan hex_run(Source src, std::size_t hash, Body& body) {
  std::size_t q = hash + 1;
  while (q < src.size()) {
    const std::uint8_t b = src[q];
    if (b == '#') return {q + 1, false};
    const int high = hex_value(b);
    if (high >= 0) {
      // Two characters read as one base-16 number: conversion stops at the first non-digit.
      const int low = hex_value(byte_at(src, q + 1));
      body.push_back(static_cast<std::uint8_t>(low >= 0 ? high * 16 + low : high));
      q += 2;
    } else {
      ++q;
    }
  }
  return {src.size(), true};
}

Scan tag(Source src, std::size_t open, Body& body, Diagnostics& diag) {
  const std::size_t start = open + 1;
  std::size_t close = src.size();
  if (start < src.size()) {
    const void* found = std::memchr(src.data() + start, ']', src.size() - start);
    if (found != nullptr) close = static_cast<const std::uint8_t*>(found) - src.data();
  }
  const std::size_t before = body.size();
  const Source text = start < close ? src.subspan(start, close - start) : Source{};
  const std::uint32_t count = encode_tag(text, body, diag);
  // An unknown tag counts bytes it does not write: they stay zero.
  body.resize(before + count, 0);
  if (close >= src.size()) return {src.size(), true};
  return {close + 1, false};
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

Message encode_text_message(Source src, std::size_t start, Body& body, Diagnostics& diag) {
  const Scan end = pass_terminator(src, start);
  const std::size_t e = end.next;
  const bool last = end.hit_end;
  Unclosed unclosed;
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
    } else if (c == '#') {
      const Scan s = hex_run(src, p, body);
      if (s.hit_end) unclosed.note(p, '#');
      p = s.next;
    } else if (c == '[') {
      const Scan s = tag(src, p, body, diag);
      if (s.hit_end) unclosed.note(p, '[');
      p = s.next;
    } else if (c >= 0xE1) {
      // A three-byte sequence; a sequence cut short by the end of the source matches nothing.
      if (p + 2 < src.size()) {
        const std::uint8_t code = map_character(data[p + 1], data[p + 2], diag);
        if (code != kNoMatch) body.push_back(code);
      } else {
        diag.report(0, 0);
      }
      p += 3;
    } else if (c < 0x20) {
      ++p;  // control bytes, the terminator among them, are dropped
    } else {
      const PlainCode pc = plain_code(c, byte_at(src, p + 1));
      body.push_back(static_cast<std::uint8_t>(pc.code));
      p += pc.advance;
    }
  }
  return {static_cast<std::uint32_t>(body.size() - base), e, last, unclosed};
}

}  // namespace msg
