// End-to-end runs of the built unyaz with piped standard input.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/testsupport.hpp"
#include "yazcore/encode.hpp"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

const char* const kOpenWhich = "\nOpen which file? \n";
const char* const kOutputWhere = "\nOutput where? \n";
const char* const kNotYaz =
    "\nNot a Yaz0, Yay0 or MIO0 file.\nPress Spacebar to force it, otherwise to quit";
const char* const kReadError = "Error reading from file.\n";

std::string replace_question(const std::string& name) {
  return "\"" + name + "\" exists; replace it? (Y/N) ";
}

const Bytes kAAAA = hex("59 61 7A 30 00 00 00 04 00 00 00 00 00 00 00 00 80 41 10 00");
const Bytes kForcedAAAA = hex("46 4F 4F 21 00 00 00 00 00 00 00 04 80 41 10 00");

RunResult unyaz(const std::vector<std::string>& args, const std::string& input,
                const TempDir& dir) {
  return run(program("unyaz"), args, input, dir.path());
}

}  // namespace

TEST(UnyazRun, DecodesToTheDerivedNameSilently) {
  TempDir dir;
  write_bytes(dir / "archive.tar.szs", kAAAA);
  const auto r = unyaz({"archive.tar.szs"}, "", dir);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(string_of(read_bytes(dir / "archive new.bin")), "AAAA");
}

TEST(UnyazRun, AnOutputSizeOf0IsAnEmptyFile) {
  TempDir dir;
  write_bytes(dir / "empty.szs", hex("59 61 7A 30 00 00 00 00 00 00 00 00 00 00 00 00"));
  write_text(dir / "empty new.bin", "old");
  const auto r = unyaz({"empty.szs"}, "y\n", dir);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, replace_question("empty new.bin"));
  EXPECT_EQ(read_bytes(dir / "empty new.bin"), Bytes{});
}

TEST(UnyazRun, RoundTripsLargeYaz0AndYay0Files) {
  TempDir dir;
  Bytes data;
  for (int i = 0; data.size() < (3u << 20); ++i) {  // more than one input block
    const std::string line = "line " + std::to_string(i * 7919 % 100003) + " of the text\n";
    data.insert(data.end(), line.begin(), line.end());
  }
  write_bytes(dir / "big.szs",
              yazcore::encode(data, yazcore::Format::yaz0, yazcore::Mode::classic));
  write_bytes(dir / "big.yay",
              yazcore::encode(data, yazcore::Format::yay0, yazcore::Mode::classic));
  EXPECT_EQ(unyaz({"big.szs", "a.out"}, "", dir).exit_code, 0);
  EXPECT_EQ(unyaz({"big.yay", "b.out"}, "", dir).exit_code, 0);
  EXPECT_TRUE(read_bytes(dir / "a.out") == data);
  EXPECT_TRUE(read_bytes(dir / "b.out") == data);
}

TEST(UnyazRun, AsksForTheInputUntilItOpens) {
  TempDir dir;
  write_bytes(dir / "in.szs", kAAAA);
  fs::create_directory(dir / "folder");
  const auto r = unyaz({}, "missing.szs\nfolder\nin.szs\n", dir);
  EXPECT_EQ(r.exit_code, 0);
  // Each name that would not do is said before the question comes again.
  EXPECT_EQ(generic_reasons(r.err),
            std::string(kOpenWhich) + "\nunyaz: missing.szs: cannot be opened: REASON\n" +
                kOpenWhich + "\nunyaz: folder: cannot be opened: REASON\n" + kOpenWhich);
  EXPECT_EQ(string_of(read_bytes(dir / "in new.bin")), "AAAA");
}

TEST(UnyazRun, EndOfInputAtANamePromptEndsWithStatus2) {
  TempDir dir;
  auto r = unyaz({"nothing.szs"}, "", dir);
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(generic_reasons(r.err).rfind(
                "\nunyaz: nothing.szs: cannot be opened: REASON\n" + std::string(kOpenWhich), 0),
            0u)
      << r.err;
  EXPECT_NE(r.err.find("unyaz: input ended before a name for the input file was given\n"),
            std::string::npos)
      << r.err;

  write_bytes(dir / "in.szs", kAAAA);
  r = unyaz({"in.szs", "no/such/folder/out.bin"}, "", dir);
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(
      generic_reasons(r.err).rfind("\nunyaz: no/such/folder/out.bin: cannot be created: REASON\n" +
                                       std::string(kOutputWhere),
                                   0),
      0u)
      << r.err;
  EXPECT_NE(r.err.find("unyaz: input ended before a name for the output file was given\n"),
            std::string::npos)
      << r.err;
}

TEST(UnyazRun, AThirdNameChangesNothing) {
  // `unyaz *.szs` over three files: the second is not taken as the output.
  TempDir dir;
  for (const char* name : {"a.szs", "b.szs", "c.szs"}) write_bytes(dir / name, kAAAA);
  const auto r = unyaz({"a.szs", "b.szs", "c.szs"}, "", dir);
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err,
            "\nunyaz: one input and one output at most ('c.szs' is a third name); --help shows "
            "the usage\n");
  EXPECT_EQ(read_bytes(dir / "b.szs"), kAAAA);
  EXPECT_FALSE(fs::exists(dir / "a new.bin"));
}

TEST(UnyazRun, AnOutputNamingTheInputIsAskedForAgain) {
  TempDir dir;
  write_bytes(dir / "in.szs", kAAAA);
  const auto r = unyaz({"in.szs", "./in.szs"}, "in.szs\nout.bin\n", dir);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err,
            "\nunyaz: ./in.szs: that is an input file; give another name for the output\n" +
                std::string(kOutputWhere) +
                "\nunyaz: in.szs: that is an input file; give another name for the output\n" +
                kOutputWhere);
  EXPECT_EQ(read_bytes(dir / "in.szs"), kAAAA);
  EXPECT_EQ(string_of(read_bytes(dir / "out.bin")), "AAAA");
}

TEST(UnyazRun, AnExistingOutputIsReplacedOnlyWhenTheUserSaysSo) {
  TempDir dir;
  write_bytes(dir / "in.szs", kAAAA);
  write_text(dir / "in new.bin", "mine");
  // No (and the end of input, which is no) asks for another name.
  auto r = unyaz({"in.szs"}, "n\nother.bin\n", dir);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, replace_question("in new.bin") + kOutputWhere);
  EXPECT_EQ(string_of(read_bytes(dir / "in new.bin")), "mine");
  EXPECT_EQ(string_of(read_bytes(dir / "other.bin")), "AAAA");
  r = unyaz({"in.szs"}, "", dir);
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(string_of(read_bytes(dir / "in new.bin")), "mine");
}

TEST(UnyazRun, OtherSignaturesAskForTheSpaceBar) {
  struct Case {
    const char* input;
    int exit_code;
    const char* output;  // nullptr: the output file keeps what it held
  };
  const Case cases[] = {
      {" ", 0, "AAAA"},
      {"n", 255, nullptr},
      {"\n", 255, nullptr},
      {"", 255, nullptr},  // end of input
  };
  for (const auto& c : cases) {
    TempDir dir;
    write_bytes(dir / "odd.bin", kForcedAAAA);
    write_text(dir / "odd new.bin", "kept");
    const auto r = unyaz({"odd.bin"}, std::string("y\n") + c.input, dir);
    EXPECT_EQ(r.exit_code, c.exit_code) << "key '" << c.input << "'";
    EXPECT_EQ(r.err, replace_question("odd new.bin") + kNotYaz) << "key '" << c.input << "'";
    EXPECT_EQ(string_of(read_bytes(dir / "odd new.bin")), c.output ? c.output : "kept");
  }
}

TEST(UnyazRun, ShortReadsKeepAPartialOutputOnlyWhereNoFileStood) {
  struct Case {
    const char* what;
    Bytes file;
    const char* partial;  // what a new output holds; nullptr: none is made
  };
  const Case cases[] = {
      {"is empty", {}, nullptr},
      {"ends in the signature", hex("59 61"), nullptr},
      {"ends in the size", hex("59 61 7A 30 00 00"), nullptr},
      {"ends before the first flag byte", hex("59 61 7A 30 00 00 00 04 00 00 00 00"), nullptr},
      {"ends inside a copy", hex("59 61 7A 30 00 00 00 09 00 00 00 00 00 00 00 00 C0 41 42 10"),
       "AB"},
  };
  for (const auto& c : cases) {
    for (const bool existing : {false, true}) {
      TempDir dir;
      write_bytes(dir / "cut.szs", c.file);
      if (existing) write_text(dir / "good.bin", "good contents");
      const auto r = unyaz({"cut.szs", "good.bin"}, existing ? "y\n" : "", dir);
      EXPECT_EQ(r.exit_code, 255) << c.what;
      std::string outcome = "left as it was";
      if (!existing) {
        outcome = c.partial ? "holds the 2 bytes decoded before the fault"
                            : "not made, as nothing was decoded";
      }
      EXPECT_EQ(r.err, (existing ? replace_question("good.bin") : "") + kReadError +
                           "\nunyaz: good.bin: " + outcome + "\n")
          << c.what;
      if (existing) {
        EXPECT_EQ(string_of(read_bytes(dir / "good.bin")), "good contents") << c.what;
      } else if (c.partial) {
        EXPECT_EQ(string_of(read_bytes(dir / "good.bin")), c.partial) << c.what;
      } else {
        EXPECT_FALSE(fs::exists(dir / "good.bin")) << c.what;
      }
    }
  }
}

TEST(UnyazRun, FaultyStreamsGiveOneLineAndKeepThePartialOutput) {
  TempDir dir;
  write_bytes(dir / "bad.szs", hex("59 61 7A 30 00 00 00 09 00 00 00 00 00 00 00 00 80 41 10 05"));
  auto r = unyaz({"bad.szs"}, "", dir);
  EXPECT_EQ(r.exit_code, 255);
  EXPECT_EQ(r.err,
            "\nunyaz: bad.szs: the copy at offset 0x12 reaches before the start of the output; "
            "bad new.bin: holds the 1 byte decoded before the fault\n");
  EXPECT_EQ(string_of(read_bytes(dir / "bad new.bin")), "A");

  write_bytes(dir / "t.yay", hex("59 61 79 30 00 00 00 04 00 00 00 10 00 00 01 00 80 00 00 00"));
  r = unyaz({"t.yay"}, "", dir);
  EXPECT_EQ(r.exit_code, 255);
  EXPECT_EQ(r.err,
            "\nunyaz: t.yay: the chunk table offset 0x100 (at offset 0xC) lies outside the file; "
            "t new.bin: not made, as nothing was decoded\n");
}
