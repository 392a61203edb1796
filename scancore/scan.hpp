// The compressed blocks of a ROM image: every Yaz0, Yay0 and MIO0 block, found by a bounded trial
// decode at every aligned offset, and the free area at the image's end.
//
// A block is listed only when its trial decode completes: the signature; an expanded size from 1
// to the most allowed; for Yay0 and MIO0 the link table's offset from 16 on and the chunk table's
// from the link table's on, both inside the image, with the mask words read before the link table
// and the links before the chunk table; every copy inside the output made so far; the expanded
// size reached exactly at the end of a token, without reading past the image. The trial only
// counts: it writes no output. A signature inside a block already found is not a block.
//
// Offsets are those of the image in the console's native byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "romcore/byteorder.hpp"

namespace scancore {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

enum class Format { yaz0, yay0, mio0 };

// "Yaz0", "Yay0", "MIO0".
const char* format_name(Format format);
// A format named in either case ("yaz0", "MIO0"); nullopt for anything else.
std::optional<Format> parse_format(std::string_view name);

struct Block {
  std::uint32_t offset = 0;
  std::uint32_t end = 0;  // one past its last byte: end - offset is the packed size
  Format format = Format::yaz0;
  std::uint32_t expanded = 0;
  std::uint32_t packed() const { return end - offset; }
  friend bool operator==(const Block&, const Block&) = default;
};

// The most an expanded size may be by default: the console has 8 MiB of memory at most.
inline constexpr std::uint32_t kDefaultMax = 16u << 20;

// The block that starts at `offset` of `image`, if its trial decode completes with an expanded
// size of at most `max`.
std::optional<Block> trial(ByteSpan image, std::size_t offset, std::uint32_t max = UINT32_MAX);

// The largest expanded size a block of `format` could have whose header is at `offset`, from the
// bytes its streams can hold: no token yields more output per packed byte than its format's
// longest copy does. (Yaz0 and Yay0: 273 bytes from 25 bits; MIO0: 18 bytes from 17 bits.) 0 when
// the header does not fit or its table offsets are out of order.
std::uint64_t most_expanded(ByteSpan image, std::size_t offset, Format format);

// The run of 00 or FF bytes at the image's end (after the last block), where nothing stands.
struct FreeArea {
  std::uint64_t start = 0;    // its first byte (the image's size when there is none)
  std::uint64_t aligned = 0;  // its first 16-byte-aligned offset (at most the image's size)
  std::uint8_t fill = 0;      // 0x00 or 0xFF
  std::uint64_t end = 0;      // the image's size
  bool empty() const { return aligned >= end; }
};

struct ScanOptions {
  std::size_t align = 4;
  std::uint32_t max = kDefaultMax;
};

struct Scan {
  std::vector<Block> blocks;   // in offset order, none overlapping another
  std::uint64_t rejected = 0;  // aligned signatures outside the blocks that are no block
  std::uint64_t untried = 0;   // aligned signatures outside the blocks not tried to the end
  FreeArea free;
};

// Every block of the native image `image`, in time linear in its size whatever it holds. The
// blocks are those of a trial decode at each aligned signature outside the blocks found before
// it; every trial's outcome is found first, in any order: the Yaz0 trials that stand at the same
// flag group share its decode, and the Yay0 and MIO0 trials (whose three streams seldom meet) go
// on in rounds of doubling steps, until they all end or the steps of the whole image (32 a byte)
// are taken. A real image's trials all end in the first rounds; a made-up one with more headers
// that decode for long than that leaves some signatures not tried to the end (`untried`), none of
// which is taken for a block.
Scan scan(ByteSpan image, const ScanOptions& options = {});

// The free area at the end of `image`, after `last_end`.
FreeArea free_area(ByteSpan image, std::uint64_t last_end);

// An image in native order: the file's own bytes, or a straightened copy of a byteswapped one.
class NativeImage {
 public:
  explicit NativeImage(ByteSpan file);
  ByteSpan bytes() const { return copy_.empty() ? file_ : ByteSpan(copy_); }
  rom::ByteOrder order() const { return order_; }

 private:
  ByteSpan file_;
  Bytes copy_;
  rom::ByteOrder order_;
};

// The expanded bytes of a block (which trial() found).
Bytes expand(ByteSpan image, const Block& block);

// A number with a comma between groups of three digits: "74,210".
std::string grouped(std::uint64_t n);
// An offset as hex editors show it: "0x00A1B2C0".
std::string hex_offset(std::uint64_t offset);

}  // namespace scancore
