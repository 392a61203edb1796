#include "common/shell.hpp"
#include "yaz/yaz.hpp"

int main(int argc, char** argv) { return shell::main(yaz::kProgram, argc, argv); }
