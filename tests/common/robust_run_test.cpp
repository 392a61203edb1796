// End-to-end runs of all the programs against the file system, signals and limits: output names
// beside folders with dots, inputs that are pipes, devices or cut short while they are read,
// interruptions, memory, file-size and CPU limits, links, long names and two runs at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "support/testsupport.hpp"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// A small input for each program, the standard input that takes it through its questions, and
// the outputs it makes. `stem` is the input's name without its ending.
struct Job {
  const char* program;
  std::string ending;  // the input's
  Bytes input;
  std::string answers;
  std::vector<std::string> outputs;  // endings of the outputs, appended to the stem
  std::vector<std::string> switches{};
};

Bytes tga(std::size_t data) {
  Bytes b = hex("00 00 03 00 00 00 00 00 00 00 00 00 02 00 01 00 10 08");
  b.resize(b.size() + data, 0x5A);
  return b;
}

std::vector<Job> jobs() {
  return {
      {"txt2msg",
       ".txt",
       bytes_of("\xEF\xBB\xBF"
                "1\tHi\n"),
       "",
       {".tbl", ".bin"}},
      {"slk2msg", ".slk", bytes_of("ID;P\nC;Y1;X2;K\"Hi\"\nE\n"), "", {".tbl", ".bin"}},
      {"unyaz",
       ".szs",
       hex("59 61 7A 30 00 00 00 04 00 00 00 00 00 00 00 00 80 41 10 00"),
       "",
       {" new.bin"}},
      {"greyconv", ".tga", tga(4), "1", {".bin"}},
      {"romext", ".rom", hex("80 37 12 40 00 01 02 03"), "\n\n", {"-ext.n64"}},
      {"yaz", ".bin", bytes_of("a lantern, a lantern"), "", {".yaz0"}},
  };
}

RunResult run_job(const Job& job, const std::string& input_name, const fs::path& cwd,
                  int timeout_seconds = 60) {
  std::vector<std::string> args = job.switches;
  args.push_back(input_name);
  return run(program(job.program), args, job.answers, cwd, timeout_seconds);
}

std::vector<std::string> names_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

#define SKIP_UNLESS_POSIX() \
  if (!posix_programs()) GTEST_SKIP() << "POSIX signals, pipes and limits"

}  // namespace

TEST(OutputNamesRun, AreCutInTheFileNameNeverInAFolder) {
  for (const Job& job : jobs()) {
    TempDir dir;
    fs::create_directory(dir / "proj.v2");
    write_bytes(dir / "proj.v2" / ("d" + job.ending), job.input);
    const auto r = run_job(job, "proj.v2/d" + job.ending, dir.path());
    EXPECT_EQ(r.exit_code, 0) << job.program << r.err;
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"proj.v2"}) << job.program;
    for (const auto& ending : job.outputs) {
      EXPECT_TRUE(fs::exists(dir / "proj.v2" / ("d" + ending))) << job.program << ending;
    }
  }
}

TEST(OutputsRun, LongNamesCanBeWritten) {
  SKIP_UNLESS_POSIX();  // Windows limits whole paths to 260 characters
  for (const char* named : {"", "TOOLKIT_NAMED_TEMPORARIES=1"}) {
    TempDir dir;
    const std::string stem(251, 'n');  // the outputs' names are 255 bytes long
    write_bytes(dir / "in.szs", jobs()[2].input);
    write_bytes(dir / (stem + ".tga"), tga(4));
    auto r = shell(std::string(named) + " '" + program("unyaz").string() + "' in.szs " + stem +
                       ".bin </dev/null",
                   dir.path());
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(string_of(read_bytes(dir / (stem + ".bin"))), "AAAA");
    fs::remove(dir / (stem + ".bin"));
    r = shell("echo 1 | " + std::string(named) + " '" + program("greyconv").string() + "' " + stem +
                  ".tga",
              dir.path());
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(read_bytes(dir / (stem + ".bin")).size(), 2u);
    EXPECT_EQ(names_in(dir.path()).size(), 3u);
  }
}

#ifndef _WIN32

TEST(InputsRun, PipesAreOpenedOnceAndReadWhole) {
  SKIP_UNLESS_POSIX();
  for (const Job& job : jobs()) {
    TempDir dir;
    const fs::path fifo = dir / ("d" + job.ending);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
      const int fd = open(fifo.c_str(), O_WRONLY);
      if (fd < 0) return;
      EXPECT_EQ(write(fd, job.input.data(), job.input.size()),
                static_cast<ssize_t>(job.input.size()));
      close(fd);
    });
    const auto r = run_job(job, "d" + job.ending, dir.path(), 10);
    // A program that never opened the pipe leaves the writer waiting: let it go.
    const int unblock = open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    writer.join();
    if (unblock >= 0) close(unblock);
    EXPECT_EQ(r.exit_code, 0) << job.program << r.err;
    for (const auto& ending : job.outputs) {
      EXPECT_TRUE(fs::exists(dir / ("d" + ending))) << job.program << ending;
    }
  }
}

TEST(InputsRun, DevicesAreRefusedWithOneLine) {
  SKIP_UNLESS_POSIX();
  for (Job job : jobs()) {
    TempDir dir;
    job.switches = {"/Q"};
    if (std::string(job.program) != "txt2msg") job.switches.clear();
    const auto r = run_job(job, "/dev/zero", dir.path(), 10);
    EXPECT_NE(r.exit_code, 0) << job.program;
    EXPECT_NE(r.err.find(std::string(job.program) + ": /dev/zero: is a device"), std::string::npos)
        << job.program << r.err;
    EXPECT_TRUE(names_in(dir.path()).empty()) << job.program;
  }
}

TEST(InputsRun, AnInputCutShortOrChangedWhileItIsReadIsRefused) {
  SKIP_UNLESS_POSIX();
  // Each program stops at a question after it has opened its input; the input is then cut short,
  // or written over in place as an editor saves it (its size kept: cut -1), and the program must
  // not end by a signal, use what it read or leave a file behind. A file cut within its last page
  // (4000 bytes to 2000) gives no signal: its lost bytes read as zeros.
  struct Case {
    const char* program;
    std::string name;
    std::string head;      // the input starts with this, and is then padded
    std::string question;  // shown once the input is open
    std::string answer;
  };
  const Case cases[] = {
      {"txt2msg", "d.txt", "1\tHello\n", "Type 'Y'", "y\n"},
      {"slk2msg", "d.slk", "ID;P\nC;X2;K\"[jump]\"\n", "improper!", "\n"},
      {"unyaz", "d.bin", std::string("Odd!\0\0\0\0\0\x20\0\0", 12), "Spacebar", " "},
      {"greyconv", "d.tga", string_of(tga(0)), "Press \"spacebar\"", "1"},
      {"romext", "d.rom", "\x37\x80\x40\x12", "straighten", "y\n\n"},
  };
  for (const auto& [size, cut] :
       {std::pair<std::size_t, off_t>{2u << 20, 1000}, {4000, 2000}, {4000, -1}}) {
    for (const Case& c : cases) {
      TempDir dir;
      std::string input = c.head;
      while (input.size() < size)
        input += c.program == std::string("unyaz") ? "\xFF"
                                                     "ABCDEFGH"
                                                   : "C;X2;K\"Hello\"\n";
      input.resize(size);
      write_text(dir / c.name, input);
      // An hour old, so that writing it again shows in its time whatever the clock's grain.
      fs::last_write_time(dir / c.name, fs::last_write_time(dir / c.name) - std::chrono::hours(1));
      Spawned p(program(c.program), {c.name}, dir.path());
      ASSERT_TRUE(p.wait_for_output(c.question)) << c.program;
      if (cut >= 0) {
        ASSERT_EQ(truncate((dir / c.name).c_str(), cut), 0);
      } else {
        std::reverse(input.begin() + 1000, input.end());  // the head, and the question, stay
        write_text(dir / c.name, input);
      }
      p.send(c.answer);
      p.close_input();
      const int status = p.wait();
      EXPECT_TRUE(status == 1 || status == 255) << c.program << " " << status << " " << size;
      EXPECT_NE(
          p.err().find(c.name + ": the file was cut short or changed while it was being read"),
          std::string::npos)
          << c.program << " " << size << p.err();
      EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{c.name}) << c.program;
    }
  }
}

TEST(InputsRun, AnArchiveCutShortWhileItIsDecompiledIsRefused) {
  SKIP_UNLESS_POSIX();
  TempDir dir;
  write_text(dir / "d.bin", std::string(2u << 20, 'A'));
  write_bytes(dir / "d.tbl", hex("00 20 00 00 00 00 00 00"));
  write_text(dir / "d.txt", "old text");
  Spawned p(program("msg2txt"), {"d.bin"}, dir.path());
  ASSERT_TRUE(p.wait_for_output("replace it?"));
  ASSERT_EQ(truncate((dir / "d.bin").c_str(), 1000), 0);
  p.send("y\n");
  p.close_input();
  EXPECT_EQ(p.wait(), 1);
  EXPECT_NE(p.err().find("d.bin: the file was cut short"), std::string::npos) << p.err();
  EXPECT_EQ(string_of(read_bytes(dir / "d.txt")), "old text");
  EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"d.bin", "d.tbl", "d.txt"}));
}

TEST(SignalsRun, InterruptionsLeaveNoTemporaryFiles) {
  SKIP_UNLESS_POSIX();
  // Each program waits at a question while its output is being written.
  struct Case {
    const char* program;
    std::string name;
    Bytes input;
    std::string before;    // answers to questions before that one
    std::string question;  // the question asked while the output is open
  };
  std::string sylk = "ID;P\nC;X2;K\"[jump]\"\nE\n";
  const Case cases[] = {
      {"romext", "d.rom", Bytes(1 << 20, 0x37), "", "Should I extend"},
      {"romext", "d.rom", hex("37 80 40 12 00 00 00 00"), "", "straighten"},
      {"unyaz", "d.bin", hex("4F 64 64 21 00 00 00 00 00 00 00 01 80 41"), "", "Spacebar"},
      {"slk2msg", "d.slk", bytes_of(sylk), "", "improper!"},
  };
  for (const Case& c : cases) {
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
      for (const bool named : {true, false}) {
        TempDir dir;
        write_bytes(dir / c.name, c.input);
        write_text(dir / "d-ext.n64", "old output");
        const std::vector<std::string> env = {named ? "TOOLKIT_NAMED_TEMPORARIES=1"
                                                    : "TOOLKIT_NAMED_TEMPORARIES="};
        Spawned p(program(c.program), {c.name}, dir.path(), env);
        p.send(c.before);
        ASSERT_TRUE(p.wait_for_output(c.question)) << c.program;
        // A named temporary file is there now; an unnamed one never shows.
        const auto during = names_in(dir.path());
        EXPECT_EQ(std::count_if(during.begin(), during.end(),
                                [](const std::string& n) { return n.ends_with(".tmp"); }) > 0,
                  named)
            << c.program;
        p.signal(sig);
        EXPECT_EQ(p.wait(), 128 + sig) << c.program << " " << sig;
        EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"d-ext.n64", c.name}))
            << c.program << " " << sig;
        EXPECT_EQ(string_of(read_bytes(dir / "d-ext.n64")), "old output");
      }
    }
  }
}

TEST(SignalsRun, ABrokenPipeLeavesNoTemporaryFiles) {
  SKIP_UNLESS_POSIX();
  TempDir dir;
  write_bytes(dir / "d.rom", Bytes(1 << 16, 0x80));
  Spawned p(program("romext"), {"d.rom"}, dir.path(), {"TOOLKIT_NAMED_TEMPORARIES=1"}, true);
  p.send("y\n\n");
  p.close_input();
  EXPECT_EQ(p.wait(), 128 + SIGPIPE);
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"d.rom"});
}

TEST(LimitsRun, AWriteBeyondTheFileSizeLimitIsAnError) {
  SKIP_UNLESS_POSIX();
  std::string dump = "\xEF\xBB\xBF";
  while (dump.size() < 200000) dump += "1\tA line of text\n";
  for (const char* named : {"", "TOOLKIT_NAMED_TEMPORARIES=1"}) {
    TempDir dir;
    write_text(dir / "d.txt", dump);
    write_bytes(dir / "d.rom", Bytes(200000, 0x80));
    // ulimit -f counts blocks of 512 bytes: 64 KiB.
    const std::pair<std::string, std::string> cases[] = {
        {"txt2msg d.txt", "d.bin: cannot be written: file too large"},
        {"romext d.rom", "d-ext.n64: cannot be written: file too large"},
    };
    for (const auto& [command, line] : cases) {
      const auto r = shell("ulimit -f 128; printf 'y\\n\\n' | " + std::string(named) + " '" +
                               program("").string() + "'" + command,
                           dir.path());
      EXPECT_EQ(r.exit_code, 1) << command;
      EXPECT_NE(r.err.find(line), std::string::npos) << command << r.err;
      EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"d.rom", "d.txt"})) << command;
    }
  }
}

TEST(LimitsRun, MemoryLimitsGiveOneLineNeverAnUncaughtException) {
  SKIP_UNLESS_POSIX();
  if (kSanitized) GTEST_SKIP() << "the sanitizers need more address space than the limit";
  TempDir dir;
  // 2500 number cells that each take the next 40,000-byte text: a 100 MB body from 60 KB, which
  // goes to its file as it is made.
  std::string sylk = "ID;P\n";
  for (int i = 0; i < 2500; ++i) sylk += "C;X2;K1\n";
  sylk += "C;X2;K\"" + std::string(40000, 'a') + "\"\nE\n";
  write_text(dir / "t.slk", sylk);
  auto r = shell("ulimit -v 50000; '" + program("slk2msg").string() + "' t.slk", dir.path());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(fs::file_size(dir / "t.bin"), 2501u * 40000u);
  EXPECT_EQ(fs::file_size(dir / "t.tbl"), 2502u * 4u);

  // Sparse files too large to read under the limit, and a TGA image too large to convert.
  TempDir big;
  write_bytes(big / "y.yay", hex("59 61 79 30 00 00 10 00 00 00 00 10 00 00 00 10"));
  fs::resize_file(big / "y.yay", std::uintmax_t{3} << 30);
  write_bytes(big / "g.tga", tga(0));
  fs::resize_file(big / "g.tga", std::uintmax_t{40} << 30);
  struct Case {
    const char* limit;
    std::string command;
    int exit_code;
    std::string line;
  };
  const Case cases[] = {
      {"ulimit -v 200000;", "unyaz y.yay", 255, "unyaz: y.yay: not enough memory to read the file"},
      {"ulimit -v 200000;", "greyconv g.tga", 1,
       "greyconv: g.tga: not enough memory to read the file"},
      {"", "greyconv g.tga", 1, "greyconv: g.tga: the image data is 42949672942 bytes"},
  };
  for (const Case& c : cases) {
    r = shell(std::string(c.limit) + " echo 1 | '" + program("").string() + "'" + c.command,
              big.path());
    EXPECT_EQ(r.exit_code, c.exit_code) << c.command << r.err;
    EXPECT_NE(r.err.find(c.line), std::string::npos) << c.command << r.err;
    EXPECT_EQ(names_in(big.path()), (std::vector<std::string>{"g.tga", "y.yay"}));
  }
}

TEST(LimitsRun, TheMemoryLineNamesTheInputNotTheOutput) {
  SKIP_UNLESS_POSIX();
  if (kSanitized) GTEST_SKIP() << "the sanitizers need more address space than the limits";
  TempDir dir;
  // A 32 MiB image under limits from just too small to map it up to enough for the whole run:
  // in between lie limits where the image is mapped and memory runs out later, in the copy.
  write_bytes(dir / "big.rom", hex("80 37 12 40"));
  fs::resize_file(dir / "big.rom", std::uintmax_t{32} << 20);
  const RunResult r =
      shell("for v in $(seq 34000 256 46000); do (ulimit -v $v; printf 'n\\n\\n' | '" +
                program("romext").string() + "' big.rom >/dev/null); rm -f big-ext.n64; done",
            dir.path());
  for (std::size_t at = r.err.find("memory"); at != std::string::npos;
       at = r.err.find("memory", at + 1)) {
    const std::size_t line = r.err.rfind('\n', at) + 1;
    EXPECT_EQ(r.err.compare(line, 17, "romext: big.rom: "), 0) << r.err.substr(line, at - line);
  }
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"big.rom"});
}

TEST(LimitsRun, HostileInputsCompile) {
  SKIP_UNLESS_POSIX();
  // Every message after an unclosed '[' (or without a quoted text) looks for the same far-away
  // byte; such inputs once took time growing with the square of their size. How the time grows
  // is measured by bench/txt2msg and bench/slk2msg; this checks what they compile to.
  TempDir dir;
  std::string dump;
  std::string numbers = "ID;P\n";
  std::string tags = "ID;P\n";
  constexpr std::size_t kSize = 256u << 10;
  constexpr std::size_t kMessages = 300000;  // the index is written 262144 words at a time
  while (dump.size() < 4 * kMessages) dump += "1\t[\n";
  while (numbers.size() < kSize) numbers += "C;X2;K1\n";
  while (tags.size() < kSize) tags += "C;X2;K\"[x\"\n";
  write_text(dir / "d.txt", dump);
  write_text(dir / "n.slk", numbers + "E\n");
  write_text(dir / "k.slk", tags + "E\n");
  for (const char* name : {"n", "k"}) {
    const auto r = run(program("slk2msg"), {std::string(name) + ".slk"}, "", dir.path());
    EXPECT_EQ(r.exit_code, 0) << name << r.err;
  }
  const auto r = run(program("txt2msg"), {"/Q", "d.txt"}, "", dir.path());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  // Each unknown tag counts two bytes; the index goes to its file in pieces as it is made.
  const Bytes index = read_bytes(dir / "d.tbl");
  ASSERT_EQ(index.size(), 4 * kMessages + 4);
  for (const std::size_t k : {0u, 262143u, 262144u, 299999u}) {
    const std::uint32_t end = 2 * (k + 1);
    EXPECT_EQ(to_hex(Bytes(index.begin() + 4 * k, index.begin() + 4 * k + 4)),
              to_hex({static_cast<std::uint8_t>(end >> 24), static_cast<std::uint8_t>(end >> 16),
                      static_cast<std::uint8_t>(end >> 8), static_cast<std::uint8_t>(end)}));
  }
  EXPECT_EQ(to_hex(Bytes(index.end() - 4, index.end())), "00 00 00 00");
}

TEST(OutputsRun, ADanglingLinkIsWrittenWhereItPoints) {
  SKIP_UNLESS_POSIX();
  TempDir dir;
  write_bytes(dir / "in.szs", jobs()[2].input);
  fs::create_directory(dir / "d");
  fs::create_symlink("d/real.bin", dir / "dang.bin");
  const auto r = run(program("unyaz"), {"in.szs", "dang.bin"}, "", dir.path());
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(dir / "dang.bin"));
  EXPECT_EQ(string_of(read_bytes(dir / "d" / "real.bin")), "AAAA");
  EXPECT_EQ(names_in(dir / "d"), std::vector<std::string>{"real.bin"});
}

TEST(OutputsRun, TwoRunsWritingOneArchivePutMatchingPairsInPlace) {
  SKIP_UNLESS_POSIX();
  // Both inputs give the archive x.tbl + x.bin.
  TempDir dir;
  write_text(dir / "x.v1.txt", "1\tAAAA\n");
  write_text(dir / "x.v2.txt", "1\tBBBBBBBB\n2\tCC\n");
  const Bytes one = hex("00 00 00 04 00 00 00 00");
  const Bytes two = hex("00 00 00 08 00 00 00 0A 00 00 00 00");
  int mismatched = 0;
  for (int i = 0; i < 100; ++i) {
    // Every other time the archive is new: both runs find no file of its names.
    if (i % 2 == 0) {
      fs::remove(dir / "x.tbl");
      fs::remove(dir / "x.bin");
    }
    Spawned a(program("txt2msg"), {"/Q", "x.v1.txt"}, dir.path());
    Spawned b(program("txt2msg"), {"/Q", "x.v2.txt"}, dir.path());
    a.close_input();
    b.close_input();
    EXPECT_EQ(a.wait(), 0);
    EXPECT_EQ(b.wait(), 0);
    const Bytes index = read_bytes(dir / "x.tbl");
    const auto body = fs::file_size(dir / "x.bin");
    if (!((index == one && body == 4) || (index == two && body == 10))) ++mismatched;
  }
  EXPECT_EQ(mismatched, 0);
}

TEST(OutputsRun, ClosedStandardStreamsNeverLandInAnOutput) {
  SKIP_UNLESS_POSIX();
  // A standard stream closed by the caller hands its number to the next file opened: the output
  // got the prompts (romext), the question (unyaz) or the warnings (txt2msg).
  TempDir dir;
  const Bytes rom = hex("80 37 12 40 00 01 02 03");
  write_bytes(dir / "r.rom", rom);
  write_bytes(dir / "o.bin", hex("4F 64 64 21 00 00 00 00 00 00 00 01 80 41"));
  write_text(dir / "d.txt", "1\t[jump]\n");
  struct Case {
    const char* before;  // the command line: before the program's path, and after it
    const char* after;
    const char* output;
    Bytes expected;
  };
  const Case cases[] = {
      {"printf 'n\\n\\n' | ", "romext r.rom >&-", "r-ext.n64", rom},
      {"printf ' ' | ", "unyaz o.bin 2>&-", "o new.bin", bytes_of("A")},
      {"", "txt2msg /Q d.txt 2>&- </dev/null", "d.tbl", hex("00 00 00 04 00 00 00 00")},
  };
  for (const Case& c : cases) {
    const std::string command = std::string(c.before) + "'" + program("").string() + "'" + c.after;
    const auto r = shell(command, dir.path());
    EXPECT_EQ(r.exit_code, 0) << command << r.err;
    EXPECT_EQ(to_hex(read_bytes(dir / c.output)), to_hex(c.expected)) << command;
  }
}

#endif
