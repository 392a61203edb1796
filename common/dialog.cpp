#include "common/dialog.hpp"

#include <filesystem>
#include <system_error>

#include "common/console.hpp"
#include "common/files.hpp"

namespace dialog {

bool ask_yes_no(std::FILE* out, const std::string& question) {
  std::fputs(question.c_str(), out);
  std::fflush(out);
  const auto answer = con::read_line();
  return answer && !answer->empty() && (answer->front() == 'Y' || answer->front() == 'y');
}

std::optional<std::string> choose_output(std::string name, std::span<const std::string> inputs,
                                         const OutputDialog& dialog) {
  for (;;) {
    bool usable = !name.empty();
    for (const std::string& input : inputs) {
      if (usable && files::same_target(name, input)) {
        con::error_line(name + ": that is an input file; give another name for the output");
        usable = false;
      }
    }
    std::error_code ec;
    const bool exists = usable && std::filesystem::exists(std::filesystem::path(name), ec);
    if (usable && !files::can_create(name)) {
      con::error_line(name + (exists ? ": cannot be written" : ": cannot be created"));
      usable = false;
    } else if (exists) {
      usable = ask_yes_no(dialog.out, "\"" + name + "\" exists; replace it? (Y/N) ");
    }
    if (usable) return name;
    auto line = con::ask_line(dialog.out, dialog.prompt, dialog.what);
    if (!line) return std::nullopt;
    name = std::move(*line);
  }
}

}  // namespace dialog
