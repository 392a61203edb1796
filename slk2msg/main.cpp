#include "common/shell.hpp"
#include "slk2msg/slk2msg.hpp"

int main(int argc, char** argv) { return shell::main(slk2msg::kProgram, argc, argv); }
