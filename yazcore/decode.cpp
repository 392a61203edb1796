#include "yazcore/decode.hpp"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/bytes.hpp"
#include "common/memory.hpp"

namespace yazcore {
namespace {

// A Yaz0 group: a flag byte and eight three-byte copies at most; eight longest copies.
constexpr std::size_t kGroupInput = 1 + std::size_t{kGroupTokens} * 3;
constexpr std::size_t kGroupOutput = std::size_t{kGroupTokens} * kMaxCopy;
// A Yay0 mask word governs 32 tokens.
constexpr std::size_t kMaskOutput = std::size_t{kMaskTokens} * kMaxCopy;

inline void copy8(std::uint8_t* to, const std::uint8_t* from) { std::memcpy(to, from, 8); }
inline void copy16(std::uint8_t* to, const std::uint8_t* from) { std::memcpy(to, from, 16); }

// Copies `len` bytes from `dist` bytes back, byte after byte in effect: a distance shorter than
// the length repeats what the copy has just written. Moves whole words and may write up to 15
// bytes past the end (the output keeps spare bytes for that); those bytes are overwritten later.
inline void copy_match(std::uint8_t* to, std::size_t dist, std::size_t len) {
  const std::uint8_t* from = to - dist;
  if (dist >= 16) {
    for (std::size_t i = 0; i < len; i += 16) copy16(to + i, from + i);
  } else if (dist >= 8) {
    for (std::size_t i = 0; i < len; i += 8) copy8(to + i, from + i);
  } else if (dist == 1) {
    const std::uint64_t fill = 0x0101010101010101ull * *from;
    for (std::size_t i = 0; i < len; i += 8) std::memcpy(to + i, &fill, 8);
  } else {
    // The output repeats with period `dist`, so it also repeats with the first multiple of
    // `dist` that is at least 8: once that many bytes back lie inside the pattern, whole words
    // can be copied from there.
    const std::size_t period = (8 + dist - 1) / dist * dist;
    const std::size_t head = std::min(period - dist, len);
    for (std::size_t i = 0; i < head; ++i) to[i] = from[i];
    for (std::size_t i = head; i < len; i += 8) copy8(to + i, to + i - period);
  }
}

}  // namespace

Layout classify(ByteSpan file) {
  if (file.size() >= 4 && std::memcmp(file.data(), kYaz0Signature, 4) == 0) return Layout::yaz0;
  if (file.size() >= 4 && std::memcmp(file.data(), kYay0Signature, 4) == 0) return Layout::yay0;
  if (file.size() >= 4 && std::memcmp(file.data(), kMio0Signature, 4) == 0) return Layout::mio0;
  return Layout::other;
}

void Output::Free::operator()(std::uint8_t* block) const { std::free(block); }

bool Output::reserve(std::size_t capacity) {
  capacity = std::min<std::size_t>(capacity, limit_);
  if (block_ && capacity <= capacity_) return true;
  // realloc keeps the bytes and, for large blocks, usually moves pages instead of copying them,
  // so growing needs little more memory than the grown block.
  void* bigger = std::realloc(block_.get(), capacity + kSpare);
  if (bigger == nullptr) return false;
  (void)block_.release();
  block_.reset(static_cast<std::uint8_t*>(bigger));
  memory::advise_large_block(block_.get(), capacity + kSpare);
  capacity_ = capacity;
  return true;
}

bool Output::make_room(std::size_t size, std::size_t room) {
  const std::size_t need = size + std::min<std::size_t>(room, limit_ - size);
  if (need <= capacity_ && block_) return true;
  size_ = size;  // the bytes to keep
  for (int shift = 0; shift <= 3; ++shift) {
    const std::size_t step = std::max(need, capacity_ + (capacity_ >> shift));
    if (reserve(step)) return true;
    if (step == need) break;
  }
  return false;
}

namespace {

// Checks a copy against the output produced so far and the output size, then makes it.
inline Status put_copy(std::uint8_t* o, std::size_t& op, std::size_t limit, std::size_t dist,
                       std::size_t len) {
  if (dist > op) return Status::bad_reference;
  if (len > limit - op) return Status::overrun;
  copy_match(o + op, dist, len);
  op += len;
  return Status::done;
}

// Decodes one Yaz0 group: a flag byte and up to eight tokens, stopping early once the output is
// complete. `checked`: the input may end inside the group, so each byte is checked before it is
// read, and a token the input cannot complete writes nothing. Otherwise the caller has made sure
// the whole group is there. Returns true when the group is done and more output is due; else
// `status` says why decoding ends (done, or a fault met at `token`).
template <bool checked>
inline bool yaz0_group(const std::uint8_t*& ip, const std::uint8_t* end, std::uint8_t* o,
                       std::size_t& op, std::size_t limit, const std::uint8_t*& token,
                       Status& status) {
  token = ip;
  const auto cut_short = [&status] {
    status = Status::short_read;
    return false;
  };
  if (checked && ip == end) return cut_short();
  unsigned flags = *ip++;
  if (!checked && flags == 0xFF && limit - op >= 8) {
    copy8(o + op, ip);
    ip += 8;
    op += 8;
    status = Status::done;
    return op < limit;
  }
  for (int i = 0; i < 8; ++i, flags <<= 1) {
    token = ip;
    if (flags & 0x80) {
      if (checked && ip == end) return cut_short();
      o[op++] = *ip++;
    } else {
      if (checked && end - ip < 2) return cut_short();
      const unsigned b0 = ip[0];
      const unsigned link = b0 << 8 | ip[1];
      const std::size_t dist = (link & kDistanceMask) + 1;
      std::size_t len = link >> kLengthShift;
      if (len == 0) {
        if (checked && end - ip < 3) return cut_short();
        len = std::size_t{ip[2]} + kLongBias;
        ip += 3;
      } else {
        len += kShortBias;
        ip += 2;
      }
      status = put_copy(o, op, limit, dist, len);
      if (status != Status::done) return false;
    }
    if (op >= limit) {
      status = Status::done;
      return false;
    }
  }
  return true;
}

}  // namespace

Step yaz0dec(ByteSpan in, Output& out) {
  const std::uint8_t* const begin = in.data();
  const std::uint8_t* const end = begin + in.size();
  const std::uint8_t* ip = begin;
  const std::size_t limit = out.limit();
  std::size_t op = out.size();
  std::uint8_t* o = out.data();

  const auto stop = [&](Status status, const std::uint8_t* at) {
    out.set_size(op);
    return Step{status, static_cast<std::size_t>(at - begin)};
  };
  if (op >= limit) return stop(Status::done, ip);

  for (;;) {
    if (!out.make_room(op, kGroupOutput)) return stop(Status::no_memory, ip);
    o = out.data();

    const std::size_t whole_groups = static_cast<std::size_t>(end - ip) / kGroupInput;
    const std::uint8_t* token = ip;
    if (whole_groups > 0) {
      // As many groups as the input surely holds and the output surely has room for (at least
      // one: make_room left room for a whole group or for all that is still to come).
      std::size_t groups =
          std::max<std::size_t>(1, std::min(whole_groups, (out.capacity() - op) / kGroupOutput));
      Status s = Status::done;
      do {
        if (!yaz0_group<false>(ip, end, o, op, limit, token, s)) return stop(s, token);
      } while (--groups > 0);
      continue;
    }
    // The last few bytes of the input.
    Status s = Status::done;
    if (!yaz0_group<true>(ip, end, o, op, limit, token, s)) return stop(s, token);
  }
}

namespace {

// The loop of the two layouts with separate tables; MIO0 has no long copies.
template <bool kMio0>
Step tables_dec(ByteSpan file, std::uint32_t link, std::uint32_t chunk, Output& out) {
  const std::uint8_t* const f = file.data();
  const std::size_t n = file.size();
  const std::size_t limit = out.limit();
  std::size_t mp = 16;
  std::size_t lp = link;
  std::size_t cp = chunk;
  std::size_t op = out.size();
  std::uint8_t* o = out.data();

  const auto stop = [&](Status status, std::size_t at) {
    out.set_size(op);
    return Step{status, at};
  };
  if (n < 16 || link > n || chunk > n) return stop(Status::bad_table, 8);
  if (op >= limit) return stop(Status::done, mp);

  for (;;) {
    if (n - mp < 4) return stop(Status::short_read, mp);
    std::uint32_t mask = bytes::load_be32(f + mp);
    mp += 4;
    if (!out.make_room(op, kMaskOutput)) return stop(Status::no_memory, mp - 4);
    o = out.data();
    for (int i = 0; i < 32; ++i, mask <<= 1) {
      if (mask & 0x80000000u) {
        if (cp >= n) return stop(Status::short_read, cp);
        o[op++] = f[cp++];
      } else {
        if (n - lp < 2) return stop(Status::short_read, lp);
        const std::size_t token = lp;
        const unsigned link = (unsigned{f[lp]} << 8) | f[lp + 1];
        const std::size_t dist = (link & kDistanceMask) + 1;
        std::size_t len = link >> kLengthShift;
        if constexpr (kMio0) {
          len += kMio0Bias;
        } else if (len == 0) {
          if (cp >= n) return stop(Status::short_read, cp);
          len = std::size_t{f[cp]} + kLongBias;
          ++cp;
        } else {
          len += kShortBias;
        }
        lp += 2;
        if (const Status s = put_copy(o, op, limit, dist, len); s != Status::done) {
          return stop(s, token);
        }
      }
      if (op >= limit) return stop(Status::done, mp);
    }
  }
}

}  // namespace

Step yay0dec(ByteSpan file, std::uint32_t link, std::uint32_t chunk, Output& out) {
  return tables_dec<false>(file, link, chunk, out);
}

Step mio0dec(ByteSpan file, std::uint32_t link, std::uint32_t chunk, Output& out) {
  return tables_dec<true>(file, link, chunk, out);
}

Header read_header(ByteSpan head, std::uint64_t file_size, Layout layout) {
  Header h;
  const bool tables = layout == Layout::yay0 || layout == Layout::mio0;
  const std::size_t need = layout == Layout::yaz0 ? 8 : tables ? 16 : 12;
  if (head.size() < need) {
    h.status = Status::short_read;
    h.at = head.size();
    return h;
  }
  const std::size_t size_at = layout == Layout::other ? 8 : 4;
  h.size = bytes::load_be32(head.data() + size_at);
  h.start = layout == Layout::other ? 12 : kHeaderSize;
  if (tables) {
    h.link = bytes::load_be32(head.data() + 8);
    h.chunk = bytes::load_be32(head.data() + 12);
    if (h.link > file_size) {
      h.status = Status::bad_table;
      h.at = 8;
      h.value = h.link;
    } else if (h.chunk > file_size) {
      h.status = Status::bad_table;
      h.at = 12;
      h.value = h.chunk;
    }
  }
  return h;
}

std::size_t initial_capacity(std::uint32_t claimed, std::uint64_t file_size) {
  const std::uint64_t most = file_size > UINT32_MAX ? UINT64_MAX : file_size * kMaxExpansion;
  return static_cast<std::size_t>(std::min<std::uint64_t>(claimed, most));
}

bool reserve_initial(Output& out, std::uint64_t file_size) {
  // A size the file could produce but memory cannot hold at once may still be reached step by
  // step if the header overstates it; so start small then, and grow as the output comes.
  const std::size_t capacity = initial_capacity(out.limit(), file_size);
  return out.reserve(capacity) || out.reserve(std::min<std::size_t>(capacity, 1 << 20));
}

Step decode_body(ByteSpan file, Layout layout, const Header& h, Output& out) {
  if (!reserve_initial(out, file.size())) return Step{Status::no_memory, h.start};
  if (layout == Layout::yay0) return yay0dec(file, h.link, h.chunk, out);
  if (layout == Layout::mio0) return mio0dec(file, h.link, h.chunk, out);
  const std::size_t start = std::min(h.start, file.size());
  Step step = yaz0dec(file.subspan(start), out);
  step.at += start;
  return step;
}

Decoded decode(ByteSpan file) {
  Decoded d;
  if (file.size() < 4) {
    d.status = Status::short_read;
    return d;
  }
  const Layout layout = classify(file);
  const Header h = read_header(file, file.size(), layout);
  d.size = h.size;
  if (h.status != Status::done) {
    d.status = h.status;
    d.at = h.at;
    d.value = h.value;
    return d;
  }
  Output out(h.size);
  const Step step = decode_body(file, layout, h, out);
  d.status = step.status;
  d.at = step.at;
  d.out.assign(out.bytes().begin(), out.bytes().end());
  return d;
}

std::string describe(const std::string& file_name, Status status, std::uint64_t at,
                     std::uint64_t value, std::uint32_t size) {
  char where[64];
  std::snprintf(where, sizeof where, "offset 0x%llX", static_cast<unsigned long long>(at));
  const std::string w = where;
  switch (status) {
    case Status::done: break;
    case Status::short_read: return file_name + ": the file ends inside a token at " + w;
    case Status::bad_reference:
      return file_name + ": the copy at " + w + " reaches before the start of the output";
    case Status::overrun:
      return file_name + ": the copy at " + w + " runs past the output size of " +
             std::to_string(size) + " bytes";
    case Status::bad_table: {
      char v[32];
      std::snprintf(v, sizeof v, "0x%llX", static_cast<unsigned long long>(value));
      return file_name + ": the " + (at == 8 ? "link" : "chunk") + " table offset " + v + " (at " +
             w + ") lies outside the file";
    }
    case Status::no_memory:
      return file_name + ": not enough memory for the output of " + std::to_string(size) +
             " bytes (decoding stopped at " + w + ")";
  }
  return file_name + ": cannot be decoded";
}

}  // namespace yazcore
