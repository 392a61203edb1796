// msg2slk: a message archive back into a SYLK table that slk2msg compiles to the same bytes.
#pragma once

#include "common/shell.hpp"

namespace msg2slk {

// The whole program; returns the exit status.
int run(const shell::Args& args);

extern const shell::Program kProgram;

}  // namespace msg2slk
