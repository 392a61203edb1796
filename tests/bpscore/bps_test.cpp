// The BPS maker and applier: exact format, round trips through both appliers, hostile patches.
#include <gtest/gtest.h>

#include <random>

#include "base/bytes.hpp"
#include "base/crc32.hpp"
#include "bpscore/patch.hpp"
#include "bpscore/varint.hpp"
#include "patch_oracle.hpp"
#include "support/testsupport.hpp"

using testsupport::Bytes;
using testsupport::hex;

namespace {

Bytes random_bytes(std::mt19937& rng, std::size_t n) {
  Bytes b(n);
  for (auto& x : b) x = static_cast<std::uint8_t>(rng() >> 24);
  return b;
}

// The target made from `source` by random edits: changed, inserted and removed bytes, a moved
// block, a block copied twice, runs and repeated words.
Bytes edited(const Bytes& source, std::mt19937& rng, int edits) {
  Bytes t = source;
  for (int e = 0; e < edits; ++e) {
    const std::size_t at = t.empty() ? 0 : rng() % t.size();
    const std::size_t n = 1 + rng() % 300;
    switch (rng() % 7) {
      case 0: {
        for (std::size_t i = at; i < std::min(t.size(), at + n % 8); ++i) t[i] ^= 0x5A;
        break;
      }
      case 1: {
        const Bytes fresh = random_bytes(rng, n % 40);
        t.insert(t.begin() + static_cast<std::ptrdiff_t>(at), fresh.begin(), fresh.end());
        break;
      }
      case 2:
        t.erase(t.begin() + static_cast<std::ptrdiff_t>(at),
                t.begin() + static_cast<std::ptrdiff_t>(std::min(t.size(), at + n)));
        break;
      case 3: {  // a block moved elsewhere
        const std::size_t len = std::min(t.size() - at, n * 10);
        Bytes block(t.begin() + static_cast<std::ptrdiff_t>(at),
                    t.begin() + static_cast<std::ptrdiff_t>(at + len));
        t.erase(t.begin() + static_cast<std::ptrdiff_t>(at),
                t.begin() + static_cast<std::ptrdiff_t>(at + len));
        const std::size_t to = t.empty() ? 0 : rng() % t.size();
        t.insert(t.begin() + static_cast<std::ptrdiff_t>(to), block.begin(), block.end());
        break;
      }
      case 4: {  // a block repeated
        const std::size_t len = std::min(t.size() - at, n);
        Bytes block(t.begin() + static_cast<std::ptrdiff_t>(at),
                    t.begin() + static_cast<std::ptrdiff_t>(at + len));
        t.insert(t.begin() + static_cast<std::ptrdiff_t>(at), block.begin(), block.end());
        break;
      }
      case 5: t.insert(t.begin() + static_cast<std::ptrdiff_t>(at), n * 20, 0); break;
      default: {  // a repeated word
        const Bytes word = random_bytes(rng, 4);
        for (std::size_t i = 0; i < n; ++i) {
          t.insert(t.begin() + static_cast<std::ptrdiff_t>(at), word.begin(), word.end());
        }
      }
    }
  }
  return t;
}

// A patch from its parts: the sizes, the metadata and the actions, with correct CRCs.
Bytes patch_of(std::uint64_t source_size, std::uint64_t target_size, const Bytes& actions,
               const Bytes& source, const Bytes& target) {
  Bytes p = {'B', 'P', 'S', '1'};
  bpscore::put_varint(p, source_size);
  bpscore::put_varint(p, target_size);
  bpscore::put_varint(p, 0);
  p.insert(p.end(), actions.begin(), actions.end());
  bytes::append_le32(p, crc::crc32(source));
  bytes::append_le32(p, crc::crc32(target));
  bytes::append_le32(p, crc::crc32(p));
  return p;
}

// Makes the patch and checks it through both appliers; returns its size.
std::size_t round_trip(const Bytes& source, const Bytes& target, const std::string& what) {
  const Bytes patch = bpscore::make(source, target);
  const auto c = bpscore::check(patch);
  EXPECT_TRUE(c.ok()) << what << ": " << c.why();
  EXPECT_TRUE(bpscore::is_source(*c, source)) << what;
  const auto a = bpscore::apply(patch, *c, source);
  EXPECT_TRUE(a.ok()) << what << ": " << a.why();
  EXPECT_TRUE(a.ok() && *a == target) << what;
  const auto ref = oracle::apply_bps(source, patch);
  EXPECT_TRUE(ref && *ref == target) << what << ": the oracle disagrees";
  return patch.size();
}

}  // namespace

TEST(BpsFormat, VarintsRoundTripAndRefuseOverflow) {
  for (const std::uint64_t v : {0ull, 1ull, 127ull, 128ull, 16511ull, 16512ull, 2113663ull,
                                1ull << 32, 1ull << 60, ~0ull >> 1, ~0ull}) {
    Bytes b;
    bpscore::put_varint(b, v);
    EXPECT_EQ(b.size(), bpscore::varint_size(v)) << v;
    const std::uint8_t* p = b.data();
    std::uint64_t back = 0;
    EXPECT_TRUE(bpscore::read_varint(p, b.data() + b.size(), back)) << v;
    EXPECT_EQ(back, v);
    EXPECT_EQ(p, b.data() + b.size());
    // Cut short by a byte, it is refused.
    p = b.data();
    EXPECT_FALSE(bpscore::read_varint(p, b.data() + b.size() - 1, back)) << v;
  }
  for (const char* text : {"00 00 00 00 00 00 00 00 00 00 80", "7F 7F 7F 7F 7F 7F 7F 7F 7F 81",
                           "7F 7F 7F 7F 7F 7F 7F 7F 7F FF"}) {
    const Bytes b = hex(text);
    const std::uint8_t* p = b.data();
    std::uint64_t v = 0;
    EXPECT_FALSE(bpscore::read_varint(p, b.data() + b.size(), v)) << text;
  }
}

TEST(BpsFormat, TheCheckValueAppliesAndTheMakerDoesAtLeastAsWell) {
  Bytes source(16);
  for (int i = 0; i < 16; ++i) source[i] = static_cast<std::uint8_t>(i);
  Bytes target = source;
  std::copy_n("TEST", 4, target.begin() + 4);
  target.insert(target.end(), 4, '!');
  const Bytes given = hex(
      "42 50 53 31 90 94 80 8c 8d 54 45 53 54 9c 8d 21 21 21 21 88 e2 ce ce 16 fc d7 7e cc a5 a0 "
      "99");
  const auto c = bpscore::check(given);
  ASSERT_TRUE(c.ok()) << c.why();
  EXPECT_EQ(c->source_size, 16u);
  EXPECT_EQ(c->target_size, 20u);
  EXPECT_EQ(c->actions[bpscore::source_read], 2u);
  EXPECT_EQ(c->bytes[bpscore::target_read], 8u);
  EXPECT_TRUE(*bpscore::apply(given, *c, source) == target);
  EXPECT_TRUE(oracle::apply_bps(source, given) == target);
  EXPECT_LE(round_trip(source, target, "check value"), given.size());
  // The same header and CRCs, whatever the parse.
  const Bytes made = bpscore::make(source, target);
  EXPECT_TRUE(std::equal(made.begin(), made.begin() + 7, given.begin()));
  EXPECT_TRUE(std::equal(made.end() - 12, made.end() - 4, given.end() - 12));
}

TEST(BpsMake, RandomEditsRoundTrip) {
  std::mt19937 rng(7);
  for (int round = 0; round < 60; ++round) {
    const std::size_t size = round < 10 ? static_cast<std::size_t>(round) : rng() % 200000;
    // Random bytes, or a few distinct values (many short false matches).
    Bytes source = random_bytes(rng, size);
    if (round % 3 == 1) {
      for (auto& b : source) b &= 3;
    }
    const Bytes target = edited(source, rng, static_cast<int>(rng() % 40));
    round_trip(source, target, "round " + std::to_string(round));
  }
}

TEST(BpsMake, SpecialShapesMakeSmallPatches) {
  std::mt19937 rng(11);
  const Bytes random = random_bytes(rng, 1 << 20);
  Bytes moved = random;
  std::rotate(moved.begin() + 1000, moved.begin() + 300000, moved.begin() + 600000);
  Bytes words;
  for (int i = 0; i < (1 << 18); ++i) words.insert(words.end(), {0x27, 0xBD, 0xFF, 0xE8});
  // Random bytes around a run of zeros, the run made shorter or longer or put in front.
  auto padded = [&](std::size_t front, std::size_t run) {
    Bytes b(front + run + 600000, 0);
    std::copy(random.begin(), random.begin() + 300000,
              b.begin() + static_cast<std::ptrdiff_t>(front));
    std::copy(random.begin() + 300000, random.begin() + 600000, b.end() - 300000);
    return b;
  };
  // A source that holds its first 300000 bytes twice, and a target with 10 bytes taken out of
  // the second copy: the copy goes on near where it was, not in the first.
  Bytes twice(random.begin(), random.begin() + 300000);
  twice.insert(twice.end(), twice.begin(), twice.end());
  Bytes cut = twice;
  cut.erase(cut.begin() + 400000, cut.begin() + 400010);
  // 20 new bytes after a long stretch kept in place.
  Bytes put_in = random;
  put_in.insert(put_in.begin() + 200000, random.begin() + 5000, random.begin() + 5020);
  std::reverse(put_in.begin() + 200000, put_in.begin() + 200020);
  struct Case {
    const char* what;
    Bytes source, target;
    std::size_t most;  // the largest acceptable patch
  } cases[] = {
      {"bytes taken out where the source holds them twice", twice, cut, 31},
      {"bytes put in after a long stretch in place", random, put_in, 53},
      {"identical", random, random, 40},
      {"empty to empty", {}, {}, 19},
      {"everything removed", random, {}, 22},
      {"a moved block", random, moved, 60},
      {"zeros from nothing", {}, Bytes(1 << 20, 0), 40},
      {"repeated words from nothing", {}, words, 40},
      {"random after zeros", Bytes(1 << 20, 0), random, (1 << 20) + 500},
      {"bytes taken out of a run", padded(0, 5000), padded(0, 4990), 40},
      {"bytes put into a run", padded(0, 5000), padded(0, 5050), 40},
      {"a run put in front", padded(0, 5000), padded(8, 5000), 40},
      {"the source twice", random,
       [&] {
         Bytes t = random;
         t.insert(t.end(), random.begin(), random.end());
         return t;
       }(),
       60},
  };
  for (const Case& c : cases) {
    EXPECT_LE(round_trip(c.source, c.target, c.what), c.most) << c.what;
  }
}

TEST(BpsApply, HostilePatchesAreRefusedWithAReason) {
  const Bytes source = hex("10 11 12 13 14 15 16 17");
  const Bytes target = hex("10 11 12 13");
  auto act = [](std::uint64_t length, unsigned kind) {
    Bytes b;
    bpscore::put_varint(b, bpscore::action_word(length, kind));
    return b;
  };
  auto join = [](std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  };
  Bytes damaged = patch_of(8, 4, act(4, bpscore::source_read), source, target);
  damaged[5] ^= 1;
  Bytes cut = patch_of(8, 4, act(4, bpscore::source_read), source, target);
  cut.erase(cut.begin() + 6, cut.begin() + 8);
  Bytes huge_target = {'B', 'P', 'S', '1', 0x88};
  bpscore::put_varint(huge_target, std::uint64_t{1} << 60);
  huge_target.push_back(0x80);
  for (int i = 0; i < 8; ++i) huge_target.push_back(0);
  bytes::append_le32(huge_target, crc::crc32(huge_target));
  struct Case {
    const char* what;
    Bytes patch;
    const char* problem;
  } cases[] = {
      {"no signature", hex("42 50 53 32 88 84 80 80 00 00 00 00 00 00 00 00 00 00 00 00"),
       "not a BPS patch"},
      {"too short", hex("42 50 53 31 88 84 80"), "cut short"},
      {"a damaged byte", damaged, "damaged"},
      {"bytes cut out", cut, "cut short"},
      {"a target of 2^60 bytes", huge_target, "larger than 4 GiB"},
      {"a length of 2^60",
       patch_of(8, 4, act(std::uint64_t{1} << 60, bpscore::target_copy), source, target),
       "past the end of the target"},
      {"a SourceRead past the source", patch_of(2, 4, act(4, bpscore::source_read), source, target),
       "past the end of the source"},
      {"a TargetRead past the patch",
       patch_of(8, 4, join({act(4, bpscore::target_read), hex("10")}), source, target),
       "past the end of the patch"},
      {"a SourceCopy before the source",
       patch_of(8, 4, join({act(4, bpscore::source_copy), hex("83")}), source, target),
       "outside the source"},
      {"a SourceCopy past the source",
       patch_of(8, 4, join({act(4, bpscore::source_copy), hex("8A")}), source, target),
       "past the end of the source"},
      {"a TargetCopy of nothing written",
       patch_of(8, 4, join({act(4, bpscore::target_copy), hex("80")}), source, target),
       "not written yet"},
      {"a TargetCopy ahead of the output",
       patch_of(8, 4, join({act(1, bpscore::source_read), act(3, bpscore::target_copy), hex("84")}),
                source, target),
       "outside the output"},
      {"actions that end early", patch_of(8, 4, act(3, bpscore::source_read), source, target),
       "before the target is complete"},
      {"an action word cut off", patch_of(8, 4, hex("0C"), source, target), "damaged"},
      {"metadata past the end",
       [&] {
         Bytes p = {'B', 'P', 'S', '1', 0x88, 0x84, 0xFF};
         for (int i = 0; i < 8; ++i) p.push_back(0);
         bytes::append_le32(p, crc::crc32(p));
         return p;
       }(),
       "metadata"},
  };
  for (const Case& c : cases) {
    const auto checked = bpscore::check(c.patch);
    EXPECT_NE(checked.why().find(c.problem), std::string::npos) << c.what << ": " << checked.why();
    EXPECT_FALSE(oracle::apply_bps(source, c.patch)) << c.what;
  }
  // A sound patch whose result has another CRC than it says.
  Bytes wrong = patch_of(8, 4, act(4, bpscore::source_read), source, hex("10 11 12 14"));
  const auto c = bpscore::check(wrong);
  ASSERT_TRUE(c.ok());
  const auto a = bpscore::apply(wrong, *c, source);
  EXPECT_FALSE(a.ok());
  EXPECT_FALSE(a.ok());
}

TEST(BpsApply, TargetCopiesReadTheirOwnOutput) {
  // One byte, then a TargetCopy over it of every length up to 300: runs and doubling copies.
  for (const std::uint64_t length : {1ull, 2ull, 3ull, 7ull, 64ull, 300ull}) {
    for (const std::size_t seed : {1u, 3u}) {
      const Bytes abc = hex("41 42 43");
      const Bytes start(abc.begin(), abc.begin() + static_cast<std::ptrdiff_t>(seed));
      Bytes target = start;
      for (std::uint64_t i = 0; i < length; ++i) target.push_back(target[i]);
      Bytes actions;
      bpscore::put_varint(actions, bpscore::action_word(seed, bpscore::target_read));
      actions.insert(actions.end(), start.begin(), start.end());
      bpscore::put_varint(actions, bpscore::action_word(length, bpscore::target_copy));
      actions.push_back(0x80);
      const Bytes patch = patch_of(0, target.size(), actions, {}, target);
      const auto c = bpscore::check(patch);
      ASSERT_TRUE(c.ok()) << c.why();
      EXPECT_TRUE(*bpscore::apply(patch, *c, {}) == target) << length;
    }
  }
}
