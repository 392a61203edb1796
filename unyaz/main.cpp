#include "common/shell.hpp"
#include "unyaz/unyaz.hpp"

int main(int argc, char** argv) { return shell::main(unyaz::kProgram, argc, argv); }
