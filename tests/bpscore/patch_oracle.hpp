// An applier written straight from the description of the two patch formats, one byte at a time
// and sharing nothing with bpscore: every patch the maker writes must come out right here too.
// The oracle of the bpscore tests and of the round-trip fuzz harness.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

namespace oracle {

using Bytes = std::vector<std::uint8_t>;

inline std::uint32_t crc32(const Bytes& data, std::size_t size) {
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    c ^= data[i];
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ ((c & 1) ? 0xEDB88320u : 0);
  }
  return ~c;
}

class Reader {
 public:
  Reader(const Bytes& b, std::size_t end) : b_(b), end_(end) {}
  std::uint8_t byte() {
    if (at_ >= end_) throw std::runtime_error("read past the actions");
    return b_[at_++];
  }
  std::uint64_t number() {
    std::uint64_t data = 0, shift = 1;
    for (int i = 0; i < 10; ++i) {
      const std::uint8_t x = byte();
      data += (x & 0x7F) * shift;
      if (x & 0x80) return data;
      shift <<= 7;
      data += shift;
    }
    throw std::runtime_error("number too long");
  }
  std::size_t at() const { return at_; }
  void seek(std::size_t at) { at_ = at; }

 private:
  const Bytes& b_;
  std::size_t end_;
  std::size_t at_ = 0;
};

inline std::uint32_t le32(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}

// The target, or nullopt when anything at all is wrong with the patch or the source.
inline std::optional<Bytes> apply_bps(const Bytes& source, const Bytes& patch) {
  try {
    if (patch.size() < 19 || patch[0] != 'B' || patch[1] != 'P' || patch[2] != 'S' ||
        patch[3] != '1') {
      return std::nullopt;
    }
    const std::size_t end = patch.size() - 12;
    if (crc32(patch, patch.size() - 4) != le32(patch, patch.size() - 4)) return std::nullopt;
    Reader r(patch, end);
    r.seek(4);
    const std::uint64_t source_size = r.number();
    const std::uint64_t target_size = r.number();
    const std::uint64_t metadata = r.number();
    if (source_size != source.size() || target_size > (1u << 30)) return std::nullopt;
    if (crc32(source, source.size()) != le32(patch, end)) return std::nullopt;
    r.seek(r.at() + metadata);
    Bytes target;
    std::uint64_t source_cursor = 0, target_cursor = 0;
    while (r.at() < end) {
      const std::uint64_t word = r.number();
      const std::uint64_t length = (word >> 2) + 1;
      const unsigned kind = word & 3;
      if (kind >= 2) {
        const std::uint64_t offset = r.number();
        std::uint64_t& cursor = kind == 2 ? source_cursor : target_cursor;
        cursor += (offset & 1) ? 0 - (offset >> 1) : (offset >> 1);
      }
      for (std::uint64_t k = 0; k < length; ++k) {
        if (target.size() >= target_size) return std::nullopt;
        switch (kind) {
          case 0:
            if (target.size() >= source.size()) return std::nullopt;
            target.push_back(source[target.size()]);
            break;
          case 1: target.push_back(r.byte()); break;
          case 2:
            if (source_cursor >= source.size()) return std::nullopt;
            target.push_back(source[source_cursor++]);
            break;
          default:
            if (target_cursor >= target.size()) return std::nullopt;
            target.push_back(target[target_cursor++]);
        }
      }
    }
    if (target.size() != target_size) return std::nullopt;
    if (crc32(target, target.size()) != le32(patch, end + 4)) return std::nullopt;
    return target;
  } catch (const std::runtime_error&) {
    return std::nullopt;
  }
}

inline std::optional<Bytes> apply_ips(const Bytes& source, const Bytes& patch) {
  if (patch.size() < 8 ||
      Bytes(patch.begin(), patch.begin() + 5) != Bytes{'P', 'A', 'T', 'C', 'H'}) {
    return std::nullopt;
  }
  Bytes out = source;
  std::size_t at = 5;
  auto take = [&](std::size_t n) {
    if (at + n > patch.size()) throw std::runtime_error("cut short");
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < n; ++i) v = (v << 8) | patch[at++];
    return v;
  };
  try {
    for (;;) {
      const std::uint32_t offset = take(3);
      if (offset == 0x454F46) break;
      std::uint32_t size = take(2);
      std::optional<std::uint8_t> fill;
      if (size == 0) {
        size = take(2);
        fill = static_cast<std::uint8_t>(take(1));
      }
      for (std::uint32_t i = 0; i < size; ++i) {
        if (out.size() <= offset + i) out.resize(offset + i + 1, 0);
        out[offset + i] = fill ? *fill : static_cast<std::uint8_t>(take(1));
      }
    }
    if (at + 3 == patch.size()) out.resize(take(3));
    if (at != patch.size()) return std::nullopt;
  } catch (const std::runtime_error&) {
    return std::nullopt;
  }
  return out;
}

}  // namespace oracle
