#include "texcore/deflate.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <queue>
#include <span>

namespace texcore {
namespace {

constexpr unsigned kMaxRun = 258;
constexpr unsigned kMinRun = 8;

// The length symbols (257 + k) of deflate: the least length of each and its extra bits.
constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                           15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                           67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

// For every run length: its symbol (257 to 285), its extra bits' value and count.
struct LengthCode {
  std::uint16_t symbol;
  std::uint16_t extra;
  std::uint8_t extra_bits;
};
constexpr std::array<LengthCode, kMaxRun + 1> kLengths = [] {
  std::array<LengthCode, kMaxRun + 1> table{};
  for (unsigned k = 0; k < 29; ++k) {
    const unsigned end = k + 1 < 29 ? kLengthBase[k + 1] : kMaxRun + 1;
    for (unsigned n = kLengthBase[k]; n < end && n <= kMaxRun; ++n) {
      table[n] = {static_cast<std::uint16_t>(257 + k),
                  static_cast<std::uint16_t>(n - kLengthBase[k]), kLengthExtra[k]};
    }
  }
  return table;
}();

// The distance symbol of `distance` (1 to 32768), its extra bits' value and count.
LengthCode distance_code(unsigned distance) {
  unsigned base = 1;
  for (unsigned symbol = 0; symbol < 30; ++symbol) {
    const unsigned extra = symbol < 4 ? 0 : symbol / 2 - 1;
    if (distance < base + (1u << extra)) {
      return {static_cast<std::uint16_t>(symbol), static_cast<std::uint16_t>(distance - base),
              static_cast<std::uint8_t>(extra)};
    }
    base += 1u << extra;
  }
  return {29, 0, 13};
}

// Huffman code lengths of at most `limit` bits for the frequencies, at least two symbols coded
// (so that every code is complete, as inflate wants).
template <std::size_t N>
std::array<std::uint8_t, N> code_lengths(std::array<std::uint32_t, N> freq, unsigned limit) {
  auto used = std::count_if(freq.begin(), freq.end(), [](std::uint32_t f) { return f > 0; });
  for (std::size_t s = 0; s < N && used < 2; ++s) {
    if (freq[s] == 0) freq[s] = 1, ++used;
  }
  std::array<std::uint8_t, N> lengths{};
  for (;;) {
    // Nodes: the symbols, then the merged ones; each merge takes the two lightest.
    using Node = std::pair<std::uint64_t, std::uint32_t>;
    std::priority_queue<Node, std::vector<Node>, std::greater<>> heap;
    std::vector<std::uint32_t> parent(2 * N, 0);
    for (std::uint32_t s = 0; s < N; ++s) {
      if (freq[s] > 0) heap.push({freq[s], s});
    }
    std::uint32_t next = N;
    while (heap.size() > 1) {
      const Node a = heap.top();
      heap.pop();
      const Node b = heap.top();
      heap.pop();
      parent[a.second] = parent[b.second] = next;
      heap.push({a.first + b.first, next++});
    }
    std::vector<std::uint8_t> depth(next, 0);
    unsigned deepest = 0;
    for (std::uint32_t node = next - 1; node-- > 0;) {
      if (node >= N || freq[node] > 0)
        depth[node] = static_cast<std::uint8_t>(depth[parent[node]] + 1);
    }
    for (std::size_t s = 0; s < N; ++s) {
      lengths[s] = freq[s] > 0 ? depth[s] : 0;
      deepest = std::max<unsigned>(deepest, lengths[s]);
    }
    if (deepest <= limit) return lengths;
    for (auto& f : freq) f = f > 0 ? f / 2 + 1 : 0;  // flatter, until the code fits the limit
  }
}

// The canonical codes of the lengths, bit-reversed as deflate writes them.
template <std::size_t N>
void make_codes(const std::array<std::uint8_t, N>& lengths, std::uint32_t* bits) {
  unsigned count[16] = {};
  for (const auto l : lengths) ++count[l];
  count[0] = 0;
  unsigned next[16] = {};
  for (unsigned l = 1, code = 0; l < 16; ++l) {
    code = (code + count[l - 1]) << 1;
    next[l] = code;
  }
  for (std::size_t s = 0; s < N; ++s) {
    const unsigned l = lengths[s];
    if (l == 0) continue;
    const unsigned code = next[l]++;
    std::uint32_t reversed = 0;
    for (unsigned b = 0; b < l; ++b) reversed |= ((code >> b) & 1u) << (l - 1 - b);
    bits[s] = reversed;
  }
}

std::uint64_t load64(const std::uint8_t* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

}  // namespace

std::uint32_t adler32(std::uint32_t adler, ByteSpan data) {
  constexpr std::uint64_t kBase = 65521;
  constexpr std::size_t kLanes = 32, kMostRounds = 4096;  // so that no lane's sum overflows
  std::uint64_t s1 = adler & 0xFFFF, s2 = adler >> 16;
  const std::uint8_t* p = data.data();
  std::size_t n = data.size();
  while (n >= kLanes) {
    // Byte j of each round of 32 is summed in lane j; `before` sums each lane's sums before
    // every round, which weighs a byte by the rounds after it.
    const std::size_t rounds = std::min(n / kLanes, kMostRounds);
    std::uint32_t sum[kLanes] = {}, before[kLanes] = {};
    for (std::size_t r = 0; r < rounds; ++r, p += kLanes) {
      for (std::size_t j = 0; j < kLanes; ++j) {
        before[j] += sum[j];
        sum[j] += p[j];
      }
    }
    std::uint64_t total = 0, weighted = 0;
    for (std::size_t j = 0; j < kLanes; ++j) {
      total += sum[j];
      weighted += kLanes * std::uint64_t{before[j]} + (kLanes - j) * std::uint64_t{sum[j]};
    }
    s2 = (s2 + s1 * kLanes * rounds + weighted) % kBase;
    s1 = (s1 + total) % kBase;
    n -= rounds * kLanes;
  }
  for (; n > 0; --n) {
    s1 += *p++;
    s2 += s1;
  }
  return static_cast<std::uint32_t>((s2 % kBase) << 16 | (s1 % kBase));
}

RunCoder::RunCoder(unsigned distance) : distance_(distance) {}

// Bytes and runs of at least kMinRun bytes, and their frequencies.
void RunCoder::tokenize(ByteSpan data) {
  const std::uint8_t* d = data.data();
  const std::size_t n = data.size();
  const std::size_t dist = distance_;
  tokens_.clear();
  freq_.fill(0);
  const auto literal = [&](std::size_t i) {
    tokens_.push_back(d[i]);
    ++freq_[d[i]];
  };
  std::size_t i = 0;
  for (; i < std::min(dist, n); ++i) literal(i);
  while (i + kMinRun <= n) {
    const std::uint64_t x = load64(d + i) ^ load64(d + i - dist);
    if (x != 0) {
      // No run of kMinRun bytes starts at or before the last byte that differs.
      const unsigned last =
          std::endian::native == std::endian::little ? (63 - std::countl_zero(x)) / 8 : 0;
      for (const std::size_t end = i + last + 1; i < end; ++i) literal(i);
      continue;
    }
    const std::size_t most = std::min<std::size_t>(kMaxRun, n - i);
    std::size_t length = kMinRun;
    while (length + 8 <= most && load64(d + i + length) == load64(d + i + length - dist))
      length += 8;
    while (length < most && d[i + length] == d[i + length - dist]) ++length;
    tokens_.push_back(kRun + static_cast<std::uint32_t>(length));
    ++freq_[kLengths[length].symbol];
    i += length;
  }
  for (; i < n; ++i) literal(i);
  ++freq_[256];
}

// Judges on a sample of the piece: 16 stretches of 2 KiB spread through it.
bool RunCoder::worth_coding(ByteSpan data) {
  constexpr std::size_t kStretch = 2048, kStretches = 16;
  std::array<std::uint32_t, 286> total{};
  std::uint64_t sampled = 0, extra = 0;
  const std::size_t step = data.size() / kStretches;
  for (std::size_t k = 0; k < kStretches; ++k) {
    const ByteSpan piece = data.subspan(k * step, std::min(kStretch, data.size() - k * step));
    tokenize(piece);
    sampled += piece.size();
    for (std::size_t s = 0; s < 286; ++s) total[s] += freq_[s];
    for (const std::uint32_t t : tokens_) {
      if (t >= kRun) extra += kLengths[t - kRun].extra_bits + 1;  // a 1-bit distance, near enough
    }
  }
  const auto lengths = code_lengths(total, 15);
  std::uint64_t bits = extra + 286 * 4;  // the codes' own description, roughly
  for (std::size_t s = 0; s < 286; ++s) bits += std::uint64_t{total[s]} * lengths[s];
  return bits / 8 <= sampled / 2;
}

void RunCoder::put(std::uint32_t bits, unsigned count, std::uint8_t*& p) {
  acc_ |= std::uint64_t{bits} << bits_;
  bits_ += count;
  if (bits_ >= 32) {
    for (int b = 0; b < 4; ++b) *p++ = static_cast<std::uint8_t>(acc_ >> (8 * b));
    acc_ >>= 32;
    bits_ -= 32;
  }
}

// Writes the bits up to the next whole byte.
void RunCoder::flush_bits(std::uint8_t*& p) {
  for (; bits_ > 0; bits_ = bits_ >= 8 ? bits_ - 8 : 0) {
    *p++ = static_cast<std::uint8_t>(acc_);
    acc_ >>= 8;
  }
  acc_ = 0;
}

void RunCoder::write_stored(ByteSpan data, bool last, Bytes& out) {
  std::size_t at = 0;
  do {
    const std::size_t n = std::min<std::size_t>(0xFFFF, data.size() - at);
    const bool final = last && at + n == data.size();
    std::uint8_t head[16];
    std::uint8_t* p = head;
    put(final ? 1 : 0, 3, p);
    flush_bits(p);
    for (const unsigned v : {n, n ^ 0xFFFF}) {
      *p++ = static_cast<std::uint8_t>(v);
      *p++ = static_cast<std::uint8_t>(v >> 8);
    }
    out.insert(out.end(), head, p);
    out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
               data.begin() + static_cast<std::ptrdiff_t>(at + n));
    at += n;
  } while (at < data.size());
}

std::uint8_t* RunCoder::write_header(const std::array<std::uint8_t, 286>& lengths,
                                     std::uint8_t* p) {
  // The literal and length codes, then the one distance code: lengths run-length coded
  // (16: the last length 3 to 6 times, 17 and 18: 3 to 10 and 11 to 138 zeros).
  std::size_t count = 286;
  while (count > 257 && lengths[count - 1] == 0) --count;
  const std::size_t dist_symbol = distance_code(distance_).symbol;
  std::vector<std::uint8_t> all(lengths.begin(),
                                lengths.begin() + static_cast<std::ptrdiff_t>(count));
  all.resize(count + dist_symbol + 1, 0);
  all.back() = 1;
  std::vector<std::uint32_t> symbols;  // symbol | extra << 8
  std::array<std::uint32_t, 19> freq{};
  for (std::size_t i = 0; i < all.size();) {
    std::size_t same = 1;
    while (i + same < all.size() && all[i + same] == all[i]) ++same;
    std::size_t take = same;
    if (all[i] == 0 && same >= 11) {
      take = std::min<std::size_t>(same, 138);
      symbols.push_back(18 | static_cast<std::uint32_t>(take - 11) << 8);
    } else if (all[i] == 0 && same >= 3) {
      symbols.push_back(17 | static_cast<std::uint32_t>(take - 3) << 8);
    } else if (all[i] != 0 && same >= 4) {
      take = std::min<std::size_t>(same - 1, 6) + 1;
      symbols.push_back(all[i]);
      symbols.push_back(16 | static_cast<std::uint32_t>(take - 4) << 8);
      ++freq[all[i]];
    } else {
      take = 1;
      symbols.push_back(all[i]);
    }
    ++freq[symbols.back() & 0xFF];
    i += take;
  }
  const auto cl = code_lengths(freq, 7);
  std::array<std::uint32_t, 19> cl_bits{};
  make_codes(cl, cl_bits.data());
  static constexpr std::uint8_t kOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                              11, 4,  12, 3, 13, 2, 14, 1, 15};
  std::size_t cl_count = 19;
  while (cl_count > 4 && cl[kOrder[cl_count - 1]] == 0) --cl_count;
  put(static_cast<std::uint32_t>(count - 257), 5, p);
  put(static_cast<std::uint32_t>(dist_symbol), 5, p);
  put(static_cast<std::uint32_t>(cl_count - 4), 4, p);
  for (std::size_t k = 0; k < cl_count; ++k) put(cl[kOrder[k]], 3, p);
  static constexpr std::uint8_t kExtraBits[3] = {2, 3, 7};
  for (const std::uint32_t s : symbols) {
    const unsigned symbol = s & 0xFF;
    put(cl_bits[symbol], cl[symbol], p);
    if (symbol >= 16) put(s >> 8, kExtraBits[symbol - 16], p);
  }
  return p;
}

void RunCoder::write_coded(bool last, Bytes& out) {
  const auto lengths = code_lengths(freq_, 15);
  std::array<std::uint32_t, 286> bits{};
  make_codes(lengths, bits.data());
  std::array<Code, 286> codes;
  for (std::size_t s = 0; s < 286; ++s) codes[s] = {bits[s], lengths[s]};
  // The one distance code has one bit, 0.
  const LengthCode dist = distance_code(distance_);
  const std::uint32_t dist_bits = std::uint32_t{dist.extra} << 1;
  const unsigned dist_count = 1u + dist.extra_bits;
  // At most 6 bytes a token, and the header's few hundred.
  scratch_.resize(std::max(scratch_.size(), 6 * tokens_.size() + 1024));
  std::uint8_t* const begin = scratch_.data();
  std::uint8_t* p = begin;
  put(last ? 5 : 4, 3, p);  // BFINAL, then 2: dynamic Huffman codes
  p = write_header(lengths, p);
  for (const std::uint32_t t : tokens_) {
    if (t < kRun) {
      put(codes[t].bits, codes[t].length, p);
      continue;
    }
    const LengthCode& l = kLengths[t - kRun];
    put(codes[l.symbol].bits | std::uint32_t{l.extra} << codes[l.symbol].length,
        codes[l.symbol].length + l.extra_bits, p);
    put(dist_bits, dist_count, p);
  }
  put(codes[256].bits, codes[256].length, p);
  while (bits_ >= 8) {
    *p++ = static_cast<std::uint8_t>(acc_);
    acc_ >>= 8;
    bits_ -= 8;
  }
  out.insert(out.end(), begin, p);
}

void RunCoder::add(ByteSpan data, bool last, Bytes& out) {
  if (!started_) {
    out.insert(out.end(), {0x78, 0x01});
    started_ = true;
  }
  adler_ = adler32(adler_, data);
  bool coded = false;
  if (!data.empty() && worth_coding(data)) {
    // The sample may misjudge a piece: one that codes larger than it stores is stored instead.
    const std::size_t before = out.size();
    const auto acc = acc_;
    const auto bits = bits_;
    tokenize(data);
    write_coded(last, out);
    const std::size_t stored = data.size() + 5 * (data.size() / 0xFFFF + 1) + 1;
    coded = out.size() - before <= stored;
    if (!coded) {
      out.resize(before);
      acc_ = acc;
      bits_ = bits;
    }
  }
  if (!coded) write_stored(data, last, out);
  if (!last) return;
  std::uint8_t end[16];
  std::uint8_t* p = end;
  flush_bits(p);
  for (int s = 24; s >= 0; s -= 8) *p++ = static_cast<std::uint8_t>(adler_ >> s);
  out.insert(out.end(), end, p);
}

}  // namespace texcore
