// romcrc: reports an N64 ROM image's header and boot chip, checks the boot check code stored in
// its header against the one the console's boot code computes, and on request writes the right
// one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/result.hpp"
#include "common/shell.hpp"
#include "romcore/bootcheck.hpp"
#include "romcore/byteorder.hpp"
#include "romcore/header.hpp"

namespace romcrc {

struct Options {
  bool fix = false;             // --fix, /f, -f
  std::optional<rom::Cic> cic;  // --cic N
  std::optional<std::string> input;
  std::optional<std::string> output;  // where --fix writes, instead of the input
  std::string problem;                // a line for the user when the arguments cannot be used
};

// --fix and --cic (also --cic=N) anywhere; /f or -f is --fix. Switches are '/' or '-' and one
// letter (an argument that starts with '/' and holds another '/' is an absolute path). The first
// name is the image, the second the output of --fix. The shell has answered --help, -h, -?, /?
// and --version.
Options parse_arguments(const std::vector<std::string>& args);

// What is known about an image once it has been read.
struct Examination {
  std::uint64_t size = 0;
  rom::ByteOrder order = rom::ByteOrder::unknown;
  rom::Header header;
  std::uint32_t boot_crc = 0;             // the CRC-32 of the boot code
  rom::Cic detected = rom::Cic::unknown;  // the chip that boot code belongs to
  rom::Cic cic = rom::Cic::unknown;       // the chip the check code is computed for
  bool forced = false;                    // `cic` came from --cic
  rom::CheckCode stored;
  std::optional<rom::CheckCode> computed;  // none for an unknown chip or the disk drive's
  bool right() const { return computed && *computed == stored; }
};

// Reads the image as it stands in its file (any of the three byte orders). Only the part the
// check and the header need is straightened, in a copy.
base::Result<Examination> examine(std::span<const std::uint8_t> file,
                                  std::optional<rom::Cic> forced);

// The report on standard output, a line for each thing shown. `fixing`: a --fix run, whose
// report ends with the verdict and leaves what happens next to the lines that follow.
std::string report(const std::string& name, const Examination& x, bool fixing);

// Text bytes as they are shown: printable ASCII as it is, a backslash and a quotation mark with a
// backslash, anything else as \xNN (titles in other encodings, hostile bytes).
std::string shown_text(std::span<const std::uint8_t> text);

// The whole program; returns the exit status: 0 the check code is right or was fixed, 1 it is
// wrong and was not fixed or the image is refused, 2 usage or input ended at a prompt.
int run(const shell::Args& args);

extern const shell::Program kProgram;

}  // namespace romcrc
