// The BPS and IPS makers in round trips: the input is a source and a small program that builds
// the target from it (copies from the source and from the target so far, new bytes, runs), so
// that moves, repeats and edits come up at once. Every patch made must apply, through bpscore and
// through the tests' independent applier, to exactly the target.
#include <cstdint>
#include <vector>

#include "bpscore/ips.hpp"
#include "bpscore/patch.hpp"
#include "fuzz/check.hpp"
#include "tests/bpscore/patch_oracle.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;

class Stream {
 public:
  Stream(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
  bool empty() const { return p_ == end_; }
  std::size_t left() const { return static_cast<std::size_t>(end_ - p_); }
  std::uint8_t byte() { return p_ == end_ ? 0 : *p_++; }
  std::size_t number() { return byte() | (std::size_t{byte()} << 8); }
  const std::uint8_t* take(std::size_t n) {
    const std::uint8_t* at = p_;
    p_ += n;
    return at;
  }

 private:
  const std::uint8_t* p_;
  const std::uint8_t* end_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Stream in(data, size);
  const std::size_t source_size = std::min(in.number(), in.left());
  const std::uint8_t* s = in.take(source_size);
  const Bytes source(s, s + source_size);
  Bytes target;
  while (!in.empty() && target.size() < (1u << 14)) {
    const std::uint8_t op = in.byte();
    const std::size_t length = 1 + (op >> 3) * (op & 4 ? 97 : 1);
    switch (op & 3) {
      case 0:
        if (!source.empty()) {
          const std::size_t from = in.number() % source.size();
          for (std::size_t i = 0; i < length && from + i < source.size(); ++i) {
            target.push_back(source[from + i]);
          }
        }
        break;
      case 1:
        if (!target.empty()) {
          const std::size_t from = in.number() % target.size();
          for (std::size_t i = 0; i < length; ++i) target.push_back(target[from + i]);
        }
        break;
      case 2:
        for (std::size_t i = 0; i < (op >> 3) && !in.empty(); ++i) target.push_back(in.byte());
        break;
      default: target.insert(target.end(), length, in.byte());
    }
  }
  const Bytes patch = bpscore::make(source, target);
  const auto c = bpscore::check(patch);
  FUZZ_CHECK(c.ok());
  FUZZ_CHECK(bpscore::is_source(*c, source));
  FUZZ_CHECK(*bpscore::apply(patch, *c, source) == target);
  FUZZ_CHECK(oracle::apply_bps(source, patch) == target);

  const Bytes ips = bpscore::ips::make(source, target);
  FUZZ_CHECK(bpscore::ips::check(ips).ok());
  FUZZ_CHECK(bpscore::ips::apply(ips, source) == target);
  FUZZ_CHECK(oracle::apply_ips(source, ips) == target);
  return 0;
}
