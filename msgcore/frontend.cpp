#include "msgcore/frontend.hpp"

#include <cstdio>

#include "common/console.hpp"
#include "common/files.hpp"
#include "common/input_dialog.hpp"
#include "common/signals.hpp"

namespace msg {

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
                                      const std::optional<std::string>& input_name) {
  int status = 0;
  return open_files(fe, settings, input_name, status);
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
  status = con::kExitEndOfInput;  // from here on, only a prompt ends the dialogue early

  const bool table = (settings & kTableMode) != 0;
  f.index_name = files::derive_output_name(f.input_name, table ? ".tbl" : ".off");
  const std::string index_prompt =
      std::string("\noutput ") + (table ? "table" : "offset") + " file? ";
  while (files::same_target(f.index_name, f.input_name) || !files::can_create(f.index_name)) {
    auto line = con::ask_line(stdout, index_prompt.c_str(), "name for the index file");
    if (!line) return std::nullopt;
    f.index_name = *line;
  }

  f.body_name = files::derive_output_name(f.index_name, ".bin");
  while (files::same_target(f.body_name, f.input_name) ||
         files::same_target(f.body_name, f.index_name) || !files::can_create(f.body_name)) {
    auto line = con::ask_line(stdout, "\noutput binary? ", "name for the body file");
    if (!line) return std::nullopt;
    f.body_name = *line;
  }
  return f;
}

bool ArchiveOutput::open(const OpenedFiles& names) {
  if (!index_.open(names.index_name)) {
    con::error_line(names.index_name + ": cannot create the file");
    return false;
  }
  if (!body_.open(names.body_name)) {
    con::error_line(names.body_name + ": cannot create the file");
    index_.discard();
    return false;
  }
  return true;
}

void ArchiveOutput::write_body(std::span<const std::uint8_t> bytes) {
  body_.write(bytes.data(), bytes.size());
}

void ArchiveOutput::write_lengths(std::span<const std::uint32_t> lengths, bool table_mode) {
  std::vector<std::uint8_t> words;
  words.reserve(lengths.size() * 4);
  for (const std::uint32_t length : lengths) {
    total_ += length;
    put_be32(words, table_mode ? total_ : length);
  }
  index_.write(words);
}

int ArchiveOutput::finish(std::span<const std::uint32_t> lengths, bool table_mode) {
  write_lengths(lengths, table_mode);
  if (table_mode) index_.write(std::vector<std::uint8_t>(4, 0));
  const std::string index_name = index_.target();
  const std::string body_name = body_.target();
  // Both files are complete before either replaces what the user had, so a failure never leaves
  // a new index beside an old body.
  const bool index_done = index_.finish();
  const bool body_done = body_.finish();
  if (!index_done || !body_done) {
    discard();
    con::error_line((index_done ? body_name : index_name) + ": cannot write the file");
    return 1;
  }
  // Another run putting the same pair in place waits for this one (and this one for it), and an
  // interruption waits until both files are in place.
  files::FolderLock lock;
  lock.lock(index_name);
  const signals::Hold hold;
  if (!body_.publish()) {
    index_.discard();
    con::error_line(body_name + ": cannot write the file");
    return 1;
  }
  if (!index_.publish()) {
    // A new body would stand without an index: it goes again. (An old body that it replaced
    // cannot come back; its index is the old one.)
    const bool body_removed =
        !body_.target_existed() && std::remove(files::resolve_links(body_name).c_str()) == 0;
    con::error_line(index_name + ": cannot write the file" +
                    (body_removed ? "; nothing written" : ""));
    return 1;
  }
  return 0;
}

void ArchiveOutput::discard() {
  index_.discard();
  body_.discard();
}

int write_archive(const Archive& archive, bool table_mode, const OpenedFiles& names) {
  ArchiveOutput out;
  if (!out.open(names)) return 1;
  out.write_body(archive.body);
  return out.finish(archive.lengths, table_mode);
}

int finish_compile(ArchiveOutput& out, const OpenedFiles& files, const Archive& archive,
                   bool table_mode, const std::string& warning) {
  if (archive.too_large || files.input.cut_short()) {
    out.discard();
    con::error_line(files.input_name + ": " + (archive.too_large ? kTooLarge : files::kCutShort));
    return 1;
  }
  if (!warning.empty()) con::error_line(warning);
  return out.finish(archive.lengths, table_mode);
}

void show_help(std::span<const char* const> lines) {
  for (const char* line : lines) std::fputs(line, stdout);
  std::fflush(stdout);
  con::read_char();
}

}  // namespace msg
