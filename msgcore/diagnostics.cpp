#include "msgcore/diagnostics.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

namespace msg {

Diagnostics::Diagnostics(DiagBuild build, std::FILE* err, ReadChar read_char)
    : build_(build), err_(err), read_char_(std::move(read_char)) {}

const char* Diagnostics::message(Report report, DiagBuild build) {
  using R = Report;
  switch (report) {
    case R::unmapped_character:
      return build == DiagBuild::sylk ? nullptr : "\nunrecognised text character\tskipping";
    case R::pause: return "\nimproper!\t[pause t]";
    case R::color: return "\nimproper!\t[color r g b] or [color #i r g b]";
    case R::rand: return "\nimproper!\t[rand aaaa bbbb], aaaa bbbb cccc, or aaaa bbbb cccc dddd";
    case R::jump: return "\nimproper!\t[jump xxxx]\txxxx: msg_txt ID";
    case R::select: return "\nimproper!\t[selected # xxxx]  #: 1-6, xxxx: msg_txt ID";
    case R::menu: return "\nimproper!\t[menu aaaa bbbb], aaaa bbbb cccc, or aaaa bbbb cccc dddd";
    case R::string: return "\nimproper!\t[string #]  #: 1-25 only";
    case R::range: return "\nimproper!\t[`range aaaa bbbb]  aaaa: msg_txt ID start, bbbb: end";
    case R::interject: return "\nimproper!\t[`interject aaaa bbbb]  aaaa/bbbb: msg_txt ID";
    case R::size1:
    case R::sound:
    case R::size:
    case R::none: return nullptr;  // no text of their own
  }
  return nullptr;
}

void Diagnostics::locate(const std::string& file, std::span<const std::uint8_t> source) {
  file_ = printable_name(file);
  source_ = source;
  line_starts_.assign(1, 0);
  scanned_ = 0;
  counted_line_ = kNoLine;
}

std::string Diagnostics::place(std::size_t offset) {
  std::string where;
  if (!file_.empty()) {
    offset = std::min(offset, source_.size());
    // Line starts are found once, as far as a report needs them. A carriage return ends a line
    // of its own unless a line feed follows it (an old Mac's line ends).
    for (; scanned_ < offset; ++scanned_) {
      const std::uint8_t b = source_[scanned_];
      if (b == '\n' ||
          (b == '\r' && (scanned_ + 1 == source_.size() || source_[scanned_ + 1] != '\n'))) {
        line_starts_.push_back(scanned_ + 1);
      }
    }
    const auto after = std::upper_bound(line_starts_.begin(), line_starts_.end(), offset);
    const std::size_t line = static_cast<std::size_t>(after - line_starts_.begin());
    where.append(file_).append(":").append(std::to_string(line)).append(":");
    if (build_ == DiagBuild::text_dump) {
      // Columns count characters: the bytes that do not continue a UTF-8 sequence.
      const std::size_t line_start = *(after - 1);
      std::size_t start = line_start;
      // A byte-order mark is no character of the first line.
      if (start == 0 && source_.size() >= 3 && source_[0] == 0xEF && source_[1] == 0xBB &&
          source_[2] == 0xBF) {
        start = std::min<std::size_t>(3, offset);
      }
      // Counting goes on from the last place on the same line when this one lies after it, so
      // that the reports along one long line cost linear time.
      std::size_t column = 1;
      if (counted_line_ == line_start && counted_at_ >= start && counted_at_ <= offset) {
        start = counted_at_;
        column = counted_column_;
      }
      column += static_cast<std::size_t>(
          std::count_if(source_.begin() + static_cast<std::ptrdiff_t>(start),
                        source_.begin() + static_cast<std::ptrdiff_t>(offset),
                        [](std::uint8_t b) { return (b & 0xC0) != 0x80; }));
      counted_line_ = line_start;
      counted_at_ = offset;
      counted_column_ = column;
      where.append(std::to_string(column)).append(":");
    }
    where += " ";
  }
  return where;
}

void Diagnostics::line(std::size_t offset, const char* kind, const std::string& detail,
                       bool context) {
  if (err_ == nullptr) return;
  std::string text(1, '\n');
  text.append(place(offset)).append(kind).append(": ");
  if (context && build_ == DiagBuild::sylk) {
    text.append("row ").append(std::to_string(row_)).append(", column ");
    text.append(std::to_string(column_)).append(": ");
  } else if (context) {
    text.append("message ").append(std::to_string(message_)).append(": ");
  }
  text.append(detail);
  std::fputs(text.c_str(), err_);
  std::fflush(err_);
}

void Diagnostics::report(Report report, const std::string& detail) {
  ++reports_;
  if (err_ != nullptr) {
    if (const char* text = message(report, build_)) std::fputs(text, err_);
    line(at_, "note", detail);
  }
  // The SYLK build waits for a character after every report.
  if (build_ == DiagBuild::sylk && read_char_) read_char_();
}

void Diagnostics::warn(const std::string& detail) { warn_at(at_, detail); }

void Diagnostics::warn_at(std::size_t offset, const std::string& detail) {
  count_warning(offset, detail, true);
}

void Diagnostics::warn_source(std::size_t offset, const std::string& detail) {
  count_warning(offset, detail, false);
}

void Diagnostics::count_warning(std::size_t offset, const std::string& detail, bool context) {
  ++reports_;
  if (++warnings_ <= kShownWarnings) line(offset, "warning", detail, context);
}

std::string Diagnostics::summary() const {
  if (reports_ == 0) return {};
  std::string text = std::to_string(reports_);
  text.append(reports_ == 1 ? " warning" : " warnings");
  if (warnings_ > kShownWarnings) {
    text.append(" (").append(std::to_string(warnings_ - kShownWarnings)).append(" not shown)");
  }
  return text;
}

std::string shown(std::span<const std::uint8_t> bytes, std::size_t limit) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  std::size_t i = 0;
  for (; i < bytes.size() && i < limit;) {
    const std::uint8_t b = bytes[i];
    // The length of a valid UTF-8 sequence starting here (1 for ASCII), or 0.
    std::size_t n = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : 0;
    for (std::size_t k = 1; k < n; ++k) {
      if (i + k >= bytes.size() || (bytes[i + k] & 0xC0) != 0x80) n = 0;
    }
    if (b >= 0x20 && b < 0x7F) {
      out.push_back(static_cast<char>(b));
    } else if (n >= 2) {
      out.append(reinterpret_cast<const char*>(bytes.data() + i), n);
      i += n;
      continue;
    } else {
      out += "\\x";
      out.push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 15]);
    }
    ++i;
  }
  if (i < bytes.size()) out += "...";
  return out;
}

std::string printable_name(const std::string& name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : name) {
    const auto b = static_cast<std::uint8_t>(ch);
    if (b >= 0x20 && b != 0x7F) {
      out.push_back(ch);
    } else {
      out.append("\\x").push_back(kHex[b >> 4]);
      out.push_back(kHex[b & 15]);
    }
  }
  return out;
}

Utf8Char utf8_char(std::span<const std::uint8_t> bytes) {
  if (bytes.empty()) return {};
  const std::uint8_t lead = bytes[0];
  if (lead < 0x80) return {1, lead};
  // By the lead: the length, the lead's own bits, and the smallest code point of that length.
  struct Form {
    std::size_t length;
    std::uint32_t bits;
    std::uint32_t least;
  };
  Form f{};
  if (lead >= 0xC2 && lead <= 0xDF) {
    f = {2, 0x1F, 0x80};
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    f = {3, 0x0F, 0x800};
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    f = {4, 0x07, 0x10000};
  } else {
    return {};
  }
  const std::size_t length = f.length;
  std::uint32_t code = lead & f.bits;
  if (bytes.size() < length) return {};
  for (std::size_t k = 1; k < length; ++k) {
    if ((bytes[k] & 0xC0) != 0x80) return {};
    code = (code << 6) | (bytes[k] & 0x3Fu);
  }
  if (code < f.least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
  return {length, code};
}

std::string character_name(std::span<const std::uint8_t> bytes, Utf8Char c) {
  char number[16];
  std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(c.code));
  std::string name = number;
  if (c.code >= 0xA0 && c.length <= bytes.size()) {
    name.append(" '").append(reinterpret_cast<const char*>(bytes.data()), c.length).append("'");
  }
  return name;
}

}  // namespace msg
