// End-to-end runs of the built yaz with piped standard input.
#include <gtest/gtest.h>

#include <filesystem>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "support/testsupport.hpp"
#include "yazcore/decode.hpp"
#include "yazcore/encode.hpp"

using namespace testsupport;
namespace fs = std::filesystem;
using yazcore::Format;
using yazcore::Mode;

namespace {

// Text that compresses, and more than one progress step of it.
Bytes sample(std::size_t size) {
  Bytes b;
  for (int i = 0; b.size() < size; ++i) {
    const std::string line = "room " + std::to_string(i * 37 % 1000) + ": the lantern is lit\n";
    b.insert(b.end(), line.begin(), line.end());
  }
  b.resize(size);
  return b;
}

RunResult yaz(const TempDir& dir, const std::vector<std::string>& args,
              const std::string& input = "") {
  return run(program("yaz"), args, input, dir.path());
}

}  // namespace

TEST(YazRun, NamesSwitchesAndWhatIsWritten) {
  const Bytes data = sample((1 << 20) + 4096);
  TempDir dir;
  fs::create_directory(dir / "sub");
  write_bytes(dir / "sub" / "level.rom.bin", data);
  const std::string abs = (dir / "sub" / "level.rom.bin").string();
  struct Case {
    std::vector<std::string> args;
    std::string written;  // relative to dir
    Format format;
    Mode mode;
  } cases[] = {
      {{"sub/level.rom.bin"}, "sub/level.yaz0", Format::yaz0, Mode::best},
      {{"/Y", "sub/level.rom.bin"}, "sub/level.yay0", Format::yay0, Mode::best},
      {{"sub/level.rom.bin", "-c", "out.bin"}, "out.bin", Format::yaz0, Mode::classic},
      {{"/c", abs, "/y"}, "sub/level.yay0", Format::yay0, Mode::classic},
      {{"-M", "sub/level.rom.bin"}, "sub/level.mio0", Format::mio0, Mode::best},
  };
  for (const Case& c : cases) {
    fs::remove(dir / c.written);
    const RunResult r = yaz(dir, c.args);
    EXPECT_EQ(r.exit_code, 0) << c.written;
    EXPECT_EQ(r.err, "") << c.written;  // no progress on a pipe
    const Bytes file = read_bytes(dir / c.written);
    EXPECT_TRUE(file == yazcore::encode(data, c.format, c.mode)) << c.written;
    EXPECT_TRUE(yazcore::decode(file).out == data) << c.written;
  }
  const RunResult r = yaz(dir, {"sub/level.rom.bin", "small.yaz0"});
  const std::size_t size = read_bytes(dir / "small.yaz0").size();
  char ratio[32];
  std::snprintf(ratio, sizeof ratio, "%.2f",
                100.0 * static_cast<double>(size) / static_cast<double>(data.size()));
  EXPECT_EQ(r.out, "small.yaz0: 1052672 bytes compressed to " + std::to_string(size) + " (" +
                       ratio + " %)\n");
}

TEST(YazRun, EmptyAndOneByteInputsExpandAgain) {
  TempDir dir;
  for (const Bytes& data : {Bytes{}, Bytes{0x5A}}) {
    write_bytes(dir / "in", data);
    const RunResult r = yaz(dir, {"in", "out", "/y"}, "y\n");
    EXPECT_EQ(r.exit_code, 0);
    const auto d = yazcore::decode(read_bytes(dir / "out"));
    EXPECT_EQ(d.status, yazcore::Status::done);
    EXPECT_EQ(d.out, data);
  }
}

TEST(YazRun, AnExistingOutputIsReplacedOnlyWhenTheUserSaysSo) {
  const std::string question = "\"in.yaz0\" exists; replace it? (Y/N) ";
  const std::string prompt = "\noutput file? ";
  const struct {
    std::string input;
    int exit_code;
    std::string out;
    const char* written;  // the file that gets the output
    std::string err;
  } cases[] = {
      {"y\n", 0, question, "in.yaz0", ""},
      {"n\nother.yaz0\n", 0, question + prompt, "other.yaz0", ""},
      {"no\nin.bin\nnew.yaz0\n", 0, question + prompt + prompt, "new.yaz0",
       "\nyaz: in.bin: that is an input file; give another name for the output\n"},
      {"", 2, question + prompt, nullptr,
       "\nyaz: input ended before a name for the output was given\n"},
  };
  const Bytes data = sample(5000);
  const Bytes packed = yazcore::encode(data, Format::yaz0, Mode::best);
  for (const auto& c : cases) {
    TempDir dir;
    write_bytes(dir / "in.bin", data);
    write_text(dir / "in.yaz0", "old");
    const RunResult r = yaz(dir, {"in.bin"}, c.input);
    EXPECT_EQ(r.exit_code, c.exit_code) << c.input;
    EXPECT_EQ(r.out.substr(0, c.out.size()), c.out) << c.input;
    EXPECT_EQ(r.err, c.err) << c.input;
    const bool replaced = c.written != nullptr && std::string(c.written) == "in.yaz0";
    EXPECT_TRUE(read_bytes(dir / "in.yaz0") == (replaced ? packed : bytes_of("old"))) << c.input;
    if (c.written != nullptr) {
      EXPECT_TRUE(read_bytes(dir / c.written) == packed) << c.input;
    }
    EXPECT_TRUE(read_bytes(dir / "in.bin") == data);
  }
}

TEST(YazRun, PromptsHelpAndRefusals) {
  TempDir dir;
  write_bytes(dir / "in.bin", sample(100));
  fs::create_directory(dir / "sub");
  // Without a name, or while the name does not open, it asks for one.
  RunResult r = yaz(dir, {"/c"}, "missing.bin\nsub\nin.bin\n");
  EXPECT_EQ(r.exit_code, 0);
  const std::string prompt = "\nfile to compress? ";
  EXPECT_EQ(r.out.rfind(prompt + prompt + prompt + "in.yaz0: 100 bytes compressed to ", 0), 0u)
      << r.out;
  r = yaz(dir, {"missing.bin"}, "");
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, prompt);
  EXPECT_EQ(generic_reasons(r.err),
            "\nyaz: missing.bin: cannot be opened: REASON\n"
            "\nyaz: input ended before a name for the input file was given\n");

  for (const char* sw : {"/H", "-H", "/h"}) {  // the other forms: the options test
    r = run_with_idle_stdin(program("yaz"), {"in.bin", sw}, dir.path());
    EXPECT_EQ(r.exit_code, 0) << sw;
    EXPECT_EQ(r.out.rfind("Usage: yaz [/y | /m] [/c] [/H] INPUT [OUTPUT]\n", 0), 0u) << sw;
  }
  const struct {
    std::vector<std::string> args;
    std::string err;
  } refusals[] = {
      {{"/x", "in.bin"}, "unknown switch '/x'"},
      {{"-yc", "in.bin"}, "unknown switch '-yc'"},
      {{"in.bin", "a", "b"}, "one input and one output at most ('b' is a third name)"},
      {{"/y", "in.bin", "/m"}, "/y and /m ask for two formats; give one"},
      {{"/m", "/c", "in.bin"},
       "MIO0 has no classic mode (/m writes the smallest file); leave out /c"},
  };
  for (const auto& c : refusals) {
    r = run_with_idle_stdin(program("yaz"), c.args, dir.path());
    EXPECT_EQ(r.exit_code, 2) << c.err;
    EXPECT_EQ(r.err, "\nyaz: " + c.err + "; --help shows the usage\n");
    EXPECT_EQ(r.out, "");
  }
  EXPECT_FALSE(fs::exists(dir / "a"));
}

#ifndef _WIN32
// A piped "y" is the answer to the replace question, never the next name: a read-only output
// is asked about first, then said to be unwritable, and the next name is asked for.
TEST(YazRun, APipedAnswerIsNeverTakenAsAName) {
  if (!posix_programs() || geteuid() == 0) GTEST_SKIP() << "a file root could not write";
  TempDir dir;
  write_bytes(dir / "in.bin", sample(100));
  write_text(dir / "out.yaz0", "old");
  fs::permissions(dir / "out.yaz0", fs::perms::owner_read);
  const RunResult r = yaz(dir, {"in.bin", "out.yaz0"}, "y\n");
  EXPECT_EQ(r.exit_code, 2) << r.err;
  EXPECT_NE(r.err.find("out.yaz0: cannot be written: "), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "y"));
  fs::permissions(dir / "out.yaz0", fs::perms::owner_all);
}
#endif
