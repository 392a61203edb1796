#include <string>
#include <vector>

#include "common/cli.hpp"
#include "common/console.hpp"
#include "slk2msg/sylk.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: slk2msg [/o] [/L] [/H] TABLE.slk\n"
    "Compiles the messages of a SYLK spreadsheet table (line numbers in column 1, one message\n"
    "per row in column 2; latin scripts, escapes, hex runs and tags) into a message archive:\n"
    "TABLE.bin, the messages back to back, and an index, TABLE.tbl (where each message ends,\n"
    "then a zero word) or, with /o, TABLE.off (each message's length).\n"
    "\n"
    "  /o   write the offset file (.off) instead of the table (.tbl)\n"
    "  /L   the messages are in column 1 (no line numbers)\n"
    "  /H   (or /?, -H, -?, -h) show the old help text and wait for Enter\n"
    "  --help, --version   this text, or the version, at once\n"
    "\n"
    "Switches start with '/' or '-' and toggle; the last other argument names the table. The\n"
    "archive is named after the table, cut at the first dot of its file name (proj/msgs.en.slk\n"
    "gives proj/msgs.bin and proj/msgs.tbl). A name that cannot be used is asked for; an\n"
    "existing archive is replaced only when the new one is complete.\n"
    "Exit status: 0 done; 1 the archive not written; 2 input ended at a prompt, or an unknown\n"
    "--option.\n";

}  // namespace

int main(int argc, char** argv) {
  con::init();
  con::set_program_name("slk2msg");
  if (const auto status = cli::standard_options({"slk2msg", kUsage}, argc, argv)) return *status;
  return slk2msg::run(std::vector<std::string>(argv + 1, argv + argc));
}
