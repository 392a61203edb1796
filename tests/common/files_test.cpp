#include <gtest/gtest.h>

#include <algorithm>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "common/files.hpp"
#include "common/outcome.hpp"
#include "support/testsupport.hpp"

using namespace testsupport;

TEST(OutputName, CutsTheFileNameAtItsFirstDotAfterANonDot) {
#ifdef _WIN32
  const char* old_files = "old.files\\dump.tbl";
#else
  const char* old_files = "old.tbl";  // a backslash is part of a POSIX file name
#endif
  struct Case {
    const char* name;
    const char* ending;
    const char* expected;
  };
  const Case cases[] = {
      {"dump.txt", ".tbl", "dump.tbl"},
      {"..\\dump.txt", ".tbl", "..\\dump.tbl"},
      {"old.files\\dump.txt", ".tbl", old_files},
      {"msgs.en.slk", ".bin", "msgs.bin"},
      {"wood.tga", ".bin", "wood.bin"},
      {"a.b.tga", ".bin", "a.bin"},
      {"../tex/wood.tga", ".bin", "../tex/wood.bin"},
      {"dir.v2/img.tga", ".bin", "dir.v2/img.bin"},
      {"proj.v2/dump.txt", ".tbl", "proj.v2/dump.tbl"},
      {"/x/.hidden/mine.txt", ".bin", "/x/.hidden/mine.bin"},
      {"../d/x.szs", " new.bin", "../d/x new.bin"},
      {"a.b/.c", ".bin", "a.b/.c.bin"},
      {"noext", ".bin", "noext.bin"},
      {".hidden", ".bin", ".hidden.bin"},
      {"...", ".bin", "....bin"},
      {"", ".bin", ".bin"},
      {"a..b", ".bin", "a.bin"},
      {"archive.tar.szs", " new.bin", "archive new.bin"},
      {"game.rom.bin", "-ext.n64", "game-ext.n64"},
      {"out.idx", ".bin", "out.bin"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(files::derive_output_name(c.name, c.ending), c.expected) << c.name;
  }
}

TEST(OutputName, LongNamesAreKeptWhole) {
  const std::string stem(5000, 'x');
  EXPECT_EQ(files::derive_output_name(stem + ".txt", ".tbl"), stem + ".tbl");
}

TEST(Files, SameTargetSeesOtherSpellingsAndMissingFiles) {
  TempDir dir;
  write_text(dir / "a.bin", "x");
  const std::string a = (dir / "a.bin").string();
  EXPECT_TRUE(files::same_target(a, (dir.path() / "." / "a.bin").string()));
  EXPECT_TRUE(files::same_target((dir / "new.bin").string(), (dir / "new.bin").string()));
  EXPECT_FALSE(files::same_target(a, (dir / "b.bin").string()));
}

TEST(Files, AtomicFileLeavesTargetAloneUntilCommit) {
  TempDir dir;
  const auto target = dir / "out.bin";
  write_text(target, "old");
  {
    files::AtomicFile f;
    ASSERT_TRUE(f.open(target.string()));
    f.write(bytes_of("new contents"));
    EXPECT_EQ(string_of(read_bytes(target)), "old");
  }  // dropped without commit
  EXPECT_EQ(string_of(read_bytes(target)), "old");
  {
    files::AtomicFile f;
    ASSERT_TRUE(f.open(target.string()));
    f.write(bytes_of("new"));
    f.write_zeros(3);
    ASSERT_TRUE(f.commit());
  }
  EXPECT_EQ(read_bytes(target), hex("6E 65 77 00 00 00"));
  // No temporary files are left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}

TEST(Files, CannotCreateInMissingFolderOrOverAFolder) {
  TempDir dir;
  EXPECT_FALSE(files::can_create((dir / "missing" / "x.bin").string()));
  EXPECT_FALSE(files::can_create(dir.path().string()));
  EXPECT_FALSE(files::can_create(""));
  EXPECT_TRUE(files::can_create((dir / "fresh.bin").string()));
  EXPECT_FALSE(std::filesystem::exists(dir / "fresh.bin"));
  files::AtomicFile f;
  EXPECT_FALSE(f.open((dir / "missing" / "x.bin").string()));
}

TEST(Files, LargeZeroRunsReadAsZero) {
  TempDir dir;
  const auto target = dir / "big.bin";
  files::AtomicFile f;
  ASSERT_TRUE(f.open(target.string()));
  f.write(bytes_of("head"));
  ASSERT_TRUE(f.write_zeros((3u << 20) + 5));
  f.write(bytes_of("tail"));
  ASSERT_TRUE(f.commit());
  const Bytes got = read_bytes(target);
  ASSERT_EQ(got.size(), 4u + (3u << 20) + 5 + 4);
  EXPECT_EQ(string_of(Bytes(got.begin(), got.begin() + 4)), "head");
  EXPECT_EQ(string_of(Bytes(got.end() - 4, got.end())), "tail");
  EXPECT_TRUE(std::all_of(got.begin() + 4, got.end() - 4, [](std::uint8_t b) { return b == 0; }));
}

#ifndef _WIN32
TEST(Files, AtomicFileWritesThroughALinkAndKeepsPermissions) {
  TempDir dir;
  std::filesystem::create_directory(dir / "keep");
  write_text(dir / "keep" / "real.bin", "old");
  std::filesystem::permissions(dir / "keep" / "real.bin", std::filesystem::perms(0640));
  std::filesystem::create_symlink(dir / "keep" / "real.bin", dir / "link.bin");
  const Bytes bytes = bytes_of("new");
  ASSERT_EQ(outcome::write((dir / "link.bin").string(), bytes, {}), exit_status::kDone);
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.bin"));
  EXPECT_EQ(string_of(read_bytes(dir / "keep" / "real.bin")), "new");
  EXPECT_EQ(std::filesystem::status(dir / "keep" / "real.bin").permissions(),
            std::filesystem::perms(0640));
}

// Root replacing a user's file (romcrc --fix on it, say) leaves it the user's.
TEST(Files, AReplacedFileKeepsItsOwnerAndGroup) {
  if (geteuid() != 0) GTEST_SKIP() << "only root may give a file to another owner";
  TempDir dir;
  const auto name = dir / "theirs.bin";
  write_text(name, "old");
  ASSERT_EQ(chown(name.c_str(), 65534, 65534), 0);
  ASSERT_EQ(chmod(name.c_str(), 0640), 0);
  const Bytes bytes = bytes_of("new");
  ASSERT_EQ(outcome::write(name.string(), bytes, {}), exit_status::kDone);
  struct stat st {};
  ASSERT_EQ(stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 65534u);
  EXPECT_EQ(st.st_gid, 65534u);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(string_of(read_bytes(name)), "new");
}
#endif
