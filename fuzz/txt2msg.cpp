// The text-dump encoding loop and the whole txt2msg compile (in memory) of an arbitrary dump.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include "fuzz/archive_check.hpp"
#include "fuzz/check.hpp"
#include "msgcore/dump.hpp"
#include "msgcore/encoding.hpp"

namespace {

// Within one message no source byte grows into more than a few body bytes: the longest tag output
// (21 bytes) needs at least five bytes of tag text, an unknown tag two bytes (one when the source
// ends in '['). A hex run or tag that runs on past its line is encoded again by each later message
// that reaches it, so the whole body may grow with the square of the source.
constexpr std::uint64_t kMaxGrowth = 5;

// The same compile stopped at `limit` body bytes stops at the first message that passes it, with
// everything before it as in the whole compile.
void check_limit(const msg::Archive& whole, const msg::Archive& limited, std::uint64_t limit) {
  FUZZ_CHECK(limited.too_large == (whole.body.size() > limit));
  if (!limited.too_large) {
    FUZZ_CHECK(limited.lengths == whole.lengths && limited.body == whole.body);
    return;
  }
  FUZZ_CHECK(limited.body.size() > limit);
  FUZZ_CHECK(limited.body.size() - limited.lengths.back() <= limit);
  FUZZ_CHECK(limited.lengths.size() <= whole.lengths.size());
  FUZZ_CHECK(limited.body.size() <= whole.body.size());
  FUZZ_CHECK(std::equal(limited.lengths.begin(), limited.lengths.end(), whole.lengths.begin()));
  FUZZ_CHECK(std::equal(limited.body.begin(), limited.body.end(), whole.body.begin()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const msg::Source src(data, size);
  msg::Diagnostics diag(msg::DiagBuild::text_dump, fuzz::quiet(), [] { return EOF; });
  diag.locate("fuzz", src);  // every report names its place, in whatever order it comes

  // One message at the start: the body grows by exactly the length returned, and encoding goes
  // on after the message (or the source is done).
  msg::Body body = {0x11, 0x22, 0x33};
  const msg::Message m = msg::encode_text_message(src, 0, body, diag);
  FUZZ_CHECK(body.size() == 3 + std::uint64_t{m.length});
  FUZZ_CHECK(body[0] == 0x11 && body[1] == 0x22 && body[2] == 0x33);
  FUZZ_CHECK(m.next <= size);
  FUZZ_CHECK(m.last || m.next > 0);
  FUZZ_CHECK(m.length <= kMaxGrowth * size + 2);

  // With one index shared by messages that start anywhere, in any order, every message is
  // encoded as without it.
  msg::SourceIndex index(src);
  for (std::size_t at = size; at-- > 0;) {
    if (at % (size / 16 + 1) != 0) continue;
    msg::Body plain;
    msg::Body indexed;
    const msg::Message a = msg::encode_text_message(src, at, plain, diag);
    const msg::Message b = msg::encode_text_message(src, at, indexed, diag, index);
    FUZZ_CHECK(plain == indexed && a.length == b.length && a.next == b.next && a.last == b.last);
    FUZZ_CHECK(a.unclosed.at == b.unclosed.at && a.unclosed.opener == b.unclosed.opener);
  }

  const std::size_t start = msg::first_message_offset(src);
  FUZZ_CHECK(start <= size && start <= 3);
  for (const bool line_numbers : {false, true}) {
    const msg::Archive archive = msg::compile_dump(src, start, line_numbers, diag);
    fuzz::check_archive(archive);
    // Every message but the last takes at least its terminator.
    FUZZ_CHECK(!archive.too_large);
    FUZZ_CHECK(!archive.lengths.empty() && archive.lengths.size() <= size + 1);
    for (const std::uint32_t length : archive.lengths) {
      FUZZ_CHECK(length <= kMaxGrowth * size + 2);
    }
    const std::uint64_t limit = size / 2;
    check_limit(archive, msg::compile_dump(src, start, line_numbers, diag, limit), limit);

    // Streaming both files gives the same archive, and the table form.
    std::vector<std::uint8_t> body;
    std::vector<std::uint8_t> table;
    msg::ArchiveWriter out(
        true, [&body](auto piece) { body.insert(body.end(), piece.begin(), piece.end()); },
        [&table](auto piece) { table.insert(table.end(), piece.begin(), piece.end()); });
    msg::compile_dump(src, start, line_numbers, diag, out);
    out.finish();
    FUZZ_CHECK(body == archive.body);
    FUZZ_CHECK(table == fuzz::rewritten_index(archive, true));
  }
  return 0;
}
