// Applying a patch, the program side: the N64 byte orders, a file already patched, the boot check
// code, the output.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "bps/bps.hpp"
#include "bpscore/patch.hpp"
#include "common/files.hpp"

namespace bps {

// The names of the two files a run reads.
struct Names {
  std::string first;
  std::string second;
};

std::string hex32(std::uint32_t v);
std::string count(std::uint64_t n);

// A byteswapped image's native-order copy; nullopt for native images and other files.
std::optional<bpscore::Bytes> native_copy(bpscore::ByteSpan image);
// "16-bit byteswapped (v64)", and the like.
std::string order_of(bpscore::ByteSpan image);

// The output dialogue, starting from `name`: never one of the inputs.
std::optional<std::string> ask_output(const std::string& name, const Names& n);

int apply_bps(const Options& o, const Names& n, files::InputFile& original,
              files::InputFile& patch);
int apply_ips(const Options& o, const Names& n, files::InputFile& original,
              files::InputFile& patch);

}  // namespace bps
