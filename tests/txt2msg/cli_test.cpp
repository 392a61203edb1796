// End-to-end runs of the built txt2msg with piped standard input.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/testsupport.hpp"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

const std::string kBom = "\xEF\xBB\xBF";
const std::string kHelp =
    "\nConverts UTF-8 text dump to Hollowfen bin+offset file"
    "\n\t/o or -o\tcreate offset file, not table"
    "\n\t/L or -L\tignore line numbers (numeral followed by tab)"
    "\n\t/Q or -Q\tdon't complain if file lacks BOM"
    "\n\t/H, /?, -H, or -?\tdisplay this help message"
    "\npress enter to quit";
const std::string kBomQuestion =
    "\n\aThis file doesn't have a UTF-8 BOM.\nIf it is straight ANSI text or a UTF-8 file that "
    "doesn't have a BOM, it will still work.\n\nType 'Y' to continue anyway, or any other phrase "
    "to quit.";

RunResult txt2msg(const TempDir& dir, const std::vector<std::string>& args,
                  const std::string& input = "") {
  return run(program("txt2msg"), args, input, dir.path());
}

}  // namespace

TEST(Txt2msgCli, CompilesADumpWithBomAndCrlf) {
  TempDir dir;
  write_text(dir / "dump.txt", kBom + "12\tHi $h!\r\n13\t\xE3\x82\xA2#7F 00#\r\n");
  const RunResult r = txt2msg(dir, {"dump.txt"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(read_bytes(dir / "dump.bin"), hex("48 69 20 2B 21 91 7F 00"));
  EXPECT_EQ(read_bytes(dir / "dump.tbl"), hex("00 00 00 05 00 00 00 08 00 00 00 00"));
  EXPECT_FALSE(fs::exists(dir / "dump.off"));
}

TEST(Txt2msgCli, SwitchesToggle) {
  struct Case {
    std::vector<std::string> args;
    const char* index_name;
    const char* index;
    const char* body;
  };
  const Case cases[] = {
      {{"/o", "/o", "d.txt"}, "d.tbl", "00 00 00 01 00 00 00 02 00 00 00 00", "41 42"},
      {{"-o", "d.txt"}, "d.off", "00 00 00 01 00 00 00 01", "41 42"},
      {{"d.txt", "-Lx"}, "d.tbl", "00 00 00 01 00 00 00 02 00 00 00 03 00 00 00 04 00 00 00 00",
       "31 41 32 42"},
      {{"/x", "-", "/", "d.txt"}, "d.tbl", "00 00 00 01 00 00 00 02 00 00 00 00", "41 42"},
      {{"other.txt", "d.txt"}, "d.tbl", "00 00 00 01 00 00 00 02 00 00 00 00", "41 42"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_text(dir / "d.txt", kBom + "1\tA\n2\tB\n");
    const RunResult r = txt2msg(dir, c.args);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(to_hex(read_bytes(dir / c.index_name)), to_hex(hex(c.index))) << c.args[0];
    EXPECT_EQ(to_hex(read_bytes(dir / "d.bin")), to_hex(hex(c.body))) << c.args[0];
  }
}

TEST(Txt2msgCli, AbsolutePathIsAFileNameNotASwitch) {
  TempDir dir;
  write_text(dir / "d.txt", kBom + "1\tA\n");
  const RunResult r = txt2msg(dir, {(dir / "d.txt").string()});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(string_of(read_bytes(dir / "d.bin")), "A");
}

TEST(Txt2msgCli, HelpEndsBeforeAnyFileIsOpened) {
  for (const char* sw : {"/h", "-H", "/?"}) {
    TempDir dir;
    write_text(dir / "dump.txt", kBom + "1\tA\n");
    const RunResult r = txt2msg(dir, {"dump.txt", sw, "/o"}, "\n");
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kHelp);
    EXPECT_FALSE(fs::exists(dir / "dump.tbl"));
    EXPECT_FALSE(fs::exists(dir / "dump.bin"));
  }
}

TEST(Txt2msgCli, BomQuestion) {
  struct Case {
    std::vector<std::string> args;
    std::string answer;
    int exit_code;
    bool asked;
  };
  const Case cases[] = {
      {{"d.txt"}, "y\n", 0, true},
      {{"d.txt"}, "Yes please\n", 0, true},
      {{"d.txt"}, "n\n", 1, true},
      {{"d.txt"}, "", 1, true},  // end of input reads as no
      {{"d.txt", "/Q"}, "", 0, false},
      {{"d.txt", "-q", "-q"}, "y", 0, true},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_text(dir / "d.txt", "1\tA\n");
    write_text(dir / "d.bin", "previous archive");
    const RunResult r = txt2msg(dir, c.args, c.answer);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.answer;
    EXPECT_EQ(r.out, c.asked ? kBomQuestion : "") << c.answer;
    if (c.exit_code == 0) {
      EXPECT_EQ(string_of(read_bytes(dir / "d.bin")), "A");
    } else {
      // Declining leaves what the user had untouched and creates nothing.
      EXPECT_EQ(string_of(read_bytes(dir / "d.bin")), "previous archive");
      EXPECT_FALSE(fs::exists(dir / "d.tbl"));
    }
  }
}

TEST(Txt2msgCli, AsksForTheInputUntilItOpens) {
  TempDir dir;
  write_text(dir / "d.txt", kBom + "1\tA\n");
  const RunResult r = txt2msg(dir, {}, "missing.txt\n\nd.txt\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "\nUTF-8 text file? \nUTF-8 text file? \nUTF-8 text file? ");
  EXPECT_EQ(string_of(read_bytes(dir / "d.bin")), "A");
}

TEST(Txt2msgCli, EndOfInputAtAPromptEndsTheRun) {
  TempDir dir;
  const RunResult r = txt2msg(dir, {}, "missing.txt\n");
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "\nUTF-8 text file? \nUTF-8 text file? ");
  EXPECT_EQ(r.err, "\ntxt2msg: input ended before a text file name was given\n");
}

TEST(Txt2msgCli, OutputNamingTheInputIsAskedAgain) {
  TempDir dir;
  const std::string dump = kBom + "1\tA\n";
  write_text(dir / "d.tbl", dump);
  const RunResult r = txt2msg(dir, {"d.tbl"}, "d.tbl\nout.idx\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "\noutput table file? \noutput table file? ");
  EXPECT_EQ(string_of(read_bytes(dir / "d.tbl")), dump);  // the input survives
  EXPECT_EQ(read_bytes(dir / "out.idx"), hex("00 00 00 01 00 00 00 00"));
  EXPECT_EQ(string_of(read_bytes(dir / "out.bin")), "A");
}

TEST(Txt2msgCli, BodyNamingTheInputOrTheIndexIsAskedAgain) {
  TempDir dir;
  const std::string dump = kBom + "1\tA\n";
  write_text(dir / "d.bin", dump);
  // d.bin -> index d.tbl -> body d.bin: the input again.
  const RunResult r = txt2msg(dir, {"/o", "d.bin"}, "d.off\nbody.dat\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "\noutput binary? \noutput binary? ");
  EXPECT_EQ(string_of(read_bytes(dir / "d.bin")), dump);
  EXPECT_EQ(read_bytes(dir / "d.off"), hex("00 00 00 01"));
  EXPECT_EQ(string_of(read_bytes(dir / "body.dat")), "A");
}

TEST(Txt2msgCli, UnwritableIndexIsAskedFor) {
  TempDir dir;
  write_text(dir / "d.txt", kBom + "1\tA\n");
  fs::create_directory(dir / "d.off");  // a folder where the index should go
  const RunResult r = txt2msg(dir, {"-o", "d.txt"}, "idx.off\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "\noutput offset file? ");
  EXPECT_EQ(read_bytes(dir / "idx.off"), hex("00 00 00 01"));
  EXPECT_EQ(string_of(read_bytes(dir / "idx.bin")), "A");
}

TEST(Txt2msgCli, DiagnosticsGoToStandardError) {
  TempDir dir;
  write_text(dir / "d.txt", kBom + "1\tA\xE3\x82\x8E" "B\xE3\x82\x8F\n");
  const RunResult r = txt2msg(dir, {"d.txt"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, "\nunrecognised text character\tskipping");
  EXPECT_EQ(to_hex(read_bytes(dir / "d.bin")), "41 42 C1");
}

TEST(Txt2msgCli, HostileInputNeverHangsOrCrashes) {
  const std::string inputs[] = {
      "", "[", "#", "\t", std::string("\0\0\xEF", 3), std::string(5000, '['), "1\t#4", "\xE3",
  };
  for (const auto& in : inputs) {
    TempDir dir;
    write_text(dir / "d.txt", in);
    const RunResult r = run(program("txt2msg"), {"/Q", "d.txt"}, "", dir.path(), 20);
    EXPECT_EQ(r.exit_code, 0) << to_hex(bytes_of(in));
    EXPECT_TRUE(fs::exists(dir / "d.bin"));
  }
}
