// Reading, checking and applying BPS patches. One walk over the actions serves both: checking
// runs it without writing, applying runs it again with the copies.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/bytes.hpp"
#include "base/crc32.hpp"
#include "bpscore/patch.hpp"
#include "bpscore/varint.hpp"
#include "common/memory.hpp"

namespace bpscore {
namespace {

struct Header {
  std::uint64_t source_size = 0;
  std::uint64_t target_size = 0;
  const std::uint8_t* actions = nullptr;  // the first action
  const std::uint8_t* end = nullptr;      // where the CRCs begin
};

// Reads the sizes and the metadata.
base::Done read_header(ByteSpan patch, Header& h, Info& info) {
  const std::uint8_t* p = patch.data() + 4;
  h.end = patch.data() + patch.size() - 12;
  std::uint64_t metadata_size = 0;
  if (!read_varint(p, h.end, h.source_size) || !read_varint(p, h.end, h.target_size) ||
      !read_varint(p, h.end, metadata_size)) {
    return base::refuse("its header is damaged");
  }
  if (h.target_size > kMaxTargetSize) return base::refuse("its target is larger than 4 GiB");
  if (metadata_size > static_cast<std::uint64_t>(h.end - p)) {
    return base::refuse("its metadata runs past the end of the patch");
  }
  info.source_size = h.source_size;
  info.target_size = h.target_size;
  info.metadata = ByteSpan(p, static_cast<std::size_t>(metadata_size));
  h.actions = p + metadata_size;
  return {};
}

// Repeats the `distance` bytes before `out` until `length` bytes follow them: what a TargetCopy
// that reads its own output writes, in copies that double in size.
void copy_overlapping(std::uint8_t* out, std::size_t distance, std::size_t length) {
  while (length > 0) {
    const std::size_t n = std::min(length, distance);
    std::memcpy(out, out - distance, n);
    out += n;
    length -= n;
    distance *= 2;
  }
}

// Walks the actions, checking each against the sizes and cursors before it is carried out; with
// `target` non-null (room reserved for the whole target), also appends what they write. Every
// action writes at least one byte and its length is checked against what is left of the target
// before anything else, so the walk takes time linear in the patch and the target, and none in what
// a hostile length claims.
base::Done walk(const Header& h, ByteSpan source, Bytes* target, Info& info) {
  const std::uint8_t* p = h.actions;
  std::uint64_t out = 0;
  std::uint64_t source_cursor = 0;
  std::uint64_t target_cursor = 0;
  while (p < h.end) {
    std::uint64_t word = 0;
    if (!read_varint(p, h.end, word)) return base::refuse("an action is damaged");
    const unsigned kind = static_cast<unsigned>(word & 3);
    const std::uint64_t length = (word >> 2) + 1;
    if (length > h.target_size - out)
      return base::refuse("an action runs past the end of the target");
    std::uint64_t from = 0;
    switch (kind) {
      case source_read:
        if (out + length > h.source_size)
          return base::refuse("a SourceRead runs past the end of the source");
        from = out;
        break;
      case target_read:
        if (length > static_cast<std::uint64_t>(h.end - p)) {
          return base::refuse("a TargetRead runs past the end of the patch");
        }
        if (target != nullptr) target->insert(target->end(), p, p + length);
        p += length;
        break;
      default: {
        std::uint64_t offset = 0;
        if (!read_varint(p, h.end, offset)) return base::refuse("an action is damaged");
        const std::uint64_t delta = offset >> 1;
        const bool back = (offset & 1) != 0;
        std::uint64_t& cursor = kind == source_copy ? source_cursor : target_cursor;
        // A SourceCopy reads the source; a TargetCopy reads the output already written.
        const std::uint64_t limit = kind == source_copy ? h.source_size : out;
        if (back ? delta > cursor : delta > limit - cursor) {
          return base::refuse(kind == source_copy
                                  ? "a SourceCopy moves outside the source"
                                  : "a TargetCopy moves outside the output written so far");
        }
        cursor = back ? cursor - delta : cursor + delta;
        if (kind == source_copy && length > h.source_size - cursor) {
          return base::refuse("a SourceCopy runs past the end of the source");
        }
        if (kind == target_copy && cursor >= out) {
          return base::refuse("a TargetCopy reads output not written yet");
        }
        from = cursor;
        cursor += length;
      }
    }
    if (target != nullptr) {
      const auto n = static_cast<std::size_t>(length);
      if (kind == source_read || kind == source_copy) {
        const std::uint8_t* at = source.data() + from;
        target->insert(target->end(), at, at + n);
      } else if (kind == target_copy) {
        target->resize(target->size() + n);
        copy_overlapping(target->data() + out, static_cast<std::size_t>(out - from), n);
      }
    }
    ++info.actions[kind];
    info.bytes[kind] += length;
    out += length;
  }
  if (out != h.target_size) return base::refuse("its actions end before the target is complete");
  return {};
}

}  // namespace

PatchKind identify(ByteSpan patch) {
  if (patch.size() >= 4 && std::memcmp(patch.data(), "BPS1", 4) == 0) return PatchKind::bps;
  if (patch.size() >= 5 && std::memcmp(patch.data(), "PATCH", 5) == 0) return PatchKind::ips;
  return PatchKind::unknown;
}

base::Result<Info> check(ByteSpan patch) {
  if (identify(patch) != PatchKind::bps) return base::refuse("not a BPS patch");
  if (patch.size() < kMinPatchSize) return base::refuse("the patch is cut short");
  Info info;
  const std::uint8_t* tail = patch.data() + patch.size() - 12;
  info.source_crc = bytes::load_le32(tail);
  info.target_crc = bytes::load_le32(tail + 4);
  info.patch_crc = bytes::load_le32(tail + 8);
  const std::uint32_t actual = crc::crc32(patch.first(patch.size() - 4));
  if (actual != info.patch_crc) {
    char line[120];
    std::snprintf(line, sizeof line,
                  "the patch is damaged or cut short (its CRC-32 is %08X, it should be %08X)",
                  static_cast<unsigned>(actual), static_cast<unsigned>(info.patch_crc));
    return base::refuse(line);
  }
  Header h;
  if (base::Done read = read_header(patch, h, info); !read) return base::refuse(read.why());
  if (base::Done walked = walk(h, {}, nullptr, info); !walked) return base::refuse(walked.why());
  return info;
}

bool is_source(const Info& info, ByteSpan source) {
  return source.size() == info.source_size && crc::crc32(source) == info.source_crc;
}

bool is_target(const Info& info, ByteSpan image) {
  return image.size() == info.target_size && crc::crc32(image) == info.target_crc;
}

base::Done plausible(const Info& info, std::uint64_t source_size, std::uint64_t patch_size) {
  constexpr std::uint64_t kBesides = std::uint64_t{64} << 20;
  if (info.target_size <= 4 * (source_size + patch_size) + kBesides) return {};
  return base::refuse("the patch claims a result of " + std::to_string(info.target_size) +
                      " bytes, more than four times the original and the patch and 64 MiB "
                      "besides: no patch of an N64 image makes that");
}

base::Result<Bytes> apply(ByteSpan patch, const Info& info, ByteSpan source) {
  if (base::Done fits = plausible(info, source.size(), patch.size()); !fits) {
    return base::refuse(fits.why());
  }
  Header h;
  Info counts;
  if (base::Done read = read_header(patch, h, counts); !read) return base::refuse(read.why());
  if (source.size() != h.source_size) {
    return base::refuse("the source is not the size the patch was made for");
  }
  // Filled once, in order; huge pages make its first touch cheaper.
  Bytes target;
  target.reserve(static_cast<std::size_t>(h.target_size));
  memory::advise_large_block(target.data(), target.capacity());
  if (base::Done walked = walk(h, source, &target, counts); !walked) {
    return base::refuse(walked.why());
  }
  if (crc::crc32(target) != info.target_crc) {
    return base::refuse("the result does not have the CRC-32 the patch expects");
  }
  return target;
}

}  // namespace bpscore
