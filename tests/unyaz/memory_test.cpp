// unyaz with less memory than its output needs: it stops at once with one line, however the
// output grows (a system limit on the address space stands in for a small machine).
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/testsupport.hpp"

using namespace testsupport;

namespace {

// A Yaz0 file of 1 + 273 * `copies` zero bytes: a literal, then copies of 273 bytes from 1 back.
Bytes zeros_file(std::uint32_t copies) {
  const std::uint32_t size = 1 + 273 * copies;
  Bytes f = {'Y', 'a', 'z', '0'};
  for (int s = 24; s >= 0; s -= 8) f.push_back(static_cast<std::uint8_t>(size >> s));
  f.resize(16, 0);
  for (std::uint32_t token = 0; token <= copies; ++token) {
    if (token % 8 == 0) f.push_back(token == 0 ? 0x80 : 0x00);
    if (token == 0) {
      f.push_back(0);
    } else {
      f.insert(f.end(), {0x00, 0x00, 0xFF});
    }
  }
  return f;
}

}  // namespace

TEST(UnyazMemory, RunningOutOfMemoryStopsAtOnceWithOneLine) {
#ifdef _WIN32
  GTEST_SKIP() << "needs a POSIX shell's ulimit";
#endif
  const char* runner = std::getenv("TOOLKIT_RUNNER");
  if (kSanitized || (runner != nullptr && *runner != '\0')) {
    GTEST_SKIP() << "an address-space limit needs the plain program";
  }
  TempDir dir;
  write_bytes(dir / "zeros.szs", zeros_file(366300));  // 99 999 901 bytes
  // 90 000 KiB cannot hold 100 MB: before, the output then grew by a few KiB at a time, copying
  // all of it each time (about 20 s); now it gives up as soon as it cannot grow by an eighth.
  const auto r =
      run("/bin/sh",
          {"-c", "ulimit -v 90000 && exec \"$0\" zeros.szs zeros.out", program("unyaz").string()},
          "", dir.path(), 10);
  EXPECT_EQ(r.exit_code, 255);
  EXPECT_NE(r.err.find("unyaz: zeros.szs: not enough memory for the output of 99999901 bytes"),
            std::string::npos)
      << r.err;
  // Unlike after a fault in the file, nothing is kept: a part would pass for the whole.
  EXPECT_NE(r.err.find("; nothing written\n"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(dir / "zeros.out"));
}
