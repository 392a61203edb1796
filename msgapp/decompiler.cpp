#include "msgapp/decompiler.hpp"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/console.hpp"
#include "common/dialog.hpp"
#include "common/files.hpp"
#include "msgapp/compiler.hpp"

namespace msgapp {

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>((c >= 'A' && c <= 'Z') ? c + 32 : c);
  return s;
}

// The ending of the file name's last part ("dir/msgs.en.BIN" -> ".bin"), in lower case.
std::string ending_of(const std::string& name) {
  const std::size_t base = name.find_last_of("/\\");
  const std::size_t from = base == std::string::npos ? 0 : base + 1;
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot <= from) return "";
  return lower(name.substr(dot));
}

struct ArchiveNames {
  std::string body;
  std::string index;
};

// The archive that `name` names: the body (.bin) or the index (.tbl or .off) as given, the other
// file named after it as the compilers name it; a bare name gives both. nullopt after a line on
// stderr when the index named is of the other form than the switches say.
std::optional<ArchiveNames> archive_names(const std::string& name, bool table_mode) {
  const char* index_ending = table_mode ? ".tbl" : ".off";
  const std::string ending = ending_of(name);
  if (ending == ".bin") return ArchiveNames{name, files::derive_output_name(name, index_ending)};
  if (ending == ".tbl" || ending == ".off") {
    if (ending != index_ending) {
      con::error_line(name + (table_mode ? ": an offset file is read with /o"
                                         : ": a table file is read without /o"));
      return std::nullopt;
    }
    return ArchiveNames{files::derive_output_name(name, ".bin"), name};
  }
  return ArchiveNames{files::derive_output_name(name, ".bin"),
                      files::derive_output_name(name, index_ending)};
}

bool open_input(files::InputFile& file, const std::string& name) {
  if (file.open(name)) return true;
  if (file.error() != files::InputError::cannot_open) {
    con::error_line(name + ": " + files::describe(file.error()));
    return false;
  }
  std::error_code ec;
  const bool exists = std::filesystem::exists(std::filesystem::path(name), ec);
  con::error_line(name + (exists ? ": cannot read the file" : ": no such file"));
  return false;
}

}  // namespace

int run_decompiler(const Decompiler& program, const shell::Args& args) {
  const Switches sw = parse_switches(args, kLineNumbers | kTableMode, /*accept_q=*/false);
  if (sw.help) {
    std::fputs(program.usage, stdout);
    std::fflush(stdout);
    return 0;
  }
  std::string name;
  if (sw.input) {
    name = *sw.input;
  } else {
    auto line = con::ask_line(stdout, "\nmessage archive? ", "name for the archive");
    if (!line) return exit_status::kEndOfInput;
    name = *line;
  }
  const bool table_mode = (sw.settings & kTableMode) != 0;
  shell::set_subject(name);
  const auto names = archive_names(name, table_mode);
  if (!names) return 1;

  files::InputFile body;
  files::InputFile index;
  {
    // A compiler putting a new archive in place waits until both files are open, so the two are
    // of one archive.
    files::FolderLock lock;
    lock.lock(names->index, /*exclusive=*/false);
    if (!open_input(body, names->body) || !open_input(index, names->index)) return 1;
  }
  const msg::MessageEnds ends = msg::read_index(index, table_mode, body.bytes().size());
  if (ends.problem) {
    con::error_line((ends.problem->in_body ? names->body : names->index) + ": " +
                    ends.problem->text);
    return 1;
  }

  const std::vector<std::string> inputs = {names->body, names->index};
  const auto output = dialog::choose_output(files::derive_output_name(name, program.ending), inputs,
                                            {stdout, program.output_prompt, program.output_what});
  if (!output) return exit_status::kEndOfInput;
  files::AtomicFile out;
  if (!out.open(*output)) {
    con::error_line(*output + ": " + out.why());
    return 1;
  }
  const msg::Layout layout{program.form, (sw.settings & kLineNumbers) != 0, program.check};
  const auto refused = msg::decompile(body, ends.ends, layout, [&out](std::string_view piece) {
    out.write(piece.data(), piece.size());
  });
  if (body.cut_short() || index.cut_short()) {
    out.discard();
    con::error_line((body.cut_short() ? names->body : names->index) + ": " + files::kCutShort);
    return 1;
  }
  if (refused) {
    out.discard();
    con::error_line(names->body + ": message " + std::to_string(*refused) +
                    " has no text that compiles back to its bytes; nothing written");
    return 1;
  }
  if (!out.commit()) {
    con::error_line(*output + ": " + out.why());
    return 1;
  }
  if (ends.ends.empty() && program.empty_source_gives_a_message) {
    con::error_line(names->body + ": the archive holds no messages; " + *output +
                    " holds none either, and compiling it gives one empty message");
  }
  return 0;
}

}  // namespace msgapp
