#include "bpscore/ips.hpp"

#include <algorithm>
#include <cstring>

#include "base/bytes.hpp"

namespace bpscore::ips {
namespace {

constexpr std::uint32_t kEndMarker = 0x454F46;  // "EOF" read as an offset
constexpr std::size_t kMaxRecord = 0xFFFF;

// Calls `record(offset, size, data)` for each record with bytes and `run(offset, count, byte)` for
// each run; done once the end marker and what may follow it were read.
template <typename Record, typename Run>
base::Done walk(ByteSpan patch, Info& info, Record record, Run run) {
  const std::size_t size = patch.size();
  const std::uint8_t* d = patch.data();
  std::size_t p = 5;
  for (;;) {
    if (size - p < 3) return base::refuse("the patch is cut short (it has no end marker)");
    const std::uint32_t offset = bytes::load_be24(d + p);
    p += 3;
    if (offset == kEndMarker) break;
    if (size - p < 2) return base::refuse("the patch is cut short inside a record");
    const std::size_t length = bytes::load_be16(d + p);
    p += 2;
    if (length == 0) {
      if (size - p < 3) return base::refuse("the patch is cut short inside a record");
      const std::size_t count = bytes::load_be16(d + p);
      run(offset, count, d[p + 2]);
      p += 3;
      ++info.runs;
      info.written += count;
      if (count > 0) info.end = std::max<std::uint64_t>(info.end, offset + count);
    } else {
      if (size - p < length) return base::refuse("the patch is cut short inside a record");
      record(offset, length, d + p);
      p += length;
      ++info.records;
      info.written += length;
      info.end = std::max<std::uint64_t>(info.end, offset + length);
    }
  }
  if (size - p == 3) {
    info.truncate = bytes::load_be24(d + p);
  } else if (size != p) {
    return base::refuse("the patch has unexpected bytes after its end marker");
  }
  return {};
}

}  // namespace

base::Result<Info> check(ByteSpan patch) {
  if (identify(patch) != PatchKind::ips) return base::refuse("not an IPS patch");
  Info info;
  const base::Done walked = walk(
      patch, info, [](std::uint32_t, std::size_t, const std::uint8_t*) {},
      [](std::uint32_t, std::size_t, std::uint8_t) {});
  if (!walked) return base::refuse(walked.why());
  return info;
}

Bytes apply(ByteSpan patch, ByteSpan source) {
  Bytes out(source.begin(), source.end());
  auto room = [&out](std::size_t end) {
    if (end > out.size()) out.resize(end, 0);
  };
  Info info;
  // check() has found the patch sound.
  static_cast<void>(walk(
      patch, info,
      [&](std::uint32_t offset, std::size_t length, const std::uint8_t* data) {
        room(offset + length);
        std::memcpy(out.data() + offset, data, length);
      },
      [&](std::uint32_t offset, std::size_t count, std::uint8_t byte) {
        if (count == 0) return;  // a run of no bytes does not make the file longer
        room(offset + count);
        std::memset(out.data() + offset, byte, count);
      }));
  if (info.truncate) out.resize(*info.truncate, 0);
  return out;
}

Bytes make(ByteSpan source, ByteSpan target) {
  const std::size_t size = target.size();
  const std::uint8_t* t = target.data();
  auto differs = [&](std::size_t i) { return i >= source.size() || source[i] != t[i]; };
  auto run_length = [&](std::size_t i) {
    std::size_t n = 1;
    while (i + n < size && n < kMaxRecord && t[i + n] == t[i]) ++n;
    return n;
  };
  Bytes out = {'P', 'A', 'T', 'C', 'H'};
  std::size_t i = 0;
  while (i < size) {
    if (!differs(i)) {
      ++i;
      continue;
    }
    // A record at the offset that spells "EOF" would end the patch: it starts a byte earlier.
    std::size_t start = i == kEndMarker ? i - 1 : i;
    // A run costs 8 bytes whatever its length: worth it from 9 bytes on.
    const std::size_t run = run_length(start);
    if (run >= 9) {
      bytes::append_be24(out, static_cast<std::uint32_t>(start));
      bytes::append_be16(out, 0);
      bytes::append_be16(out, static_cast<std::uint16_t>(run));
      out.push_back(t[start]);
      i = start + run;
      continue;
    }
    // A record with bytes: it runs on over differences and over gaps of equal bytes shorter than
    // a record's header, and stops before a run long enough for a record of its own (never before
    // it holds the byte at `i`, or a record moved back from the end marker's offset would be
    // written again and again).
    std::size_t end = start;
    while (end < size && end - start < kMaxRecord) {
      if (differs(end)) {
        if (end > i && run_length(end) >= 14) break;
        ++end;
        continue;
      }
      std::size_t gap = 0;
      while (end + gap < size && gap < 5 && !differs(end + gap)) ++gap;
      if (gap >= 5 || end + gap >= size) break;
      end = std::min(end + gap, start + kMaxRecord);
    }
    bytes::append_be24(out, static_cast<std::uint32_t>(start));
    bytes::append_be16(out, static_cast<std::uint16_t>(end - start));
    out.insert(out.end(), t + start, t + end);
    i = end;
  }
  out.insert(out.end(), {'E', 'O', 'F'});
  if (size < source.size()) bytes::append_be24(out, static_cast<std::uint32_t>(size));
  return out;
}

}  // namespace bpscore::ips
