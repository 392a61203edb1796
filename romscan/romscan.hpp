// romscan: lists the Yaz0, Yay0 and MIO0 blocks of an N64 ROM image (in any of its byte orders)
// and the free area at its end, and on request writes each block expanded, with the list that
// romput --list reads back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/shell.hpp"
#include "scancore/scan.hpp"

namespace romscan {

struct Options {
  scancore::ScanOptions scan;
  bool tsv = false;
  std::optional<std::string> extract;  // --extract DIR
  std::optional<std::string> input;
  std::string problem;  // a line for the user when the arguments cannot be used
};

// --align N, --max SIZE (a number, hex after 0x, with K or M for KiB or MiB), --tsv and
// --extract DIR anywhere; the one name is the image.
Options parse_arguments(const std::vector<std::string>& args);

// The report: a line per block (offset, end, format, packed and expanded sizes), then the totals
// and the free area; with `tsv`, a heading and tab-separated rows alone.
std::string report(const scancore::Scan& scan, bool tsv);

// The whole program; returns the exit status.
int run(const shell::Args& args);

extern const shell::Program kProgram;

}  // namespace romscan
