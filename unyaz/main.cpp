#include "common/cli.hpp"
#include "common/console.hpp"
#include "unyaz/unyaz.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: unyaz [INPUT [OUTPUT]]\n"
    "Expands a Yaz0 or Yay0 compressed file. A file with another signature is decoded with\n"
    "the 12-byte header of older tools after a question (space bar: go on; any other key: quit).\n"
    "\n"
    "  INPUT    the compressed file; asked for when missing or unreadable\n"
    "  OUTPUT   where the expanded bytes go; by default INPUT cut at the first dot of its file\n"
    "           name, plus \" new.bin\" (levels/forest.szs gives \"levels/forest new.bin\")\n"
    "  -h, -?, /?, --help   this text;  --version   the version\n"
    "\n"
    "All messages go to standard error. The output never replaces the input.\n"
    "Exit status: 0 expanded; 255 the file ends early or its data is faulty, the forced\n"
    "decoding refused, or the output not written; 2 input ended at a prompt, a third name, or\n"
    "an unknown --option. After a fault, the bytes decoded before it are kept in a new output\n"
    "file; an existing file of that name is left as it was.\n";

}  // namespace

int main(int argc, char** argv) {
  con::init();
  con::set_program_name("unyaz");
  if (const auto status = cli::standard_options({"unyaz", kUsage, true}, argc, argv)) {
    return *status;
  }
  return unyaz::run(argc, argv);
}
