#include <string>
#include <vector>

#include "common/console.hpp"
#include "msg2txt/msg2txt.hpp"

int main(int argc, char** argv) {
  con::init();
  con::set_program_name("msg2txt");
  return msg2txt::run(std::vector<std::string>(argv + 1, argv + argc));
}
