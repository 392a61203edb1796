// IPS patches: round trips through both appliers, the offset that reads as the end marker, sizes
// that grow and shrink, and damaged patches.
#include <gtest/gtest.h>

#include <random>

#include "base/bytes.hpp"
#include "bpscore/ips.hpp"
#include "patch_oracle.hpp"
#include "support/testsupport.hpp"

using testsupport::Bytes;
using testsupport::hex;

namespace {

// The offsets of the patch's records, in order.
std::vector<std::uint32_t> record_offsets(const Bytes& patch) {
  std::vector<std::uint32_t> offsets;
  std::size_t p = 5;
  for (;;) {
    const std::uint32_t offset = bytes::load_be24(patch.data() + p);
    if (offset == 0x454F46) break;
    offsets.push_back(offset);
    const std::size_t size = bytes::load_be16(patch.data() + p + 3);
    p += 5 + (size == 0 ? 3 : size);
  }
  return offsets;
}

}  // namespace

TEST(Ips, RoundTripsThroughBothAppliers) {
  std::mt19937 rng(5);
  for (int round = 0; round < 40; ++round) {
    Bytes source(rng() % 100000);
    for (auto& b : source) b = static_cast<std::uint8_t>(rng() % 7 == 0 ? rng() : 0);
    Bytes target = source;
    target.resize(round % 3 == 0 ? source.size() : rng() % 120000, 0x33);
    for (int e = 0; e < 50 && !target.empty(); ++e) {
      const std::size_t at = rng() % target.size();
      const std::size_t n = std::min<std::size_t>(target.size() - at, 1 + rng() % 100000 % 90);
      const std::uint8_t fill = static_cast<std::uint8_t>(rng());
      for (std::size_t i = at; i < at + n; ++i)
        target[i] = e % 2 ? fill : static_cast<std::uint8_t>(rng());
    }
    const Bytes patch = bpscore::ips::make(source, target);
    const auto c = bpscore::ips::check(patch);
    ASSERT_TRUE(c.ok()) << c.why();
    EXPECT_TRUE(bpscore::ips::apply(patch, source) == target) << round;
    EXPECT_TRUE(oracle::apply_ips(source, patch) == target) << round;
  }
}

TEST(Ips, NoRecordStartsWhereItWouldReadAsTheEnd) {
  const std::size_t eof = 0x454F46;
  const Bytes source(eof + 100000, 0);
  for (const std::size_t at : {eof, eof + 1, eof - 70000}) {
    for (const bool run : {false, true}) {
      Bytes target = source;
      // Bytes that change from `at` on, long enough to need more than one record; or a run of
      // one byte, which the record that starts a byte early stops in front of.
      for (std::size_t i = at; i < at + 70000; ++i)
        target[i] = static_cast<std::uint8_t>(run ? 7 : i | 1);
      const Bytes patch = bpscore::ips::make(source, target);
      for (const std::uint32_t offset : record_offsets(patch)) EXPECT_NE(offset, eof) << at;
      EXPECT_TRUE(bpscore::ips::apply(patch, source) == target) << at << run;
      EXPECT_TRUE(oracle::apply_ips(source, patch) == target) << at << run;
    }
  }
}

TEST(Ips, DamagedPatchesAreRefused) {
  struct Case {
    const char* patch;
    const char* problem;
  } cases[] = {
      {"50 41 54 43 48", "no end marker"},
      {"50 41 54 43 48 00 00 10 00", "inside a record"},
      {"50 41 54 43 48 00 00 10 00 04 41 42", "inside a record"},
      {"50 41 54 43 48 00 00 10 00 00 00", "inside a record"},
      {"50 41 54 43 48 45 4F 46 01", "after its end marker"},
      {"50 41 54 43 49 45 4F 46", "not an IPS patch"},
  };
  for (const Case& c : cases) {
    const auto checked = bpscore::ips::check(hex(c.patch));
    EXPECT_NE(checked.why().find(c.problem), std::string::npos) << c.patch << ": " << checked.why();
    EXPECT_FALSE(oracle::apply_ips({}, hex(c.patch))) << c.patch;
  }
  // A run, a record past the end (the gap is zeros) and a size to cut to.
  const Bytes patch =
      hex("50 41 54 43 48 00 00 01 00 00 00 03 7A 00 00 08 00 01 42 45 4F 46 00 00 07");
  const auto c = bpscore::ips::check(patch);
  ASSERT_TRUE(c.ok()) << c.why();
  EXPECT_EQ(c->runs, 1u);
  EXPECT_EQ(c->records, 1u);
  EXPECT_EQ(c->end, 9u);
  EXPECT_EQ(testsupport::to_hex(bpscore::ips::apply(patch, hex("01 02"))), "01 7A 7A 7A 00 00 00");
  // A run of no bytes past the end writes nothing and does not make the file longer.
  const Bytes empty_run = hex("50 41 54 43 48 00 43 00 00 00 00 00 44 45 4F 46");
  ASSERT_TRUE(bpscore::ips::check(empty_run).ok());
  EXPECT_EQ(testsupport::to_hex(bpscore::ips::apply(empty_run, hex("01 02"))), "01 02");
}
