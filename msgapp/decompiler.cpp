#include "msgapp/decompiler.hpp"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/console.hpp"
#include "common/dialog.hpp"
#include "common/files.hpp"
#include "common/outcome.hpp"
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

bool exists(const std::string& name) {
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::path(name), ec);
}

// Opens one file of the archive; `other_index`, when given, is the index of the other form, which
// the line names when it stands there instead.
bool open_input(files::InputFile& file, const std::string& name,
                const std::string& other_index = "", bool table_mode = true) {
  if (file.open(name)) return true;
  if (file.error() != files::InputError::cannot_open) {
    con::error_line(name + ": " + files::describe(file.error()));
    return false;
  }
  if (exists(name)) {
    con::error_line(name + ": cannot read the file");
  } else if (!other_index.empty() && exists(other_index)) {
    con::error_line(name + ": no such file; " + other_index +
                    (table_mode ? " is there: an offset file is read with /o"
                                : " is there: a table file is read without /o"));
  } else {
    con::error_line(name + ": no such file");
  }
  return false;
}

}  // namespace

namespace {

// The archive a decompiler reads: both files, of one archive, and where its messages end.
struct Archive {
  ArchiveNames names;
  files::InputFile body;
  files::InputFile index;
  msg::MessageEnds ends;
};

// Opens the archive that `name` names and reads its index; the exit status after a line when it
// cannot be read.
std::optional<int> read_archive(const std::string& name, bool table_mode, Archive& a) {
  const auto names = archive_names(name, table_mode);
  if (!names) return exit_status::kFailed;
  a.names = *names;
  {
    // A compiler putting a new archive in place waits until both files are open, so the two are
    // of one archive.
    files::FolderLock lock;
    lock.lock(a.names.index, /*exclusive=*/false);
    const std::string other =
        files::derive_output_name(a.names.index, table_mode ? ".off" : ".tbl");
    if (!open_input(a.body, a.names.body) ||
        !open_input(a.index, a.names.index, other, table_mode)) {
      return exit_status::kFailed;
    }
  }
  a.ends = msg::read_index(a.index, table_mode, a.body.bytes().size());
  if (a.ends.problem) {
    con::error_line((a.ends.problem->in_body ? a.names.body : a.names.index) + ": " +
                    a.ends.problem->text);
    return exit_status::kFailed;
  }
  return std::nullopt;
}

// Writes the source of archive `a` to `output`. Returns the exit status.
int write_source(const Decompiler& program, Archive& a, const msg::Layout& layout,
                 const std::string& output) {
  files::AtomicFile out;
  if (!outcome::open(out, output)) return exit_status::kFailed;
  const auto refused = msg::decompile(a.body, a.ends.ends, layout, [&out](std::string_view piece) {
    out.write(piece.data(), piece.size());
  });
  const outcome::Source sources[] = {{a.body, a.names.body}, {a.index, a.names.index}};
  if (refused) {
    out.discard();
    if (outcome::inputs_whole(sources)) {
      con::error_line(a.names.body + ": message " + std::to_string(*refused) +
                      " has no text that compiles back to its bytes; nothing written");
    }
    return exit_status::kFailed;
  }
  files::AtomicFile* const outputs[] = {&out};
  if (const int status = outcome::finish(outputs, sources)) return status;
  if (a.ends.ends.empty() && program.empty_source_gives_a_message) {
    con::error_line(a.names.body + ": the archive holds no messages; " + output +
                    " holds none either, and compiling it gives one empty message");
  }
  return exit_status::kDone;
}

}  // namespace

int run_decompiler(const Decompiler& program, const shell::Args& args) {
  const Switches sw = parse_switches(args, kLineNumbers | kTableMode, /*accept_q=*/false);
  if (sw.help) {
    return con::put_report(program.usage) ? exit_status::kDone : exit_status::kFailed;
  }
  std::string name;
  if (sw.input) {
    name = *sw.input;
  } else {
    auto line = con::ask_line(stdout, "\nmessage archive? ", "name for the archive");
    if (!line) return exit_status::kEndOfInput;
    name = *line;
  }
  shell::set_subject(name);
  Archive archive;
  if (const auto status = read_archive(name, (sw.settings & kTableMode) != 0, archive)) {
    return *status;
  }
  const std::vector<std::string> inputs = {archive.names.body, archive.names.index};
  const auto output = dialog::choose_output(files::derive_output_name(name, program.ending), inputs,
                                            {stdout, program.output_prompt, program.output_what});
  if (!output) return exit_status::kEndOfInput;
  const msg::Layout layout{program.form, (sw.settings & kLineNumbers) != 0, program.check};
  return write_source(program, archive, layout, *output);
}

}  // namespace msgapp
