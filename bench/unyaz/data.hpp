// Test data for the unyaz benchmarks, made on the spot: mixed data (source text and machine code,
// which the test encoder packs about 3:1), all zeros, and incompressible bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace unyazbench {

using Bytes = std::vector<std::uint8_t>;

// kind: "mixed", "zeros" or "random".
Bytes make_data(const std::string& kind, std::size_t size);

}  // namespace unyazbench
