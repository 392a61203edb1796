// The unyaz program: asks for the names it needs, decodes one Yaz0, Yay0 or MIO0 file and writes
// the output file.
#pragma once

#include "common/shell.hpp"

namespace unyaz {

// Exit status after a failed decoding (a short or faulty file, a refused forced decoding, an
// output that could not be written): -1 as the system reports it.
// The whole program; returns its exit status.
int run(const shell::Args& args);

extern const shell::Program kProgram;

}  // namespace unyaz
