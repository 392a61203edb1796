#include <string>
#include <vector>

#include "common/console.hpp"
#include "txt2msg/txt2msg.hpp"

int main(int argc, char** argv) {
  con::init();
  con::set_program_name("txt2msg");
  return txt2msg::run(std::vector<std::string>(argv + 1, argv + argc));
}
