// End-to-end runs of the built bps with piped standard input.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "bps/bps.hpp"
#include "bpscore/ips.hpp"
#include "bpscore/patch.hpp"
#include "bpscore/varint.hpp"
#include "romcore/bootcheck.hpp"
#include "support/testsupport.hpp"
#include "tests/romcore/rom_images.hpp"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// A made-up native N64 image: the native first word, then bytes from a seeded generator.
Bytes image(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  Bytes b(size);
  for (auto& x : b) x = static_cast<std::uint8_t>(rng() % 5 == 0 ? rng() : 0x24);
  const Bytes head = hex("80 37 12 40");
  std::copy(head.begin(), head.end(), b.begin());
  return b;
}

// `b` with edits and a moved block.
Bytes modified(Bytes b) {
  for (std::size_t i = 100; i + 8 < b.size(); i += 3001) b[i] ^= 0xFF;
  std::rotate(b.begin() + 1000, b.begin() + 5000, b.begin() + 9000);
  return b;
}

Bytes swapped(Bytes b, bool words) {
  for (std::size_t i = 0; i + 3 < b.size(); i += 4) {
    if (words) {
      std::swap(b[i], b[i + 3]);
      std::swap(b[i + 1], b[i + 2]);
    } else {
      std::swap(b[i], b[i + 1]);
      std::swap(b[i + 2], b[i + 3]);
    }
  }
  return b;
}

// A folder with a made-up image (game.z64), its modified copy (mod.z64) and the BPS patch
// between them (fix.bps).
struct Pair {
  Pair(std::size_t size, unsigned seed) : original(image(size, seed)), changed(modified(original)) {
    write_bytes(dir / "game.z64", original);
    write_bytes(dir / "mod.z64", changed);
    make_patch({"game.z64", "mod.z64", "fix.bps"});
  }
  void make_patch(const std::vector<std::string>& args) const;
  TempDir dir;
  Bytes original, changed;
};

RunResult run_bps(const TempDir& dir, const std::vector<std::string>& args,
                  const std::string& input = "") {
  return run(program("bps"), args, input, dir.path());
}

void Pair::make_patch(const std::vector<std::string>& args) const {
  const RunResult r = run_bps(dir, args);
  EXPECT_EQ(r.exit_code, 0) << r.err;
}

std::vector<std::string> listing(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.path()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// An error line, without the line feed that may stand before it to set it apart.
std::string line_of(const std::string& err) {
  return !err.empty() && err[0] == '\n' ? err.substr(1) : err;
}

// One error line and nothing else.
bool one_line(const std::string& err) {
  const std::string line = line_of(err);
  return line.size() > 1 && line.find('\n') == line.size() - 1;
}

}  // namespace

TEST(BpsCli, MakesAndAppliesBothFormatsWithTheirDefaultNames) {
  TempDir dir;
  const Bytes original = image(300000, 1);
  const Bytes changed = modified(original);
  write_bytes(dir / "game.z64", original);
  write_bytes(dir / "new.rom.z64", changed);
  struct Case {
    std::vector<std::string> make;
    std::string patch;
    std::string output;
  } cases[] = {
      {{"game.z64", "new.rom.z64"}, "new.bps", "new.z64"},
      {{"--ips", "game.z64", "new.rom.z64"}, "new.ips", "new.z64"},
      {{"game.z64", "new.rom.z64", "sub.d/fix"}, "sub.d/fix", "sub.d/fix.z64"},
  };
  fs::create_directory(dir / "sub.d");
  for (const Case& c : cases) {
    RunResult r = run_bps(dir, c.make);
    EXPECT_EQ(r.exit_code, 0) << c.patch << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.rfind(c.patch + ": ", 0), 0u) << r.out;
    fs::remove(dir / c.output);
    r = run_bps(dir, {"game.z64", c.patch});
    EXPECT_EQ(r.exit_code, 0) << c.patch << r.err;
    EXPECT_EQ(r.out.rfind(c.output + ": patched with " + c.patch, 0), 0u) << r.out;
    EXPECT_TRUE(read_bytes(dir / c.output) == changed) << c.patch;
    EXPECT_TRUE(read_bytes(dir / "game.z64") == original);
  }
  const RunResult info = run_bps(dir, {"--info", "new.bps"});
  EXPECT_EQ(info.exit_code, 0);
  EXPECT_NE(info.out.find("  original: 300000 bytes, CRC-32 "), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("SourceCopy"), std::string::npos);
  EXPECT_NE(info.out.find("metadata: none"), std::string::npos);
  const RunResult ips = run_bps(dir, {"--info", "new.ips"});
  EXPECT_EQ(ips.exit_code, 0);
  EXPECT_EQ(ips.out.rfind("new.ips: IPS patch, ", 0), 0u) << ips.out;
}

TEST(BpsCli, ByteOrdersAreStraightened) {
  const Pair pair(200000, 2);
  const TempDir& dir = pair.dir;
  const Bytes& changed = pair.changed;
  write_bytes(dir / "game.v64", swapped(pair.original, false));
  write_bytes(dir / "game.n64", swapped(pair.original, true));
  write_bytes(dir / "mod.v64", swapped(changed, false));
  pair.make_patch({"--ips", "game.z64", "mod.z64", "fix.ips"});
  struct Case {
    std::string original, patch, said;
  } cases[] = {
      {"game.v64", "fix.bps",
       "game.v64 is 16-bit byteswapped (v64); patched its native-order copy\n"},
      {"game.n64", "fix.bps",
       "game.n64 is 32-bit byteswapped (n64); patched its native-order copy\n"},
      {"game.v64", "fix.ips",
       "game.v64 is 16-bit byteswapped (v64); patched its native-order copy, as --native asks\n"},
  };
  for (const Case& c : cases) {
    fs::remove(dir / "out.z64");
    const RunResult r = run_bps(dir, {c.original, c.patch, "out.z64", "--native"});
    EXPECT_EQ(r.exit_code, 0) << c.original << r.err;
    EXPECT_EQ(r.out.substr(0, c.said.size()), c.said);
    EXPECT_TRUE(read_bytes(dir / "out.z64") == changed) << c.original << " " << c.patch;
  }
  // A patch made from a byteswapped pair is made on their native-order copies.
  const RunResult r = run_bps(dir, {"game.v64", "mod.v64", "swapped.bps"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out.substr(0, 130),
            std::string("game.v64 is 16-bit byteswapped (v64); the patch is made from its "
                        "native-order copy\nmod.v64 is 16-bit byteswapped (v64); the patch is made "
                        "from its native-order copy\n")
                .substr(0, 130));
  fs::remove(dir / "out.z64");
  EXPECT_EQ(run_bps(dir, {"game.z64", "swapped.bps", "out.z64"}).exit_code, 0);
  EXPECT_TRUE(read_bytes(dir / "out.z64") == changed);
}

TEST(BpsCli, AlreadyPatchedAndWrongOriginalsWriteNothing) {
  const Pair pair(100000, 3);
  const TempDir& dir = pair.dir;
  write_bytes(dir / "mod.v64", swapped(pair.changed, false));
  write_bytes(dir / "other.z64", image(100000, 4));
  const auto before = listing(dir);
  for (const char* name : {"mod.z64", "mod.v64"}) {
    const RunResult r = run_bps(dir, {name, "fix.bps"});
    EXPECT_EQ(r.exit_code, 0) << name;
    EXPECT_EQ(r.out.rfind(std::string(name) + " is already patched", 0), 0u) << r.out;
  }
  const RunResult wrong = run_bps(dir, {"other.z64", "fix.bps"});
  EXPECT_EQ(wrong.exit_code, 1);
  EXPECT_TRUE(one_line(wrong.err)) << wrong.err;
  EXPECT_NE(wrong.err.find("other.z64: not the file this patch was made for: it expects 100000 "
                           "bytes with CRC-32 "),
            std::string::npos)
      << wrong.err;
  EXPECT_NE(wrong.err.find("this file has 100000 bytes with CRC-32 "), std::string::npos);
  EXPECT_EQ(listing(dir), before);
}

TEST(BpsCli, DamagedPatchesGetOneLineAndWriteNothing) {
  const Pair pair(50000, 5);
  const TempDir& dir = pair.dir;
  pair.make_patch({"--ips", "game.z64", "mod.z64", "fix.ips"});
  const Bytes patch = read_bytes(dir / "fix.bps");
  const Bytes ips = read_bytes(dir / "fix.ips");
  Bytes flipped = patch;
  flipped[flipped.size() / 2] ^= 0x10;
  struct Case {
    const char* name;
    Bytes bytes;
    const char* said;
  } cases[] = {
      {"cut.bps", Bytes(patch.begin(), patch.end() - 5), "cut.bps: the patch is damaged"},
      {"flip.bps", flipped, "flip.bps: the patch is damaged"},
      {"cut.ips", Bytes(ips.begin(), ips.end() - 2), "cut.ips: the patch is cut short"},
  };
  for (const Case& c : cases) {
    write_bytes(dir / c.name, c.bytes);
    const auto before = listing(dir);
    const RunResult r = run_bps(dir, {"game.z64", c.name, "out.z64"});
    EXPECT_EQ(r.exit_code, 1) << c.name;
    EXPECT_TRUE(one_line(r.err)) << r.err;
    EXPECT_EQ(line_of(r.err).find(std::string("bps: ") + c.said), 0u) << r.err;
    EXPECT_EQ(listing(dir), before) << c.name;
    EXPECT_EQ(run_bps(dir, {"--info", c.name}).exit_code, 1) << c.name;
  }
}

TEST(BpsCli, OutputsAreReplacedOnlyWhenTold) {
  const Pair pair(20000, 6);
  const TempDir& dir = pair.dir;
  struct Case {
    std::string answers;
    int status;
    bool replaced;
  } cases[] = {
      {"", 2, false},  // no answer is no, and no other name is given
      {"n\n", 2, false},
      {"y\n", 0, true},
      {"n\nother.bps\n", 0, false},
  };
  for (const Case& c : cases) {
    write_text(dir / "mod.bps", "keep");
    const RunResult r = run_bps(dir, {"game.z64", "mod.z64"}, c.answers);
    EXPECT_EQ(r.exit_code, c.status) << c.answers;
    EXPECT_EQ(r.out.rfind("\"mod.bps\" exists; replace it? (Y/N) ", 0), 0u) << r.out;
    EXPECT_EQ(read_bytes(dir / "mod.bps") != bytes_of("keep"), c.replaced) << c.answers;
  }
  EXPECT_EQ(run_bps(dir, {"game.z64", "other.bps", "o.z64"}).exit_code, 0);
  // A name that is one of the inputs is never written: another name is asked for.
  const RunResult r = run_bps(dir, {"game.z64", "mod.z64", "game.z64"}, "p.bps\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.err.find("game.z64: that is an input file"), std::string::npos) << r.err;
  EXPECT_TRUE(read_bytes(dir / "game.z64") == pair.original);
  EXPECT_TRUE(read_bytes(dir / "o.z64") == pair.changed);
}

TEST(BpsCli, UsageAndRefusals) {
  TempDir dir;
  write_bytes(dir / "a.z64", image(1000, 7));
  write_bytes(dir / "b.z64", image(1000, 8));
  ASSERT_EQ(run_bps(dir, {"a.z64", "b.z64", "p.bps"}).exit_code, 0);
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* said;  // the start of standard output, or of standard error's one line
  } cases[] = {
      {{"--help"}, 0, "Usage: bps"},
      {{"--version"}, 0, "bps 1.1.0\n"},
      {{"--bogus", "a.z64"}, 2, "bps: unknown option '--bogus'"},
      {{"a.z64", "b.z64", "c", "d"}, 2, "bps: three names at most"},
      {{"--info", "p.bps", "a.z64"}, 2, "bps: --info takes one patch"},
      {{"--info", "a.z64"}, 1, "bps: a.z64: not a BPS or IPS patch"},
      {{"--ips", "--fix-crc", "a.z64", "b.z64"}, 2, "bps: --ips makes a patch"},
      {{"a.z64", "missing.bps"}, 2, "\nmodified file or patch? "},
      {{}, 2, "\noriginal file? "},
  };
  for (const Case& c : cases) {
    const RunResult r = run_bps(dir, c.args);
    EXPECT_EQ(r.exit_code, c.status) << c.said;
    const std::string shown = c.status == 0 || c.said[0] == '\n' ? r.out : line_of(r.err);
    EXPECT_EQ(shown.rfind(c.said, 0), 0u) << shown;
    if (c.status != 0 && c.said[0] != '\n') {
      EXPECT_TRUE(one_line(r.err)) << r.err;
    }
  }
  // IPS offsets end at 16 MiB.
  write_bytes(dir / "big.z64", Bytes((16u << 20) + 1, 0));
  const RunResult big = run_bps(dir, {"--ips", "a.z64", "big.z64"});
  EXPECT_EQ(big.exit_code, 1);
  EXPECT_TRUE(one_line(big.err));
  EXPECT_NE(big.err.find("big.z64: too large for an IPS patch"), std::string::npos) << big.err;
  EXPECT_FALSE(fs::exists(dir / "big.ips"));
}

TEST(BpsCli, OutputNamesTakeTheOriginalsLastExtension) {
  struct Case {
    const char* patch;
    const char* original;
    const char* output;
  } cases[] = {
      {"fix.bps", "game.z64", "fix.z64"},
      {"fix.v2.bps", "game.rom.v64", "fix.v64"},
      {"d.x/fix.bps", "../roms.d/game", "d.x/fix"},
      {".fix.bps", ".game.n64", ".fix.n64"},
  };
  for (const Case& c : cases) EXPECT_EQ(bps::default_output(c.patch, c.original), c.output);
}

TEST(BpsCli, FixCrcRepairsTheBootCheckCodeOfWhatItWrites) {
  TempDir dir;
  const Bytes original = romtest::made_up_image(0x90BB6CB5u, rom::Cic::c6102, true);
  Bytes changed = original;
  changed[0x2345] ^= 0x5A;  // inside the checked megabyte: the stored code is now wrong
  write_bytes(dir / "game.z64", original);
  write_bytes(dir / "mod.z64", changed);
  ASSERT_EQ(run_bps(dir, {"game.z64", "mod.z64", "fix.bps"}).exit_code, 0);
  // Applied to the 16-bit swapped copy: the output is native, and right.
  write_bytes(dir / "game.v64", romtest::in_order(original, rom::ByteOrder::swapped16));
  const RunResult r = run_bps(dir, {"--fix-crc", "game.v64", "fix.bps", "out.z64"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const Bytes out = read_bytes(dir / "out.z64");
  ASSERT_EQ(out.size(), changed.size());
  EXPECT_EQ(rom::compute_check(out, rom::Cic::c6102), rom::stored_check(out));
  EXPECT_NE(rom::stored_check(out), rom::stored_check(changed));
  EXPECT_TRUE(std::equal(out.begin() + 0x18, out.end(), changed.begin() + 0x18));
  EXPECT_NE(r.out.find("out.z64: boot check code repaired for the 6102"), std::string::npos)
      << r.out;

  // A patched file that is no N64 image: one line, nothing written.
  write_bytes(dir / "a.bin", hex("01 02 03 04 05"));
  write_bytes(dir / "b.bin", hex("01 02 03 04 06"));
  ASSERT_EQ(run_bps(dir, {"a.bin", "b.bin", "p.bps"}).exit_code, 0);
  const RunResult no = run_bps(dir, {"--fix-crc", "a.bin", "p.bps", "c.bin"});
  EXPECT_EQ(no.exit_code, 1);
  EXPECT_NE(no.err.find("c.bin: --fix-crc: the patched file is no N64 image"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "c.bin"));
}

#ifndef _WIN32
TEST(BpsCli, AnOriginalChangedAtTheQuestionIsNamedAndNothingIsWritten) {
  if (!posix_programs()) GTEST_SKIP() << "a program left waiting at a question";
  const Pair pair(100000, 9);
  const TempDir& dir = pair.dir;
  write_text(dir / "out.z64", "keep");
  // An hour old, so that writing it again shows in its time whatever the clock's grain.
  fs::last_write_time(dir / "game.z64",
                      fs::last_write_time(dir / "game.z64") - std::chrono::hours(1));
  Spawned p(program("bps"), {"game.z64", "fix.bps", "out.z64"}, dir.path());
  ASSERT_TRUE(p.wait_for_output("replace it?"));
  Bytes edited = pair.original;
  edited[50000] ^= 1;
  write_bytes(dir / "game.z64", edited);
  p.send("y\n");
  p.close_input();
  EXPECT_EQ(p.wait(), 1);
  EXPECT_NE(p.err().find("game.z64: the file was cut short or changed"), std::string::npos)
      << p.err();
  EXPECT_EQ(read_bytes(dir / "out.z64"), bytes_of("keep"));
}
#endif

TEST(BpsCli, InfoShowsMetadataAsTextOnlyWhenNothingInItSteersTheTerminal) {
  TempDir dir;
  struct Case {
    std::string metadata, shown;
  } cases[] = {
      {"Fran\xC3\xA7ois\r\nv2", "13 bytes:\n    Fran\xC3\xA7ois\n    v2\n"},
      {"\xC2\x9B[2J", "5 bytes, not text\n"},  // a C1 control (CSI), as UTF-8
      {"\x9B[2J", "4 bytes, not text\n"},      // the same, not UTF-8
      {"ab\x7F", "3 bytes, not text\n"},
  };
  for (const Case& c : cases) {
    write_bytes(dir / "m.bps", bpscore::make({}, {}, bytes_of(c.metadata)));
    const RunResult r = run_bps(dir, {"--info", "m.bps"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(r.out.ends_with("  metadata: " + c.shown)) << r.out;
  }
}

// The cases where a patch once ended with status 0 and the wrong file, or none.
TEST(BpsCli, PatchCasesEndWithTheFileTheStatusPromises) {
  TempDir dir;
  // A made-up ROM with a right boot check code, and a mod shipped with it repaired.
  const Bytes original = romtest::made_up_image(0x90BB6CB5u, rom::Cic::c6102, true);
  Bytes changed = original;
  changed[0x2345] ^= 0x5A;
  rom::store_check(changed, rom::ByteOrder::native, *rom::compute_check(changed, rom::Cic::c6102));
  const auto v64 = [](const Bytes& b) { return romtest::in_order(b, rom::ByteOrder::swapped16); };
  write_bytes(dir / "game.z64", original);
  write_bytes(dir / "game.v64", v64(original));
  write_bytes(dir / "mod.z64", changed);
  Bytes stale = changed;  // patched, but its check code not repaired
  stale[0x10] ^= 1;
  write_bytes(dir / "stale.z64", stale);
  ASSERT_EQ(run_bps(dir, {"game.z64", "mod.z64", "fix.bps"}).exit_code, 0);
  ASSERT_EQ(run_bps(dir, {"game.z64", "stale.z64", "stale.bps"}).exit_code, 0);
  ASSERT_EQ(run_bps(dir, {"--ips", "game.z64", "mod.z64", "native.ips"}).exit_code, 0);
  // An old IPS patch made for the byteswapped file as it is.
  write_bytes(dir / "v64.ips", bpscore::ips::make(v64(original), v64(changed)));
  // 32 bytes that claim a 4 GiB result: one TargetRead, one TargetCopy of all the rest.
  Bytes hostile = bytes_of("BPS1");
  for (const std::uint64_t v : {0ull, 1ull << 32, 0ull, (0ull << 2) | 1})
    bpscore::put_varint(hostile, v);
  hostile.push_back('x');
  for (const std::uint64_t v : {(((1ull << 32) - 2) << 2) | 3, 1ull})
    bpscore::put_varint(hostile, v);
  for (int k = 0; k < 8; ++k) hostile.push_back(0);
  bytes::append_le32(hostile, crc::crc32(hostile));
  write_bytes(dir / "huge.bps", hostile);
  write_bytes(dir / "empty.bin", {});
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string said;     // the start of what it printed (out, then err)
    const char* written;  // the file that must hold `holds`
    Bytes holds;
  } cases[] = {
      // Already patched, with an output named: the output gets the result.
      {{"mod.z64", "fix.bps", "copy.z64"}, 0, "mod.z64 is already patched", "copy.z64", changed},
      {{"mod.z64", "native.ips", "copy2.z64"},
       0,
       "mod.z64 is already patched",
       "copy2.z64",
       changed},
      // Already patched with --fix-crc alone: repaired in place.
      {{"--fix-crc", "stale.z64", "stale.bps"},
       0,
       "stale.z64 is already patched",
       "stale.z64",
       changed},
      // IPS on a byteswapped original: the order whose result has a right check code.
      {{"game.v64", "v64.ips", "a.v64"},
       0,
       "game.v64 is 16-bit byteswapped (v64); patched the file as it is, whose result",
       "a.v64",
       v64(changed)},
      {{"game.v64", "native.ips", "b.z64"},
       0,
       "game.v64 is 16-bit byteswapped (v64); patched its native-order copy, whose result",
       "b.z64",
       changed},
      // --ips with a patch as the second name; --make makes a patch of it all the same.
      {{"--ips", "game.z64", "fix.bps", "p.ips"},
       2,
       "\nbps: fix.bps: is a patch (it starts with \"BPS1\"): to apply it, leave out --ips",
       "",
       {}},
      {{"--make", "game.z64", "fix.bps", "p.bps"}, 0, "p.bps: BPS patch of ", "", {}},
      // A claimed result far beyond what any N64 patch makes is refused before it is built.
      {{"empty.bin", "huge.bps", "h.z64"},
       1,
       "\nbps: huge.bps: the patch claims a result of 4294967296",
       "",
       {}},
  };
  for (const Case& c : cases) {
    const RunResult r = run_bps(dir, c.args);
    EXPECT_EQ(r.exit_code, c.status) << c.args[1] << r.err;
    EXPECT_EQ((r.out + r.err).rfind(c.said, 0), 0u) << c.args[1] << ": " << r.out << r.err;
    if (*c.written != '\0') {
      EXPECT_TRUE(read_bytes(dir / c.written) == c.holds) << c.written;
    }
  }
  EXPECT_FALSE(fs::exists(dir / "p.ips"));
  EXPECT_FALSE(fs::exists(dir / "h.z64"));
}
