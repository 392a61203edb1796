// What the two message compilers' programs share: switches, the file-name dialogue and writing
// the finished archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/files.hpp"
#include "msgcore/archive.hpp"
#include "msgcore/diagnostics.hpp"

namespace msgapp {

// Settings bits.
inline constexpr std::uint8_t kLineNumbers = 0x01;   // skip line numbers / column 1
inline constexpr std::uint8_t kTableMode = 0x02;     // .tbl instead of .off
inline constexpr std::uint8_t kBomComplaint = 0x04;  // ask about a missing byte-order mark

struct Switches {
  std::uint8_t settings = 0;
  std::optional<std::string> input;  // the last non-switch argument
  bool help = false;                 // a help switch was met (later arguments are not examined)
};

// Arguments from the first to the last: '-' or '/' starts a switch whose second character alone
// counts ('?', 'H', 'h' help; 'L'/'l' line numbers; 'O'/'o' table mode; 'Q'/'q' the BOM complaint
// when `accept_q`); each switch toggles its bit; anything else is a file name. An argument that
// starts with '/' and holds a second '/' is an absolute path, not a switch.
Switches parse_switches(std::span<const std::string> args, std::uint8_t initial, bool accept_q);

struct FrontEnd {
  const char* input_prompt;           // asked while the input cannot be read
  const char* input_what;             // "text file name", for the end-of-input line
  std::uint8_t settings = 0;          // the settings before the switches toggle them
  bool accept_q = false;              // the /Q switch counts
  std::span<const char* const> help;  // the old help text, which /H prints before a wait
};

struct OpenedFiles {
  std::string input_name;
  files::InputFile input;
  std::string index_name;
  std::string body_name;
};

// The file-name dialogue: reads the input (asking for a name while it cannot be read), derives
// the index name (".tbl" or ".off") and the body name (".bin", from the index name), asking for
// another name while one cannot be written or names the input (or, for the body, the index).
// nullopt when standard input ended at a prompt (`status` exit_status::kEndOfInput) or when the
// input cannot be used (a device, too large to read: `status` 1); a line has been printed on
// stderr.
std::optional<OpenedFiles> open_files(const FrontEnd& fe, std::uint8_t settings,
                                      const std::optional<std::string>& input_name, int& status);

// The two output files of a run. Each replaces its old file only once the run has completed, and
// the two are put in place together: another run writing the same pair at the same time puts its
// pair in place before or after, never in between.
class ArchiveOutput {
 public:
  // Starts both files; false after a line on stderr.
  bool open(const OpenedFiles& names, bool table_mode);
  // What the compiler writes the messages to.
  msg::ArchiveWriter& writer() { return writer_; }
  // Finishes the writer and puts both files in place (outcome::finish), unless `input` was cut
  // short. Returns the exit status.
  int finish(files::InputFile& input, const std::string& input_name);
  // Drops both files; what the names held before stays.
  void discard();

 private:
  files::AtomicFile index_;
  files::AtomicFile body_;
  msg::ArchiveWriter writer_{true};
};

// A line about the input as a whole for the end of a compile (none when `text` is empty), and the
// located note after it, which names the place `at`.
struct EndWarning {
  std::string text;
  std::size_t at = 0;
  std::string note;
};

// The end of a compile, shared by both programs: a compile that outgrew the index, or an input
// that was cut short while it was read, ends with one line and status 1 (the files are dropped);
// otherwise `warning` (if any) and the count of the compile's warnings are printed and the archive
// put in place. Returns the exit status.
int finish_compile(ArchiveOutput& out, OpenedFiles& files, const EndWarning& warning,
                   msg::Diagnostics& diag);

// The start of a compiler's run: its switches, then the file-name dialogue. A help switch prints
// the help lines on stdout and waits for one character. nullopt when the run ends here, with its
// exit status in `status` (0 after the help).
struct Started {
  Switches switches;
  OpenedFiles files;
};
std::optional<Started> start_compile(const FrontEnd& fe, std::span<const std::string> args,
                                     int& status);

}  // namespace msgapp
