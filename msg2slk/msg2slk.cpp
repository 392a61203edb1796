#include "msg2slk/msg2slk.hpp"

#include "msgapp/decompiler.hpp"
#include "msgcore/sylk.hpp"

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

int run(const shell::Args& args) {
  const msgapp::Decompiler program{kUsage,
                                   ".slk",
                                   "\noutput SYLK file? ",
                                   "name for the SYLK file",
                                   msg::SourceForm::sylk,
                                   msg::check_cell,
                                   /*empty_source_gives_a_message=*/false};
  return msgapp::run_decompiler(program, args);
}

const shell::Program kProgram{.name = "msg2slk", .usage = kUsage, .run = run};

}  // namespace msg2slk
