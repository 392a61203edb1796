// The list of an image's files that romscan --extract writes and romput --list reads back: one
// line per file, its native offset (hex with 0x, or decimal), its format (Yaz0, Yay0, MIO0, or raw
// for bytes put as they are) and its file name, relative to the list's folder:
//
//     # blocks of game.z64 ...
//     offset	format	file
//     0x00A1B2C0	Yaz0	00A1B2C0.bin
//
// Fields are separated by a tab or by blanks; the file name is the rest of the line. Blank lines,
// lines that start with '#' and the heading line are passed over; CR LF line ends are read too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.hpp"
#include "scancore/scan.hpp"

namespace scancore {

struct ListEntry {
  std::uint64_t offset = 0;
  std::optional<Format> format;  // nullopt: raw
  std::string file;
  std::size_t line = 0;  // counted from 1
};

struct List {
  std::vector<ListEntry> entries;
  std::vector<std::string> lines;  // the text as read, line by line (without line ends)
  bool final_line_end = false;     // the text ends in a line end
};

// Reads a list; a line that cannot be read is refused ("line 3: ...").
base::Result<List> read_list(std::string_view text);

// The name romscan --extract gives a block's expanded bytes: its offset in 8 hex digits, ".bin".
std::string block_file_name(std::uint64_t offset);

// The list of `blocks`, as romscan writes it for the image `image_name`.
std::string write_list(const std::vector<Block>& blocks, const std::string& image_name);

// The list's text with new offsets for some entries (the entry's index and its offset); every
// other byte of the text stays as it was. Lines end in LF, or in CR LF where they did.
std::string relocated(const List& list,
                      const std::vector<std::pair<std::size_t, std::uint64_t>>& moves);

}  // namespace scancore
