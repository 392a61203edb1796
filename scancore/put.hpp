// Putting a file into an image: where it goes (the slot of the block that stands there, or the
// free area at the image's end), in what form (the block's format, compressed, or the bytes as
// they are), whether it fits, and what may not be written over. Nothing here touches a file: the
// image is changed in memory, in native order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/result.hpp"
#include "romcore/bootcheck.hpp"
#include "scancore/scan.hpp"
#include "yazcore/encode.hpp"

namespace scancore {

// The header and the boot code: 0 to 0xFFF.
inline constexpr std::uint64_t kBootEnd = 0x1000;
// Slots are rounded up to 16 bytes.
inline constexpr std::uint64_t kSlotAlign = 16;

// The form asked for: the block's own format (raw where no block stands), or one named.
enum class Choice { automatic, raw, yaz0, yay0, mio0 };

struct PutOptions {
  Choice choice = Choice::automatic;
  yazcore::Mode mode = yazcore::Mode::best;  // --classic: the classic bytes (Yaz0, Yay0)
  std::optional<std::uint64_t> room;         // --room N: the slot's size
  std::optional<std::uint8_t> pad;           // --pad XX: what fills the rest of the slot
  bool force = false;                        // write into the boot area, past the end, over blocks
};

// Where a file goes.
struct Target {
  std::uint64_t offset = 0;
  std::optional<Block> block;  // the block that stands there now
  std::uint64_t slot = 0;      // what the file may take; 0: what it needs
  std::uint8_t pad = 0;        // what fills the slot after it
  bool free_area = false;      // the target is the free area's first 16-aligned offset
};

// The target at `offset`, or at the free area (nullopt). A block's slot is the block and its
// padding: the run of 00 or FF bytes that follows it, up to its end rounded up to 16 bytes, but
// never past the next block or the image's end (other bytes there belong to something else).
// --room gives it instead. The pad byte is the one that padded the old block (00 when there was
// none), the free area's own, or --pad. Refused when there is no free area.
base::Result<Target> target_at(ByteSpan image, const Scan& scan,
                               std::optional<std::uint64_t> offset, const PutOptions& options);

// What a file becomes.
struct Prepared {
  Bytes data;                    // the bytes to write
  std::optional<Format> format;  // nullopt: as they are
  std::uint64_t expanded = 0;
  bool as_is = false;  // the file already was such a block
};

// The format a file is written in at `target`: the one named, else the block's, else raw.
std::optional<Format> format_for(const Target& target, const PutOptions& options);

// The file in `format`: compressed, or as it is when it already is such a block. Refused for an
// empty file, a file of 4 GiB or more, and a file that already is a block of another format.
base::Result<Prepared> prepare(ByteSpan file, std::optional<Format> format, yazcore::Mode mode,
                               const std::string& file_name);

// The names as the user typed them, for the lines.
struct Names {
  std::string image;
  std::string file;
};

// A put that may be made.
struct Put {
  std::uint64_t offset = 0;
  Bytes bytes;  // the data and the padding that fills the slot after it
  std::uint64_t data_size = 0;
  std::optional<Format> format;
  std::uint64_t expanded = 0;
  bool as_is = false;
};

// Checks a put: that it fits its slot (else one line with the sizes and, when the free area holds
// it, the command that puts it there) and, unless forced, that it stays out of the header and
// boot code, inside the image, and off every other block.
base::Result<Put> place(ByteSpan image, const Scan& scan, const Target& target, Prepared prepared,
                        const PutOptions& options, const Names& names);

// Makes the put in the native image, which grows (to whole 4-byte groups, with `fill`) when the
// put runs past its end.
void apply(Bytes& image, const Put& put, std::uint8_t fill);

// "menu.bin: 70,002 bytes (Yaz0 of 180,224) at 0x00A1B2C0-0x00A2C432".
std::string put_line(const std::string& file, const Put& put);

// The boot check code computed afresh and stored in a native image.
struct CheckRepair {
  rom::Cic cic = rom::Cic::unknown;
  rom::CheckCode before;
  std::optional<rom::CheckCode> after;  // nullopt: not repaired
};
CheckRepair repair_check(Bytes& native);

// The line about it: "check code: OLD -> NEW (chip)", "... right as it stands", or why it was
// not repaired.
std::string check_line(const CheckRepair& repair, std::uint64_t image_size);

}  // namespace scancore
