#include "common/dialog.hpp"

#include <filesystem>
#include <system_error>

#include "common/console.hpp"
#include "common/shell.hpp"

namespace dialog {

bool ask_yes_no(std::FILE* out, const std::string& question) {
  std::fputs(question.c_str(), out);
  std::fflush(out);
  const auto answer = con::read_line();
  return answer && !answer->empty() && (answer->front() == 'Y' || answer->front() == 'y');
}

std::optional<int> open_input(files::InputFile& in, std::string& name, const InputDialog& dialog,
                              bool ask_first) {
  for (bool ask = ask_first;; ask = true) {
    if (ask) {
      auto line = con::ask_line(dialog.out, dialog.prompt, dialog.what);
      if (!line) return exit_status::kEndOfInput;
      name = std::move(*line);
    }
    if (in.open(name)) {
      shell::set_subject(name);
      return std::nullopt;
    }
    if (in.error() != files::InputError::cannot_open) {
      con::error_line(name + ": " + files::describe(in.error()));
      return dialog.refused_status;
    }
    // Asked again: first, why this one would not do.
    if (!name.empty()) con::error_line(name + ": cannot be opened: " + in.why());
  }
}

namespace {

// Whether `name` can be taken as the output; when not, a line on stderr says why.
bool usable(const std::string& name, std::span<const std::string> inputs,
            const OutputDialog& dialog, files::AtomicFile* file) {
  if (name.empty()) return false;
  for (const std::string& input : inputs) {
    if (files::same_target(name, input)) {
      con::error_line(name + ": " + dialog.names_an_input);
      return false;
    }
  }
  // The question comes before anything else is said of an existing file, so that a piped answer
  // is always taken by the question it was meant for, never as the next name.
  std::error_code ec;
  const auto status = std::filesystem::status(std::filesystem::path(name), ec);
  const bool existing_file =
      !ec && std::filesystem::exists(status) && !std::filesystem::is_directory(status);
  if (dialog.ask_replace && existing_file &&
      !ask_yes_no(dialog.out, "\"" + name + "\" exists; replace it? (Y/N) ")) {
    return false;
  }
  std::string why;
  if (!files::can_create(name, &why)) {
    con::error_line(name + ": " + why);
    return false;
  }
  if (file != nullptr && !file->open(name)) {
    con::error_line(name + ": " + file->why());
    return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> choose_output(std::string name, std::span<const std::string> inputs,
                                         const OutputDialog& dialog, files::AtomicFile* file) {
  for (bool first = true;; first = false) {
    if (usable(name, inputs, dialog, file)) return name;
    if (first && dialog.drop_pending_line) con::discard_pending_input();
    auto line = con::ask_line(dialog.out, dialog.prompt, dialog.what);
    if (!line) return std::nullopt;
    name = std::move(*line);
  }
}

}  // namespace dialog
