#include "bps/patching.hpp"

#include <algorithm>
#include <cstdio>

#include "base/crc32.hpp"
#include "bpscore/ips.hpp"
#include "common/console.hpp"
#include "common/dialog.hpp"
#include "common/outcome.hpp"
#include "romcore/bootcheck.hpp"
#include "romcore/byteorder.hpp"
#include "romcore/header.hpp"

namespace bps {

using bpscore::Bytes;
using bpscore::ByteSpan;
namespace ips = bpscore::ips;

std::string hex32(std::uint32_t v) {
  char s[16];
  std::snprintf(s, sizeof s, "%08X", static_cast<unsigned>(v));
  return s;
}

std::string count(std::uint64_t n) { return std::to_string(n); }

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

namespace {

// The boot check code of an image in any of the three byte orders.
struct BootCheck {
  rom::ByteOrder order = rom::ByteOrder::unknown;
  rom::Cic cic = rom::Cic::unknown;
  bool long_enough = false;
  std::optional<rom::CheckCode> computed;  // none for no N64 image, one too short, an unknown chip
  rom::CheckCode stored;
  bool right() const { return computed && *computed == stored; }
};

BootCheck boot_check(ByteSpan image) {
  BootCheck b;
  b.order = rom::detect_order(image);
  if (b.order == rom::ByteOrder::unknown) return b;
  const std::size_t head = std::min(image.size(), rom::kCheckedImageLength);
  const Bytes native = rom::copied_image(image.first(head), rom::straightening_mode(b.order));
  b.long_enough = native.size() >= rom::kCheckedImageLength;
  b.cic = rom::identify_cic(native);
  b.computed = rom::compute_check(native, b.cic);
  if (native.size() >= rom::kHeaderLength) b.stored = rom::stored_check(native);
  return b;
}

// Repairs the boot check code of `image` (in its own byte order, as romcrc --fix does). False
// after one line when the image has none that can be computed: nothing is written.
bool repair_boot_check(const std::string& name, Bytes& image) {
  const BootCheck b = boot_check(image);
  if (b.order == rom::ByteOrder::unknown) {
    con::error_line(name +
                    ": --fix-crc: the patched file is no N64 image (its first word is none "
                    "of the three byte orders); nothing written");
    return false;
  }
  if (!b.computed) {
    con::error_line(name + (!b.long_enough
                                ? ": --fix-crc: the patched image is too short to have a boot "
                                  "check code; nothing written"
                                : ": --fix-crc: the boot code is no known chip's (romcrc --cic N "
                                  "names the chip); nothing written"));
    return false;
  }
  if (b.right()) return true;
  rom::store_check(image, b.order, *b.computed);
  std::printf("%s: boot check code repaired for the %s chip: %s %s\n", name.c_str(),
              rom::cic_name(b.cic), hex32(b.computed->crc1).c_str(),
              hex32(b.computed->crc2).c_str());
  return true;
}

// The output name when none is asked for: the third name, or the patch's cut at its first dot
// with the original's extension.
std::string output_name(const Options& o, const Names& n) {
  return o.names.size() > 2 ? o.names[2] : default_output(n.second, n.first);
}

// Writes `result` (with --fix-crc, its boot check code repaired first) to `out_name`, then the
// line "OUT: WHAT, N bytes, CRC-32 C".
int write_result(const Options& o, const Names& n, files::InputFile& original,
                 files::InputFile& patch, const std::string& out_name, Bytes& result,
                 std::uint32_t crc, const std::string& what) {
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
  std::printf("%s: %s, %s bytes, CRC-32 %s\n", out_name.c_str(), what.c_str(),
              count(result.size()).c_str(), hex32(crc).c_str());
  return exit_status::kDone;
}

int write_patched(const Options& o, const Names& n, files::InputFile& original,
                  files::InputFile& patch, Bytes& result, std::uint32_t crc) {
  const auto out_name = ask_output(output_name(o, n), n);
  if (!out_name) return exit_status::kEndOfInput;
  return write_result(o, n, original, patch, *out_name, result, crc, "patched with " + n.second);
}

// ORIGINAL already is what the patch makes (`result`: the file itself, or its native-order copy;
// `why` says which). A named OUTPUT gets a copy of it (status 0 means that OUTPUT holds the
// result), with --fix-crc with its boot check code repaired; --fix-crc alone repairs ORIGINAL in
// place. Otherwise nothing is written.
int already_patched(const Options& o, const Names& n, files::InputFile& original,
                    files::InputFile& patch, Bytes result, const std::string& why) {
  const std::string said = n.first + " is already patched (" + why + ")";
  if (o.names.size() > 2) {
    std::printf("%s\n", said.c_str());
    const std::uint32_t crc = crc::crc32(result);
    return write_patched(o, n, original, patch, result, crc);
  }
  if (!o.fix_crc) {
    std::printf("%s; nothing written\n", said.c_str());
    return exit_status::kDone;
  }
  // In place: the file as it is, in its own byte order.
  const ByteSpan file = original.bytes();
  Bytes image(file.begin(), file.end());
  if (boot_check(image).right()) {
    std::printf("%s; its boot check code is right; nothing written\n", said.c_str());
    return exit_status::kDone;
  }
  std::printf("%s\n", said.c_str());
  std::string problem;
  if (!files::can_create(n.first, &problem)) {
    con::error_line(n.first + ": cannot be repaired in place (" + problem +
                    "); nothing written; a third name takes the repaired copy");
    return exit_status::kFailed;
  }
  return write_result(o, n, original, patch, n.first, image, crc::crc32(image),
                      "boot check code repaired in place");
}

}  // namespace

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
    if (bpscore::is_target(info, source)) {
      return already_patched(o, n, original, patch, Bytes(source.begin(), source.end()),
                             "it is what " + n.second + " makes");
    }
    copy = native_copy(source);
    if (copy && bpscore::is_target(info, *copy)) {
      return already_patched(o, n, original, patch, std::move(*copy),
                             "it is what " + n.second + " makes, in another byte order");
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
  if (const base::Done plausible = bpscore::plausible(info, source.size(), patch.bytes().size());
      !plausible) {
    con::error_line(n.second + ": " + plausible.why() + "; nothing written");
    return exit_status::kFailed;
  }
  const auto out_name = ask_output(output_name(o, n), n);
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
  return write_result(o, n, original, patch, *out_name, *applied, info.target_crc,
                      "patched with " + n.second);
}

namespace {

// An IPS patch holds no check value. For a byteswapped original it is applied both to the file
// as it is and to its native-order copy, and the result whose boot check code is right is taken
// (a mod is shipped with it repaired); where neither or both are right, the file as it is is
// patched. --native and --as-is choose. Returns the source taken; `said` tells the user.
ByteSpan ips_source(const Options& o, const Names& n, ByteSpan file, const Bytes& copy,
                    ByteSpan patch, std::string& said) {
  const std::string head = n.first + " is " + order_of(file) + "; patched ";
  if (o.native) {
    said = head + "its native-order copy, as --native asks";
    return copy;
  }
  if (o.as_is) {
    said = head + "the file as it is, as --as-is asks";
    return file;
  }
  const bool native_right = boot_check(ips::apply(patch, copy)).right();
  const bool as_is_right = boot_check(ips::apply(patch, file)).right();
  if (native_right && !as_is_right) {
    said = head + "its native-order copy, whose result has a right boot check code (--as-is " +
           "patches the file as it is)";
    return copy;
  }
  said = head + "the file as it is" +
         (as_is_right ? (native_right ? " (both results have a right boot check code)"
                                      : ", whose result has a right boot check code")
                      : " (neither result has a right boot check code)") +
         " (--native patches its native-order copy)";
  return file;
}

}  // namespace

int apply_ips(const Options& o, const Names& n, files::InputFile& original,
              files::InputFile& patch) {
  if (const auto checked = ips::check(patch.bytes()); !checked) {
    con::error_line(n.second + ": " + checked.why() + "; nothing written");
    return exit_status::kFailed;
  }
  const ByteSpan file = original.bytes();
  const std::optional<Bytes> copy = native_copy(file);
  ByteSpan source = file;
  if (copy) {
    std::string said;
    source = ips_source(o, n, file, *copy, patch.bytes(), said);
    std::printf("%s\n", said.c_str());
  }
  Bytes result = ips::apply(patch.bytes(), source);
  if (std::equal(result.begin(), result.end(), source.begin(), source.end())) {
    return already_patched(o, n, original, patch, std::move(result),
                           n.second + " changes nothing in it");
  }
  return write_patched(o, n, original, patch, result, crc::crc32(result));
}

}  // namespace bps
