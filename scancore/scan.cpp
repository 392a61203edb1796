#include "scancore/scan.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/bytes.hpp"
#include "scancore/trials.hpp"
#include "yazcore/decode.hpp"
#include "yazcore/format.hpp"

namespace scancore {
namespace {

using yazcore::kHeaderSize;

constexpr std::uint32_t signature_of(const char (&text)[5]) {
  return std::uint32_t{static_cast<std::uint8_t>(text[0])} << 24 |
         std::uint32_t{static_cast<std::uint8_t>(text[1])} << 16 |
         std::uint32_t{static_cast<std::uint8_t>(text[2])} << 8 |
         std::uint32_t{static_cast<std::uint8_t>(text[3])};
}
constexpr std::uint32_t kYaz0 = signature_of(yazcore::kYaz0Signature);
constexpr std::uint32_t kYay0 = signature_of(yazcore::kYay0Signature);
constexpr std::uint32_t kMio0 = signature_of(yazcore::kMio0Signature);

std::optional<Format> format_at(const std::uint8_t* p) {
  switch (bytes::load_be32(p)) {
    case kYaz0: return Format::yaz0;
    case kYay0: return Format::yay0;
    case kMio0: return Format::mio0;
    default: return std::nullopt;
  }
}

// The most output per packed byte, from the token that yields the most per bit: a long copy of
// 273 bytes in 25 bits (Yaz0, Yay0), a copy of 18 bytes in 17 bits (MIO0).
std::uint64_t most_from(std::uint64_t packed, Format format) {
  if (format == Format::mio0) return packed * 8 * yazcore::kMio0MaxCopy / yazcore::kShortBits;
  return packed * 8 * yazcore::kMaxCopy / yazcore::kLongBits;
}

std::uint64_t round16(std::uint64_t n) { return (n + 15) & ~std::uint64_t{15}; }

// What the first short trials leave: Yaz0 trials go on merged, Yay0 and MIO0 trials in rounds.
constexpr std::size_t kFirstGroups = 8;
constexpr std::uint64_t kFirstSteps = 64;
constexpr unsigned kFirstRound = 7;  // steps in round r: 2^r
// The steps the rounds may take in all, per byte of the image and at least.
constexpr std::uint64_t kStepsPerByte = 32;
constexpr std::uint64_t kLeastSteps = 1u << 20;

// A trial done (`end`: one past its block), or not run to the end (`end` 0).
struct Found {
  std::uint32_t offset = 0;
  std::uint32_t end = 0;
};

struct Trials {
  std::vector<Found> found;
  std::vector<std::uint32_t> yaz0;         // the offsets of the Yaz0 trials to go on
  std::vector<trials::TableTrial> tables;  // the Yay0 and MIO0 trials to go on
};

template <class Visit>
void for_each_signature(ByteSpan image, std::size_t align, Visit visit) {
  const std::size_t n = image.size();
  for (std::size_t k = 0; n >= 4 && k <= n - 4; k += align) {
    const std::uint8_t first = image[k];
    if (first != 'Y' && first != 'M') continue;
    if (const auto format = format_at(image.data() + k)) visit(k, *format);
  }
}

// Every signature with a possible size, tried for a few steps: those that end or fail, and those
// that go on. (An impossible size is refused before anything is decoded, and nothing is kept.)
Trials first_trials(ByteSpan image, std::size_t align, std::uint32_t max) {
  Trials t;
  const std::size_t n = image.size();
  for_each_signature(image, align, [&](std::size_t k, Format format) {
    const std::uint64_t size = n - k >= 8 ? bytes::load_be32(image.data() + k + 4) : 0;
    if (size == 0 || size > max || size > most_expanded(image, k, format)) return;
    const auto offset = static_cast<std::uint32_t>(k);
    trials::Outcome outcome;
    if (format == Format::yaz0) {
      outcome = trials::yaz0(image, k, static_cast<std::uint32_t>(size), kFirstGroups);
      if (outcome.verdict == trials::Verdict::paused) t.yaz0.push_back(offset);
    } else {
      trials::TableTrial trial = trials::start_tables(image, k, format == Format::mio0);
      std::uint64_t steps = kFirstSteps;
      outcome = trials::run_tables(image, trial, steps);
      if (outcome.verdict == trials::Verdict::paused) t.tables.push_back(trial);
    }
    if (outcome.verdict == trials::Verdict::done) {
      t.found.push_back({offset, static_cast<std::uint32_t>(outcome.end)});
    }
  });
  return t;
}

// Runs the Yay0 and MIO0 trials in rounds, each going on by twice the steps of the last, until
// all are over or the steps of the whole image are taken; those left are not tried to the end.
void go_on(ByteSpan image, std::vector<trials::TableTrial>& pending, std::vector<Found>& found) {
  const std::uint64_t budget = kLeastSteps + kStepsPerByte * image.size();
  std::uint64_t spent = 0;
  for (unsigned round = kFirstRound; !pending.empty() && spent < budget; ++round) {
    const std::uint64_t grant = std::uint64_t{1} << std::min(round, 40u);
    std::size_t kept = 0;
    for (trials::TableTrial& trial : pending) {
      std::uint64_t steps = std::min(grant, budget - spent);
      const std::uint64_t given = steps;
      const trials::Outcome outcome = steps > 0 ? trials::run_tables(image, trial, steps)
                                                : trials::Outcome{trials::Verdict::paused};
      spent += given - steps;
      if (outcome.verdict == trials::Verdict::done) {
        found.push_back({trial.at, static_cast<std::uint32_t>(outcome.end)});
      } else if (outcome.verdict == trials::Verdict::paused) {
        pending[kept++] = trial;
      }
    }
    pending.resize(kept);
  }
  for (const trials::TableTrial& trial : pending) found.push_back({trial.at, 0});
}

}  // namespace

const char* format_name(Format format) {
  switch (format) {
    case Format::yay0: return "Yay0";
    case Format::mio0: return "MIO0";
    case Format::yaz0: break;
  }
  return "Yaz0";
}

std::optional<Format> parse_format(std::string_view name) {
  for (const Format f : {Format::yaz0, Format::yay0, Format::mio0}) {
    const std::string_view known = format_name(f);
    if (name.size() == known.size() &&
        std::equal(name.begin(), name.end(), known.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        })) {
      return f;
    }
  }
  return std::nullopt;
}

std::uint64_t most_expanded(ByteSpan image, std::size_t offset, Format format) {
  const std::size_t n = image.size();
  if (offset > n || n - offset <= kHeaderSize) return 0;
  const std::uint64_t rest = n - offset;
  const std::uint64_t most = most_from(rest - kHeaderSize, format);
  if (format == Format::yaz0) return most;
  const std::uint64_t link = bytes::load_be32(image.data() + offset + 8);
  const std::uint64_t chunk = bytes::load_be32(image.data() + offset + 12);
  if (link < kHeaderSize || chunk < link || chunk > rest) return 0;
  // Every token comes from a mask bit; a literal takes a chunk byte, a copy a link.
  const std::uint64_t longest = format == Format::mio0 ? yazcore::kMio0MaxCopy : yazcore::kMaxCopy;
  const std::uint64_t tokens = (link - kHeaderSize) / 4 * yazcore::kMaskTokens;
  const std::uint64_t links = (chunk - link) / 2;
  return std::min({most, tokens * longest, (rest - chunk) + links * longest});
}

std::optional<Block> trial(ByteSpan image, std::size_t offset, std::uint32_t max) {
  const std::size_t n = image.size();
  if (offset > n || n - offset <= kHeaderSize) return std::nullopt;
  const std::uint8_t* const head = image.data() + offset;
  const auto format = format_at(head);
  if (!format) return std::nullopt;
  const std::uint32_t size = bytes::load_be32(head + 4);
  if (size == 0 || size > max) return std::nullopt;
  trials::Outcome outcome;
  if (*format == Format::yaz0) {
    outcome = trials::yaz0(image, offset, size);
  } else {
    trials::TableTrial t = trials::start_tables(image, offset, *format == Format::mio0);
    std::uint64_t steps = UINT64_MAX;
    outcome = trials::run_tables(image, t, steps);
  }
  if (outcome.verdict != trials::Verdict::done) return std::nullopt;
  return Block{static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(outcome.end), *format,
               size};
}

FreeArea free_area(ByteSpan image, std::uint64_t last_end) {
  FreeArea area;
  area.end = image.size();
  std::uint64_t start = image.size();
  if (!image.empty() && (image.back() == 0x00 || image.back() == 0xFF)) {
    area.fill = image.back();
    while (start > last_end && image[start - 1] == area.fill) --start;
  }
  area.start = start;
  area.aligned = std::min<std::uint64_t>(round16(start), area.end);
  return area;
}

Scan scan(ByteSpan image, const ScanOptions& options) {
  const std::size_t align = std::max<std::size_t>(options.align, 1);
  Trials t = first_trials(image, align, options.max);
  const std::vector<std::uint32_t> ends = trials::yaz0_merged(image, t.yaz0);
  for (std::size_t i = 0; i < ends.size(); ++i) {
    if (ends[i] != 0) t.found.push_back({t.yaz0[i], ends[i]});
  }
  go_on(image, t.tables, t.found);
  std::sort(t.found.begin(), t.found.end(),
            [](const Found& a, const Found& b) { return a.offset < b.offset; });

  // The blocks: in offset order, each trial done that starts after the last block.
  Scan result;
  std::uint64_t covered = 0;  // the end of the last block found
  auto found = t.found.begin();
  for_each_signature(image, align, [&](std::size_t k, Format format) {
    if (k < covered) return;
    while (found != t.found.end() && found->offset < k) ++found;
    if (found == t.found.end() || found->offset != k) {
      ++result.rejected;
    } else if (found->end == 0) {
      ++result.untried;
    } else {
      const std::uint32_t size = bytes::load_be32(image.data() + k + 4);
      result.blocks.push_back({found->offset, found->end, format, size});
      covered = found->end;
    }
  });
  result.free = free_area(image, covered);
  return result;
}

NativeImage::NativeImage(ByteSpan file) : file_(file), order_(rom::detect_order(file)) {
  if (order_ == rom::ByteOrder::swapped16 || order_ == rom::ByteOrder::swapped32) {
    copy_ = rom::copied_image(file, rom::straightening_mode(order_));
  }
}

Bytes expand(ByteSpan image, const Block& block) {
  return yazcore::decode(image.subspan(block.offset, block.packed())).out;
}

std::string grouped(std::uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

std::string hex_offset(std::uint64_t offset) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(offset));
  return text;
}

}  // namespace scancore
