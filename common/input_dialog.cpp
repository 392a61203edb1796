#include "common/input_dialog.hpp"

#include "common/console.hpp"

namespace dialog {

std::optional<int> open_input(files::InputFile& in, std::string& name, const InputDialog& dialog,
                              bool ask_first) {
  for (bool ask = ask_first;; ask = true) {
    if (ask) {
      auto line = con::ask_line(dialog.out, dialog.prompt, dialog.what);
      if (!line) return con::kExitEndOfInput;
      name = std::move(*line);
    }
    if (in.open(name)) return std::nullopt;
    if (in.error() != files::InputError::cannot_open) {
      con::error_line(name + ": " + files::describe(in.error()));
      return dialog.refused_status;
    }
  }
}

}  // namespace dialog
