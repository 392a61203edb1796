// Opening an input file with one line for the user when that fails.
#pragma once

#include <string>

#include "common/files.hpp"

namespace files {

// Opens `name` into `file`. When that fails, says why on stderr in one line naming the file ("no
// such file" or "cannot read the file") and returns false.
bool open_input_or_say_why(InputFile& file, const std::string& name);

}  // namespace files
