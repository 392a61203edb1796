#include "txt2msg/txt2msg.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

#include "common/console.hpp"
#include "msgcore/encoding.hpp"
#include "msgcore/frontend.hpp"

namespace txt2msg {

std::size_t first_message_offset(std::span<const std::uint8_t> dump) {
  if (!dump.empty() && dump[0] == 0xEF) return std::min<std::size_t>(3, dump.size());
  return 0;
}

msg::Archive compile_dump(std::span<const std::uint8_t> dump, std::size_t start, bool line_numbers,
                          msg::Diagnostics& diag, const BodySink& sink, msg::Unclosed* unclosed,
                          std::uint64_t max_body, const msg::LengthSink& length_sink) {
  msg::Archive archive;
  // With a sink the body is held a piece at a time; a small dump needs no more than its size.
  archive.body.reserve(sink ? std::min(msg::kBodyPiece, dump.size()) + 4096 : dump.size());
  std::size_t pos = start;
  std::uint64_t passed_on = 0;  // body bytes already given to the sink
  msg::SourceIndex index(dump);
  for (;;) {
    if (line_numbers) pos = msg::pass_terminator(dump, pos).next;
    const msg::Message m = msg::encode_text_message(dump, pos, archive.body, diag, index);
    archive.lengths.push_back(m.length);
    if (unclosed != nullptr && m.unclosed) unclosed->note(m.unclosed.at, m.unclosed.opener);
    if (passed_on + archive.body.size() > max_body) {
      archive.too_large = true;
      break;
    }
    if (sink && archive.body.size() >= msg::kBodyPiece) {
      sink(archive.body);
      passed_on += archive.body.size();
      archive.body.clear();
    }
    if (length_sink && archive.lengths.size() >= msg::kLengthPiece) {
      length_sink(archive.lengths);
      archive.lengths.clear();
    }
    if (m.last) break;
    pos = m.next;
  }
  if (sink) {
    sink(archive.body);
    archive.body.clear();
  }
  if (length_sink) {
    length_sink(archive.lengths);
    archive.lengths.clear();
  }
  return archive;
}

namespace {

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

int run(const std::vector<std::string>& args) {
  const msg::Switches sw = msg::parse_switches(
      args, msg::kLineNumbers | msg::kTableMode | msg::kBomComplaint, /*accept_q=*/true);
  if (sw.help) {
    msg::show_help(kHelp);
    return 0;
  }

  std::string input_name;
  return con::run_guarded(input_name, [&]() {
    const msg::FrontEnd fe{"\nUTF-8 text file? ", "text file name"};
    int status = 0;
    auto opened = msg::open_files(fe, sw.settings, sw.input, status);
    if (!opened) return status;
    input_name = opened->input_name;

    const std::size_t start = first_message_offset(opened->input);
    if (start == 0 && (sw.settings & msg::kBomComplaint) != 0) {
      std::fputs(kBomQuestion, stdout);
      const int answer = con::read_char();
      // Declining leaves every file as it was: nothing has been written yet.
      if (answer == EOF || std::toupper(answer) != 'Y') return 1;
    }

    msg::ArchiveOutput out;
    if (!out.open(*opened)) return 1;
    msg::Diagnostics diag(msg::DiagBuild::text_dump, stderr, [] { return con::read_char(); });
    msg::Unclosed unclosed;
    const bool table_mode = (sw.settings & msg::kTableMode) != 0;
    const msg::Archive archive = compile_dump(
        opened->input, start, (sw.settings & msg::kLineNumbers) != 0, diag,
        [&out](std::span<const std::uint8_t> piece) { out.write_body(piece); }, &unclosed,
        msg::kMaxBody,
        [&out, table_mode](std::span<const std::uint32_t> lengths) {
          out.write_lengths(lengths, table_mode);
        });
    return msg::finish_compile(
        out, *opened, archive, table_mode,
        unclosed ? msg::unclosed_warning(opened->input_name, unclosed) : std::string());
  });
}

}  // namespace txt2msg
