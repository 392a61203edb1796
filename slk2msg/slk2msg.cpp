#include "slk2msg/slk2msg.hpp"

#include <array>
#include <cstdio>

#include "common/console.hpp"
#include "msgapp/compiler.hpp"
#include "msgcore/sylk.hpp"

namespace slk2msg {
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

constexpr std::array<const char*, 5> kHelp = {
    "\nConverts SYLK table to Hollowfen bin+offset file",
    "\n\t/o or -o\tcreate offset file, not table",
    "\n\t/L or -L\tignore line numbers (first column)",
    "\n\t/H, /?, -H, or -?\tdisplay this help message",
    "\npress enter to quit",
};

}  // namespace

int run(const shell::Args& args) {
  const msgapp::FrontEnd fe{"\nSYLK file (latin scripts only)? ", "SYLK file name",
                            msgapp::kLineNumbers | msgapp::kTableMode, /*accept_q=*/false, kHelp};
  int status = exit_status::kDone;
  auto started = msgapp::start_compile(fe, args, status);
  if (!started) return status;
  const std::uint8_t settings = started->switches.settings;
  msgapp::OpenedFiles* opened = &started->files;

  // The body goes to its file as it is made, so a table whose messages make a large body never
  // holds it in memory.
  msgapp::ArchiveOutput out;
  if (!out.open(*opened, (settings & msgapp::kTableMode) != 0)) return exit_status::kFailed;
  // Every report waits for Enter; at the end of input it goes on at once.
  msg::Diagnostics diag(msg::DiagBuild::sylk, stderr, [] { return con::read_char(); });
  diag.locate(opened->input_name, opened->input);
  const int text_column = (settings & msgapp::kLineNumbers) ? 2 : 1;
  const msg::TableEnd table = msg::read_table(opened->input, text_column, diag, out.writer());
  msgapp::EndWarning warning;
  const std::string name = msg::printable_name(opened->input_name);
  if (table.ended_early) {
    warning = {name +
                   ": the table ends early (no line end after its last record); read as if it "
                   "ended there",
               opened->input.bytes().size(), "the table ends here"};
  } else if (table.unclosed) {
    warning = {msg::unclosed_warning(name, table.unclosed), table.unclosed.at,
               msg::unclosed_note(table.unclosed)};
  }
  return msgapp::finish_compile(out, *opened, warning, diag);
}

const shell::Program kProgram{.name = "slk2msg", .usage = kUsage, .run = run, .short_help = false};

}  // namespace slk2msg
