#include <string>
#include <vector>

#include "bps/bps.hpp"
#include "common/console.hpp"

int main(int argc, char** argv) {
  con::init();
  con::set_program_name("bps");
  return bps::run(std::vector<std::string>(argv + 1, argv + argc));
}
