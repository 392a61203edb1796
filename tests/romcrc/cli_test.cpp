// End-to-end runs of the built program.
#include <gtest/gtest.h>

#include <filesystem>

#include "romcore/bootcheck.hpp"
#include "support/testsupport.hpp"
#include "tests/romcore/rom_images.hpp"

using namespace testsupport;
using rom::ByteOrder;
using rom::Cic;
namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t k6102 = 0x90BB6CB5, k6105 = 0x98BC2C86, k8303 = 0x0E018159;
constexpr std::uint32_t kMadeUp = 0x5EED5EED;  // no chip's boot code
constexpr ByteOrder kOrders[] = {ByteOrder::native, ByteOrder::swapped16, ByteOrder::swapped32};

RunResult romcrc(const TempDir& dir, const std::vector<std::string>& args,
                 const std::string& input = "") {
  return run(program("romcrc"), args, input, dir.path());
}

std::vector<std::string> names_in(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// `before` with the check code field of its native form set to the right one, in `order`.
Bytes fixed(const Bytes& native, Cic cic, ByteOrder order) {
  Bytes image = romtest::in_order(native, order);
  rom::store_check(image, order, rom::compute_check(native, cic).value());
  return image;
}

bool holds(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

TEST(RomcrcCli, ReportsAndStatuses) {
  struct Case {
    const char* what;
    Bytes image;
    std::vector<std::string> args;
    int status;
    std::vector<std::string> out;  // parts of the report
    const char* err;               // part of the one line on stderr; "" for none
  };
  const Case cases[] = {
      {"right",
       romtest::made_up_image(k6102, Cic::c6102, true),
       {},
       0,
       {"boot chip:    6102/7101 (found by its boot code CRC-32 90BB6CB5)\n",
        "check code:   right\n"},
       ""},
      {"wrong",
       romtest::made_up_image(k6105, Cic::c6105, false),
       {},
       1,
       {"6105/7105", "check code:   wrong (--fix writes the computed one)\n"},
       ""},
      {"unknown",
       romtest::made_up_image(kMadeUp, Cic::unknown, false),
       {},
       1,
       {"boot chip:    unknown (boot code CRC-32 5EED5EED is no known chip's)\n",
        "computed:     none\ncheck code:   not computed\n"},
       "game.z64: unknown boot code; nothing computed (--cic N names the chip"},
      {"unknown, --cic",
       romtest::made_up_image(kMadeUp, Cic::c7103, true),
       {"--cic", "7103"},
       0,
       {"6103/7103 (from --cic;", "check code:   right\n"},
       ""},
      {"--cic over the chip found",
       romtest::made_up_image(k6102, Cic::c6102, true),
       {"--cic=6106"},
       1,
       {"is 6102/7101's)\n", "wrong"},
       ""},
      {"disk drive",
       romtest::made_up_image(k8303, Cic::c8303, false),
       {},
       1,
       {"8303 (found by its boot code CRC-32 0E018159); the disk drive's chip has no cartridge "
        "check code\n"},
       "game.z64: the disk drive's boot code has no cartridge check code; nothing computed"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_bytes(dir / "game.z64", c.image);
    std::vector<std::string> args = c.args;
    args.push_back("game.z64");
    const RunResult r = romcrc(dir, args);
    EXPECT_EQ(r.exit_code, c.status) << c.what;
    EXPECT_EQ(r.out.rfind("image:        game.z64\nbyte order:   native (z64)\n", 0), 0u) << r.out;
    for (const std::string& part : c.out)
      EXPECT_TRUE(holds(r.out, part)) << c.what << "\n" << r.out;
    if (*c.err == '\0') {
      EXPECT_EQ(r.err, "") << c.what;
    } else {
      EXPECT_EQ(r.err.rfind(std::string("\nromcrc: ") + c.err, 0), 0u) << c.what << ": " << r.err;
      EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
    }
    EXPECT_EQ(read_bytes(dir / "game.z64"), c.image) << c.what;
    EXPECT_EQ(names_in(dir), std::vector<std::string>{"game.z64"}) << c.what;
  }
}

TEST(RomcrcCli, FixInPlaceChangesOnlyTheCodeInTheFilesOwnOrder) {
  const Bytes native = romtest::made_up_image(k6105, Cic::c6105, false);
  for (const ByteOrder order : kOrders) {
    for (const char* fix : {"--fix", "/f"}) {
      TempDir dir;
      write_bytes(dir / "game.rom", romtest::in_order(native, order));
      RunResult r = romcrc(dir, {fix, "game.rom"});
      EXPECT_EQ(r.exit_code, 0) << rom::order_name(order) << " " << fix << r.err;
      EXPECT_TRUE(holds(r.out,
                        "check code:   wrong\nnote: emulators' settings databases are "
                        "keyed by the check code"))
          << r.out;
      EXPECT_TRUE(holds(r.out, "\nfixed:        game.rom holds ")) << r.out;
      EXPECT_EQ(read_bytes(dir / "game.rom"), fixed(native, Cic::c6105, order));
      EXPECT_EQ(names_in(dir), std::vector<std::string>{"game.rom"});
      // Right now: nothing more to do, and nothing written.
      r = romcrc(dir, {fix, "game.rom"});
      EXPECT_EQ(r.exit_code, 0);
      EXPECT_TRUE(holds(r.out, "check code:   right\n")) << r.out;
      EXPECT_FALSE(holds(r.out, "note:")) << r.out;
    }
  }
}

TEST(RomcrcCli, FixToASecondName) {
  const Bytes native = romtest::made_up_image(k6102, Cic::c6102, false);
  for (const ByteOrder order : kOrders) {
    TempDir dir;
    const Bytes image = romtest::in_order(native, order);
    write_bytes(dir / "in.bin", image);
    RunResult r = romcrc(dir, {"in.bin", "--fix", "out.bin"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(holds(r.out, "\nfixed:        out.bin holds ")) << r.out;
    EXPECT_EQ(read_bytes(dir / "in.bin"), image);
    EXPECT_EQ(read_bytes(dir / "out.bin"), fixed(native, Cic::c6102, order));
  }
  TempDir dir;
  write_bytes(dir / "in.bin", native);
  write_text(dir / "out.bin", "keep");
  // An existing output is replaced only after a yes; no, then the end of input, writes nothing.
  RunResult r = romcrc(dir, {"/f", "in.bin", "out.bin"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_TRUE(holds(r.out, "\"out.bin\" exists; replace it? (Y/N) \nfixed image? ")) << r.out;
  EXPECT_EQ(string_of(read_bytes(dir / "out.bin")), "keep");
  // A name that is the input is asked for again.
  r = romcrc(dir, {"/f", "in.bin", "./in.bin"}, "out.bin\ny\n");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(holds(r.err, "./in.bin: that is an input file")) << r.err;
  EXPECT_EQ(read_bytes(dir / "in.bin"), native);
  const Bytes right = fixed(native, Cic::c6102, ByteOrder::native);
  EXPECT_EQ(read_bytes(dir / "out.bin"), right);
  // A right image given a second name is copied there, so that the name holds a right image.
  r = romcrc(dir, {"--fix", "out.bin", "copy.bin"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(holds(r.out, "written:      copy.bin, a copy (the check code was right)\n")) << r.out;
  EXPECT_EQ(read_bytes(dir / "copy.bin"), right);
  EXPECT_EQ(names_in(dir), (std::vector<std::string>{"copy.bin", "in.bin", "out.bin"}));
}

TEST(RomcrcCli, RefusalsGetOneLineAndWriteNothing) {
  const Bytes image = romtest::made_up_image(k6102, Cic::c6102, false);
  Bytes unordered = image;
  unordered[0] = 0x00;
  struct Case {
    std::vector<std::string> args;
    Bytes file;  // written as r.z64
    std::string input;
    int status;
    const char* err;
  };
  const Case cases[] = {
      {{"--fix", "r.z64"},
       Bytes(image.begin(), image.begin() + 0x100FFF),
       "",
       1,
       "r.z64: the image is 1052671 bytes long"},
      {{"--fix", "r.z64"}, {}, "", 1, "r.z64: the image is 0 bytes long"},
      {{"--fix", "r.z64", "o.z64"},
       unordered,
       "",
       1,
       "r.z64: not an N64 ROM image: it starts 00 37 12 40"},
      {{"--fix", "missing.z64"}, image, "", 2, "input ended before a ROM image name was given"},
      {{"--cic", "8303", "r.z64"}, image, "", 2, "--cic 8303: not a cartridge boot chip"},
      {{"--cic"}, image, "", 2, "--cic needs a chip"},
      {{"r.z64", "o.z64"}, image, "", 2, "a second name ('o.z64') is where --fix writes"},
      {{"/f", "r.z64", "o.z64", "p.z64"}, image, "", 2, "one image and one output at most"},
      {{"/x", "r.z64"}, image, "", 2, "unknown switch '/x'"},
      {{"r.z64", "--bogus"}, image, "", 2, "unknown option '--bogus'"},
      {{"--fixed", "r.z64"}, image, "", 2, "unknown option '--fixed'"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_bytes(dir / "r.z64", c.file);
    const RunResult r = romcrc(dir, c.args, c.input);
    EXPECT_EQ(r.exit_code, c.status) << c.err;
    EXPECT_TRUE(holds(r.err, c.err)) << r.err;
    // One line, and before the end of input at a name prompt, the line that says why it came.
    const bool asked = holds(c.err, "input ended");
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'),
              (r.err[0] == '\n' ? 2 : 1) * (asked ? 2 : 1))
        << r.err;
    EXPECT_FALSE(holds(r.out, "image:")) << r.out;
    EXPECT_EQ(read_bytes(dir / "r.z64"), c.file);
    EXPECT_EQ(names_in(dir), std::vector<std::string>{"r.z64"}) << c.err;
  }
}

TEST(RomcrcCli, HelpVersionAndTheNamePrompt) {
  TempDir dir;
  for (const char* help : {"--help", "-h", "-?", "/?"}) {
    const RunResult r = run_with_idle_stdin(program("romcrc"), {"x.z64", help}, dir.path());
    EXPECT_EQ(r.exit_code, 0) << help;
    EXPECT_EQ(r.out.rfind("Usage: romcrc [--fix] [--cic N] ROM [OUTPUT]\n", 0), 0u) << r.out;
  }
  RunResult r = run_with_idle_stdin(program("romcrc"), {"--version"}, dir.path());
  EXPECT_EQ(r.out, "romcrc 1.1.0\n");
  // Without a name, or while it does not open, the image is asked for.
  write_bytes(dir / "g.z64", romtest::made_up_image(k6102, Cic::c6102, true));
  r = romcrc(dir, {}, "missing.z64\ng.z64\n");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("\nROM image? \nROM image? image:        g.z64\n", 0), 0u) << r.out;
}

TEST(RomcrcCli, DevicesFifosAndFullDisks) {
  if (!posix_programs()) GTEST_SKIP() << "devices, FIFOs and limits are tried on POSIX";
  TempDir dir;
  const Bytes image = romtest::made_up_image(k6102, Cic::c6102, false);
  write_bytes(dir / "g.z64", image);
  RunResult r = romcrc(dir, {"--fix", "/dev/zero"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "\nromcrc: /dev/zero: is a device, not a file that can be read\n");
  // A FIFO is read whole; it cannot be replaced by a fixed file, but a second name can take it.
  r = shell("mkfifo p && (cat g.z64 > p &) && " + program("romcrc").string() + " --fix p",
            dir.path());
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(holds(r.out, "check code:   wrong\n")) << r.out;
  EXPECT_TRUE(holds(r.err, "p: cannot be replaced")) << r.err;
  EXPECT_TRUE(fs::is_fifo(dir / "p"));
  r = shell("(cat g.z64 > p &) && " + program("romcrc").string() + " --fix p out.z64", dir.path());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(read_bytes(dir / "out.z64"), fixed(image, Cic::c6102, ByteOrder::native));
  // A write beyond the file-size limit: one line, the image as it was, no temporary file.
  r = shell("ulimit -f 1000 && " + program("romcrc").string() + " --fix g.z64", dir.path());
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(holds(r.err, "g.z64: cannot be written")) << r.err;
  EXPECT_EQ(read_bytes(dir / "g.z64"), image);
  EXPECT_EQ(names_in(dir), (std::vector<std::string>{"g.z64", "out.z64", "p"}));
  // The report is the product of a check: a standard output that fails makes it a failed run.
  r = shell(program("romcrc").string() + " out.z64 >/dev/full", dir.path());
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_TRUE(holds(r.err, "romcrc: standard output: cannot be written: ")) << r.err;
}
