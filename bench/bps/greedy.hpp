// A greedy longest-match BPS maker over a suffix array of the original and the modified file, as
// the best-known delta patch makers work: the comparator of the bps benchmarks. At each position
// it takes the longest of the SourceRead there and the longest earlier match (source or target)
// the suffix array finds, when it is at least the minimum length; otherwise one literal byte. The
// smallest patch over a few minimum lengths is kept.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/bytes.hpp"
#include "base/crc32.hpp"
#include "bpscore/varint.hpp"

namespace greedymaker {

using Bytes = std::vector<std::uint8_t>;

// Suffix array by induced sorting (SA-IS). s[n - 1] is 0 and occurs nowhere else; values < k.
inline void induce(const int* s, int* sa, int n, int k, const std::vector<bool>& stype,
                   std::vector<int>& bucket) {
  auto fill = [&](bool ends) {
    std::fill(bucket.begin(), bucket.end(), 0);
    for (int i = 0; i < n; ++i) ++bucket[static_cast<std::size_t>(s[i])];
    int sum = 0;
    for (int c = 0; c < k; ++c) {
      sum += bucket[static_cast<std::size_t>(c)];
      bucket[static_cast<std::size_t>(c)] = ends ? sum : sum - bucket[static_cast<std::size_t>(c)];
    }
  };
  fill(false);
  for (int i = 0; i < n; ++i) {
    const int j = sa[i] - 1;
    if (sa[i] > 0 && !stype[static_cast<std::size_t>(j)])
      sa[bucket[static_cast<std::size_t>(s[j])]++] = j;
  }
  fill(true);
  for (int i = n - 1; i >= 0; --i) {
    const int j = sa[i] - 1;
    if (sa[i] > 0 && stype[static_cast<std::size_t>(j)])
      sa[--bucket[static_cast<std::size_t>(s[j])]] = j;
  }
}

inline void sais(const int* s, int* sa, int n, int k) {
  std::vector<bool> st(static_cast<std::size_t>(n));
  st[static_cast<std::size_t>(n - 1)] = true;
  for (int i = n - 2; i >= 0; --i) {
    st[static_cast<std::size_t>(i)] =
        s[i] < s[i + 1] || (s[i] == s[i + 1] && st[static_cast<std::size_t>(i + 1)]);
  }
  auto lms = [&](int i) {
    return i > 0 && st[static_cast<std::size_t>(i)] && !st[static_cast<std::size_t>(i - 1)];
  };
  std::vector<int> bucket(static_cast<std::size_t>(k));
  auto ends = [&]() {
    std::fill(bucket.begin(), bucket.end(), 0);
    for (int i = 0; i < n; ++i) ++bucket[static_cast<std::size_t>(s[i])];
    for (int c = 1; c < k; ++c)
      bucket[static_cast<std::size_t>(c)] += bucket[static_cast<std::size_t>(c - 1)];
  };
  ends();
  std::fill(sa, sa + n, -1);
  for (int i = 1; i < n; ++i) {
    if (lms(i)) sa[--bucket[static_cast<std::size_t>(s[i])]] = i;
  }
  induce(s, sa, n, k, st, bucket);
  int n1 = 0;
  for (int i = 0; i < n; ++i) {
    if (lms(sa[i])) sa[n1++] = sa[i];
  }
  std::fill(sa + n1, sa + n, -1);
  int names = 0;
  int prev = -1;
  for (int i = 0; i < n1; ++i) {
    const int pos = sa[i];
    bool diff = false;
    for (int d = 0; d < n; ++d) {
      if (prev == -1 || s[pos + d] != s[prev + d] ||
          st[static_cast<std::size_t>(pos + d)] != st[static_cast<std::size_t>(prev + d)]) {
        diff = true;
        break;
      }
      if (d > 0 && (lms(pos + d) || lms(prev + d))) break;
    }
    if (diff) {
      ++names;
      prev = pos;
    }
    sa[n1 + pos / 2] = names - 1;
  }
  for (int i = n - 1, j = n - 1; i >= n1; --i) {
    if (sa[i] >= 0) sa[j--] = sa[i];
  }
  int* s1 = sa + n - n1;
  if (names < n1) {
    sais(s1, sa, n1, names);
  } else {
    for (int i = 0; i < n1; ++i) sa[s1[i]] = i;
  }
  ends();
  for (int i = 1, j = 0; i < n; ++i) {
    if (lms(i)) s1[j++] = i;
  }
  for (int i = 0; i < n1; ++i) sa[i] = s1[sa[i]];
  std::fill(sa + n1, sa + n, -1);
  for (int i = n1 - 1; i >= 0; --i) {
    const int j = sa[i];
    sa[i] = -1;
    sa[--bucket[static_cast<std::size_t>(s[j])]] = j;
  }
  induce(s, sa, n, k, st, bucket);
}

struct Text {
  int source_size = 0;
  int target_start = 0;  // the target's first position in the joined text
  std::vector<int> sa, rank, lcp;
};

// The joined text: source, a separator, target, the end; with its suffix array and LCPs.
inline Text index(const Bytes& source, const Bytes& target) {
  Text t;
  const int n = static_cast<int>(source.size() + target.size() + 2);
  std::vector<int> s(static_cast<std::size_t>(n));
  for (std::size_t i = 0; i < source.size(); ++i) s[i] = source[i] + 2;
  s[source.size()] = 1;
  for (std::size_t i = 0; i < target.size(); ++i) s[source.size() + 1 + i] = target[i] + 2;
  s[static_cast<std::size_t>(n - 1)] = 0;
  t.source_size = static_cast<int>(source.size());
  t.target_start = t.source_size + 1;
  t.sa.resize(static_cast<std::size_t>(n));
  sais(s.data(), t.sa.data(), n, 258);
  t.rank.resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    t.rank[static_cast<std::size_t>(t.sa[static_cast<std::size_t>(i)])] = i;
  t.lcp.assign(static_cast<std::size_t>(n), 0);  // lcp[i]: of sa[i - 1] and sa[i]
  for (int i = 0, h = 0; i < n; ++i) {
    const int r = t.rank[static_cast<std::size_t>(i)];
    if (r == 0) {
      h = 0;
      continue;
    }
    const int j = t.sa[static_cast<std::size_t>(r - 1)];
    while (i + h < n && j + h < n &&
           s[static_cast<std::size_t>(i + h)] == s[static_cast<std::size_t>(j + h)] &&
           s[static_cast<std::size_t>(i + h)] > 1) {
      ++h;
    }
    t.lcp[static_cast<std::size_t>(r)] = h;
    if (h > 0) --h;
  }
  return t;
}

struct Match {
  int length = 0;
  int pos = -1;  // in the joined text
};

// The longest match of the suffix at `g` that starts earlier (in the source, or in the target
// before `g`): the nearest such suffix on each side in suffix-array order.
inline Match longest_earlier(const Text& t, int g) {
  Match best;
  const int r = t.rank[static_cast<std::size_t>(g)];
  const int n = static_cast<int>(t.sa.size());
  auto usable = [&](int p) { return p < t.source_size || (p >= t.target_start && p < g); };
  int m = 1 << 30;
  for (int i = r - 1, steps = 0; i >= 0 && steps < 4096; --i, ++steps) {
    m = std::min(m, t.lcp[static_cast<std::size_t>(i + 1)]);
    if (m <= best.length) break;
    if (usable(t.sa[static_cast<std::size_t>(i)])) {
      best = {m, t.sa[static_cast<std::size_t>(i)]};
      break;
    }
  }
  m = 1 << 30;
  for (int i = r + 1, steps = 0; i < n && steps < 4096; ++i, ++steps) {
    m = std::min(m, t.lcp[static_cast<std::size_t>(i)]);
    if (m <= best.length) break;
    if (usable(t.sa[static_cast<std::size_t>(i)])) {
      best = {m, t.sa[static_cast<std::size_t>(i)]};
      break;
    }
  }
  return best;
}

inline Bytes greedy(const Bytes& source, const Bytes& target, const Text& t, int min_length) {
  Bytes out = {'B', 'P', 'S', '1'};
  bpscore::put_varint(out, source.size());
  bpscore::put_varint(out, target.size());
  bpscore::put_varint(out, 0);
  std::uint64_t source_cursor = 0, target_cursor = 0;
  std::size_t literal_start = 0, literals = 0;
  auto flush_literals = [&]() {
    if (literals == 0) return;
    bpscore::put_varint(out, bpscore::action_word(literals, bpscore::target_read));
    out.insert(out.end(), target.begin() + static_cast<std::ptrdiff_t>(literal_start),
               target.begin() + static_cast<std::ptrdiff_t>(literal_start + literals));
    literals = 0;
  };
  std::size_t q = 0;
  while (q < target.size()) {
    std::size_t read = 0;
    while (q + read < target.size() && q + read < source.size() &&
           source[q + read] == target[q + read])
      ++read;
    const Match m = longest_earlier(t, t.target_start + static_cast<int>(q));
    const std::size_t length = std::max<std::size_t>(read, static_cast<std::size_t>(m.length));
    if (length < static_cast<std::size_t>(min_length)) {
      if (literals == 0) literal_start = q;
      ++literals;
      ++q;
      continue;
    }
    flush_literals();
    if (read >= length) {
      bpscore::put_varint(out, bpscore::action_word(read, bpscore::source_read));
    } else {
      const bool in_source = m.pos < t.source_size;
      const std::uint64_t pos =
          static_cast<std::uint64_t>(in_source ? m.pos : m.pos - t.target_start);
      std::uint64_t& cursor = in_source ? source_cursor : target_cursor;
      bpscore::put_varint(out, bpscore::action_word(length, in_source ? bpscore::source_copy
                                                                      : bpscore::target_copy));
      bpscore::put_varint(out, bpscore::offset_word(static_cast<std::int64_t>(pos - cursor)));
      cursor = pos + length;
    }
    q += length;
  }
  flush_literals();
  bytes::append_le32(out, crc::crc32(source));
  bytes::append_le32(out, crc::crc32(target));
  bytes::append_le32(out, crc::crc32(out));
  return out;
}

// The smallest of the greedy patches over the minimum lengths 4 to 16; `min_length` is set to
// the one that made it.
inline Bytes best(const Bytes& source, const Bytes& target, int& min_length) {
  const Text t = index(source, target);
  Bytes smallest;
  for (const int m : {4, 6, 8, 12, 16}) {
    Bytes patch = greedy(source, target, t, m);
    if (smallest.empty() || patch.size() < smallest.size()) {
      smallest = std::move(patch);
      min_length = m;
    }
  }
  return smallest;
}

}  // namespace greedymaker
