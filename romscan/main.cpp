#include "common/shell.hpp"
#include "romscan/romscan.hpp"

int main(int argc, char** argv) { return shell::main(romscan::kProgram, argc, argv); }
