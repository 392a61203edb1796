#include "common/shell.hpp"
#include "txt2msg/txt2msg.hpp"

int main(int argc, char** argv) { return shell::main(txt2msg::kProgram, argc, argv); }
