#include "msg2txt/msg2txt.hpp"

#include "msgapp/decompiler.hpp"

namespace msg2txt {

namespace {

constexpr const char* kUsage =
    "Usage: msg2txt [/o] [/L] [/H] NAME.bin\n"
    "Turns a message archive (NAME.bin and its index NAME.tbl, or NAME.off with /o) back into a\n"
    "text dump, NAME.txt, that txt2msg with the same switches compiles to the same bytes.\n"
    "\n"
    "  /o   read the offset file (.off) instead of the table (.tbl)\n"
    "  /L   write no line numbers: each line is the message alone\n"
    "  /H   (or /?, -H, -?, -h, --help) this text, at once; --version the version\n"
    "\n"
    "NAME may be the body, the index or the bare name. Kana and symbols come out as the game's\n"
    "characters, control codes as tags, anything else as hex runs (#7F 06#). An existing dump is\n"
    "replaced only when you say so, and only once the new one is complete.\n"
    "Exit status: 0 done; 1 the archive does not hold together, or the dump not written; 2 input\n"
    "ended at a prompt, or an unknown --option.\n";

}  // namespace

int run(const shell::Args& args) {
  const msgapp::Decompiler program{kUsage,
                                   ".txt",
                                   "\noutput text file? ",
                                   "name for the text file",
                                   msg::SourceForm::dump,
                                   msg::check_dump_line,
                                   /*empty_source_gives_a_message=*/true};
  return msgapp::run_decompiler(program, args);
}

const shell::Program kProgram{.name = "msg2txt", .usage = kUsage, .run = run};

}  // namespace msg2txt
