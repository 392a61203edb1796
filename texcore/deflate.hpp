// A deflate coder for large images, several times quicker than zlib's at some cost in size. Each
// piece of data becomes one block: Huffman-coded bytes and runs (bytes that repeat the bytes a
// fixed distance before them), or, where that would not halve it, stored as it is.
#pragma once

#include <array>
#include <cstdint>

#include "texcore/format.hpp"

namespace texcore {

// Continues the Adler-32 of zlib streams (start with 1) over `data`, several times quicker than
// zlib's own: 32 sums side by side.
std::uint32_t adler32(std::uint32_t adler, ByteSpan data);

class RunCoder {
 public:
  // Runs repeat the bytes `distance` (1 to 32768) before them.
  explicit RunCoder(unsigned distance);

  // Appends the zlib stream's header (before the first piece), the blocks of `data`, and after
  // the last piece the stream's end and its Adler-32.
  void add(ByteSpan data, bool last, Bytes& out);

 private:
  // A literal byte (below 256) or a run of kRun + length.
  static constexpr std::uint32_t kRun = 1u << 16;
  struct Code {
    std::uint32_t bits = 0;  // as written, lowest bit first
    std::uint8_t length = 0;
  };
  void tokenize(ByteSpan data);
  bool worth_coding(ByteSpan data);
  void put(std::uint32_t bits, unsigned count, std::uint8_t*& p);
  void flush_bits(std::uint8_t*& p);
  void write_stored(ByteSpan data, bool last, Bytes& out);
  void write_coded(bool last, Bytes& out);
  std::uint8_t* write_header(const std::array<std::uint8_t, 286>& lengths, std::uint8_t* p);

  unsigned distance_;
  std::uint32_t adler_ = 1;
  bool started_ = false;
  std::uint64_t acc_ = 0;  // bits not yet written, lowest first
  unsigned bits_ = 0;
  std::vector<std::uint32_t> tokens_;
  std::array<std::uint32_t, 286> freq_{};
  Bytes scratch_;
};

}  // namespace texcore
