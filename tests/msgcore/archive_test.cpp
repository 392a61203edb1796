#include <gtest/gtest.h>

#include "msgcore/archive.hpp"
#include "support/testsupport.hpp"

using testsupport::Bytes;
using testsupport::hex;

namespace {

// The files the writer makes of messages of `lengths` (bytes 0x01, 0x02, ... for message 1, 2...)
// in `table_mode`, streamed to sinks or kept in memory.
std::pair<Bytes, Bytes> written(const std::vector<std::uint32_t>& lengths, bool table_mode,
                                bool streamed) {
  Bytes body;
  Bytes index;
  auto keep = [](Bytes& into) {
    return [&into](std::span<const std::uint8_t> piece) {
      into.insert(into.end(), piece.begin(), piece.end());
    };
  };
  msg::ArchiveWriter out(table_mode, streamed ? msg::Sink(keep(body)) : msg::Sink(),
                         streamed ? msg::Sink(keep(index)) : msg::Sink());
  for (std::size_t k = 0; k < lengths.size(); ++k) {
    out.body().insert(out.body().end(), lengths[k], static_cast<std::uint8_t>(k + 1));
    EXPECT_TRUE(out.end_message());
  }
  out.finish();
  if (!streamed) return {out.body(), out.index()};
  EXPECT_TRUE(out.body().empty() && out.index().empty());
  return {body, index};
}

}  // namespace

TEST(ArchiveWriter, OffsetAndTableFilesInOnePieceOrStreamed) {
  struct Case {
    std::vector<std::uint32_t> lengths;
    const char* offsets;
    const char* table;
  };
  const Case cases[] = {
      {{5, 0, 12},
       "00 00 00 05 00 00 00 00 00 00 00 0C",
       "00 00 00 05 00 00 00 05 00 00 00 11 00 00 00 00"},
      {{0}, "00 00 00 00", "00 00 00 00 00 00 00 00"},
      {{}, "", "00 00 00 00"},
  };
  for (const auto& c : cases) {
    for (const bool streamed : {false, true}) {
      const auto [body, offsets] = written(c.lengths, false, streamed);
      EXPECT_EQ(offsets, hex(c.offsets));
      EXPECT_EQ(written(c.lengths, true, streamed).second, hex(c.table));
      Bytes expected;
      for (std::size_t k = 0; k < c.lengths.size(); ++k)
        expected.insert(expected.end(), c.lengths[k], static_cast<std::uint8_t>(k + 1));
      EXPECT_EQ(body, expected);
    }
  }
}

TEST(ArchiveWriter, StopsOnceTheBodyPassesItsLimitAndStreamsLargeArchivesInPieces) {
  msg::ArchiveWriter limited(true, {}, {}, 10);
  limited.body().resize(10);
  EXPECT_TRUE(limited.end_message());
  limited.body().resize(11);
  EXPECT_FALSE(limited.end_message());
  EXPECT_TRUE(limited.too_large());

  std::size_t pieces = 0;
  std::uint64_t streamed = 0;
  msg::ArchiveWriter out(false, [&](std::span<const std::uint8_t> piece) {
    ++pieces;
    streamed += piece.size();
  });
  for (int k = 0; k < 3000; ++k) {
    out.body().resize(out.body().size() + 1000);
    ASSERT_TRUE(out.end_message());
    ASSERT_LE(out.body().size(), std::size_t{2} << 20) << "the body is handed on as it grows";
  }
  out.finish();
  EXPECT_GT(pieces, 1u);
  EXPECT_EQ(streamed, 3000u * 1000u);
  EXPECT_EQ(out.messages(), 3000u);
}
