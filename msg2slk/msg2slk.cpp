#include "msg2slk/msg2slk.hpp"

#include <algorithm>

#include "slk2msg/sylk.hpp"

namespace msg2slk {

namespace {

constexpr const char* kUsage =
    "Usage: msg2slk [/o] [/L] [/H] NAME.bin\n"
    "Turns a message archive (NAME.bin with its index NAME.tbl, or NAME.off with /o) back into a\n"
    "SYLK table, NAME.slk, that slk2msg with the same switches compiles to the same bytes: one "
    "row\n"
    "per message, its number in column 1 and its text in column 2. NAME may be given as the body,\n"
    "the index or the bare name.\n"
    "  /o or -o              read the offset file NAME.off, not the table NAME.tbl\n"
    "  /L or -L              write no message numbers: the texts go in column 1\n"
    "  /H, /?, -h or --help  display this help message\n"
    "  --version             print the version\n";

}  // namespace

bool check_cell(std::span<const std::uint8_t> piece, std::span<const std::uint8_t> bytes,
                msg::CheckScratch& scratch) {
  if (piece.size() < 3 || piece.front() != '"' || piece.back() != '"') return false;
  const bool printable = std::all_of(piece.begin() + 1, piece.end() - 1, [](std::uint8_t c) {
    return c >= 0x20 && c <= 0x7E && c != '"' && c != ';';
  });
  if (!printable) return false;
  scratch.body.clear();
  const unsigned long reports = scratch.diag.reports();
  const slk2msg::SylkMessage m = slk2msg::encode_sylk_message(piece, 0, scratch.body, scratch.diag);
  return scratch.diag.reports() == reports && !m.unclosed &&
         std::equal(scratch.body.begin(), scratch.body.end(), bytes.begin(), bytes.end());
}

int run(const std::vector<std::string>& args) {
  const msg::Decompiler program{"msg2slk",
                                kUsage,
                                ".slk",
                                "\noutput SYLK file? ",
                                "name for the SYLK file",
                                msg::SourceForm::sylk,
                                check_cell,
                                /*empty_source_gives_a_message=*/false};
  return msg::run_decompiler(program, args);
}

}  // namespace msg2slk
