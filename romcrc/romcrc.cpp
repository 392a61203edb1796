#include "romcrc/romcrc.hpp"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "common/console.hpp"
#include "common/dialog.hpp"
#include "common/files.hpp"
#include "common/outcome.hpp"
#include "common/switches.hpp"

namespace romcrc {
namespace {

constexpr const char* kUsage =
    "Usage: romcrc [--fix] [--cic N] ROM [OUTPUT]\n"
    "Reports an N64 ROM image's header and boot chip, and checks the boot check code in its\n"
    "header against the one the console's boot code computes; a wrong one does not boot.\n"
    "\n"
    "  --fix, /f   write the computed check code when the stored one differs: into ROM, which is\n"
    "              replaced only once the new file is complete, or into OUTPUT when given\n"
    "  --cic N     the boot chip, for an unknown boot code or over the one found: 6101, 6102,\n"
    "              7101, 7102, 6103, 7103, 6105, 7105, 6106 or 7106\n"
    "  -h, /?, --help   this text;  --version   the version\n"
    "\n"
    "ROM may be in any of the three byte orders; a fix keeps the file's order and changes only\n"
    "the 8 bytes of the check code. Emulators' settings databases are keyed by the check code.\n"
    "Exit status: 0 the check code is right (or was fixed); 1 it is wrong, or the image is\n"
    "refused (shorter than 0x101000 bytes, unknown boot code without --cic, not readable) or\n"
    "the fix not written; 2 usage, or input ended at a prompt.\n";

// What --cic takes, and the chips alone.
constexpr const char* kChipValue =
    "a chip: 6101, 6102, 7101, 7102, 6103, 7103, 6105, 7105, 6106, 7106";
constexpr const char* kChipList = kChipValue + 8;

enum SwitchId { kFix, kCic };
constexpr switches::Switch kSwitchList[] = {
    {.id = kFix, .letter = 'f', .name = "--fix"},
    {.id = kCic, .name = "--cic", .value = kChipValue},
};
constexpr switches::Policy kSwitches{.known = kSwitchList};

constexpr const char* kReminder =
    "note: emulators' settings databases are keyed by the check code; the fixed image may no "
    "longer match its entry\n";

void set_problem(Options& o, std::string text) {
  if (o.problem.empty()) o.problem = std::move(text);
}

void take_cic(Options& o, const std::string& value) {
  if (const auto cic = rom::parse_cic(value)) {
    o.cic = cic;
  } else {
    set_problem(o, "--cic " + value + ": not a cartridge boot chip; give one of " + kChipList);
  }
}

std::string hex32(std::uint32_t v) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(v));
  return text;
}

std::string code_text(const rom::CheckCode& code) {
  return hex32(code.crc1) + " " + hex32(code.crc2);
}

std::string size_text(std::uint64_t size) {
  char text[64];
  constexpr std::uint64_t kMegabit = 131072;
  if (size % kMegabit == 0) {
    std::snprintf(text, sizeof text, " bytes (%llu Mbit)",
                  static_cast<unsigned long long>(size / kMegabit));
  } else {
    std::snprintf(text, sizeof text, " bytes (%.2f Mbit)",
                  static_cast<double>(size) / static_cast<double>(kMegabit));
  }
  return std::to_string(size) + text;
}

std::string chip_text(const Examination& x) {
  const std::string crc = "boot code CRC-32 " + hex32(x.boot_crc);
  const std::string whose = x.detected == rom::Cic::unknown
                                ? " is no known chip's"
                                : std::string(" is ") + rom::cic_name(x.detected) + "'s";
  std::string text = rom::cic_name(x.cic);
  if (x.forced) return text + " (from --cic; " + crc + whose + ")";
  if (x.cic == rom::Cic::unknown) return text + " (" + crc + whose + ")";
  text += " (found by its " + crc + ")";
  if (x.cic == rom::Cic::c8303) text += "; the disk drive's chip has no cartridge check code";
  return text;
}

// "label:" padded so that the values line up.
std::string line(const char* label, const std::string& value) {
  std::string text = label;
  text += ':';
  text.resize(14, ' ');
  return text + value + "\n";
}

void say(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

// Writes `bytes` (the file as read) with `code` in its check code field to `out`, keeping the
// file's byte order; everything else is copied as it is.
bool write_fixed(files::AtomicFile& out, std::span<const std::uint8_t> bytes, rom::ByteOrder order,
                 const rom::CheckCode& code) {
  constexpr std::size_t kField = rom::kCheckCodeOffset + 8;
  std::uint8_t head[kField];
  std::copy_n(bytes.data(), kField, head);
  rom::store_check(head, order, code);
  return out.write(head, kField) && out.write(bytes.data() + kField, bytes.size() - kField);
}

// Writes the image with the computed check code to `output`, or in place of the image itself.
int fix(files::InputFile& input, const std::string& in_name,
        const std::optional<std::string>& output, const Examination& x) {
  const bool right = x.right();
  std::string target = in_name;
  if (output) {
    const std::vector<std::string> inputs = {in_name};
    const auto chosen = dialog::choose_output(
        *output, inputs, {stdout, "\nfixed image? ", "name for the fixed image"});
    if (!chosen) return exit_status::kEndOfInput;
    target = *chosen;
  } else if (!files::can_create(in_name)) {
    con::error_line(in_name + ": cannot be replaced (not a plain file that may be written); " +
                    "nothing written; a second name takes the fixed image");
    return exit_status::kFailed;
  }
  if (!right) say(kReminder);

  files::AtomicFile out;
  if (!outcome::open(out, target)) return exit_status::kFailed;
  write_fixed(out, input.bytes(), x.order, *x.computed);  // a failure is told at the finish
  if (const int status = outcome::finish(out, {{input, in_name}})) return status;
  if (right) {
    say(line("written", target + ", a copy (the check code was right)"));
  } else {
    say(line("fixed", target + " holds " + code_text(*x.computed)));
  }
  return exit_status::kDone;
}

}  // namespace

int run(const shell::Args& args) {
  const Options o = parse_arguments(args);
  if (!o.problem.empty()) return shell::usage_error(o.problem);

  std::string in_name = o.input.value_or("");
  files::InputFile input;
  if (const auto status = dialog::open_input(
          input, in_name, {stdout, "\nROM image? ", "ROM image name"}, !o.input)) {
    return *status;
  }
  const std::span<const std::uint8_t> bytes = input.bytes();
  const base::Result<Examination> examined = examine(bytes, o.cic);
  // What was read may be a mix of old and new bytes: nothing is shown or written from it.
  if (!outcome::inputs_whole({{input, in_name}})) return exit_status::kFailed;
  if (!examined) {
    con::error_line(in_name + ": " + examined.why());
    return exit_status::kFailed;
  }
  const Examination& x = *examined;
  if (!con::put_report(report(in_name, x, o.fix))) return exit_status::kFailed;
  if (!x.computed) {
    if (x.cic == rom::Cic::c8303) {
      con::error_line(in_name + ": the disk drive's boot code has no cartridge check code; " +
                      "nothing computed");
    } else {
      con::error_line(in_name + ": unknown boot code; nothing computed (--cic N names the chip: " +
                      kChipList + ")");
    }
    return exit_status::kFailed;
  }
  const bool right = x.right();
  if (!o.fix || (right && !o.output)) return right ? exit_status::kDone : exit_status::kFailed;
  return fix(input, in_name, o.output, x);
}

Options parse_arguments(const std::vector<std::string>& args) {
  const switches::Parsed p = switches::read(args, kSwitches);
  Options o;
  o.problem = p.problem;
  for (const switches::Found& f : p.found) {
    if (f.id == kFix) o.fix = true;
    if (f.id == kCic) take_cic(o, f.value);
  }
  if (!p.names.empty()) o.input = p.names[0];
  if (p.names.size() > 1) o.output = p.names[1];
  if (p.names.size() > 2) {
    set_problem(o, "one image and one output at most ('" + p.names[2] + "' is a third name)");
  }
  if (o.output && !o.fix) {
    set_problem(o, "a second name ('" + *o.output + "') is where --fix writes; add --fix");
  }
  return o;
}

base::Result<Examination> examine(std::span<const std::uint8_t> file,
                                  std::optional<rom::Cic> forced) {
  Examination x;
  x.size = file.size();
  if (file.size() < rom::kCheckedImageLength) {
    return base::refuse(
        "the image is " + std::to_string(file.size()) +
        " bytes long; an image with a boot check code holds at least 1052672 (0x101000)");
  }
  x.order = rom::detect_order(file);
  if (x.order == rom::ByteOrder::unknown) {
    char first[16];
    std::snprintf(first, sizeof first, "%02X %02X %02X %02X", file[0], file[1], file[2], file[3]);
    return base::refuse(std::string("not an N64 ROM image: it starts ") + first +
                        ", not 80 37 12 40 in any of the three byte orders");
  }
  const std::vector<std::uint8_t> native =
      rom::copied_image(file.first(rom::kCheckedImageLength), rom::straightening_mode(x.order));
  x.header = *rom::read_header(native);
  x.boot_crc = *rom::boot_code_crc(native);
  x.detected = rom::identify_cic(native);
  x.forced = forced.has_value();
  x.cic = forced.value_or(x.detected);
  x.stored = rom::stored_check(native);
  x.computed = rom::compute_check(native, x.cic);
  return x;
}

std::string shown_text(std::span<const std::uint8_t> text) {
  std::string shown;
  for (const std::uint8_t byte : text) {
    if (byte == '\\' || byte == '"') {
      shown += '\\';
      shown += static_cast<char>(byte);
    } else if (byte >= 0x20 && byte < 0x7F) {
      shown += static_cast<char>(byte);
    } else {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      shown += escape;
    }
  }
  return shown;
}

std::string report(const std::string& name, const Examination& x, bool fixing) {
  const rom::Header& h = x.header;
  // The title is padded with spaces (or zero bytes); the padding is not shown.
  std::size_t title_length = h.title.size();
  while (title_length > 0 && (h.title[title_length - 1] == ' ' || h.title[title_length - 1] == 0)) {
    --title_length;
  }
  const std::uint8_t region = h.region();
  const char* region_name = rom::region_name(region);
  char entry[16];
  std::snprintf(entry, sizeof entry, "0x%08X", static_cast<unsigned>(h.entry_point));

  std::string text = line("image", name);
  text += line("byte order", rom::order_name(x.order));
  std::string title(1, '"');
  title += shown_text(std::span(h.title).first(title_length));
  title += '"';
  text += line("title", title);
  text += line("game code", shown_text(h.game_code));
  text += line("region", shown_text(std::span(&region, 1)) + " (" +
                             (region_name != nullptr ? region_name : "unknown") + ")");
  text += line("version", std::to_string(h.version));
  text += line("entry point", entry);
  text += line("size", size_text(x.size));
  text += line("boot chip", chip_text(x));
  text += line("stored", code_text(x.stored));
  text += line("computed", x.computed ? code_text(*x.computed) : "none");
  if (!x.computed) return text + line("check code", "not computed");
  if (x.right()) return text + line("check code", "right");
  return text + line("check code", fixing ? "wrong" : "wrong (--fix writes the computed one)");
}

const shell::Program kProgram{
    .name = "romcrc", .usage = kUsage, .run = run, .switches = &kSwitches};

}  // namespace romcrc
