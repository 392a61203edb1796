// The text-dump compiler: one message per line (or per tab-separated field), optionally after a
// line number and a tab, into a message archive.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "msgcore/archive.hpp"
#include "msgcore/diagnostics.hpp"
#include "msgcore/encoding.hpp"

namespace txt2msg {

// Where the first message starts: after a UTF-8 byte-order mark (any first byte 0xEF is taken for
// one and three bytes are passed over), else at 0.
std::size_t first_message_offset(std::span<const std::uint8_t> dump);

// Receives the body in pieces, so that a large dump's body need not be held whole.
using BodySink = msg::BodySink;

// Compiles the dump from `start`. With `line_numbers`, everything up to and including the first
// tab or line feed before each message is passed over. Without a `sink`, the whole body is
// returned in the archive; with one, the body goes to it (in pieces of about a megabyte) and the
// archive holds the lengths only; with a `length_sink` too, the lengths go to it in pieces and the
// archive holds none. The first hex run or tag that the end of the dump cut off is
// noted in `unclosed` (the messages after it are compiled all the same). Compiling stops, with
// `too_large` set, once the body passes `max_body` bytes.
msg::Archive compile_dump(std::span<const std::uint8_t> dump, std::size_t start, bool line_numbers,
                          msg::Diagnostics& diag, const BodySink& sink = {},
                          msg::Unclosed* unclosed = nullptr, std::uint64_t max_body = msg::kMaxBody,
                          const msg::LengthSink& length_sink = {});

// The whole program; returns the exit status.
int run(const std::vector<std::string>& args);

}  // namespace txt2msg
