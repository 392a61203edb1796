#include "scancore/list.hpp"

#include <cctype>
#include <cstdio>

#include "base/text.hpp"

namespace scancore {
namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }

// The field that starts at `at` (blanks before it passed over); `at` moves past it.
std::string_view field(std::string_view line, std::size_t& at) {
  while (at < line.size() && blank(line[at])) ++at;
  const std::size_t from = at;
  while (at < line.size() && !blank(line[at])) ++at;
  return line.substr(from, at - from);
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (blank(text.front()))) text.remove_prefix(1);
  while (!text.empty() && (blank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

bool same_word(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

base::Result<List> read_list(std::string_view text) {
  List list;
  list.final_line_end = !text.empty() && text.back() == '\n';
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    list.lines.emplace_back(text.substr(at, end - at));
    at = end + 1;
  }
  for (std::size_t i = 0; i < list.lines.size(); ++i) {
    const std::string_view line = list.lines[i];
    const std::string_view content = trimmed(line);
    if (content.empty() || content.front() == '#') continue;
    std::size_t at = 0;
    const std::string_view offset = field(line, at);
    if (same_word(offset, "offset")) continue;  // the heading
    const std::string where = "line " + std::to_string(i + 1) + ": ";
    ListEntry entry;
    entry.line = i + 1;
    const auto number = text::parse_number(offset);
    if (!number) {
      return base::refuse(where + "'" + std::string(offset) +
                          "' is not an offset (hex with 0x, or decimal)");
    }
    entry.offset = *number;
    const std::string_view format = field(line, at);
    if (!same_word(format, "raw")) {
      entry.format = parse_format(format);
      if (!entry.format) {
        return base::refuse(where + "'" + std::string(format) +
                            "' is not a format (Yaz0, Yay0, MIO0 or raw)");
      }
    }
    entry.file = std::string(trimmed(line.substr(at)));
    if (entry.file.empty()) return base::refuse(where + "no file name after the format");
    list.entries.push_back(std::move(entry));
  }
  return list;
}

std::string block_file_name(std::uint64_t offset) {
  char name[32];
  std::snprintf(name, sizeof name, "%08llX.bin", static_cast<unsigned long long>(offset));
  return name;
}

std::string write_list(const std::vector<Block>& blocks, const std::string& image_name) {
  std::string text = "# the compressed files of " + image_name +
                     ", expanded (native offsets); romput ROM --list LIST puts back those that "
                     "changed\noffset\tformat\tfile\n";
  for (const Block& b : blocks) {
    text += hex_offset(b.offset) + "\t" + format_name(b.format) + "\t" + block_file_name(b.offset) +
            "\n";
  }
  return text;
}

std::string relocated(const List& list,
                      const std::vector<std::pair<std::size_t, std::uint64_t>>& moves) {
  std::vector<std::string> lines = list.lines;
  for (const auto& [index, offset] : moves) {
    std::string& line = lines[list.entries[index].line - 1];
    std::size_t at = 0;
    while (at < line.size() && blank(line[at])) ++at;
    std::size_t end = at;
    while (end < line.size() && !blank(line[end])) ++end;
    line.replace(at, end - at, hex_offset(offset));
  }
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    text += lines[i];
    if (i + 1 < lines.size() || list.final_line_end) text += '\n';
  }
  return text;
}

}  // namespace scancore
