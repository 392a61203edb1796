// Any archive, decompiled into a SYLK table and read again with slk2msg's own reader: the same
// archive, with no report, nothing left open, printable ASCII only.
#include <cstdint>

#include "fuzz/check.hpp"
#include "fuzz/decompile_check.hpp"
#include "msgcore/sylk.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Case c = fuzz::make_case(data, size);
  const std::string table = fuzz::decompile(c, msg::SourceForm::sylk, msg::check_cell);
  for (const char ch : table) FUZZ_CHECK((ch >= 0x20 && ch <= 0x7E) || ch == '\r' || ch == '\n');
  const msg::Source src(reinterpret_cast<const std::uint8_t*>(table.data()), table.size());
  msg::Diagnostics quiet = msg::Diagnostics::quiet();
  const msg::Table t = msg::read_table(src, c.line_numbers ? 2 : 1, quiet);
  FUZZ_CHECK(quiet.reports() == 0 && !t.unclosed && !t.ended_early);
  FUZZ_CHECK(t.archive.body == c.archive.body);
  FUZZ_CHECK(t.archive.lengths == c.archive.lengths);
  return 0;
}
