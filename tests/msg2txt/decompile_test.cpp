// Whole archives decompiled in memory and compiled again with the text-dump compiler.
#include <gtest/gtest.h>

#include <random>

#include "msgcore/decompile_support.hpp"
#include "msgcore/dump.hpp"
#include "support/testsupport.hpp"

TEST(Msg2txtDecompile, RandomArchivesCompileBackSilentlyAndDecompileToTheSameSource) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 400; ++trial) {
    const msg::Archive a = decompile_support::random_archive(rng, 12);
    if (a.lengths.empty()) continue;  // a dump holds one message at least
    for (const bool line_numbers : {true, false}) {
      const msg::Layout layout{msg::SourceForm::dump, line_numbers, msg::check_dump_line};
      const std::string source = decompile_support::source_of(a, layout);
      const testsupport::Bytes src = testsupport::bytes_of(source);
      msg::Diagnostics quiet = msg::Diagnostics::quiet();
      msg::Unclosed unclosed;
      const msg::Archive again = msg::compile_dump(src, msg::first_message_offset(src),
                                                   line_numbers, quiet, msg::kMaxBody, &unclosed);
      ASSERT_EQ(again.lengths, a.lengths) << source;
      ASSERT_EQ(again.body, a.body) << source;
      EXPECT_EQ(quiet.reports(), 0u) << source;
      EXPECT_FALSE(unclosed) << source;
      EXPECT_EQ(decompile_support::source_of(again, layout), source);
    }
  }
}
