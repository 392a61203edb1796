#include "common/cli.hpp"
#include "common/console.hpp"
#include "romext/romext.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: romext [IMAGE]\n"
    "Copies an N64 ROM image; on request puts a byte-swapped image (.v64: 16-bit swapped,\n"
    "or 32-bit swapped) back into native order, and on request doubles its size with zeros.\n"
    "\n"
    "  IMAGE   the ROM image (the last argument counts); asked for when missing or unreadable\n"
    "  -h, -?, /?, --help   this text;  --version   the version\n"
    "\n"
    "The output is IMAGE cut at the first dot of its file name, plus \"-ext.n64\"\n"
    "(roms/game.v64 gives roms/game-ext.n64); it is asked for when that cannot be written or\n"
    "names the input. Questions take the first character of an answer line (Y or y: yes); from\n"
    "a script, one answer per line: printf 'y\\nn\\n\\n' | romext game.v64\n"
    "Exit status: 0 written; 1 the image refused (4 GiB or more), unreadable, or the output not\n"
    "written; 2 input ended at a prompt, or an unknown --option.\n";

}  // namespace

int main(int argc, char** argv) {
  con::init();
  con::set_program_name("romext");
  if (const auto status = cli::standard_options({"romext", kUsage, true}, argc, argv)) {
    return *status;
  }
  return romext::run(argc, argv);
}
