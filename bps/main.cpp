#include "bps/bps.hpp"
#include "common/shell.hpp"

int main(int argc, char** argv) { return shell::main(bps::kProgram, argc, argv); }
