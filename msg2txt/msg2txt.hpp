// The text-dump decompiler: a message archive back into a dump that txt2msg compiles to the same
// bytes.
#pragma once

#include <string>
#include <vector>

namespace msg2txt {

// The whole program; returns the exit status.
int run(const std::vector<std::string>& args);

}  // namespace msg2txt
