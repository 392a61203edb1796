#include <string>
#include <vector>

#include "common/console.hpp"
#include "slk2msg/sylk.hpp"

int main(int argc, char** argv) {
  con::init();
  con::set_program_name("slk2msg");
  return slk2msg::run(std::vector<std::string>(argv + 1, argv + argc));
}
