// IPS patches: "PATCH", records, "EOF", and an optional 3-byte size to cut the result to. A record
// is a 24-bit big-endian offset and a 16-bit size, then that many bytes; size 0 marks a run: a
// 16-bit count and the byte to repeat. All numbers are big-endian.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "bpscore/patch.hpp"

namespace bpscore::ips {

// Offsets are 24-bit: a file of more than 16 MiB cannot be described.
inline constexpr std::uint64_t kMaxFileSize = std::uint64_t{1} << 24;

struct Info {
  std::uint64_t records = 0;              // records with bytes
  std::uint64_t runs = 0;                 // run records
  std::uint64_t written = 0;              // bytes written by all records
  std::uint64_t end = 0;                  // the highest offset written to, plus one
  std::optional<std::uint32_t> truncate;  // the size the result is cut to, when given
};

// Reads the whole patch and checks its structure.
base::Result<Info> check(ByteSpan patch);

// Applies a patch that check() found sound: `source` with every record written over it (the file
// grows with zero bytes where a record lies past its end), then cut or grown to the size given.
Bytes apply(ByteSpan patch, ByteSpan source);

// Makes a patch that turns `source` into `target`; both at most kMaxFileSize bytes.
Bytes make(ByteSpan source, ByteSpan target);

}  // namespace bpscore::ips
