// The SYLK decompiler: a message archive back into a SYLK table that slk2msg compiles to the same
// bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "msgcore/decompile.hpp"

namespace msg2slk {

// The check of one cell: `piece` is its text with the two quotation marks around it. The text must
// be printable ASCII without a quotation mark or a semicolon, and the SYLK encoding loop must make
// exactly `bytes` of it, with no report.
bool check_cell(std::span<const std::uint8_t> piece, std::span<const std::uint8_t> bytes,
                msg::CheckScratch& scratch);

// The whole program; returns the exit status.
int run(const std::vector<std::string>& args);

}  // namespace msg2slk
