// Compiling a text dump: one message per line (or per tab-separated field), optionally after a
// line number and a tab.
#pragma once

#include <cstddef>
#include <cstdint>

#include "msgcore/archive.hpp"
#include "msgcore/diagnostics.hpp"
#include "msgcore/encoding.hpp"

namespace msg {

// Where the first message starts: after a UTF-8 byte-order mark (any first byte 0xEF is taken for
// one and three bytes are passed over), else at 0.
std::size_t first_message_offset(Source dump);

// The Unicode form other than UTF-8 whose byte-order mark `dump` begins with ("UTF-16" for FF FE
// or FE FF, "UTF-32" for FF FE 00 00 or 00 00 FE FF), or nullptr. Such a dump is no byte text: it
// is refused, never compiled as bytes.
const char* other_unicode_form(Source dump);

// Compiles the dump from `start` into `out`. With `line_numbers`, everything up to and including
// the first tab or line feed before each message is passed over. The first hex run or tag that the
// end of the dump cut off is noted in `unclosed` (the messages after it are compiled all the
// same). Stops where `out` says the body has grown too large. `out` is not finished.
void compile_dump(Source dump, std::size_t start, bool line_numbers, Diagnostics& diag,
                  ArchiveWriter& out, Unclosed* unclosed = nullptr);

// The same in memory.
Archive compile_dump(Source dump, std::size_t start, bool line_numbers, Diagnostics& diag,
                     std::uint64_t max_body = kMaxBody, Unclosed* unclosed = nullptr);

}  // namespace msg
