#include "common/console.hpp"
#include "greyconv/greyconv.hpp"

int main(int argc, char** argv) {
  con::init();
  con::set_program_name("greyconv");
  return greyconv::run(argc, argv);
}
