#include "common/shell.hpp"
#include "msg2slk/msg2slk.hpp"

int main(int argc, char** argv) { return shell::main(msg2slk::kProgram, argc, argv); }
