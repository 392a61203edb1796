// End-to-end runs of the built msg2slk; round trips through slk2msg, also of tables that a
// spreadsheet program saved again.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/testsupport.hpp"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

const fs::path kSource = fs::path(TOOLKIT_SOURCE_DIR);
const fs::path kFixtures = kSource / "tests" / "msg2slk" / "fixtures";

RunResult msg2slk(const TempDir& dir, const std::vector<std::string>& args,
                  const std::string& input = "") {
  return run(program("msg2slk"), args, input, dir.path());
}

// Compiles the table `slk` with slk2msg (`/L` when `texts_in_column_1`) and expects `name`.bin
// and `name`.tbl of `archive`, with nothing said.
void expect_compiles_to(const fs::path& slk, bool texts_in_column_1, const fs::path& archive,
                        const std::string& name) {
  TempDir dir;
  fs::copy_file(slk, dir / "t.slk");
  std::vector<std::string> args = {"t.slk"};
  if (texts_in_column_1) args.insert(args.begin(), "/L");
  const RunResult r = run(program("slk2msg"), args, "", dir.path());
  EXPECT_EQ(r.exit_code, 0) << slk;
  EXPECT_EQ(r.out + r.err, "") << slk;
  EXPECT_EQ(read_bytes(dir / "t.bin"), read_bytes(archive / (name + ".bin"))) << slk;
  EXPECT_EQ(read_bytes(dir / "t.tbl"), read_bytes(archive / (name + ".tbl"))) << slk;
}

}  // namespace

TEST(Msg2slkCli, TablesSavedAgainByASpreadsheetCompileToTheArchive) {
  for (const char* name : {"stress.slk", "gnumeric.slk", "gnumeric-ods.slk", "gnumeric-xls.slk"}) {
    expect_compiles_to(kFixtures / name, false, kFixtures, "stress");
  }
  for (const char* name : {"stress-L.slk", "gnumeric-L.slk"}) {
    expect_compiles_to(kFixtures / name, true, kFixtures, "stress");
  }
}

TEST(Msg2slkCli, ArchivesRoundTrip) {
  TempDir archives;
  for (const char* name : {"stress.bin", "stress.tbl"})
    fs::copy_file(kFixtures / name, archives / name);
  for (const char* name : {"shop.bin", "shop.tbl"}) {
    fs::copy_file(kSource / "examples" / "msg2slk" / name, archives / name);
  }
  for (const char* name : {"village.bin", "village.tbl"}) {
    fs::copy_file(kSource / "examples" / "msg2txt" / name, archives / name);
  }
  fs::copy_file(kSource / "examples" / "txt2msg" / "dialogue.txt", archives / "dialogue.txt");
  ASSERT_EQ(run(program("txt2msg"), {"dialogue.txt"}, "", archives.path()).exit_code, 0);
  for (const char* name : {"stress", "shop", "village", "dialogue"}) {
    for (const bool texts_in_column_1 : {false, true}) {
      TempDir dir;
      fs::copy_file(archives / (std::string(name) + ".bin"), dir / "a.bin");
      fs::copy_file(archives / (std::string(name) + ".tbl"), dir / "a.tbl");
      std::vector<std::string> args = {"a.bin"};
      if (texts_in_column_1) args.push_back("-L");
      const RunResult r = msg2slk(dir, args);
      EXPECT_EQ(r.exit_code, 0);
      EXPECT_EQ(r.out + r.err, "");
      expect_compiles_to(dir / "a.slk", texts_in_column_1, archives.path(), name);
    }
  }
}

TEST(Msg2slkCli, TheTableAndItsEmptyForm) {
  TempDir dir;
  write_bytes(dir / "d.bin", hex("48 69 7F 1A 91 3B"));
  write_bytes(dir / "d.off", hex("00 00 00 02 00 00 00 00 00 00 00 04"));
  RunResult r = msg2slk(dir, {"/o", "d"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(string_of(read_bytes(dir / "d.slk")),
            "ID;PMSG2SLK\r\nF;W2 2 80\r\n"
            "C;Y1;X1;K0\r\nC;X2;K\"Hi\"\r\n"
            "C;Y2;X1;K1\r\nC;X2;K\"##\"\r\n"
            "C;Y3;X1;K2\r\nC;X2;K\"[player][k-a]$d\"\r\n"
            "E\r\n");
  r = msg2slk(dir, {"/o", "/L", "d"}, "y\n");
  EXPECT_EQ(r.out, "\"d.slk\" exists; replace it? (Y/N) ");
  EXPECT_EQ(string_of(read_bytes(dir / "d.slk")),
            "ID;PMSG2SLK\r\nF;W1 1 80\r\n"
            "C;Y1;X1;K\"Hi\"\r\nC;Y2;X1;K\"##\"\r\nC;Y3;X1;K\"[player][k-a]$d\"\r\nE\r\n");

  // No messages: a table without rows, which slk2msg compiles to no messages. Nothing to say.
  TempDir empty;
  write_bytes(empty / "e.bin", {});
  write_bytes(empty / "e.tbl", hex("00 00 00 00"));
  r = msg2slk(empty, {"e.tbl"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, "");
  expect_compiles_to(empty / "e.slk", false, empty.path(), "e");
}

TEST(Msg2slkCli, AMalformedArchiveIsRefused) {
  TempDir dir;
  write_bytes(dir / "d.bin", hex("41"));
  write_bytes(dir / "d.tbl", hex("00 00 00 02 00 00 00 00"));
  const RunResult r = msg2slk(dir, {"d.bin"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err,
            "\nmsg2slk: d.tbl: the entry at byte 0 (2) points past the end of the body (the body "
            "has 1 byte)\n");
  EXPECT_FALSE(fs::exists(dir / "d.slk"));
}
