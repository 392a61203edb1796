#include "common/console.hpp"
#include "unyaz/unyaz.hpp"

int main(int argc, char** argv) {
  con::init();
  con::set_program_name("unyaz");
  return unyaz::run(argc, argv);
}
