// Benchmark data, made on the spot: mixed data (source text and machine code, about 3.5:1 for a
// Yaz0 encoder), all zeros, and incompressible bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace benchdata {

using Bytes = std::vector<std::uint8_t>;

// kind: "mixed", "zeros" or "random".
Bytes make_data(const std::string& kind, std::size_t size);

}  // namespace benchdata
