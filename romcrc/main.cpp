#include "common/shell.hpp"
#include "romcrc/romcrc.hpp"

int main(int argc, char** argv) { return shell::main(romcrc::kProgram, argc, argv); }
