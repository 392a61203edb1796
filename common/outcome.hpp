// The end of every run that writes a file: whether what was read is still whole, then putting the
// output in place or dropping it, with one line on stderr that says why it was dropped:
//
//   NAME: the file was cut short or changed while it was being read; nothing written
//   OUT: cannot be written: no space left on device; nothing written
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "common/exit_status.hpp"
#include "common/files.hpp"

namespace outcome {

// An input the output was made from, and its name for the lines.
struct Source {
  files::InputFile& file;
  std::string_view name;
};

// The line for an output that could not be made, written or put in place: "OUT: WHY; nothing
// written".
void say_not_written(const std::string& output, const std::string& why);

// True when no source was cut short or changed while it was read; otherwise false after the line
// that names the first such source. For runs that write no file (a report) as well.
bool inputs_whole(std::span<const Source> sources);
bool inputs_whole(std::initializer_list<Source> sources);

// Ends a run's outputs, which belong together (a message archive's two files), in this order:
// 1. a source cut short or changed: every output is dropped, with the line;
// 2. every output is completed; one that cannot be: all are dropped, with the line;
// 3. the sources are let go, and the outputs put in place in order; with more than one, under the
//    lock of the last one's folder and with interruptions held off, and a later one that cannot
//    be put in place takes back the new files of earlier ones that had nothing to replace.
// Returns exit_status::kDone, or `failed` after one line.
int finish(std::span<files::AtomicFile* const> outputs, std::span<const Source> sources,
           int failed = exit_status::kFailed);
int finish(files::AtomicFile& output, std::initializer_list<Source> sources,
           int failed = exit_status::kFailed);

// Opens `output`, with the line when it cannot be made (false then).
bool open(files::AtomicFile& output, const std::string& name);

// Writes `bytes` as the whole of the file `name` and ends as finish() does (a source cut short
// is found before the file is made).
int write(const std::string& name, std::span<const std::uint8_t> bytes,
          std::initializer_list<Source> sources, int failed = exit_status::kFailed);

}  // namespace outcome
