#include <string>
#include <vector>

#include "common/cli.hpp"
#include "common/console.hpp"
#include "txt2msg/txt2msg.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: txt2msg [/o] [/L] [/Q] [/H] DUMP.txt\n"
    "Compiles a text dump (one message per line; UTF-8 kana, escapes, hex runs and tags) into\n"
    "a message archive: DUMP.bin, the messages back to back, and an index, DUMP.tbl (where each\n"
    "message ends, then a zero word) or, with /o, DUMP.off (each message's length).\n"
    "\n"
    "  /o   write the offset file (.off) instead of the table (.tbl)\n"
    "  /L   the lines have no line numbers: every line (or tab-separated field) is a message\n"
    "  /Q   do not ask about a missing UTF-8 byte-order mark\n"
    "  /H   (or /?, -H, -?, -h) show the old help text and wait for Enter\n"
    "  --help, --version   this text, or the version, at once\n"
    "\n"
    "Switches start with '/' or '-' and toggle; the last other argument names the dump. The\n"
    "archive is named after the dump, cut at the first dot of its file name (proj/dump.txt gives\n"
    "proj/dump.bin and proj/dump.tbl). A name that cannot be used is asked for; an existing\n"
    "archive is replaced only when the new one is complete.\n"
    "Exit status: 0 done; 1 the byte-order-mark question declined, or the archive not written;\n"
    "2 input ended at a prompt, or an unknown --option.\n";

}  // namespace

int main(int argc, char** argv) {
  con::init();
  con::set_program_name("txt2msg");
  if (const auto status = cli::standard_options({"txt2msg", kUsage}, argc, argv)) return *status;
  return txt2msg::run(std::vector<std::string>(argv + 1, argv + argc));
}
