#include "msg2txt/msg2txt.hpp"

#include "msgcore/decompile.hpp"

namespace msg2txt {

namespace {

constexpr const char* kUsage =
    "Usage: msg2txt [/o] [/L] [/H] NAME.bin\n"
    "Turns a message archive (NAME.bin with its index NAME.tbl, or NAME.off with /o) back into a\n"
    "text dump, NAME.txt, that txt2msg with the same switches compiles to the same bytes. NAME "
    "may\n"
    "be given as the body, the index or the bare name.\n"
    "  /o or -o              read the offset file NAME.off, not the table NAME.tbl\n"
    "  /L or -L              write no line numbers: each line is the message alone\n"
    "  /H, /?, -h or --help  display this help message\n"
    "  --version             print the version\n";

}  // namespace

int run(const std::vector<std::string>& args) {
  const msg::Decompiler program{"msg2txt",
                                kUsage,
                                ".txt",
                                "\noutput text file? ",
                                "name for the text file",
                                msg::SourceForm::dump,
                                msg::check_dump_line,
                                /*empty_source_gives_a_message=*/true};
  return msg::run_decompiler(program, args);
}

}  // namespace msg2txt
