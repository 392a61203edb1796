#include "common/cli.hpp"
#include "common/console.hpp"
#include "greyconv/greyconv.hpp"

namespace {

constexpr const char* kUsage =
    "Usage: greyconv [IMAGE.tga]\n"
    "Converts an uncompressed greyscale TGA image into raw N64 texels (no header). After the\n"
    "image's report, one key chooses the output:\n"
    "  1  IA 8-bit            (16-bit grey and alpha pixels)\n"
    "  2  IA 4-bit            (16-bit pixels)\n"
    "  3  I 4-bit from alpha  (16-bit pixels)\n"
    "  4  I 4-bit from grey   (16-bit pixels)\n"
    "  5  I 4-bit             (8-bit grey pixels)\n"
    "  space  quit without writing\n"
    "\n"
    "  IMAGE.tga   asked for when missing or unreadable\n"
    "  -h, -?, /?, --help   this text;  --version   the version\n"
    "\n"
    "The output is IMAGE cut at the first dot of its file name, plus \".bin\" (tex/wood.tga\n"
    "gives tex/wood.bin); it is asked for when that cannot be written or names the input.\n"
    "From a pipe, a key is the next byte of standard input.\n"
    "Exit status: 0 converted, or quit at the menu; 1 the image refused or the output not\n"
    "written; 2 input ended at the menu or a prompt, or an unknown --option.\n";

}  // namespace

int main(int argc, char** argv) {
  con::init();
  con::set_program_name("greyconv");
  if (const auto status = cli::standard_options({"greyconv", kUsage, true}, argc, argv)) {
    return *status;
  }
  return greyconv::run(argc, argv);
}
