#include "msgapp/compiler.hpp"

#include <cstdio>

#include "common/console.hpp"
#include "common/dialog.hpp"
#include "common/files.hpp"
#include "common/signals.hpp"

namespace msgapp {

Switches parse_switches(std::span<const std::string> args, std::uint8_t initial, bool accept_q) {
  Switches sw;
  sw.settings = initial;
  for (const std::string& arg : args) {
    // An absolute POSIX path ("/home/me/dump.txt") is a file name, not a switch: a switch never
    // holds a second '/'.
    const bool is_path = arg.size() > 1 && arg[0] == '/' && arg.find('/', 1) != std::string::npos;
    if (!arg.empty() && (arg[0] == '-' || arg[0] == '/') && !is_path) {
      const char which = arg.size() > 1 ? arg[1] : '\0';
      switch (which) {
        case '?':
        case 'H':
        case 'h': sw.help = true; return sw;
        case 'L':
        case 'l': sw.settings ^= kLineNumbers; break;
        case 'O':
        case 'o': sw.settings ^= kTableMode; break;
        case 'Q':
        case 'q':
          if (accept_q) sw.settings ^= kBomComplaint;
          break;
        default: break;
      }
    } else {
      sw.input = arg;
    }
  }
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
  if (!index_.open(names.index_name)) {
    con::error_line(names.index_name + ": " + index_.why());
    return false;
  }
  if (!body_.open(names.body_name)) {
    con::error_line(names.body_name + ": " + body_.why());
    index_.discard();
    return false;
  }
  writer_ = msg::ArchiveWriter(
      table_mode,
      [this](std::span<const std::uint8_t> piece) { body_.write(piece.data(), piece.size()); },
      [this](std::span<const std::uint8_t> piece) { index_.write(piece.data(), piece.size()); });
  return true;
}

int ArchiveOutput::finish() {
  writer_.finish();
  const std::string index_name = index_.target();
  const std::string body_name = body_.target();
  // Both files are complete before either replaces what the user had, so a failure never leaves
  // a new index beside an old body.
  const bool index_done = index_.finish();
  const bool body_done = body_.finish();
  if (!index_done || !body_done) {
    discard();
    con::error_line(index_done ? body_name + ": " + body_.why() : index_name + ": " + index_.why());
    return 1;
  }
  // Another run putting the same pair in place waits for this one (and this one for it), and an
  // interruption waits until both files are in place.
  files::FolderLock lock;
  lock.lock(index_name);
  const signals::Hold hold;
  if (!body_.publish()) {
    index_.discard();
    con::error_line(body_name + ": " + body_.why());
    return 1;
  }
  if (!index_.publish()) {
    // A new body would stand without an index: it goes again. (An old body that it replaced
    // cannot come back; its index is the old one.)
    const bool body_removed =
        !body_.target_existed() && std::remove(files::resolve_links(body_name).c_str()) == 0;
    con::error_line(index_name + ": " + index_.why() + (body_removed ? "; nothing written" : ""));
    return 1;
  }
  return 0;
}

void ArchiveOutput::discard() {
  index_.discard();
  body_.discard();
}

int finish_compile(ArchiveOutput& out, const OpenedFiles& files, const EndWarning& warning,
                   msg::Diagnostics& diag) {
  const bool too_large = out.writer().too_large();
  if (too_large || files.input.cut_short()) {
    out.discard();
    con::error_line(files.input_name + ": " + (too_large ? msg::kTooLarge : files::kCutShort));
    return 1;
  }
  if (!warning.text.empty()) {
    con::error_line(warning.text);
    diag.note_source(warning.at, warning.note);
  }
  if (const std::string summary = diag.summary(); !summary.empty()) {
    con::error_line(files.input_name + ": " + summary);
  }
  return out.finish();
}

std::optional<Started> start_compile(const FrontEnd& fe, std::span<const std::string> args,
                                     int& status) {
  const Switches sw = parse_switches(args, fe.settings, fe.accept_q);
  if (sw.help) {
    for (const char* line : fe.help) std::fputs(line, stdout);
    std::fflush(stdout);
    con::read_char();
    status = 0;
    return std::nullopt;
  }
  auto opened = open_files(fe, sw.settings, sw.input, status);
  if (!opened) return std::nullopt;
  return Started{sw, std::move(*opened)};
}

}  // namespace msgapp
