#include "msgapp/compiler.hpp"

#include <cstdio>

#include "common/console.hpp"
#include "common/dialog.hpp"
#include "common/files.hpp"
#include "common/outcome.hpp"
#include "common/switches.hpp"

namespace msgapp {

namespace {

enum SwitchId { kHelp, kHelpMark, kLines, kTable, kBom };
constexpr switches::Switch kSwitchList[] = {
    {.id = kHelp, .letter = 'h'},  {.id = kHelpMark, .letter = '?'}, {.id = kLines, .letter = 'l'},
    {.id = kTable, .letter = 'o'}, {.id = kBom, .letter = 'q'},
};
// Only the second character of a switch counts; unknown switches are passed over.
constexpr switches::Policy kSwitches{.known = kSwitchList, .lenient = true};

}  // namespace

Switches parse_switches(std::span<const std::string> args, std::uint8_t initial, bool accept_q) {
  const switches::Parsed p = switches::read(args, kSwitches);
  Switches sw;
  sw.settings = initial;
  for (const switches::Found& f : p.found) {
    if (f.id == kHelp || f.id == kHelpMark) {
      // The arguments after a help switch are not looked at.
      sw.help = true;
      if (f.names_before > 0) sw.input = p.names[f.names_before - 1];
      return sw;
    }
    if (f.id == kLines) sw.settings ^= kLineNumbers;
    if (f.id == kTable) sw.settings ^= kTableMode;
    if (f.id == kBom && accept_q) sw.settings ^= kBomComplaint;
  }
  if (!p.names.empty()) sw.input = p.names.back();
  return sw;
}

std::optional<OpenedFiles> open_files(const FrontEnd& fe, std::uint8_t settings,
                                      const std::optional<std::string>& input_name, int& status) {
  OpenedFiles f;
  f.input_name = input_name.value_or("");
  const dialog::InputDialog ask{stdout, fe.input_prompt, fe.input_what};
  if (auto failed = dialog::open_input(f.input, f.input_name, ask, !input_name.has_value())) {
    status = *failed;
    return std::nullopt;
  }
  status = exit_status::kEndOfInput;  // from here on, only a prompt ends the dialogue early

  const bool table = (settings & kTableMode) != 0;
  const std::string index_prompt =
      std::string("\noutput ") + (table ? "table" : "offset") + " file? ";
  const std::vector<std::string> inputs = {f.input_name};
  auto index = files::derive_output_name(f.input_name, table ? ".tbl" : ".off");
  const auto index_name = dialog::choose_output(
      index, inputs,
      dialog::OutputDialog::replacing(stdout, index_prompt.c_str(), "name for the index file"));
  if (!index_name) return std::nullopt;
  f.index_name = *index_name;

  const std::vector<std::string> both = {f.input_name, f.index_name};
  const auto body_name = dialog::choose_output(
      files::derive_output_name(f.index_name, ".bin"), both,
      dialog::OutputDialog::replacing(stdout, "\noutput binary? ", "name for the body file"));
  if (!body_name) return std::nullopt;
  f.body_name = *body_name;
  return f;
}

bool ArchiveOutput::open(const OpenedFiles& names, bool table_mode) {
  if (!outcome::open(index_, names.index_name)) return false;
  if (!outcome::open(body_, names.body_name)) {
    index_.discard();
    return false;
  }
  writer_ = msg::ArchiveWriter(
      table_mode,
      [this](std::span<const std::uint8_t> piece) { body_.write(piece.data(), piece.size()); },
      [this](std::span<const std::uint8_t> piece) { index_.write(piece.data(), piece.size()); });
  return true;
}

int ArchiveOutput::finish(files::InputFile& input, const std::string& input_name) {
  writer_.finish();
  // Both files are complete before either replaces what the user had, and the body goes in
  // first: a failure never leaves a new index beside an old body.
  files::AtomicFile* const outputs[] = {&body_, &index_};
  const outcome::Source sources[] = {{input, input_name}};
  return outcome::finish(outputs, sources);
}

void ArchiveOutput::discard() {
  index_.discard();
  body_.discard();
}

int finish_compile(ArchiveOutput& out, OpenedFiles& files, const EndWarning& warning,
                   msg::Diagnostics& diag) {
  const std::string name = msg::printable_name(files.input_name);
  if (out.writer().too_large()) {
    out.discard();
    con::error_line(name + ": " + msg::kTooLarge);
    return exit_status::kFailed;
  }
  if (!outcome::inputs_whole({{files.input, files.input_name}})) {
    out.discard();
    return exit_status::kFailed;
  }
  if (!warning.text.empty()) {
    con::error_line(warning.text);
    diag.note_source(warning.at, warning.note);
  }
  if (const std::string summary = diag.summary(); !summary.empty()) {
    con::error_line(name + ": " + summary);
  }
  return out.finish(files.input, files.input_name);
}

std::optional<Started> start_compile(const FrontEnd& fe, std::span<const std::string> args,
                                     int& status) {
  const Switches sw = parse_switches(args, fe.settings, fe.accept_q);
  if (sw.help) {
    std::string text;
    for (const char* line : fe.help) text += line;
    const bool shown = con::put_report(text);
    con::read_char();
    status = shown ? exit_status::kDone : exit_status::kFailed;
    return std::nullopt;
  }
  auto opened = open_files(fe, sw.settings, sw.input, status);
  if (!opened) return std::nullopt;
  return Started{sw, std::move(*opened)};
}

}  // namespace msgapp
