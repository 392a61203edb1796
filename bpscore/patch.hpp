// BPS patches: reading and checking them, applying them, and making the smallest ones.
//
// A patch is "BPS1", the source size, the target size and the metadata size as varints, the
// metadata, the actions, then the CRC-32 of the source, of the target and of everything before
// that last word, each little-endian. An action is varint(((length - 1) << 2) | kind):
//   SourceRead  copies the source at the current output offset;
//   TargetRead  copies `length` literal bytes that follow the word;
//   SourceCopy  and TargetCopy are followed by varint((|delta| << 1) | negative): each has its
//               own cursor (into the source, and into the output already written), moved by the
//               delta, then advanced by the length. A TargetCopy may read what it writes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/result.hpp"

namespace bpscore {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

enum class PatchKind { bps, ips, unknown };

// Tells a patch by its first bytes: "BPS1" or "PATCH".
PatchKind identify(ByteSpan patch);

enum Action : unsigned { source_read = 0, target_read = 1, source_copy = 2, target_copy = 3 };

// The largest target a patch may describe here: its bytes are held in memory.
inline constexpr std::uint64_t kMaxTargetSize = std::uint64_t{1} << 32;

// The smallest patch: the signature, three one-byte sizes and the three CRCs.
inline constexpr std::size_t kMinPatchSize = 4 + 3 + 12;

// What a patch says about itself, once it has been read and checked.
struct Info {
  std::uint64_t source_size = 0;
  std::uint64_t target_size = 0;
  std::uint32_t source_crc = 0;
  std::uint32_t target_crc = 0;
  std::uint32_t patch_crc = 0;
  ByteSpan metadata;
  std::array<std::uint64_t, 4> actions{};  // by kind
  std::array<std::uint64_t, 4> bytes{};    // output bytes written by each kind
};

// Reads the whole patch and checks everything that can be checked without the source: the
// signature, the patch's own CRC-32, the sizes, and every action against the sizes and the
// cursors. Time linear in the patch's size, whatever the sizes it claims.
base::Result<Info> check(ByteSpan patch);

// True when `source` is the one the patch was made from (size and CRC-32).
bool is_source(const Info& info, ByteSpan source);
// True when `image` already is the patch's result (size and CRC-32).
bool is_target(const Info& info, ByteSpan image);

// Whether a patch's claimed result is one to build: at most four times the original and the
// patch together, and 64 MiB besides (a whole N64 image from nothing). The result is built in
// memory, and a handful of bytes may claim gigabytes that only a hostile patch asks for.
base::Done plausible(const Info& info, std::uint64_t source_size, std::uint64_t patch_size);

// Applies a patch that check() found sound to `source`, which should be the patch's source. The
// result is checked against the patch's target CRC-32.
base::Result<Bytes> apply(ByteSpan patch, const Info& info, ByteSpan source);

// Makes a patch that turns `source` into `target`, as small as the parse can make it. Both
// spans must be shorter than 4 GiB.
Bytes make(ByteSpan source, ByteSpan target, ByteSpan metadata = {});

}  // namespace bpscore
