#include <string>
#include <vector>

#include "common/console.hpp"
#include "romcrc/romcrc.hpp"

int main(int argc, char** argv) {
  con::init();
  con::set_program_name("romcrc");
  return romcrc::run(std::vector<std::string>(argv + 1, argv + argc));
}
