#include "common/shell.hpp"
#include "romput/romput.hpp"

int main(int argc, char** argv) { return shell::main(romput::kProgram, argc, argv); }
