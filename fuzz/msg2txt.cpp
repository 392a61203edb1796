// Any archive, decompiled into a dump and compiled again with txt2msg's own compile: the same
// archive, with no report and nothing left open.
#include <cstdint>

#include "fuzz/check.hpp"
#include "fuzz/decompile_check.hpp"
#include "msgcore/dump.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fuzz::Case c = fuzz::make_case(data, size);
  const std::string source = fuzz::decompile(c, msg::SourceForm::dump, msg::check_dump_line);
  const msg::Source src(reinterpret_cast<const std::uint8_t*>(source.data()), source.size());
  msg::Diagnostics quiet = msg::Diagnostics::quiet();
  msg::Unclosed unclosed;
  const msg::Archive again = msg::compile_dump(src, msg::first_message_offset(src), c.line_numbers,
                                               quiet, msg::kMaxBody, &unclosed);
  FUZZ_CHECK(quiet.reports() == 0 && !unclosed);
  FUZZ_CHECK(again.body == c.archive.body);
  // An empty archive's dump compiles to one empty message, as the program says.
  if (c.archive.lengths.empty()) {
    FUZZ_CHECK(again.lengths == std::vector<std::uint32_t>{0});
  } else {
    FUZZ_CHECK(again.lengths == c.archive.lengths);
  }
  return 0;
}
