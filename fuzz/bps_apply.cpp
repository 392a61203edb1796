// The BPS and IPS appliers on arbitrary patches: never a crash, a read out of bounds or a hang;
// a patch found sound applies to exactly the size it claims.
//
// The input is a patch without its signature and CRCs, which the harness adds (so that the
// fuzzer reaches the actions instead of stopping at the CRC); its first byte chooses the format:
// odd for IPS, 0xFF for the bytes exactly as given.
#include <cstdint>
#include <vector>

#include "base/bytes.hpp"
#include "base/crc32.hpp"
#include "bpscore/ips.hpp"
#include "bpscore/patch.hpp"
#include "fuzz/check.hpp"

namespace {

// The most that is applied: a sound patch may claim up to 4 GiB.
constexpr std::uint64_t kMost = std::uint64_t{1} << 22;

void bps_patch(std::vector<std::uint8_t> patch, bool raw) {
  if (!raw) {
    patch.insert(patch.begin(), {'B', 'P', 'S', '1'});
    for (int i = 0; i < 8; ++i) patch.push_back(0);
    bytes::append_le32(patch, crc::crc32(patch));
  }
  const auto c = bpscore::check(patch);
  if (!c.ok()) return;
  FUZZ_CHECK(c->bytes[0] + c->bytes[1] + c->bytes[2] + c->bytes[3] == c->target_size);
  if (c->source_size > kMost || c->target_size > kMost) return;
  std::vector<std::uint8_t> source(static_cast<std::size_t>(c->source_size));
  for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<std::uint8_t>(i * 7);
  const auto a = bpscore::apply(patch, *c, source);
  // The CRCs the harness wrote are zeros: only a result with that CRC passes.
  FUZZ_CHECK(!a.ok() || a->size() == c->target_size);
}

void ips_patch(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> patch = {'P', 'A', 'T', 'C', 'H'};
  patch.insert(patch.end(), data, data + size);
  const auto c = bpscore::ips::check(patch);
  if (!c.ok()) return;
  const std::vector<std::uint8_t> source(size % 1000, 0x5A);
  const std::vector<std::uint8_t> out = bpscore::ips::apply(patch, source);
  if (c->truncate) {
    FUZZ_CHECK(out.size() == *c->truncate);
  } else {
    FUZZ_CHECK(out.size() == std::max<std::uint64_t>(source.size(), c->end));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] == 0xFF) {
    bps_patch(std::vector<std::uint8_t>(data + 1, data + size), true);
  } else if ((data[0] & 1) != 0) {
    ips_patch(data + 1, size - 1);
  } else {
    bps_patch(std::vector<std::uint8_t>(data + 1, data + size), false);
  }
  return 0;
}
