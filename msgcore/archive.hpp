// The message archive: a body file holding every encoded message back to back, and an index file
// that locates them, either as message lengths (offset file) or as running end offsets (table
// file, closed by one zero entry). Every number is an unsigned 32-bit big-endian word.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace msg {

using Body = std::vector<std::uint8_t>;

// The largest body the index can address: its offsets are 32-bit words.
inline constexpr std::uint64_t kMaxBody = 0xFFFFFFFFu;

// Why a too large archive is not written.
inline constexpr const char* kTooLarge =
    "the message body would pass 4 GiB, more than the index can address; nothing written";

// Receives a file of the archive in pieces, so that a large archive need not be held whole.
using Sink = std::function<void(std::span<const std::uint8_t>)>;

// Writes an archive as its messages are compiled: the compiler appends each message's bytes to
// body() and then calls end_message(). Without a sink, a file is kept whole in memory (body(),
// index()); with one, it goes to the sink in pieces of about a megabyte. Compiling stops once the
// body passes `max_body` bytes. (A hex run or tag that runs on past its line is encoded again by
// every later message that reaches it, so a small source can make a very large body.)
class ArchiveWriter {
 public:
  explicit ArchiveWriter(bool table_mode, Sink body_sink = {}, Sink index_sink = {},
                         std::uint64_t max_body = kMaxBody);

  // Where the message being compiled is appended.
  Body& body() { return body_; }
  // Ends the message: its length is what was appended since the last end. False once the body has
  // passed the limit (too_large()): the compiler stops there.
  bool end_message();
  // After the last message: hands out what is held, with the table's closing zero word.
  void finish();

  bool too_large() const { return too_large_; }
  std::size_t messages() const { return messages_; }
  // The index so far (without an index sink).
  const std::vector<std::uint8_t>& index() const { return index_; }

 private:
  bool table_mode_;
  Sink body_sink_;
  Sink index_sink_;
  std::uint64_t max_body_;
  Body body_;
  std::vector<std::uint8_t> index_;
  std::uint64_t passed_on_ = 0;  // body bytes already given to the sink
  std::size_t start_ = 0;        // where the current message starts in body_
  std::uint32_t end_ = 0;        // the running end offset, as the table's 32-bit words keep it
  std::size_t messages_ = 0;
  bool too_large_ = false;
};

// A whole archive compiled in memory, as tests and tools check it.
struct Archive {
  Body body;
  std::vector<std::uint32_t> lengths;  // one per message, in source order
  bool too_large = false;
};

// Runs `compile` into an offset-form writer kept in memory and returns what it wrote.
Archive compile_in_memory(const std::function<void(ArchiveWriter&)>& compile,
                          std::uint64_t max_body = kMaxBody);

}  // namespace msg
