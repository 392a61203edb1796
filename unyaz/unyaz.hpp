// The unyaz program: asks for the names it needs, decodes one Yaz0 or Yay0 file and writes the
// output file.
#pragma once

namespace unyaz {

// Exit status after a failed decoding (a short or faulty file, a refused forced decoding, an
// output that could not be written): -1 as the system reports it.
inline constexpr int kExitFailed = 255;

// The whole program; returns its exit status.
int run(int argc, char** argv);

}  // namespace unyaz
