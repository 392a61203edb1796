#include "msgcore/decompile.hpp"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "common/cli.hpp"
#include "common/console.hpp"
#include "common/dialog.hpp"
#include "common/files.hpp"
#include "msgcore/archive.hpp"
#include "msgcore/frontend.hpp"

namespace msg {

namespace {

std::string byte_count(std::uint64_t n) {
  return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

}  // namespace

MessageEnds read_index(std::span<const std::uint8_t> index, bool table_mode,
                       std::uint64_t body_size) {
  MessageEnds r;
  const auto fail = [&r](bool in_body, std::string text) {
    r.ends.clear();
    r.problem = ArchiveProblem{in_body, std::move(text)};
    return r;
  };
  // The compilers write no larger body, and the ends are kept in 32 bits.
  if (body_size > kMaxBody) {
    return fail(true, "the body has " + std::to_string(body_size) + " bytes, more than the " +
                          std::to_string(kMaxBody) + " an archive's offsets can reach");
  }
  const std::size_t size = index.size();
  if (size % 4 != 0) {
    return fail(false, "the last word, at byte " + std::to_string(size / 4 * 4) +
                           ", is cut short (the index is " + byte_count(size) +
                           " long, not a multiple of 4)");
  }
  std::size_t words = size / 4;
  if (table_mode) {
    if (words == 0) {
      return fail(false, "the table is empty: its closing zero word, at byte 0, is missing");
    }
    const std::uint32_t last = get_be32(&index[size - 4]);
    if (last != 0) {
      return fail(false, "the table does not end in a zero word: the last word, at byte " +
                             std::to_string(size - 4) + ", is " + std::to_string(last) +
                             " (an offset file is read with /o)");
    }
    --words;
  }
  r.ends.reserve(words);
  std::uint64_t end = 0;
  for (std::size_t k = 0; k < words; ++k) {
    const std::uint32_t word = get_be32(&index[4 * k]);
    const std::string at = "at byte " + std::to_string(4 * k);
    std::uint64_t next = end + word;
    if (table_mode) {
      if (word < end) {
        return fail(false, "the entry " + at + " (" + std::to_string(word) +
                               ") is less than the one before it (" + std::to_string(end) + ")");
      }
      next = word;
    }
    if (next > body_size) {
      std::string text = table_mode ? "the entry " : "the length ";
      text += at + " (" + std::to_string(word);
      if (table_mode) {
        text += ") points past the end of the body (the body has ";
        text += byte_count(body_size) + ")";
      } else {
        text += ") runs past the end of the body (to offset " + std::to_string(next);
        text += "; the body has " + byte_count(body_size) + "; a table file is read without /o)";
      }
      return fail(false, std::move(text));
    }
    r.ends.push_back(static_cast<std::uint32_t>(next));
    end = next;
  }
  if (end < body_size) {
    return fail(true, "the body is longer than the index covers: its bytes from offset " +
                          std::to_string(end) + " on (" + byte_count(body_size - end) +
                          ") belong to no message");
  }
  return r;
}

bool check_dump_line(std::span<const std::uint8_t> piece, std::span<const std::uint8_t> bytes,
                     CheckScratch& scratch) {
  scratch.body.clear();
  const unsigned long reports = scratch.diag.reports();
  const Message m = encode_text_message(piece, 0, scratch.body, scratch.diag);
  return scratch.diag.reports() == reports && !m.unclosed && m.last && m.next == piece.size() &&
         std::equal(scratch.body.begin(), scratch.body.end(), bytes.begin(), bytes.end());
}

namespace {

constexpr const char* kByteOrderMark = "\xEF\xBB\xBF";
constexpr const char* kLineEnd = "\r\n";

}  // namespace

std::optional<std::size_t> decompile(std::span<const std::uint8_t> body,
                                     std::span<const std::uint32_t> ends, const Layout& layout,
                                     const TextSink& sink) {
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  const bool sylk = layout.form == SourceForm::sylk;
  TextBuffer out;
  TagChecker tags;
  CheckScratch scratch;
  out.append(sylk ? "ID;PMSG2SLK\r\n" : kByteOrderMark);
  // The text column holds long texts: open it wide.
  if (sylk) out.append(layout.line_numbers ? "F;W2 2 80\r\n" : "F;W1 1 80\r\n");
  std::uint32_t start = 0;
  for (std::size_t k = 0; k < ends.size(); ++k) {
    const std::span<const std::uint8_t> bytes = body.subspan(start, ends[k] - start);
    start = ends[k];
    if (sylk) {
      const std::string row = std::to_string(k + 1);
      out.append(layout.line_numbers ? "C;Y" + row + ";X1;K" + std::to_string(k) + "\r\nC;X2;K\""
                                     : "C;Y" + row + ";X1;K\"");
    } else if (layout.line_numbers) {
      out.append(std::to_string(k));
      out.append("\t");
    }
    const std::size_t text = out.size();
    // Closes the message; returns what the compiler reads of it: a dump text with its line end, a
    // cell text with its quotation marks.
    const auto close = [&] {
      out.append(sylk ? "\"\r\n" : kLineEnd);
      return sylk ? out.bytes(text - 1, out.size() - 2) : out.bytes(text, out.size());
    };
    if (decode_message(bytes, layout.form, out, &tags)) {
      close();
    } else {
      out.resize(text);
      hex_message(bytes, out);
      if (layout.check == nullptr || !layout.check(close(), bytes, scratch)) return k;
    }
    if (out.size() >= kPiece) {
      sink(out.view());
      out.clear();
    }
  }
  if (sylk) out.append("E\r\n");
  sink(out.view());
  return std::nullopt;
}

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

// The whole run; `name` is the archive's name once it is known.
int run(const Decompiler& program, const std::vector<std::string>& args, std::string& name) {
  if (const auto status =
          cli::standard_options(cli::Program{program.name, program.usage, true}, args)) {
    return *status;
  }
  const Switches sw = parse_switches(args, kLineNumbers | kTableMode, /*accept_q=*/false);
  if (sw.help) {
    std::fputs(program.usage, stdout);
    std::fflush(stdout);
    return 0;
  }
  if (sw.input) {
    name = *sw.input;
  } else {
    auto line = con::ask_line(stdout, "\nmessage archive? ", "name for the archive");
    if (!line) return con::kExitEndOfInput;
    name = *line;
  }
  const bool table_mode = (sw.settings & kTableMode) != 0;
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
  const MessageEnds ends = read_index(index, table_mode, body.bytes().size());
  if (ends.problem) {
    con::error_line((ends.problem->in_body ? names->body : names->index) + ": " +
                    ends.problem->text);
    return 1;
  }

  const std::vector<std::string> inputs = {names->body, names->index};
  const auto output = dialog::choose_output(files::derive_output_name(name, program.ending), inputs,
                                            {stdout, program.output_prompt, program.output_what});
  if (!output) return con::kExitEndOfInput;
  files::AtomicFile out;
  if (!out.open(*output)) {
    con::error_line(*output + ": cannot create the file");
    return 1;
  }
  const Layout layout{program.form, (sw.settings & kLineNumbers) != 0, program.check};
  const auto refused = decompile(body, ends.ends, layout, [&out](std::string_view piece) {
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
    con::error_line(*output + ": cannot write the file");
    return 1;
  }
  if (ends.ends.empty() && program.empty_source_gives_a_message) {
    con::error_line(names->body + ": the archive holds no messages; " + *output +
                    " holds none either, and compiling it gives one empty message");
  }
  return 0;
}

}  // namespace

int run_decompiler(const Decompiler& program, const std::vector<std::string>& args) {
  std::string name;
  return con::run_guarded(name, [&]() { return run(program, args, name); });
}

}  // namespace msg
