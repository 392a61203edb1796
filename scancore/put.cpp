#include "scancore/put.hpp"

#include <algorithm>
#include <cstdio>

namespace scancore {
namespace {

std::uint64_t round_up(std::uint64_t n, std::uint64_t to) { return (n + to - 1) / to * to; }

std::string span_text(std::uint64_t from, std::uint64_t to) {
  return hex_offset(from) + "-" + hex_offset(to);
}

// A name as it would be typed in a shell.
std::string quoted(const std::string& name) {
  if (!name.empty() && name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                              "0123456789._/+-=:,@") == std::string::npos) {
    return name;
  }
  std::string text = "'";
  for (const char c : name) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return text + "'";
}

std::string form_text(const Prepared& p) {
  return p.format ? std::string("as ") + format_name(*p.format) : std::string("as they are");
}

// The command that puts the file into the free area in the same form.
std::string free_area_command(const Prepared& p, const PutOptions& options, const Names& names) {
  std::string command = "romput ";
  if (p.format) {
    command += std::string("--") + (*p.format == Format::yaz0   ? "yaz0"
                                    : *p.format == Format::yay0 ? "yay0"
                                                                : "mio0");
    command += " ";
    if (options.mode == yazcore::Mode::classic && !p.as_is) command += "--classic ";
  }
  return command + quoted(names.image) + " end " + quoted(names.file);
}

}  // namespace

base::Result<Target> target_at(ByteSpan image, const Scan& scan,
                               std::optional<std::uint64_t> offset, const PutOptions& options) {
  Target t;
  if (!offset) {
    if (scan.free.empty()) {
      return base::refuse(
          "the image has no free area at its end (a run of 00 or FF bytes); romext doubles the "
          "image");
    }
    t.offset = scan.free.aligned;
    t.free_area = true;
    t.pad = options.pad.value_or(scan.free.fill);
    if (options.room) t.slot = *options.room;
    return t;
  }
  t.offset = *offset;
  if (t.offset < image.size()) t.block = trial(image, t.offset);
  if (t.block) {
    // The block, and the padding after it: the run of 00 or FF bytes that follows it, up to the
    // next 16-byte boundary (never past the next block or the image's end). Other bytes there
    // belong to something else.
    std::uint64_t end = round_up(t.block->end, kSlotAlign);
    for (const Block& b : scan.blocks) {
      if (b.offset > t.offset && b.offset < end) end = b.offset;
    }
    end = std::min<std::uint64_t>(end, image.size());
    std::uint64_t slot_end = t.block->end;
    if (slot_end < end && (image[slot_end] == 0x00 || image[slot_end] == 0xFF)) {
      t.pad = image[slot_end];
      while (slot_end < end && image[slot_end] == t.pad) ++slot_end;
    }
    t.slot = slot_end - t.offset;
  } else if (!scan.free.empty() && t.offset >= scan.free.start) {
    t.pad = scan.free.fill;
    t.free_area = true;
  }
  if (options.room) t.slot = *options.room;
  if (options.pad) t.pad = *options.pad;
  return t;
}

std::optional<Format> format_for(const Target& target, const PutOptions& options) {
  switch (options.choice) {
    case Choice::raw: return std::nullopt;
    case Choice::yaz0: return Format::yaz0;
    case Choice::yay0: return Format::yay0;
    case Choice::mio0: return Format::mio0;
    case Choice::automatic: break;
  }
  if (target.block) return target.block->format;
  return std::nullopt;
}

base::Result<Prepared> prepare(ByteSpan file, std::optional<Format> format, yazcore::Mode mode,
                               const std::string& file_name) {
  if (file.empty()) return base::refuse("the file is empty: there is nothing to put");
  if (file.size() > yazcore::kMaxInput) {
    return base::refuse("too large: a file put into an image holds less than 4 GiB");
  }
  Prepared p;
  p.format = format;
  if (!format) {
    p.data.assign(file.begin(), file.end());
    p.expanded = file.size();
    return p;
  }
  if (const auto block = trial(file, 0)) {
    if (block->format != *format) {
      return base::refuse(std::string("it already is a ") + format_name(block->format) +
                          " block, and it would go in as " + format_name(*format) +
                          ": expand it first (unyaz " + quoted(file_name) +
                          "), or name its form (--" +
                          (block->format == Format::yaz0   ? "yaz0"
                           : block->format == Format::yay0 ? "yay0"
                                                           : "mio0") +
                          ", or --raw)");
    }
    p.data.assign(file.begin(), file.end());
    p.expanded = block->expanded;
    p.as_is = true;
    return p;
  }
  const yazcore::Format f = *format == Format::yaz0   ? yazcore::Format::yaz0
                            : *format == Format::yay0 ? yazcore::Format::yay0
                                                      : yazcore::Format::mio0;
  p.data = yazcore::encode(file, f, mode);
  p.expanded = file.size();
  return p;
}

base::Result<Put> place(ByteSpan image, const Scan& scan, const Target& target, Prepared prepared,
                        const PutOptions& options, const Names& names) {
  const std::uint64_t size = prepared.data.size();
  if (target.slot != 0 && size > target.slot) {
    std::string why = grouped(size) + " bytes " + form_text(prepared) + "; the slot at " +
                      hex_offset(target.offset) + " holds " + grouped(target.slot) + ", " +
                      grouped(size - target.slot) + (size - target.slot == 1 ? " byte" : " bytes") +
                      " too many";
    const FreeArea& free = scan.free;
    if (!target.free_area && !free.empty() && free.end - free.aligned >= size) {
      why += "; the free area at " + hex_offset(free.aligned) +
             " holds it: " + free_area_command(prepared, options, names);
    } else if (!target.free_area && !free.empty()) {
      why += "; the free area at " + hex_offset(free.aligned) + " holds only " +
             grouped(free.end - free.aligned) + " (romext doubles the image)";
    } else if (!target.free_area) {
      why += "; the image has no free area at its end (romext doubles the image)";
    }
    return base::refuse(why);
  }
  Put put;
  put.offset = target.offset;
  put.data_size = size;
  put.format = prepared.format;
  put.expanded = prepared.expanded;
  put.as_is = prepared.as_is;
  put.bytes = std::move(prepared.data);
  if (target.slot > size) put.bytes.resize(target.slot, target.pad);
  const std::uint64_t end = put.offset + put.bytes.size();
  if (!options.force) {
    const std::string where = span_text(put.offset, end);
    if (put.offset < kBootEnd) {
      return base::refuse(where +
                          " lies in the header and boot code (0x0-0xFFF); --force writes "
                          "there");
    }
    if (end > image.size()) {
      return base::refuse(where + " runs past the image's end at " + hex_offset(image.size()) +
                          "; romext doubles the image (--force makes it longer)");
    }
    for (const Block& b : scan.blocks) {
      const bool own = target.block && b == *target.block;
      if (!own && b.offset < end && put.offset < b.end) {
        return base::refuse(where + " runs over the " + format_name(b.format) + " block at " +
                            span_text(b.offset, b.end) + "; --force writes over it");
      }
    }
  }
  return put;
}

void apply(Bytes& image, const Put& put, std::uint8_t fill) {
  const std::uint64_t end = put.offset + put.bytes.size();
  if (end > image.size()) image.resize(static_cast<std::size_t>(rom::rounded_to_groups(end)), fill);
  std::copy(put.bytes.begin(), put.bytes.end(),
            image.begin() + static_cast<std::ptrdiff_t>(put.offset));
}

std::string put_line(const std::string& file, const Put& put) {
  std::string form = "as they are";
  if (put.format) {
    form = std::string(format_name(*put.format)) + " of " + grouped(put.expanded) +
           (put.as_is ? ", as it was" : "");
  }
  return file + ": " + grouped(put.data_size) + " bytes (" + form + ") at " +
         span_text(put.offset, put.offset + put.data_size);
}

CheckRepair repair_check(Bytes& native) {
  CheckRepair r;
  r.before = rom::stored_check(native);
  r.cic = rom::identify_cic(native);
  r.after = rom::compute_check(native, r.cic);
  if (r.after) rom::store_check(native, rom::ByteOrder::native, *r.after);
  return r;
}

std::string check_line(const CheckRepair& r, std::uint64_t image_size) {
  if (!r.after) {
    if (image_size < rom::kCheckedImageLength) {
      return "the image is too short to have a boot check code: the check code was not repaired";
    }
    if (r.cic == rom::Cic::c8303) {
      return "the disk drive's boot code has no cartridge check code: nothing was repaired";
    }
    return "the boot code is no known chip's: the check code was not repaired (romcrc --cic N "
           "--fix repairs it)";
  }
  const std::string chip = std::string(" (") + rom::cic_name(r.cic) + ")";
  if (*r.after == r.before)
    return "check code: " + rom::check_code_text(r.before) + ", right as it stands" + chip;
  return "check code: " + rom::check_code_text(r.before) + " -> " + rom::check_code_text(*r.after) +
         chip;
}

}  // namespace scancore
