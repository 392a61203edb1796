#include <gtest/gtest.h>

#include <filesystem>

#include "msgapp/compiler.hpp"
#include "support/testsupport.hpp"

using namespace testsupport;

TEST(ArchiveOutput, AFailedBodyLeavesTheOldIndexInPlace) {
  TempDir dir;
  std::filesystem::create_directory(dir / "sub");
  write_text(dir / "old.tbl", "old index");
  write_text(dir / "sub" / "old.bin", "old body");
  msgapp::OpenedFiles names;
  names.index_name = (dir / "old.tbl").string();
  names.body_name = (dir / "sub" / "old.bin").string();
  msgapp::ArchiveOutput out;
  ASSERT_TRUE(out.open(names, true));
  out.writer().body() = bytes_of("new body");
  ASSERT_TRUE(out.writer().end_message());
  std::filesystem::remove_all(dir / "sub");  // the body can no longer be put in place
  files::InputFile source;                   // none: nothing to be cut short
  EXPECT_EQ(out.finish(source, "d.txt"), 1);
  EXPECT_EQ(string_of(read_bytes(dir / "old.tbl")), "old index");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);  // no temporary file left behind
}

TEST(ArchiveOutput, ANewBodyGoesAgainWhenItsIndexCannotBePutInPlace) {
  TempDir dir;
  std::filesystem::create_directory(dir / "sub");
  msgapp::OpenedFiles names;
  names.index_name = (dir / "sub" / "new.tbl").string();
  names.body_name = (dir / "new.bin").string();
  msgapp::ArchiveOutput out;
  ASSERT_TRUE(out.open(names, true));
  out.writer().body() = bytes_of("new body");
  ASSERT_TRUE(out.writer().end_message());
  std::filesystem::remove_all(dir / "sub");  // the index can no longer be put in place
  files::InputFile source;                   // none: nothing to be cut short
  EXPECT_EQ(out.finish(source, "d.txt"), 1);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));  // no body without its index
}

TEST(Switches, ParseLikeTheOldToolsAndTakeAbsolutePaths) {
  struct Case {
    std::vector<std::string> args;
    std::uint8_t settings;
    const char* input;
    bool help;
  };
  const Case cases[] = {
      {{"/o", "/o", "d.txt"}, 7, "d.txt", false},
      {{"-Lx", "d.txt"}, 6, "d.txt", false},
      {{"/x", "-", "/", "a", "b"}, 7, "b", false},
      {{"-q", "/Q", "-Q"}, 3, nullptr, false},
      {{"d.txt", "/h", "/o"}, 7, "d.txt", true},
      {{"/home/me/d.txt", "/L"}, 6, "/home/me/d.txt", false},
  };
  for (const auto& c : cases) {
    const msgapp::Switches sw = msgapp::parse_switches(c.args, 7, true);
    EXPECT_EQ(sw.settings, c.settings) << c.args[0];
    EXPECT_EQ(sw.help, c.help) << c.args[0];
    EXPECT_EQ(sw.input.has_value(), c.input != nullptr) << c.args[0];
    if (c.input && sw.input) {
      EXPECT_EQ(*sw.input, c.input);
    }
  }
  // Without the BOM switch, /Q is ignored.
  EXPECT_EQ(msgapp::parse_switches(std::vector<std::string>{"/Q"}, 3, false).settings, 3);
}
