#include "common/shell.hpp"
#include "msg2txt/msg2txt.hpp"

int main(int argc, char** argv) { return shell::main(msg2txt::kProgram, argc, argv); }
