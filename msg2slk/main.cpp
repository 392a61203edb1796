#include <string>
#include <vector>

#include "common/console.hpp"
#include "msg2slk/msg2slk.hpp"

int main(int argc, char** argv) {
  con::init();
  con::set_program_name("msg2slk");
  return msg2slk::run(std::vector<std::string>(argv + 1, argv + argc));
}
