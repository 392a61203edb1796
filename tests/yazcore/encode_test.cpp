// The encoder against slow, plainly correct implementations: classic mode token for token
// against its rule searched by brute force, best mode against an exhaustive search for the
// smallest file; and every file it writes expands to its input again.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "support/testsupport.hpp"
#include "tests/yazcore/slow_encoder.hpp"
#include "yazcore/decode.hpp"
#include "yazcore/encode.hpp"

using namespace testsupport;
using yazcore::Format;
using yazcore::Mode;
using yazcore::Token;
using yazslow::slow_classic;
using yazslow::smallest_size;

namespace {

Bytes random_bytes(std::mt19937& rng, std::size_t size, unsigned alphabet) {
  Bytes b(size);
  for (auto& x : b) x = static_cast<std::uint8_t>(rng() % alphabet);
  return b;
}

// Data with the structures a match finder must get right: runs, short periods, repeats near and
// far (past the window too), and plain noise between them.
Bytes structured(std::mt19937& rng, std::size_t size) {
  Bytes b;
  while (b.size() < size) {
    switch (rng() % 5) {
      case 0: b.insert(b.end(), 1 + rng() % 600, static_cast<std::uint8_t>(rng() % 4)); break;
      case 1: {
        const std::size_t period = 1 + rng() % 6;
        const std::size_t len = 10 + rng() % 400;
        const std::size_t start = b.size();
        for (std::size_t i = 0; i < len; ++i) {
          b.push_back(i < period ? static_cast<std::uint8_t>(rng() % 3) : b[start + i - period]);
        }
        break;
      }
      case 2:
        if (!b.empty()) {
          const std::size_t from = b.size() - 1 - rng() % std::min<std::size_t>(b.size(), 6000);
          const std::size_t len = 1 + rng() % 300;
          for (std::size_t i = 0; i < len; ++i) b.push_back(b[from + i]);
        }
        break;
      default: {
        const Bytes noise = random_bytes(rng, 1 + rng() % 40, 1 + rng() % 256);
        b.insert(b.end(), noise.begin(), noise.end());
      }
    }
  }
  b.resize(size);
  return b;
}

// Some of the repository's own files, cut to `size` bytes.
std::vector<Bytes> real_files(std::size_t size) {
  std::vector<Bytes> files;
  for (const char* name : {"README.md", "yazcore/encode.cpp", "examples/greyconv/leaf.tga",
                           "examples/unyaz/lantern.szs", "examples/txt2msg/dialogue.txt"}) {
    Bytes b = read_bytes(std::filesystem::path(TOOLKIT_SOURCE_DIR) / name);
    if (b.size() > size) b.resize(size);
    files.push_back(std::move(b));
  }
  return files;
}

}  // namespace

TEST(Encode, ClassicModeFollowsItsRuleTokenForToken) {
  std::mt19937 rng(7);
  std::vector<Bytes> inputs = real_files(24000);
  inputs.push_back(Bytes(9000, 0));
  for (int i = 0; i < 6; ++i) inputs.push_back(structured(rng, 3000 + rng() % 9000));
  for (int i = 0; i < 6; ++i) inputs.push_back(random_bytes(rng, 1 + rng() % 6000, 2 + rng() % 30));
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    EXPECT_EQ(yazcore::classic_tokens(inputs[i]), slow_classic(inputs[i])) << "input " << i;
  }
}

TEST(Encode, BestModeMakesTheSmallestFile) {
  std::mt19937 rng(8);
  for (int round = 0; round < 120; ++round) {
    const Bytes d = round % 3 == 0 ? structured(rng, 1 + rng() % 400)
                                   : random_bytes(rng, 1 + rng() % 300, 2 + rng() % 6);
    for (const Format format : {Format::yaz0, Format::yay0, Format::mio0}) {
      // MIO0's fewest bits may cost up to 3 bytes of a mask word that fewer tokens would save.
      const std::uint64_t size = yazcore::encoded_size(yazcore::best_tokens(d, format), format);
      const std::uint64_t smallest = smallest_size(d, format);
      EXPECT_GE(size, smallest) << "round " << round;
      EXPECT_LE(size, smallest + (format == Format::mio0 ? 3 : 0)) << "round " << round;
    }
  }
}

TEST(Encode, EveryFileExpandsToItsInputAndBestIsNeverLarger) {
  std::mt19937 rng(9);
  std::vector<Bytes> inputs = real_files(1 << 20);
  for (const Bytes& b : {Bytes{}, Bytes{0x41}, Bytes(100000, 0), bytes_of("abcabcabcabcabc"),
                         random_bytes(rng, 70000, 256), structured(rng, 200000)}) {
    inputs.push_back(b);
  }
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    for (const Format format : {Format::yaz0, Format::yay0, Format::mio0}) {
      std::size_t sizes[2] = {};
      for (const Mode mode : {Mode::best, Mode::classic}) {
        const Bytes file = yazcore::encode(inputs[i], format, mode);
        const auto decoded = yazcore::decode(file);
        ASSERT_EQ(decoded.status, yazcore::Status::done) << "input " << i;
        ASSERT_TRUE(decoded.out == inputs[i]) << "input " << i;
        EXPECT_EQ(file[2], format == Format::yaz0 ? 'z' : format == Format::yay0 ? 'y' : 'O');
        sizes[mode == Mode::best ? 0 : 1] = file.size();
      }
      EXPECT_LE(sizes[0], sizes[1]) << "input " << i;
    }
  }
}

TEST(Encode, ThreadsChangeNothingButTheTime) {
  // Several of the parts the parsers split the data into, runs long and short among them.
  std::mt19937 rng(10);
  Bytes d = structured(rng, 5 << 18);
  d.insert(d.begin() + 1000000, 70000, 0);  // across the end of a part
  const std::vector<Token> classic = yazcore::classic_tokens(d, 1);
  const std::uint64_t best =
      yazcore::encoded_size(yazcore::best_tokens(d, Format::yaz0, 1), Format::yaz0);
  for (const unsigned threads : {2u, 3u}) {
    EXPECT_EQ(yazcore::classic_tokens(d, threads), classic) << threads;
    const std::vector<Token> tokens = yazcore::best_tokens(d, Format::yaz0, threads);
    EXPECT_EQ(yazcore::encoded_size(tokens, Format::yaz0), best) << threads;
    const auto decoded = yazcore::decode(yazcore::write_file(d, tokens, Format::yaz0));
    EXPECT_TRUE(decoded.out == d) << threads;
  }
  EXPECT_LE(best, yazcore::encoded_size(classic, Format::yaz0));
}
