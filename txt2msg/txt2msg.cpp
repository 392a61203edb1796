#include "txt2msg/txt2msg.hpp"

#include <array>
#include <cctype>
#include <cstdio>

#include "common/console.hpp"
#include "msgapp/compiler.hpp"
#include "msgcore/dump.hpp"

namespace txt2msg {
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
    "Exit status: 0 done; 1 the byte-order-mark question declined, a UTF-16 file, or the archive\n"
    "not written; 2 input ended at a prompt, or an unknown --option.\n";

constexpr std::array<const char*, 6> kHelp = {
    "\nConverts UTF-8 text dump to Hollowfen bin+offset file",
    "\n\t/o or -o\tcreate offset file, not table",
    "\n\t/L or -L\tignore line numbers (numeral followed by tab)",
    "\n\t/Q or -Q\tdon't complain if file lacks BOM",
    "\n\t/H, /?, -H, or -?\tdisplay this help message",
    "\npress enter to quit",
};

constexpr const char* kBomQuestion =
    "\n\aThis file doesn't have a UTF-8 BOM.\nIf it is straight ANSI text or a UTF-8 file that "
    "doesn't have a BOM, it will still work.\n\nType 'Y' to continue anyway, or any other phrase "
    "to quit.";

}  // namespace

int run(const shell::Args& args) {
  const msgapp::FrontEnd fe{"\nUTF-8 text file? ", "text file name",
                            msgapp::kLineNumbers | msgapp::kTableMode | msgapp::kBomComplaint,
                            /*accept_q=*/true, kHelp};
  int status = exit_status::kDone;
  auto started = msgapp::start_compile(fe, args, status);
  if (!started) return status;
  const std::uint8_t settings = started->switches.settings;
  msgapp::OpenedFiles* opened = &started->files;

  const std::string name = msg::printable_name(opened->input_name);
  if (const char* form = msg::other_unicode_form(opened->input)) {
    con::error_line(name + ": the file is " + form +
                    " text (Notepad's \"Unicode\"), not UTF-8: save it as UTF-8 and compile it "
                    "again; nothing written");
    return exit_status::kFailed;
  }
  const std::size_t start = msg::first_message_offset(opened->input);
  if (start == 0 && (settings & msgapp::kBomComplaint) != 0) {
    std::fputs(kBomQuestion, stdout);
    const int answer = con::read_char();
    // Declining leaves every file as it was: nothing has been written yet.
    if (answer == EOF || std::toupper(answer) != 'Y') {
      con::error_line(name +
                      ": not compiled, as the byte-order-mark question was not answered Y; "
                      "nothing written");
      return exit_status::kFailed;
    }
  }

  msgapp::ArchiveOutput out;
  if (!out.open(*opened, (settings & msgapp::kTableMode) != 0)) return exit_status::kFailed;
  msg::Diagnostics diag(msg::DiagBuild::text_dump, stderr, [] { return con::read_char(); });
  diag.locate(opened->input_name, opened->input);
  msg::Unclosed unclosed;
  msg::compile_dump(opened->input, start, (settings & msgapp::kLineNumbers) != 0, diag,
                    out.writer(), &unclosed);
  msgapp::EndWarning warning;
  if (unclosed) {
    warning = {msg::unclosed_warning(name, unclosed), unclosed.at, msg::unclosed_note(unclosed)};
  }
  return msgapp::finish_compile(out, *opened, warning, diag);
}

const shell::Program kProgram{.name = "txt2msg", .usage = kUsage, .run = run, .short_help = false};

}  // namespace txt2msg
