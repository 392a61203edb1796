// Yaz0, Yay0 and MIO0 decoding over bytes in memory (the formats: format.hpp).
//
// A file with any other signature may be decoded as Yaz0 with a 12-byte header: 4 bytes of
// signature, 4 bytes passed over, u32 output size.
//
// Decoding ends after the token that completes the output; whatever follows is not read. A header
// that gives an output size of 0 stands for an empty file: it decodes to nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "yazcore/format.hpp"

namespace yazcore {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

enum class Status {
  done,           // the output is complete
  short_read,     // the input ended before the output was complete
  bad_reference,  // a copy reaches before the start of the output
  overrun,        // a copy would run past the output size
  bad_table,      // a Yay0 or MIO0 table offset lies outside the file
  no_memory,      // the output cannot be held in memory
};

enum class Layout { yaz0, yay0, mio0, other };

// The layout named by the first four bytes (which must be there).
Layout classify(ByteSpan file);

// The output: one block that grows with the bytes actually produced, up to the size the header
// gives. The block always has a few spare bytes past its capacity, so that copies may move whole
// words and run a little past their end.
class Output {
 public:
  static constexpr std::size_t kSpare = 16;

  explicit Output(std::uint32_t limit) : limit_(limit) {}
  std::uint8_t* data() { return block_.get(); }
  const std::uint8_t* data() const { return block_.get(); }
  std::size_t size() const { return size_; }
  std::size_t capacity() const { return capacity_; }
  std::uint32_t limit() const { return limit_; }
  bool complete() const { return size_ >= limit_; }
  void set_size(std::size_t size) { size_ = size; }
  ByteSpan bytes() const { return {block_.get(), size_}; }

  // Makes room for at least `capacity` bytes (never more than the limit is kept). False when
  // memory runs out; the bytes already there stay.
  bool reserve(std::size_t capacity);

  // Makes room for `room` more bytes after the first `size` (never past the limit), which are
  // kept. The block grows geometrically: by doubling, or, when memory cannot hold that, by a
  // half, a quarter or an eighth, so that the bytes copied while it grows stay proportional to
  // the output. False when memory cannot give even that.
  bool make_room(std::size_t size, std::size_t room);

 private:
  struct Free {
    void operator()(std::uint8_t* block) const;
  };
  std::unique_ptr<std::uint8_t, Free> block_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
  std::uint32_t limit_;
};

// What a decoding did: `at` is the offset (in the span given) of the token where decoding stopped
// with a fault.
struct Step {
  Status status = Status::done;
  std::size_t at = 0;
};

// Decodes the whole Yaz0 token stream `in` (the file after its header), appending to `out`.
Step yaz0dec(ByteSpan in, Output& out);

// Decodes a whole Yay0 file (header included) whose tables start at `link` and `chunk`; fault
// offsets are file offsets.
Step yay0dec(ByteSpan file, std::uint32_t link, std::uint32_t chunk, Output& out);

// The same for a MIO0 file.
Step mio0dec(ByteSpan file, std::uint32_t link, std::uint32_t chunk, Output& out);

// A file's header as far as decoding needs it.
struct Header {
  Status status = Status::done;  // done, short_read or bad_table
  std::uint64_t at = 0;          // offset of the faulty field
  std::uint64_t value = 0;       // its value
  std::uint32_t size = 0;        // the output size
  std::size_t start = 0;         // where the token stream (Yay0, MIO0: the mask words) begins
  std::uint32_t link = 0;        // Yay0 and MIO0 table offsets
  std::uint32_t chunk = 0;
};

// Reads the header of a file laid out as `layout` (`other`: the forced layout) from its first
// bytes `head`; `file_size` is the size of the whole file.
Header read_header(ByteSpan head, std::uint64_t file_size, Layout layout);

// How much output to make room for before decoding: what the header claims, but never more than
// a file of `file_size` bytes could produce.
std::size_t initial_capacity(std::uint32_t claimed, std::uint64_t file_size);

// Gives `out` its initial capacity for a file of `file_size` bytes, or, when memory cannot hold
// that at once, a small start. False only when even that fails.
bool reserve_initial(Output& out, std::uint64_t file_size);

// Decodes the whole file `file` after its header `h` (read as `layout`) into `out`, having first
// given `out` its initial capacity (Status::no_memory at the stream's start when it cannot).
// Fault offsets are file offsets.
Step decode_body(ByteSpan file, Layout layout, const Header& h, Output& out);

// The result of decoding a whole file in memory.
struct Decoded {
  Status status = Status::done;
  std::uint64_t at = 0;     // file offset of the fault
  std::uint64_t value = 0;  // the faulty header value (bad_table)
  std::uint32_t size = 0;   // output size from the header
  Bytes out;                // the bytes produced (all of them, or those before the fault)
};

// Decodes a whole file; a file with another signature is decoded in the forced layout (callers
// ask the user first).
Decoded decode(ByteSpan file);

// One line (without the program name) describing a fault of `file_name`.
std::string describe(const std::string& file_name, Status status, std::uint64_t at,
                     std::uint64_t value, std::uint32_t size);

}  // namespace yazcore
