#include "common/input.hpp"

#include <filesystem>
#include <system_error>

#include "common/console.hpp"

namespace files {

bool open_input_or_say_why(InputFile& file, const std::string& name) {
  if (file.open(name)) return true;
  std::error_code ec;
  const bool exists = std::filesystem::exists(std::filesystem::path(name), ec);
  con::error_line(name + (exists ? ": cannot read the file" : ": no such file"));
  return false;
}

}  // namespace files
