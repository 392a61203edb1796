#include "yaz/yaz.hpp"

#include <cstdio>

#include "common/console.hpp"
#include "common/dialog.hpp"
#include "common/files.hpp"
#include "common/outcome.hpp"
#include "common/switches.hpp"

namespace yaz {
namespace {

constexpr const char* kUsage =
    "Usage: yaz [/y | /m] [/c] [/H] INPUT [OUTPUT]\n"
    "Compresses INPUT into a Yaz0 file, OUTPUT or INPUT up to its first dot plus .yaz0 (.yay0\n"
    "with /y, .mio0 with /m), which unyaz expands to the same bytes.\n"
    "\n"
    "  /y   write Yay0 instead of Yaz0\n"
    "  /m   write MIO0 instead of Yaz0 (always the smallest file: MIO0 has no classic mode)\n"
    "  /c   classic: byte for byte what the encoder most tools have long used writes, as\n"
    "       rebuilds of original files need; without /c, the smallest file the format allows\n"
    "  /H   (or /?, -H, -?, -h, --help) this text, at once; --version the version\n"
    "\n"
    "Switches may be written with '/' or '-', in either case. An existing output is replaced\n"
    "only when you say so, and only once the new file is complete; never the input.\n"
    "Exit status: 0 done; 1 the input cannot be used or is too large (4 GiB), memory ran out, or\n"
    "the output was not written; 2 a wrong switch or a third name, input ended at a prompt, or an\n"
    "unknown --option.\n";

enum SwitchId { kYay0, kMio0, kClassic, kHelp, kHelpMark };
constexpr switches::Switch kSwitchList[] = {
    {.id = kYay0, .letter = 'y'}, {.id = kMio0, .letter = 'm'},     {.id = kClassic, .letter = 'c'},
    {.id = kHelp, .letter = 'h'}, {.id = kHelpMark, .letter = '?'},
};
constexpr switches::Policy kSwitches{.known = kSwitchList};

// The percentage done, on standard error when it is a terminal; erased when the work is done.
class ProgressLine {
 public:
  ProgressLine(std::string name, std::uint64_t total)
      : name_(std::move(name)), total_(total), shown_(con::stderr_is_terminal()) {}
  ~ProgressLine() {
    if (width_ > 0) std::fprintf(stderr, "\r%*s\r", width_, "");
  }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void show(std::uint64_t done) {
    if (!shown_ || total_ == 0) return;
    const int percent = static_cast<int>(done * 100 / total_);
    if (percent == percent_) return;
    percent_ = percent;
    width_ = std::fprintf(stderr, "\rcompressing %s: %d%%", name_.c_str(), percent);
    std::fflush(stderr);
  }

 private:
  std::string name_;
  std::uint64_t total_;
  bool shown_;
  int percent_ = -1;
  int width_ = 0;
};

std::string summary(const std::string& output, std::uint64_t in, std::uint64_t out) {
  char line[160];
  if (in == 0) {
    std::snprintf(line, sizeof line, ": 0 bytes compressed to %llu\n",
                  static_cast<unsigned long long>(out));
  } else {
    std::snprintf(line, sizeof line, ": %llu bytes compressed to %llu (%.2f %%)\n",
                  static_cast<unsigned long long>(in), static_cast<unsigned long long>(out),
                  100.0 * static_cast<double>(out) / static_cast<double>(in));
  }
  return output + line;
}

}  // namespace

Options parse_arguments(const std::vector<std::string>& args) {
  const switches::Parsed p = switches::read(args, kSwitches);
  Options o;
  o.problem = p.problem;
  bool yay0 = false, mio0 = false;
  for (const switches::Found& f : p.found) {
    if (f.id == kYay0) yay0 = true;
    if (f.id == kMio0) mio0 = true;
    if (f.id == kClassic) o.mode = yazcore::Mode::classic;
    if (f.id == kHelp || f.id == kHelpMark) o.help = true;
  }
  if (yay0) o.format = yazcore::Format::yay0;
  if (mio0) o.format = yazcore::Format::mio0;
  if (o.problem.empty() && yay0 && mio0) o.problem = "/y and /m ask for two formats; give one";
  if (o.problem.empty() && mio0 && o.mode == yazcore::Mode::classic) {
    o.problem = "MIO0 has no classic mode (/m writes the smallest file); leave out /c";
  }
  if (!p.names.empty()) o.input = p.names[0];
  if (p.names.size() > 1) o.output = p.names[1];
  if (p.names.size() > 2 && o.problem.empty()) {
    o.problem = "one input and one output at most ('" + p.names[2] + "' is a third name)";
  }
  return o;
}

int run(const shell::Args& args) {
  const Options o = parse_arguments(args);
  if (o.help) {
    return con::put_report(kUsage) ? exit_status::kDone : exit_status::kFailed;
  }
  if (!o.problem.empty()) return shell::usage_error(o.problem);

  std::string in_name = o.input.value_or("");
  files::InputFile input;
  if (const auto status = dialog::open_input(
          input, in_name, {stdout, "\nfile to compress? ", "name for the input file"}, !o.input)) {
    return *status;
  }
  const yazcore::ByteSpan data = input.bytes();
  if (data.size() > yazcore::kMaxInput) {
    con::error_line(in_name + ": too large: a Yaz0, Yay0 or MIO0 file holds less than 4 GiB");
    return exit_status::kFailed;
  }

  const char* ending = o.format == yazcore::Format::yay0   ? ".yay0"
                       : o.format == yazcore::Format::mio0 ? ".mio0"
                                                           : ".yaz0";
  const std::string derived = files::derive_output_name(in_name, ending);
  const std::vector<std::string> inputs = {in_name};
  const auto out_name = dialog::choose_output(o.output.value_or(derived), inputs,
                                              {stdout, "\noutput file? ", "name for the output"});
  if (!out_name) return exit_status::kEndOfInput;

  // The output file is made only once the data is compressed: an interrupted run leaves nothing.
  yazcore::Bytes packed;
  {
    ProgressLine progress(in_name, data.size());
    packed = yazcore::encode(data, o.format, o.mode,
                             [&progress](std::uint64_t done) { progress.show(done); });
  }
  const std::string line = summary(*out_name, data.size(), packed.size());
  if (const int status = outcome::write(*out_name, packed, {{input, in_name}})) return status;
  std::fputs(line.c_str(), stdout);
  return exit_status::kDone;
}

const shell::Program kProgram{.name = "yaz", .usage = kUsage, .run = run, .switches = &kSwitches};

}  // namespace yaz
