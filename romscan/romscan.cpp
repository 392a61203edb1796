#include "romscan/romscan.hpp"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/text.hpp"
#include "common/console.hpp"
#include "common/dialog.hpp"
#include "common/files.hpp"
#include "common/outcome.hpp"
#include "common/switches.hpp"
#include "scancore/list.hpp"

namespace romscan {
namespace {

namespace fs = std::filesystem;
using scancore::Block;
using scancore::Format;
using scancore::grouped;
using scancore::hex_offset;

constexpr const char* kUsage =
    "Usage: romscan [--align N] [--max SIZE] [--tsv] [--extract DIR] ROM\n"
    "Lists every Yaz0, Yay0 and MIO0 block of an N64 ROM image (in any of the three byte\n"
    "orders; offsets are those of the native image), each checked by a trial decode, and the\n"
    "free area at the image's end.\n"
    "\n"
    "  --align N      look for blocks at every N-th byte (default 4)\n"
    "  --max SIZE     the largest expanded size taken for a block (default 16M; K and M stand\n"
    "                 for KiB and MiB, 0x for hex)\n"
    "  --tsv          a heading and tab-separated rows, for scripts and spreadsheets\n"
    "  --extract DIR  write each block expanded as DIR/OFFSET.bin and the list DIR/list.tsv,\n"
    "                 which romput --list reads back (files there are replaced only when you\n"
    "                 say so)\n"
    "  -h, /?, --help   this text;  --version   the version\n"
    "\n"
    "Exit status: 0 done; 1 the image refused (not readable, a device, 4 GiB or more) or a file\n"
    "not written; 2 usage, or input ended at a prompt.\n";

enum SwitchId { kAlign, kMax, kTsv, kExtract };
constexpr switches::Switch kSwitchList[] = {
    {.id = kAlign, .name = "--align", .value = "a number of bytes"},
    {.id = kMax, .name = "--max", .value = "a size (16M, 0x800000, 65536)"},
    {.id = kTsv, .name = "--tsv"},
    {.id = kExtract, .name = "--extract", .value = "a folder"},
};
constexpr switches::Policy kSwitches{.known = kSwitchList};

// A size: a number, then K (KiB) or M (MiB), with or without "iB".
std::optional<std::uint64_t> parse_size(std::string text) {
  std::uint64_t unit = 1;
  for (const char* ending : {"KiB", "kiB", "K", "k", "MiB", "M", "m"}) {
    const std::string e = ending;
    if (text.size() > e.size() && text.compare(text.size() - e.size(), e.size(), e) == 0) {
      unit = e[0] == 'K' || e[0] == 'k' ? 1024 : 1024 * 1024;
      text.resize(text.size() - e.size());
      break;
    }
  }
  const auto n = text::parse_number(text);
  if (!n || *n > UINT64_MAX / unit) return std::nullopt;
  return *n * unit;
}

std::string plural(std::uint64_t n, const char* one, const char* many) {
  return grouped(n) + " " + (n == 1 ? one : many);
}

void say(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

std::string padded(std::string text, std::size_t width, bool right) {
  if (text.size() >= width) return text;
  const std::string blanks(width - text.size(), ' ');
  return right ? blanks + text : text + blanks;
}

// Writes each block expanded and the list into `dir`, asking before files there are replaced.
int extract(const scancore::Scan& s, scancore::ByteSpan image, files::InputFile& input,
            const std::string& in_name, std::string dir) {
  std::vector<std::string> names;
  for (const Block& b : s.blocks) names.push_back(scancore::block_file_name(b.offset));
  names.push_back("list.tsv");
  for (;;) {
    std::vector<std::string> there;
    std::string problem;
    std::error_code ec;
    if (fs::exists(dir, ec) && !fs::is_directory(dir, ec)) problem = dir + ": not a folder";
    for (const std::string& name : names) {
      const std::string path = (fs::path(dir) / name).string();
      if (problem.empty() && files::same_target(path, in_name)) {
        problem = path + ": that is the image itself";
      }
      if (fs::exists(path, ec)) there.push_back(name);
    }
    bool again = !problem.empty();
    if (again) {
      con::error_line(problem + "; give another folder");
    } else if (!there.empty()) {
      std::string shown;
      for (std::size_t i = 0; i < there.size() && i < 3; ++i) shown += (i ? ", " : "") + there[i];
      if (there.size() > 3) shown += ", ...";
      again = !dialog::ask_yes_no(
          stdout, text::cat({"\"", dir, "\" already holds ",
                             plural(there.size(), "of these files", "of these files"), " (", shown,
                             "); replace them? (Y/N) "}));
    }
    if (!again) break;
    const auto answer = con::ask_line(stdout, "\nfolder for the files? ", "folder for the files");
    if (!answer) return exit_status::kEndOfInput;
    dir = *answer;
  }
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) {
    con::error_line(dir + ": cannot be made: " + ec.message() + "; nothing written");
    return exit_status::kFailed;
  }
  std::size_t written = 0;
  for (std::size_t i = 0; i <= s.blocks.size(); ++i) {
    const std::string path = (fs::path(dir) / names[i]).string();
    scancore::Bytes bytes;
    if (i < s.blocks.size()) {
      bytes = scancore::expand(image, s.blocks[i]);
    } else {
      const std::string list =
          scancore::write_list(s.blocks, fs::path(in_name).filename().string());
      bytes.assign(list.begin(), list.end());
    }
    // Each file is put in place at once; the image stays open (its bytes are the blocks').
    if (!outcome::inputs_whole({{input, in_name}})) return exit_status::kFailed;
    files::AtomicFile out;
    const bool opened = outcome::open(out, path);
    if (opened) out.write(bytes.data(), bytes.size());  // a failure is told at the commit
    if (!opened || !out.commit()) {
      if (opened) outcome::say_not_written(path, out.why());
      if (written > 0) {
        con::error_line(plural(written, "file was", "files were") +
                        " written before it; list.tsv was not");
      }
      return exit_status::kFailed;
    }
    ++written;
  }
  say("wrote " + plural(s.blocks.size(), "file", "files") + " and list.tsv into " + dir + "\n");
  return exit_status::kDone;
}

}  // namespace

Options parse_arguments(const std::vector<std::string>& args) {
  const switches::Parsed p = switches::read(args, kSwitches);
  Options o;
  o.problem = p.problem;
  const auto set_problem = [&o](std::string text) {
    if (o.problem.empty()) o.problem = std::move(text);
  };
  for (const switches::Found& f : p.found) {
    if (f.id == kTsv) o.tsv = true;
    if (f.id == kExtract) o.extract = f.value;
    if (f.id == kAlign) {
      const auto n = text::parse_number(f.value);
      if (!n || *n == 0 || *n > (1u << 20)) {
        set_problem("--align " + f.value + ": not a number of bytes from 1 to 1048576");
      } else {
        o.scan.align = static_cast<std::size_t>(*n);
      }
    }
    if (f.id == kMax) {
      const auto n = parse_size(f.value);
      if (!n || *n == 0 || *n > UINT32_MAX) {
        set_problem("--max " + f.value + ": not a size from 1 byte to 4 GiB less a byte");
      } else {
        o.scan.max = static_cast<std::uint32_t>(*n);
      }
    }
  }
  if (!p.names.empty()) o.input = p.names[0];
  if (p.names.size() > 1) set_problem("one image at most ('" + p.names[1] + "' is a second name)");
  return o;
}

std::string report(const scancore::Scan& s, bool tsv) {
  std::string text;
  if (tsv) {
    text = "offset\tend\tformat\tpacked\texpanded\n";
    for (const Block& b : s.blocks) {
      text += hex_offset(b.offset) + "\t" + hex_offset(b.end) + "\t" + format_name(b.format) +
              "\t" + std::to_string(b.packed()) + "\t" + std::to_string(b.expanded) + "\n";
    }
    return text;
  }
  std::uint64_t count[3] = {}, packed = 0, expanded = 0;
  if (!s.blocks.empty()) text = "offset      end         format      packed     expanded\n";
  for (const Block& b : s.blocks) {
    ++count[static_cast<int>(b.format)];
    packed += b.packed();
    expanded += b.expanded;
    text += hex_offset(b.offset) + "  " + hex_offset(b.end) + "  " + format_name(b.format) + "  " +
            padded(grouped(b.packed()), 10, true) + "  " + padded(grouped(b.expanded), 11, true) +
            "\n";
  }
  if (s.blocks.empty()) {
    text += "no blocks\n";
  } else {
    text += plural(s.blocks.size(), "block", "blocks") + ": " + grouped(count[0]) + " Yaz0, " +
            grouped(count[1]) + " Yay0, " + grouped(count[2]) + " MIO0; " + grouped(packed) +
            " bytes packed, " + grouped(expanded) + " expanded\n";
  }
  if (s.rejected > 0) {
    text += plural(s.rejected, "signature that is no block", "signatures that are no block") + "\n";
  }
  if (s.untried > 0) {
    text += plural(s.untried, "signature", "signatures") +
            " not tried to the end: the image holds more headers that decode for long than a "
            "linear scan can try\n";
  }
  const scancore::FreeArea& f = s.free;
  if (f.start >= f.end) {
    text += "no free area at the image's end (its last byte is neither 00 nor FF)\n";
  } else {
    char fill[8];
    std::snprintf(fill, sizeof fill, "%02X", f.fill);
    text += "free area: " + hex_offset(f.start) + "-" + hex_offset(f.end) + ", " +
            grouped(f.end - f.start) + " bytes of " + fill + "; its first 16-aligned offset: " +
            (f.empty() ? std::string("none") : hex_offset(f.aligned)) + "\n";
  }
  return text;
}

int run(const shell::Args& args) {
  const Options o = parse_arguments(args);
  if (!o.problem.empty()) return shell::usage_error(o.problem);
  std::string in_name = o.input.value_or("");
  files::InputFile input;
  if (const auto status = dialog::open_input(
          input, in_name, {stdout, "\nROM image? ", "ROM image name"}, !o.input)) {
    return *status;
  }
  const scancore::ByteSpan bytes = input.bytes();
  if (bytes.size() > rom::kMaxImageLength) {
    con::error_line(in_name + ": too large: ROM images are under 4 GiB");
    return exit_status::kFailed;
  }
  const scancore::NativeImage native(bytes);
  const scancore::Scan s = scancore::scan(native.bytes(), o.scan);
  // What was read may be a mix of old and new bytes: nothing is shown or written from it.
  if (!outcome::inputs_whole({{input, in_name}})) return exit_status::kFailed;
  if (native.order() == rom::ByteOrder::swapped16 || native.order() == rom::ByteOrder::swapped32) {
    const std::string line = in_name + ": " + rom::order_name(native.order()) +
                             "; the offsets are those of the native image\n";
    if (o.tsv) {
      std::fputs(line.c_str(), stderr);
    } else {
      say(line);
    }
  }
  say(report(s, o.tsv));
  if (!o.extract) return exit_status::kDone;
  return extract(s, native.bytes(), input, in_name, *o.extract);
}

const shell::Program kProgram{
    .name = "romscan", .usage = kUsage, .run = run, .switches = &kSwitches};

}  // namespace romscan
