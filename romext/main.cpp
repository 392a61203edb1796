#include "common/shell.hpp"
#include "romext/romext.hpp"

int main(int argc, char** argv) { return shell::main(romext::kProgram, argc, argv); }
