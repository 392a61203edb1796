#include "common/shell.hpp"
#include "png2tex/png2tex.hpp"

int main(int argc, char** argv) { return shell::main(png2tex::kProgram, argc, argv); }
