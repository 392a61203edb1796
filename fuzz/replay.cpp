// Replays saved inputs through one fuzz harness without libFuzzer, so that the ordinary test run
// (any compiler) checks every seed and regression too. Arguments: files, or folders whose files
// are all replayed (notes ending in .md are passed over). A broken invariant aborts the run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    const fs::path path(argv[i]);
    if (fs::is_directory(path)) {
      for (const auto& entry : fs::recursive_directory_iterator(path)) {
        if (entry.is_regular_file() && entry.path().extension() != ".md") {
          inputs.push_back(entry.path());
        }
      }
    } else if (fs::is_regular_file(path)) {
      inputs.push_back(path);
    }
  }
  std::sort(inputs.begin(), inputs.end());
  for (const fs::path& input : inputs) {
    std::ifstream in(input, std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    // A copy of its own, as libFuzzer gives: a read past the end shows under the sanitizers.
    const std::vector<std::uint8_t> exact(
        bytes);  // NOLINT(performance-unnecessary-copy-initialization)
    LLVMFuzzerTestOneInput(exact.data(), exact.size());
  }
  std::printf("replayed %zu inputs\n", inputs.size());
  return 0;
}
