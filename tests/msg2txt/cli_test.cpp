// End-to-end runs of the built msg2txt with piped standard input; round trips through txt2msg.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/testsupport.hpp"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

const std::string kBom = "\xEF\xBB\xBF";
const fs::path kExamples = fs::path(TOOLKIT_SOURCE_DIR) / "examples";

RunResult msg2txt(const TempDir& dir, const std::vector<std::string>& args,
                  const std::string& input = "") {
  return run(program("msg2txt"), args, input, dir.path());
}

// A small archive: "Hi", an empty message, "[player]ア".
void write_archive(const TempDir& dir, const std::string& name = "d") {
  write_bytes(dir / (name + ".bin"), hex("48 69 7F 1A 91"));
  write_bytes(dir / (name + ".tbl"), hex("00 00 00 02 00 00 00 02 00 00 00 05 00 00 00 00"));
  write_bytes(dir / (name + ".off"), hex("00 00 00 02 00 00 00 00 00 00 00 03"));
}
const std::string kDump = kBom + "0\tHi\r\n1\t\r\n2\t[player]\xE3\x82\xA2\r\n";

// Decompiles the archive `name` of `from` with `switches`, compiles the dump in a fresh folder
// and expects the same archive, silently, both ways; returns the dump.
std::string round_trip(const fs::path& from, const std::string& name,
                       const std::vector<std::string>& switches) {
  const bool offsets = std::find(switches.begin(), switches.end(), "/o") != switches.end();
  const std::string index = name + (offsets ? ".off" : ".tbl");
  TempDir a;
  TempDir b;
  fs::copy_file(from / (name + ".bin"), a / (name + ".bin"));
  fs::copy_file(from / index, a / index);
  std::vector<std::string> args = switches;
  args.push_back(name + ".bin");
  RunResult r = msg2txt(a, args);
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out + r.err, "");
  std::string dump = string_of(read_bytes(a / (name + ".txt")));

  write_text(b / (name + ".txt"), dump);
  args.back() = name + ".txt";
  r = run(program("txt2msg"), args, "", b.path());
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out + r.err, "") << name;  // no question, no diagnostics
  EXPECT_EQ(to_hex(read_bytes(b / (name + ".bin"))), to_hex(read_bytes(a / (name + ".bin"))));
  EXPECT_EQ(read_bytes(b / index), read_bytes(a / index)) << name;

  // Decompiling the compiled dump gives the same dump again.
  fs::remove(b / (name + ".txt"));
  args.back() = name + ".bin";
  EXPECT_EQ(run(program("msg2txt"), args, "", b.path()).exit_code, 0);
  EXPECT_EQ(string_of(read_bytes(b / (name + ".txt"))), dump);
  return dump;
}

}  // namespace

TEST(Msg2txtCli, ExampleArchivesRoundTrip) {
  for (const auto& switches : std::vector<std::vector<std::string>>{{}, {"/L"}}) {
    round_trip(kExamples / "msg2txt", "village", switches);
    round_trip(kExamples / "msg2slk", "shop", switches);
  }
  // The example dump and table, compiled in every mode.
  const std::vector<std::vector<std::string>> modes = {{}, {"/o"}, {"/L"}, {"/o", "/L"}};
  for (const auto& switches : modes) {
    TempDir dir;
    fs::copy_file(kExamples / "txt2msg" / "dialogue.txt", dir / "dialogue.txt");
    std::vector<std::string> args = switches;
    args.push_back("dialogue.txt");
    ASSERT_EQ(run(program("txt2msg"), args, "", dir.path()).exit_code, 0);
    fs::remove(dir / "dialogue.txt");
    round_trip(dir.path(), "dialogue", switches);
  }
  TempDir dir;
  fs::copy_file(kExamples / "slk2msg" / "translation.slk", dir / "translation.slk");
  ASSERT_EQ(run(program("slk2msg"), {"translation.slk"}, "", dir.path()).exit_code, 0);
  round_trip(dir.path(), "translation", {});
}

TEST(Msg2txtCli, TheArchiveIsNamedByItsBodyItsIndexOrItsBareName) {
  const std::vector<std::vector<std::string>> ways = {
      {"d.bin"}, {"d.tbl"}, {"d"}, {"-o", "d.off"}, {"/L", "/L", "d.bin"}};
  for (const auto& args : ways) {
    TempDir dir;
    write_archive(dir);
    const RunResult r = msg2txt(dir, args);
    EXPECT_EQ(r.exit_code, 0) << args[0];
    EXPECT_EQ(r.out + r.err, "");
    EXPECT_EQ(string_of(read_bytes(dir / "d.txt")), kDump) << args[0];
  }
  TempDir dir;
  write_archive(dir);
  RunResult r = msg2txt(dir, {"/L", "d.bin"});
  EXPECT_EQ(string_of(read_bytes(dir / "d.txt")), kBom + "Hi\r\n\r\n[player]\xE3\x82\xA2\r\n");

  const struct {
    std::vector<std::string> args;
    const char* err;
  } wrong[] = {
      {{"d.off"}, "\nmsg2txt: d.off: an offset file is read with /o\n"},
      {{"/o", "d.tbl"}, "\nmsg2txt: d.tbl: a table file is read without /o\n"},
      // Only the index of the other form is there.
      {{"/o", "d.bin"},
       "\nmsg2txt: d.off: no such file; d.tbl is there: a table file is read without /o\n"},
  };
  fs::remove(dir / "d.txt");
  for (const auto& c : wrong) {
    if (c.args[0] == "/o") fs::remove(dir / "d.off");
    r = msg2txt(dir, c.args);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, c.err);
  }
}

TEST(Msg2txtCli, MalformedArchivesAreRefusedAndNothingIsWritten) {
  const struct {
    const char* index;  // nullptr: no index file
    const char* body;   // nullptr: no body file
    const char* err;
  } cases[] = {
      // Each problem's text is checked by the index reader's own test; here, that the run stops.
      {"00 00 00 00", nullptr, "d.bin: no such file"},
      {"00 00 00 02 00 00 00 01 00 00 00 00", "41 42",
       "d.tbl: the entry at byte 4 (1) is less than the one before it (2)"},
      {"00 00 00 01 00 00 00 00", "41 42",
       "d.bin: the body is longer than the index covers: its bytes from offset 1 on (1 byte) "
       "belong to no message"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    if (c.index != nullptr) write_bytes(dir / "d.tbl", hex(c.index));
    if (c.body != nullptr) write_bytes(dir / "d.bin", hex(c.body));
    const RunResult r = msg2txt(dir, {"d"});
    EXPECT_EQ(r.exit_code, 1) << c.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, std::string("\nmsg2txt: ") + c.err + "\n");
    EXPECT_FALSE(fs::exists(dir / "d.txt"));
  }
}

TEST(Msg2txtCli, AnExistingDumpIsReplacedOnlyWhenTheUserSaysSo) {
  const std::string question = "\"d.txt\" exists; replace it? (Y/N) ";
  const std::string prompt = "\noutput text file? ";
  const struct {
    std::string input;
    int exit_code;
    std::string out;
    const char* written;  // the file that gets the dump
    std::string err;
  } cases[] = {
      {"y\n", 0, question, "d.txt", ""},
      {"n\nother.txt\n", 0, question + prompt, "other.txt", ""},
      {"no\nd.bin\nnew.txt\n", 0, question + prompt + prompt, "new.txt",
       "\nmsg2txt: d.bin: that is an input file; give another name for the output\n"},
      {"", 2, question + prompt, nullptr,
       "\nmsg2txt: input ended before a name for the text file was given\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_archive(dir);
    write_text(dir / "d.txt", "my translation");
    const RunResult r = msg2txt(dir, {"d.bin"}, c.input);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.input;
    EXPECT_EQ(r.out, c.out) << c.input;
    EXPECT_EQ(r.err, c.err) << c.input;
    const bool replaced = c.written != nullptr && std::string(c.written) == "d.txt";
    EXPECT_EQ(string_of(read_bytes(dir / "d.txt")), replaced ? kDump : "my translation");
    if (c.written != nullptr) {
      EXPECT_EQ(string_of(read_bytes(dir / c.written)), kDump);
    }
    EXPECT_EQ(read_bytes(dir / "d.bin"), hex("48 69 7F 1A 91"));
  }
}

TEST(Msg2txtCli, AnEmptyArchiveGivesAnEmptyDumpAndSaysSo) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"e.bin"}, std::vector<std::string>{"/o", "e.bin", "/L"}}) {
    TempDir dir;
    write_bytes(dir / "e.bin", {});
    write_bytes(dir / "e.tbl", hex("00 00 00 00"));
    write_bytes(dir / "e.off", {});
    const RunResult r = msg2txt(dir, args);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err,
              "\nmsg2txt: e.bin: the archive holds no messages; e.txt holds none either, and "
              "compiling it gives one empty message\n");
    EXPECT_EQ(string_of(read_bytes(dir / "e.txt")), kBom);
  }
}

TEST(Msg2txtCli, HelpSwitchesAndTheArchivePrompt) {
  // --help, -h, -?, /? and --version: the options test of every program.
  for (const char* sw : {"/H", "-H", "/h"}) {
    TempDir dir;
    write_archive(dir);
    const RunResult r = msg2txt(dir, {"d.bin", sw});
    EXPECT_EQ(r.exit_code, 0) << sw;
    EXPECT_EQ(r.out.rfind("Usage: msg2txt [/o] [/L] [/H] NAME.bin\n", 0), 0u) << sw;
    EXPECT_FALSE(fs::exists(dir / "d.txt")) << sw;
  }
  TempDir dir;
  write_archive(dir);
  RunResult r = msg2txt(dir, {}, "d.tbl\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "\nmessage archive? ");
  EXPECT_EQ(string_of(read_bytes(dir / "d.txt")), kDump);
  r = msg2txt(dir, {});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "\nmsg2txt: input ended before a name for the archive was given\n");
}
