// The SYLK table reader and the SYLK message loop on an arbitrary table.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/archive_check.hpp"
#include "fuzz/check.hpp"
#include "msgcore/number.hpp"
#include "msgcore/sylk.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const msg::Source src(data, size);
  msg::Diagnostics diag(msg::DiagBuild::sylk, fuzz::quiet(), [] { return EOF; });
  diag.locate("fuzz", src);  // every report names its place, in whatever order it comes

  // One value: the body grows by exactly the length returned; a table without quoted text gives
  // nothing.
  msg::Body body = {0x44, 0x55};
  const msg::SylkMessage m = msg::encode_sylk_message(src, 0, body, diag);
  FUZZ_CHECK(body.size() == 2 + std::uint64_t{m.length});
  FUZZ_CHECK(body[0] == 0x44 && body[1] == 0x55);
  // The longest tag output is 21 bytes from at least five bytes of tag text.
  FUZZ_CHECK(m.length <= 5 * std::uint64_t{size} + 2);

  // With one index shared by values that start anywhere, in any order, every value is encoded
  // as without it.
  msg::SourceIndex index(src);
  for (std::size_t at = size; at-- > 0;) {
    if (at % (size / 16 + 1) != 0) continue;
    msg::Body plain;
    msg::Body indexed;
    const msg::SylkMessage a = msg::encode_sylk_message(src, at, plain, diag);
    const msg::SylkMessage b = msg::encode_sylk_message(src, at, indexed, diag, index);
    FUZZ_CHECK(plain == indexed && a.length == b.length);
    FUZZ_CHECK(a.unclosed.at == b.unclosed.at && a.unclosed.opener == b.unclosed.opener);
  }

  for (const int column : {1, 2}) {
    const msg::Table table = msg::read_table(src, column, diag);
    fuzz::check_archive(table.archive);
    FUZZ_CHECK(!table.archive.too_large);
    // A value's hex run or tag may run on into later values, which encode it again: each message
    // alone stays within the bound of the message loop.
    for (const std::uint32_t length : table.archive.lengths) {
      FUZZ_CHECK(length <= 5 * std::uint64_t{size} + 2);
    }
    // Stopped at a limit: the same messages up to the first that passes it.
    const std::uint64_t limit = size / 2;
    const msg::Table limited = msg::read_table(src, column, diag, limit);
    const msg::Archive& whole = table.archive;
    FUZZ_CHECK(limited.archive.too_large == (whole.body.size() > limit));
    if (limited.archive.too_large) {
      FUZZ_CHECK(limited.archive.body.size() - limited.archive.lengths.back() <= limit);
      FUZZ_CHECK(limited.archive.lengths.size() <= whole.lengths.size());
      FUZZ_CHECK(limited.archive.body.size() <= whole.body.size());
      FUZZ_CHECK(std::equal(limited.archive.lengths.begin(), limited.archive.lengths.end(),
                            whole.lengths.begin()));
      FUZZ_CHECK(
          std::equal(limited.archive.body.begin(), limited.archive.body.end(), whole.body.begin()));
    } else {
      FUZZ_CHECK(limited.archive.lengths == whole.lengths && limited.archive.body == whole.body);
    }
    // Each message is a K item of its own, and every item but the last takes its ';' or line end.
    FUZZ_CHECK(table.archive.lengths.size() <= size / 2 + 1);
    if (size == 0) FUZZ_CHECK(table.ended_early);
  }

  // Item numbers read as strtol reads them, saturated to the 32-bit range.
  const std::string text(data, data + size);
  const long long expected = std::strtoll(text.c_str(), nullptr, 10);
  const long long clamped = expected > INT32_MAX   ? INT32_MAX
                            : expected < INT32_MIN ? INT32_MIN
                                                   : expected;
  FUZZ_CHECK(msg::parse_number(text, 10) == clamped);
  return 0;
}
