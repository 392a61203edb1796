#include "msgcore/dump.hpp"

#include <algorithm>

namespace msg {

std::size_t first_message_offset(Source dump) {
  if (!dump.empty() && dump[0] == 0xEF) return std::min<std::size_t>(3, dump.size());
  return 0;
}

void compile_dump(Source dump, std::size_t start, bool line_numbers, Diagnostics& diag,
                  ArchiveWriter& out, Unclosed* unclosed) {
  std::size_t pos = start;
  SourceIndex index(dump);
  for (;;) {
    if (line_numbers) pos = pass_terminator(dump, pos).next;
    const Message m = encode_text_message(dump, pos, out.body(), diag, index);
    if (unclosed != nullptr && m.unclosed) unclosed->note(m.unclosed.at, m.unclosed.opener);
    if (!out.end_message() || m.last) break;
    pos = m.next;
  }
}

Archive compile_dump(Source dump, std::size_t start, bool line_numbers, Diagnostics& diag,
                     std::uint64_t max_body, Unclosed* unclosed) {
  return compile_in_memory(
      [&](ArchiveWriter& out) {
        out.body().reserve(dump.size());
        compile_dump(dump, start, line_numbers, diag, out, unclosed);
      },
      max_body);
}

}  // namespace msg
