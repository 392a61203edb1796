#include "common/shell.hpp"
#include "greyconv/greyconv.hpp"

int main(int argc, char** argv) { return shell::main(greyconv::kProgram, argc, argv); }
