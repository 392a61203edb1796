#include "common/shell.hpp"
#include "tex2png/tex2png.hpp"

int main(int argc, char** argv) { return shell::main(tex2png::kProgram, argc, argv); }
