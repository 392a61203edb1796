#include <string>
#include <vector>

#include "common/console.hpp"
#include "yaz/yaz.hpp"

int main(int argc, char** argv) {
  con::init();
  con::set_program_name("yaz");
  return yaz::run(std::vector<std::string>(argv + 1, argv + argc));
}
