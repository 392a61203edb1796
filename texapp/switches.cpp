#include "texapp/switches.hpp"

#include "common/console.hpp"

namespace texapp {

void set_problem(TexelSwitches& s, std::string text) {
  if (s.problem.empty()) s.problem = std::move(text);
}

bool take_shared(const switches::Found& found, TexelSwitches& s) {
  const std::string& v = found.value;
  switch (found.id) {
    case kFormat:
      s.format = texcore::parse_format(v);
      if (!s.format) set_problem(s, "--format " + v + ": not one of " + texcore::format_names());
      return true;
    case kPalette: s.palette = texcore::parse_palette_source(v); return true;
    case kPaletteFormat:
      if (const auto pf = texcore::parse_palette_format(v)) {
        s.palette_format = *pf;
      } else {
        set_problem(s, "--palette-format " + v + ": not rgba16 or ia16");
      }
      return true;
    default: return false;
  }
}

bool open_named(files::InputFile& file, const std::string& name) {
  if (file.open(name)) return true;
  con::error_line(name + ": " +
                  (file.error() == files::InputError::cannot_open
                       ? "cannot be opened: " + file.why()
                       : files::describe(file.error())));
  return false;
}

}  // namespace texapp
