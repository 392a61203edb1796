// The tag encoder on arbitrary tag text (everything between '[' and ']').
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <vector>

#include "fuzz/check.hpp"
#include "msgcore/diagnostics.hpp"
#include "msgcore/tags.hpp"

namespace {

struct Encoded {
  std::uint32_t count;
  std::vector<std::uint8_t> bytes;
  unsigned long reports;
};

Encoded encode(std::span<const std::uint8_t> text, msg::DiagBuild build) {
  msg::Diagnostics diag(build, fuzz::quiet(), [] { return EOF; });
  // Bytes already in the body stay as they are.
  std::vector<std::uint8_t> out = {0xA5, 0x5A};
  const std::uint32_t count = msg::encode_tag(text, out, diag);
  FUZZ_CHECK(out.size() >= 2 && out[0] == 0xA5 && out[1] == 0x5A);
  out.erase(out.begin(), out.begin() + 2);
  return {count, std::move(out), diag.reports()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> text(data, size);
  const Encoded e = encode(text, msg::DiagBuild::text_dump);

  // A known tag writes exactly what it counts; an unknown one writes nothing and counts 2.
  FUZZ_CHECK(e.bytes.size() == e.count || (e.bytes.empty() && e.count == 2));
  // The longest output is the 21-byte date-and-time phrase; control sequences hold at most
  // 14 bytes (a six-choice menu) and start with the control prefix.
  FUZZ_CHECK(e.count >= 1 && e.count <= 21);
  if (e.bytes.size() >= 2) FUZZ_CHECK(e.bytes[0] == 0x7F && (e.count <= 14 || e.count == 21));

  // Only the first 50 bytes up to a NUL count: the cut text compiles the same, and so does the
  // text with anything appended beyond the cut.
  std::size_t cut = size < msg::kTagTextLimit ? size : msg::kTagTextLimit;
  if (const void* nul = std::memchr(data, 0, cut)) {
    cut = static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - data);
  }
  const Encoded shorter = encode(text.first(cut), msg::DiagBuild::text_dump);
  // Only a text longer than 50 bytes is told so.
  const unsigned long cut_said = size > msg::kTagTextLimit ? 1 : 0;
  FUZZ_CHECK(shorter.count == e.count && shorter.bytes == e.bytes &&
             shorter.reports + cut_said == e.reports);
  std::vector<std::uint8_t> longer(data, data + cut);
  longer.resize(msg::kTagTextLimit, 0);
  longer.insert(longer.end(), {'9', ' ', '1', ']'});
  const Encoded padded = encode(longer, msg::DiagBuild::text_dump);
  FUZZ_CHECK(padded.count == e.count && padded.bytes == e.bytes);

  // The SYLK build compiles every tag the same way.
  const Encoded sylk = encode(text, msg::DiagBuild::sylk);
  FUZZ_CHECK(sylk.count == e.count && sylk.bytes == e.bytes && sylk.reports == e.reports);
  return 0;
}
