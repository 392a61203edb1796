#include "msg2slk/msg2slk.hpp"

#include <algorithm>

#include "slk2msg/sylk.hpp"

namespace msg2slk {

namespace {

constexpr const char* kUsage =
    "Usage: msg2slk [/o] [/L] [/H] NAME.bin\n"
    "Turns a message archive (NAME.bin and its index NAME.tbl, or NAME.off with /o) back into a\n"
    "SYLK table, NAME.slk, that slk2msg with the same switches compiles to the same bytes: one\n"
    "row per message, its number in column 1 and its text in column 2.\n"
    "\n"
    "  /o   read the offset file (.off) instead of the table (.tbl)\n"
    "  /L   write no numbers: the texts go in column 1\n"
    "  /H   (or /?, -H, -?, -h, --help) this text, at once; --version the version\n"
    "\n"
    "NAME may be the body, the index or the bare name. Cells hold printable ASCII only: kana\n"
    "as tags ([h-ka]), symbols as escapes ($h), control codes as tags, anything else as hex runs\n"
    "(#7F 06#). An existing table is replaced only when you say so, and only once the new one is\n"
    "complete.\n"
    "Exit status: 0 done; 1 the archive does not hold together, or the table not written; 2\n"
    "input ended at a prompt, or an unknown --option.\n";

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
