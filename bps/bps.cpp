#include "bps/bps.hpp"

#include "bps/patching.hpp"

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
    "patched in native byte order: a BPS patch made for the native image applies to a\n"
    "byteswapped copy (its native-order copy is patched), and a byteswapped pair is\n"
    "straightened first. An IPS patch holds no check value: on a byteswapped original it is\n"
    "applied in the order whose result has a right boot check code, else to the file as it is.\n"
    "\n"
    "  --ips      make an IPS patch (files of 16 MiB at most) instead of BPS\n"
    "  --make     make a patch also when MODIFIED starts like a patch\n"
    "  --fix-crc  repair the boot check code of the patched image (of ORIGINAL itself, in\n"
    "             place, when it already is the patched image and no OUTPUT is named)\n"
    "  --native, --as-is   apply an IPS patch to a byteswapped ORIGINAL's native-order copy,\n"
    "             or to the file as it is\n"
    "  --info     sizes, CRC-32s, actions and metadata of PATCH\n"
    "  --help     this text; --version the version\n"
    "\n"
    "An existing output is replaced only when you say so, and only once the new file is\n"
    "complete; never an input. A patch is checked whole before anything is written.\n"
    "Exit status: 0 done (or the original already is the patched file: a named OUTPUT then\n"
    "gets a copy); 1 a file refused (not the patch's original, a damaged patch, too large),\n"
    "memory ran out or the output was not written; 2 a wrong argument, or input ended at a\n"
    "prompt.\n";

const char* const kActionNames[4] = {"SourceRead", "TargetRead", "SourceCopy", "TargetCopy"};

// Opens an input, asking for a name while it does not open; nullopt once it is open.
std::optional<int> open(files::InputFile& in, std::string& name, const char* prompt,
                        const char* what) {
  return dialog::open_input(in, name, {stdout, prompt, what}, name.empty());
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
  return con::put_report(*text) ? exit_status::kDone : exit_status::kFailed;
}

enum SwitchId { kInfo, kIps, kFixCrc, kMake, kNative, kAsIs };
constexpr switches::Switch kSwitchList[] = {
    {.id = kInfo, .name = "--info"},      {.id = kIps, .name = "--ips"},
    {.id = kFixCrc, .name = "--fix-crc"}, {.id = kMake, .name = "--make"},
    {.id = kNative, .name = "--native"},  {.id = kAsIs, .name = "--as-is"},
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
  const bpscore::PatchKind second_kind = bpscore::identify(second.bytes());
  if (o.ips && !o.make && second_kind != bpscore::PatchKind::unknown) {
    con::error_line(n.second + ": is a patch (it starts with \"" +
                    (second_kind == bpscore::PatchKind::bps ? "BPS1" : "PATCH") +
                    "\"): to apply it, leave out --ips; to make a patch whose result is this "
                    "file, add --make");
    return exit_status::kUsage;
  }
  const bpscore::PatchKind kind = o.ips || o.make ? bpscore::PatchKind::unknown : second_kind;
  if (kind == bpscore::PatchKind::unknown) {
    if (o.fix_crc || o.native || o.as_is) {
      con::error_line(n.second + ": not a patch (it starts with neither \"BPS1\" nor \"PATCH\"); " +
                      (o.fix_crc  ? "--fix-crc"
                       : o.native ? "--native"
                                  : "--as-is") +
                      " is for applying one");
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
    o.info |= f.id == kInfo;
    o.ips |= f.id == kIps;
    o.fix_crc |= f.id == kFixCrc;
    o.make |= f.id == kMake;
    o.native |= f.id == kNative;
    o.as_is |= f.id == kAsIs;
  }
  const char* making = o.ips ? "--ips" : o.make ? "--make" : nullptr;
  const char* applying = o.fix_crc  ? "--fix-crc"
                         : o.native ? "--native"
                         : o.as_is  ? "--as-is"
                                    : nullptr;
  const std::size_t most = o.info ? 1 : 3;
  if (!o.problem.empty()) {
  } else if (o.names.size() > most) {
    o.problem = o.info ? "--info takes one patch ('" + o.names[1] + "' is a second name)"
                       : "three names at most ('" + o.names[3] + "' is a fourth)";
  } else if (o.info && (making != nullptr || applying != nullptr)) {
    o.problem = std::string("--info does not go with ") + (making ? making : applying);
  } else if (making != nullptr && applying != nullptr) {
    o.problem = std::string(making) + " makes a patch and " + applying + " is for applying one";
  } else if (o.native && o.as_is) {
    o.problem = "--native and --as-is choose one byte order: give one of them";
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
