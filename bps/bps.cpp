#include "bps/bps.hpp"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "base/crc32.hpp"
#include "bpscore/ips.hpp"
#include "bpscore/patch.hpp"
#include "common/console.hpp"
#include "common/dialog.hpp"
#include "common/files.hpp"
#include "common/outcome.hpp"
#include "common/shell.hpp"
#include "common/switches.hpp"
#include "romcore/bootcheck.hpp"
#include "romcore/byteorder.hpp"

namespace bps {
namespace {

using bpscore::Bytes;
using bpscore::ByteSpan;
namespace ips = bpscore::ips;

constexpr const char* kUsage =
    "Usage: bps [--ips] ORIGINAL MODIFIED [PATCH]   make PATCH (MODIFIED cut at its first dot\n"
    "                                               + .bps, or .ips with --ips)\n"
    "       bps [--fix-crc] ORIGINAL PATCH [OUTPUT] apply PATCH (BPS or IPS) to ORIGINAL; OUTPUT\n"
    "                                               is PATCH cut + ORIGINAL's extension\n"
    "       bps --info PATCH                        what PATCH holds\n"
    "\n"
    "The second name is a patch when it starts with \"BPS1\" or \"PATCH\". N64 images are\n"
    "patched in native byte order: a patch made for the native image applies to a byteswapped\n"
    "copy (its native-order copy is patched), and a byteswapped pair is straightened first.\n"
    "\n"
    "  --ips      make an IPS patch (files of 16 MiB at most) instead of BPS\n"
    "  --fix-crc  repair the boot check code of the patched image\n"
    "  --info     sizes, CRC-32s, actions and metadata of PATCH\n"
    "  --help     this text; --version the version\n"
    "\n"
    "An existing output is replaced only when you say so, and only once the new file is\n"
    "complete; never an input. A patch is checked whole before anything is written.\n"
    "Exit status: 0 done (or the original already is the patched file); 1 a file refused (not\n"
    "the patch's original, a damaged patch, too large), memory ran out or the output was not\n"
    "written; 2 a wrong argument, or input ended at a prompt.\n";

const char* const kActionNames[4] = {"SourceRead", "TargetRead", "SourceCopy", "TargetCopy"};

std::string hex32(std::uint32_t v) {
  char s[16];
  std::snprintf(s, sizeof s, "%08X", static_cast<unsigned>(v));
  return s;
}

std::string count(std::uint64_t n) { return std::to_string(n); }

// The names of the two files a run reads.
struct Names {
  std::string first;
  std::string second;
};

// Opens an input, asking for a name while it does not open; nullopt once it is open.
std::optional<int> open(files::InputFile& in, std::string& name, const char* prompt,
                        const char* what) {
  return dialog::open_input(in, name, {stdout, prompt, what}, name.empty());
}

// A byteswapped image's native-order copy; nullopt for native images and other files.
std::optional<Bytes> native_copy(ByteSpan image) {
  const rom::ByteOrder order = rom::detect_order(image);
  if (order != rom::ByteOrder::swapped16 && order != rom::ByteOrder::swapped32) return std::nullopt;
  return rom::copied_image(image, rom::straightening_mode(order));
}

std::string order_of(ByteSpan image) { return rom::order_name(rom::detect_order(image)); }

std::optional<std::string> ask_output(const std::string& name, const Names& n) {
  const std::vector<std::string> inputs = {n.first, n.second};
  return dialog::choose_output(name, inputs, {stdout, "\noutput file? ", "name for the output"});
}

// Repairs the boot check code of the patched `image` (in its own byte order, as romcrc --fix
// does). False after one line when the image has none that can be computed: nothing is written.
bool repair_boot_check(const std::string& name, Bytes& image) {
  const rom::ByteOrder order = rom::detect_order(image);
  if (order == rom::ByteOrder::unknown) {
    con::error_line(name +
                    ": --fix-crc: the patched file is no N64 image (its first word is none "
                    "of the three byte orders); nothing written");
    return false;
  }
  const std::size_t head = std::min(image.size(), rom::kCheckedImageLength);
  const Bytes native =
      rom::copied_image(ByteSpan(image).first(head), rom::straightening_mode(order));
  const rom::Cic cic = rom::identify_cic(native);
  const auto code = rom::compute_check(native, cic);
  if (!code) {
    con::error_line(name + (native.size() < rom::kCheckedImageLength
                                ? ": --fix-crc: the patched image is too short to have a boot "
                                  "check code; nothing written"
                                : ": --fix-crc: the boot code is no known chip's (romcrc --cic N "
                                  "names the chip); nothing written"));
    return false;
  }
  if (rom::stored_check(native) == *code) return true;
  rom::store_check(image, order, *code);
  std::printf("%s: boot check code repaired for the %s chip: %s %s\n", name.c_str(),
              rom::cic_name(cic), hex32(code->crc1).c_str(), hex32(code->crc2).c_str());
  return true;
}

// One line when a file is too large for the patch format; true then.
bool too_large(const Options& o, const std::string& name, std::uint64_t size) {
  if (size <= (o.ips ? ips::kMaxFileSize : std::uint64_t{0xFFFFFFFE})) return false;
  con::error_line(name + (o.ips ? ": too large for an IPS patch (more than 16 MiB); make a BPS "
                                  "patch instead"
                                : ": too large: patches are made of files under 4 GiB"));
  return true;
}

int make_patch(const Options& o, const Names& n, files::InputFile& original,
               files::InputFile& modified) {
  if (too_large(o, n.first, original.bytes().size()) ||
      too_large(o, n.second, modified.bytes().size())) {
    return exit_status::kFailed;
  }
  const auto out_name =
      ask_output(o.names.size() > 2 ? o.names[2]
                                    : files::derive_output_name(n.second, o.ips ? ".ips" : ".bps"),
                 n);
  if (!out_name) return exit_status::kEndOfInput;

  // A byteswapped image is read in native order, so that the patch applies to every copy (its
  // last group padded to 4 bytes, which may take it past the limit).
  std::optional<Bytes> copies[2];
  ByteSpan spans[2] = {original.bytes(), modified.bytes()};
  for (int k = 0; k < 2; ++k) {
    const std::string& name = k == 0 ? n.first : n.second;
    shell::set_subject(name);
    copies[k] = native_copy(spans[k]);
    if (!copies[k]) continue;
    std::printf("%s is %s; the patch is made from its native-order copy\n", name.c_str(),
                order_of(spans[k]).c_str());
    spans[k] = *copies[k];
    if (too_large(o, name, spans[k].size())) return exit_status::kFailed;
  }
  shell::set_subject(n.second);
  const Bytes patch = o.ips ? ips::make(spans[0], spans[1]) : bpscore::make(spans[0], spans[1]);
  const std::uint64_t sizes[2] = {spans[0].size(), spans[1].size()};
  if (const int status =
          outcome::write(*out_name, patch, {{original, n.first}, {modified, n.second}})) {
    return status;
  }
  std::printf("%s: %s patch of %s bytes, from %s (%s bytes) to %s (%s bytes)\n", out_name->c_str(),
              o.ips ? "IPS" : "BPS", count(patch.size()).c_str(), n.first.c_str(),
              count(sizes[0]).c_str(), n.second.c_str(), count(sizes[1]).c_str());
  return exit_status::kDone;
}

// Finishes an applied patch: the boot check code, the input checks, the file.
int finish_apply(const Options& o, const Names& n, files::InputFile& original,
                 files::InputFile& patch, const std::string& out_name, Bytes& result,
                 std::uint32_t crc) {
  if (!outcome::inputs_whole({{original, n.first}, {patch, n.second}})) {
    return exit_status::kFailed;
  }
  if (o.fix_crc) {
    if (!repair_boot_check(out_name, result)) return exit_status::kFailed;
    crc = crc::crc32(result);
  }
  if (const int status =
          outcome::write(out_name, result, {{original, n.first}, {patch, n.second}})) {
    return status;
  }
  std::printf("%s: patched with %s, %s bytes, CRC-32 %s\n", out_name.c_str(), n.second.c_str(),
              count(result.size()).c_str(), hex32(crc).c_str());
  return exit_status::kDone;
}

int apply_bps(const Options& o, const Names& n, files::InputFile& original,
              files::InputFile& patch) {
  const auto checked = bpscore::check(patch.bytes());
  if (!checked) {
    con::error_line(n.second + ": " + checked.why() + "; nothing written");
    return exit_status::kFailed;
  }
  const bpscore::Info& info = *checked;
  ByteSpan source = original.bytes();
  std::optional<Bytes> copy;
  if (!bpscore::is_source(info, source)) {
    const bool done = bpscore::is_target(info, source);
    copy = done ? std::nullopt : native_copy(source);
    if (done || (copy && bpscore::is_target(info, *copy))) {
      std::printf("%s is already patched (it is what %s makes%s); nothing written\n",
                  n.first.c_str(), n.second.c_str(), done ? "" : ", in another byte order");
      return exit_status::kDone;
    }
    if (!copy || !bpscore::is_source(info, *copy)) {
      con::error_line(n.first + ": not the file this patch was made for: it expects " +
                      count(info.source_size) + " bytes with CRC-32 " + hex32(info.source_crc) +
                      ", this file has " + count(source.size()) + " bytes with CRC-32 " +
                      hex32(crc::crc32(source)) +
                      (copy ? " (and its native-order copy does not match either)" : ""));
      return exit_status::kFailed;
    }
    std::printf("%s is %s; patched its native-order copy\n", n.first.c_str(),
                order_of(source).c_str());
    source = *copy;
  }
  const auto out_name =
      ask_output(o.names.size() > 2 ? o.names[2] : default_output(n.second, n.first), n);
  if (!out_name) return exit_status::kEndOfInput;
  auto applied = bpscore::apply(patch.bytes(), info, source);
  if (!applied) {
    // An input changed while it was read (at the question, say) is what went wrong, not the patch.
    if (!outcome::inputs_whole({{original, n.first}, {patch, n.second}})) {
      return exit_status::kFailed;
    }
    con::error_line(n.second + ": " + applied.why() + "; nothing written");
    return exit_status::kFailed;
  }
  return finish_apply(o, n, original, patch, *out_name, *applied, info.target_crc);
}

int apply_ips(const Options& o, const Names& n, files::InputFile& original,
              files::InputFile& patch) {
  if (const auto checked = ips::check(patch.bytes()); !checked) {
    con::error_line(n.second + ": " + checked.why() + "; nothing written");
    return exit_status::kFailed;
  }
  ByteSpan source = original.bytes();
  // An IPS patch holds no CRC: patches for N64 images are made on the native order.
  const std::optional<Bytes> copy = native_copy(source);
  if (copy) {
    std::printf("%s is %s; patched its native-order copy\n", n.first.c_str(),
                order_of(source).c_str());
    source = *copy;
  }
  Bytes result = ips::apply(patch.bytes(), source);
  if (std::equal(result.begin(), result.end(), source.begin(), source.end())) {
    std::printf("%s is already patched (%s changes nothing in it); nothing written\n",
                n.first.c_str(), n.second.c_str());
    return exit_status::kDone;
  }
  const auto out_name =
      ask_output(o.names.size() > 2 ? o.names[2] : default_output(n.second, n.first), n);
  if (!out_name) return exit_status::kEndOfInput;
  return finish_apply(o, n, original, patch, *out_name, result, crc::crc32(result));
}

// Metadata is shown as text when it is UTF-8 with no control characters but tabs and line ends
// (none of C1 and no DEL either): nothing in a hostile patch's metadata can steer the terminal.
bool is_text(ByteSpan bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::uint8_t b = bytes[i];
    if (b < 0x80) {
      if ((b < 0x20 && b != '\t' && b != '\n' && b != '\r') || b == 0x7F) return false;
      ++i;
      continue;
    }
    const std::size_t n = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 0;
    if (n == 0 || b > 0xF4 || bytes.size() - i < n) return false;
    std::uint32_t c = b & (0x7Fu >> n);
    for (std::size_t k = 1; k < n; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) return false;
      c = (c << 6) | (bytes[i + k] & 0x3Fu);
    }
    // Longer forms than needed, surrogates, numbers past U+10FFFF and the C1 controls.
    if (c < 0xA0 || (n == 3 && c < 0x800) || (n == 4 && c < 0x10000) ||
        (c >= 0xD800 && c < 0xE000) || c > 0x10FFFF) {
      return false;
    }
    i += n;
  }
  return true;
}

// What a BPS patch holds, for --info.
base::Result<std::string> bps_info(const std::string& name, ByteSpan patch) {
  const auto checked = bpscore::check(patch);
  if (!checked) return base::refuse(checked.why());
  const bpscore::Info& i = *checked;
  std::string text = name + ": BPS patch, " + count(patch.size()) + " bytes, CRC-32 " +
                     hex32(i.patch_crc) + "\n  original: " + count(i.source_size) +
                     " bytes, CRC-32 " + hex32(i.source_crc) +
                     "\n  result:   " + count(i.target_size) + " bytes, CRC-32 " +
                     hex32(i.target_crc) + "\n  actions:";
  for (unsigned k = 0; k < 4; ++k) {
    text += std::string(k ? "," : "") + " " + count(i.actions[k]) + " " + kActionNames[k] + " (" +
            count(i.bytes[k]) + " bytes)";
  }
  text += "\n  metadata: ";
  if (i.metadata.empty()) return text + "none\n";
  if (!is_text(i.metadata)) return text + count(i.metadata.size()) + " bytes, not text\n";
  text += count(i.metadata.size()) + " bytes:\n    ";
  for (const std::uint8_t b : i.metadata) {
    if (b == '\r') continue;
    text += static_cast<char>(b);
    if (b == '\n') text += "    ";
  }
  return text + "\n";
}

// What an IPS patch holds, for --info.
base::Result<std::string> ips_info(const std::string& name, ByteSpan patch) {
  const auto checked = ips::check(patch);
  if (!checked) return base::refuse(checked.why());
  const ips::Info& i = *checked;
  return name + ": IPS patch, " + count(patch.size()) + " bytes\n  records:  " + count(i.records) +
         " with bytes, " + count(i.runs) + " runs of one byte; " + count(i.written) +
         " bytes written, up to offset " + count(i.end) + "\n  result:   " +
         (i.truncate ? "cut to " + count(*i.truncate) + " bytes\n"
                     : std::string("no size given (the original's size, or more)\n"));
}

int show_info(const std::string& name, files::InputFile& in) {
  const ByteSpan patch = in.bytes();
  const bpscore::PatchKind kind = bpscore::identify(patch);
  if (kind == bpscore::PatchKind::unknown) {
    con::error_line(name +
                    ": not a BPS or IPS patch (it starts with neither \"BPS1\" nor "
                    "\"PATCH\")");
    return exit_status::kFailed;
  }
  const auto text = kind == bpscore::PatchKind::bps ? bps_info(name, patch) : ips_info(name, patch);
  if (!outcome::inputs_whole({{in, name}})) return exit_status::kFailed;
  if (!text) {
    con::error_line(name + ": " + text.why());
    return exit_status::kFailed;
  }
  std::fputs(text->c_str(), stdout);
  return exit_status::kDone;
}

enum SwitchId { kInfo, kIps, kFixCrc };
constexpr switches::Switch kSwitchList[] = {
    {.id = kInfo, .name = "--info"},
    {.id = kIps, .name = "--ips"},
    {.id = kFixCrc, .name = "--fix-crc"},
};
constexpr switches::Policy kSwitches{.known = kSwitchList};

}  // namespace

int run(const shell::Args& args) {
  const Options o = parse_arguments(args);
  if (!o.problem.empty()) return shell::usage_error(o.problem);
  Names n;
  n.first = o.names.empty() ? "" : o.names[0];
  files::InputFile first;
  if (o.info) {
    if (const auto s = open(first, n.first, "\npatch file? ", "name for the patch")) return *s;
    return show_info(n.first, first);
  }
  if (const auto s = open(first, n.first, "\noriginal file? ", "name for the original file")) {
    return *s;
  }
  n.second = o.names.size() > 1 ? o.names[1] : "";
  files::InputFile second;
  if (const auto s = open(second, n.second, "\nmodified file or patch? ",
                          "name for the modified file or the patch")) {
    return *s;
  }
  const bpscore::PatchKind kind =
      o.ips ? bpscore::PatchKind::unknown : bpscore::identify(second.bytes());
  if (kind == bpscore::PatchKind::unknown) {
    if (o.fix_crc) {
      con::error_line(n.second +
                      ": not a patch (it starts with neither \"BPS1\" nor \"PATCH\"); "
                      "--fix-crc is for applying one");
      return exit_status::kUsage;
    }
    return make_patch(o, n, first, second);
  }
  shell::set_subject(n.first);
  return kind == bpscore::PatchKind::bps ? apply_bps(o, n, first, second)
                                         : apply_ips(o, n, first, second);
}

Options parse_arguments(const std::vector<std::string>& args) {
  const switches::Parsed p = switches::read(args, kSwitches);
  Options o;
  o.names = p.names;
  o.problem = p.problem;
  for (const switches::Found& f : p.found) {
    if (f.id == kInfo) o.info = true;
    if (f.id == kIps) o.ips = true;
    if (f.id == kFixCrc) o.fix_crc = true;
  }
  const std::size_t most = o.info ? 1 : 3;
  if (!o.problem.empty()) {
  } else if (o.names.size() > most) {
    o.problem = o.info ? "--info takes one patch ('" + o.names[1] + "' is a second name)"
                       : "three names at most ('" + o.names[3] + "' is a fourth)";
  } else if (o.info && (o.ips || o.fix_crc)) {
    o.problem = std::string("--info does not go with ") + (o.ips ? "--ips" : "--fix-crc");
  } else if (o.ips && o.fix_crc) {
    o.problem = "--ips makes a patch and --fix-crc is for applying one";
  }
  return o;
}

std::string default_output(const std::string& patch, const std::string& original) {
  const std::string cut = files::derive_output_name(original, "");
  const std::string tail = original.substr(cut.size());  // the file name from its first dot
  const std::size_t dot = tail.rfind('.');
  return files::derive_output_name(patch, dot == std::string::npos ? "" : tail.substr(dot));
}

const shell::Program kProgram{.name = "bps", .usage = kUsage, .run = run, .switches = &kSwitches};

}  // namespace bps
