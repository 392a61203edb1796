#include "yazcore/encode.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#include "base/bytes.hpp"
#include "yazcore/classic.hpp"
#include "yazcore/longest.hpp"
#include "yazcore/match.hpp"

namespace yazcore {
namespace {

using namespace detail;

// Token sinks: where the parsers put what they choose.

class Yaz0Writer {
 public:
  Yaz0Writer(std::uint32_t size, std::size_t expected) {
    out_.reserve(expected + expected / 8 + kHeaderSize + 8);
    out_.resize(kHeaderSize, 0);
    std::memcpy(out_.data(), kYaz0Signature, 4);
    bytes::store_be32(out_.data() + 4, size);
  }
  void literal(std::uint8_t byte) {
    flag(true);
    out_.push_back(byte);
  }
  void copy(std::size_t length, std::size_t distance) {
    flag(false);
    const std::uint16_t link = link_of(length, distance);
    out_.push_back(static_cast<std::uint8_t>(link >> 8));
    out_.push_back(static_cast<std::uint8_t>(link));
    if (length > kMaxShort) out_.push_back(static_cast<std::uint8_t>(length - kLongBias));
  }
  Bytes finish() { return std::move(out_); }

 private:
  void flag(bool literal) {
    if (count_ % kGroupTokens == 0) {
      flag_at_ = out_.size();
      out_.push_back(0);
    }
    if (literal) out_[flag_at_] |= static_cast<std::uint8_t>(0x80u >> (count_ % kGroupTokens));
    ++count_;
  }
  Bytes out_;
  std::size_t flag_at_ = 0;
  std::size_t count_ = 0;
};

// Yay0, or MIO0 (its copies are never long).
class Yay0Writer {
 public:
  // The chunks are kept in the buffer that becomes the file (room for the most a file can take:
  // a byte and a bit for every input byte), and moved behind the header, masks and links at the
  // end, so that the file is never held twice.
  Yay0Writer(std::uint32_t size, std::size_t expected, bool mio0) : size_(size), mio0_(mio0) {
    chunks_.reserve(expected + expected / 8 + kHeaderSize + 8);
    links_.reserve(expected / 4);
  }
  void literal(std::uint8_t byte) {
    flag(true);
    chunks_.push_back(byte);
  }
  void copy(std::size_t length, std::size_t distance) {
    flag(false);
    const std::uint16_t link = mio0_ ? mio0_link_of(length, distance) : link_of(length, distance);
    links_.push_back(static_cast<std::uint8_t>(link >> 8));
    links_.push_back(static_cast<std::uint8_t>(link));
    if (!mio0_ && length > kMaxShort) {
      chunks_.push_back(static_cast<std::uint8_t>(length - kLongBias));
    }
  }
  Bytes finish() {
    const std::size_t link_at = kHeaderSize + 4 * masks_.size();
    const std::size_t chunk_at = link_at + links_.size();
    const std::size_t chunks = chunks_.size();
    Bytes out = std::move(chunks_);
    out.resize(chunk_at + chunks);
    std::copy_backward(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(chunks), out.end());
    std::memcpy(out.data(), mio0_ ? kMio0Signature : kYay0Signature, 4);
    bytes::store_be32(&out[4], size_);
    bytes::store_be32(&out[8], static_cast<std::uint32_t>(link_at));
    bytes::store_be32(&out[12], static_cast<std::uint32_t>(chunk_at));
    for (std::size_t i = 0; i < masks_.size(); ++i)
      bytes::store_be32(&out[kHeaderSize + 4 * i], masks_[i]);
    std::copy(links_.begin(), links_.end(), out.begin() + static_cast<std::ptrdiff_t>(link_at));
    return out;
  }

 private:
  void flag(bool literal) {
    if (count_ % kMaskTokens == 0) masks_.push_back(0);
    if (literal) masks_.back() |= 0x80000000u >> (count_ % kMaskTokens);
    ++count_;
  }
  std::uint32_t size_;
  bool mio0_;
  std::vector<std::uint32_t> masks_;
  Bytes links_;
  Bytes chunks_;
  std::size_t count_ = 0;
};

class TokenList {
 public:
  void literal(std::uint8_t) { tokens_.push_back({}); }
  void copy(std::size_t length, std::size_t distance) {
    tokens_.push_back({static_cast<std::uint16_t>(length), static_cast<std::uint16_t>(distance)});
  }
  std::vector<Token> finish() { return std::move(tokens_); }

 private:
  std::vector<Token> tokens_;
};

// Gives `tokens`, which spell out `data` from `pos` on, to `sink`; returns the position after them.
template <class Sink>
std::size_t replay(ByteSpan data, std::span<const Token> tokens, Sink& sink, std::size_t pos = 0) {
  for (const Token& t : tokens) {
    if (t.length == 0) {
      sink.literal(data[pos++]);
    } else {
      sink.copy(t.length, t.distance);
      pos += t.length;
    }
  }
  return pos;
}

template <class Sink>
void parse_classic(ByteSpan data, Sink& sink, const Progress& progress, unsigned threads = 0) {
  std::size_t pos = 0;
  detail::parse_classic(
      data, threads, [&](std::span<const Token> tokens) { pos = replay(data, tokens, sink, pos); },
      progress);
}

// The payload bytes and the number of tokens of a parse in `format`.
struct ParseSize {
  explicit ParseSize(Format format) : max_short(short_limit(format)) {}
  std::size_t max_short;
  std::uint64_t payload = 0;
  std::uint64_t tokens = 0;
  void add(std::size_t length) {
    payload += length == 0 ? 1 : length > max_short ? 3 : 2;
    ++tokens;
  }
};

// The size of the parse given as the length of the token at each position where one starts
// (0: a literal), as choose_best leaves it.
ParseSize parse_size(std::span<const std::uint16_t> chosen, Format format) {
  ParseSize size(format);
  for (std::size_t pos = 0; pos < chosen.size(); pos += chosen[pos] == 0 ? 1 : chosen[pos]) {
    size.add(chosen[pos]);
  }
  return size;
}

// The size of classic mode's parse, from the longest match at every position: its choices depend
// on the lengths alone (a match at p, unless the one at p + 1 is at least two bytes longer, which
// then follows a literal).
ParseSize classic_size(std::span<const std::uint16_t> longest, Format format) {
  ParseSize size(format);
  const std::size_t n = longest.size();
  for (std::size_t pos = 0; pos < n;) {
    const std::size_t here = longest[pos];
    const std::size_t next = pos + 1 < n ? longest[pos + 1] : 0;
    if (here == 0) {
      size.add(0);
      ++pos;
    } else if (next >= here + 2) {
      size.add(0);
      size.add(next);
      pos += 1 + next;
    } else {
      size.add(here);
      pos += here;
    }
  }
  return size;
}

std::uint64_t file_size(const ParseSize& size, Format format) {
  const std::uint64_t flags = format == Format::yaz0
                                  ? (size.tokens + kGroupTokens - 1) / kGroupTokens
                                  : (size.tokens + kMaskTokens - 1) / kMaskTokens * 4;
  return kHeaderSize + size.payload + flags;
}

// Gives the tokens that `chosen` holds (its lengths replaced by the parse's choices) to `sink`.
template <class Sink>
void replay_best(ByteSpan data, const Longest& chosen, Sink& sink) {
  for (std::size_t pos = 0; pos < data.size();) {
    const std::size_t length = chosen.length[pos];
    if (length == 0) {
      sink.literal(data[pos]);
      ++pos;
    } else {
      sink.copy(length, chosen.distance[pos]);
      pos += length;
    }
  }
}

template <class Sink>
void parse_best(ByteSpan data, Format format, Sink& sink, const Progress& progress,
                unsigned threads = 0) {
  if (format != Format::yay0) {
    replay_best(
        data,
        find_and_choose_best(data, progress, threads, short_limit(format), format != Format::mio0),
        sink);
    return;
  }
  Longest longest = find_longest(data, progress, threads);
  // Yay0 spends its flags in words of 32 tokens, so the fewest bits may be up to 3 bytes more than
  // the fewest bytes: where classic mode's choices (which follow from the same lengths) make a
  // smaller file, they are made instead. (Classic choices can be longer than MIO0's copies.)
  const std::uint64_t classic =
      format == Format::yay0 ? file_size(classic_size(longest.length, format), format) : 0;
  choose_best(longest, short_limit(format), true);
  if (classic < file_size(parse_size(longest.length, format), format)) {
    parse_classic(data, sink, progress, threads);
    return;
  }
  replay_best(data, longest, sink);
}

template <class Sink>
void parse(ByteSpan data, Format format, Mode mode, Sink& sink, const Progress& progress) {
  if (mode == Mode::best || format == Format::mio0) {
    parse_best(data, format, sink, progress);
  } else {
    parse_classic(data, sink, progress);
  }
}

}  // namespace

std::vector<Token> classic_tokens(ByteSpan data, unsigned threads) {
  TokenList list;
  parse_classic(data, list, {}, threads);
  return list.finish();
}

std::vector<Token> best_tokens(ByteSpan data, Format format, unsigned threads) {
  TokenList list;
  parse_best(data, format, list, {}, threads);
  return list.finish();
}

std::uint64_t encoded_size(std::span<const Token> tokens, Format format) {
  ParseSize size(format);
  for (const Token& t : tokens) size.add(t.length);
  return file_size(size, format);
}

namespace {

// The file of `data` in `format`, its tokens given to the format's writer by `fill(writer)`.
template <class Fill>
Bytes write_as(ByteSpan data, Format format, Fill fill) {
  const auto size = static_cast<std::uint32_t>(data.size());
  if (format == Format::yaz0) {
    Yaz0Writer writer(size, data.size());
    fill(writer);
    return writer.finish();
  }
  Yay0Writer writer(size, data.size(), format == Format::mio0);
  fill(writer);
  return writer.finish();
}

}  // namespace

Bytes write_file(ByteSpan data, std::span<const Token> tokens, Format format) {
  return write_as(data, format, [&](auto& writer) { replay(data, tokens, writer); });
}

Bytes encode(ByteSpan data, Format format, Mode mode, const Progress& progress) {
  return write_as(data, format, [&](auto& writer) { parse(data, format, mode, writer, progress); });
}

}  // namespace yazcore
