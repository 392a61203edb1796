#include "unyaz/unyaz.hpp"

#include <cstdio>
#include <string>

#include "common/console.hpp"
#include "common/dialog.hpp"
#include "common/files.hpp"
#include "common/outcome.hpp"
#include "yazcore/decode.hpp"

namespace unyaz {

using namespace yazcore;

namespace {

constexpr const char* kUsage =
    "Usage: unyaz [INPUT [OUTPUT]]\n"
    "Expands a Yaz0, Yay0 or MIO0 compressed file. A file with another signature is decoded\n"
    "with the 12-byte header of older tools after a question (space bar: go on; any other\n"
    "key: quit).\n"
    "\n"
    "  INPUT    the compressed file; asked for when missing or unreadable\n"
    "  OUTPUT   where the expanded bytes go; by default INPUT cut at the first dot of its file\n"
    "           name, plus \" new.bin\" (levels/forest.szs gives \"levels/forest new.bin\")\n"
    "  -h, -?, /?, --help   this text;  --version   the version\n"
    "\n"
    "All messages go to standard error. The output never replaces the input.\n"
    "Exit status: 0 expanded; 255 the file ends early or its data is faulty, the forced\n"
    "decoding refused, or the output not written; 2 input ended at a prompt, a third name, or\n"
    "an unknown --option. After a fault, the bytes decoded before it are kept in a new output\n"
    "file; an existing file of that name is left as it was.\n";

// What became of the output after a fault, for the end of the error line. A partial output is
// kept only where no file stood under its name and at least one byte was decoded; an existing
// file is never replaced by one.
std::string keep_partial(files::AtomicFile& file, files::InputFile& in, const std::string& in_name,
                         const Output* out) {
  const std::string& name = file.target();
  const std::size_t produced = out != nullptr ? out->size() : 0;
  if (file.target_existed()) {
    file.discard();
    return name + ": left as it was";
  }
  if (produced == 0) {
    file.discard();
    return name + ": not made, as nothing was decoded";
  }
  file.write(out->data(), produced);
  // The input was found whole; a file that cannot be written gets its own line.
  const outcome::Source sources[] = {{in, in_name}};
  files::AtomicFile* const outputs[] = {&file};
  if (outcome::finish(outputs, sources) != exit_status::kDone) return name + ": not kept";
  return name + ": holds the " + std::to_string(produced) + (produced == 1 ? " byte" : " bytes") +
         " decoded before the fault";
}

// Writes what was produced and reports the outcome.
int finish(const std::string& in_name, files::InputFile& in, files::AtomicFile& file,
           const Output* out, Status status, std::uint64_t at, std::uint64_t value,
           std::uint32_t size) {
  if (status == Status::done) {
    file.write(out->data(), out->size());
    return outcome::finish(file, {{in, in_name}}, exit_status::kFaultyFile);
  }
  if (!outcome::inputs_whole({{in, in_name}})) {
    file.discard();
    return exit_status::kFaultyFile;
  }
  if (status == Status::no_memory) {
    // Not a fault of the file: what was decoded is not kept, as it would pass for all of it.
    file.discard();
    con::error_line(describe(in_name, status, at, value, size) + "; nothing written");
    return exit_status::kFaultyFile;
  }
  const std::string kept = keep_partial(file, in, in_name, out);
  if (status == Status::short_read) {
    std::fputs("Error reading from file.\n", stderr);
    con::error_line(kept);
  } else {
    con::error_line(describe(in_name, status, at, value, size) + "; " + kept);
  }
  return exit_status::kFaultyFile;
}

int expand(const std::string& in_name, files::InputFile& in, files::AtomicFile& file) {
  const ByteSpan data = in.bytes();
  if (data.size() < 4) {
    return finish(in_name, in, file, nullptr, Status::short_read, data.size(), 0, 0);
  }
  const Layout layout = classify(data);
  if (layout == Layout::other) {
    std::fputs("\nNot a Yaz0, Yay0 or MIO0 file.\nPress Spacebar to force it, otherwise to quit",
               stderr);
    // Refused: the output file is left as it was.
    if (con::read_key() != ' ') return exit_status::kFaultyFile;
  }
  const Header h = read_header(data, data.size(), layout);
  if (h.status != Status::done) {
    return finish(in_name, in, file, nullptr, h.status, h.at, h.value, h.size);
  }
  Output out(h.size);
  const Step step = decode_body(data, layout, h, out);
  return finish(in_name, in, file, &out, step.status, step.at, 0, h.size);
}

}  // namespace

int run(const shell::Args& args) {
  // `unyaz *.szs` would replace the second compressed file with the first one expanded: a third
  // name means the line is not "input output", and nothing is done.
  if (args.size() > 2) {
    return shell::usage_error("one input and one output at most ('" + args[2] +
                              "' is a third name)");
  }
  // A regular file is mapped, anything else read whole.
  std::string in_name = args.empty() ? "" : args[0];
  shell::set_subject(in_name);
  files::InputFile in;
  const dialog::InputDialog ask{stderr, "\nOpen which file? \n", "name for the input file",
                                exit_status::kFaultyFile};
  if (auto status = dialog::open_input(in, in_name, ask)) return *status;

  // The output never replaces the input: a name that names it is asked for again.
  const std::vector<std::string> inputs = {in_name};
  files::AtomicFile file;
  const auto where = dialog::OutputDialog{stderr, "\nOutput where? \n", "name for the output file"};
  const auto out_name = dialog::choose_output(
      args.size() > 1 ? args[1] : files::derive_output_name(in_name, " new.bin"), inputs, where,
      &file);
  if (!out_name) return exit_status::kEndOfInput;
  return expand(in_name, in, file);
}

const shell::Program kProgram{
    .name = "unyaz", .usage = kUsage, .run = run, .failure = exit_status::kFaultyFile};

}  // namespace unyaz
