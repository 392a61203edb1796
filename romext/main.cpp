#include "common/console.hpp"
#include "romext/romext.hpp"

int main(int argc, char** argv) {
  con::init();
  con::set_program_name("romext");
  return romext::run(argc, argv);
}
