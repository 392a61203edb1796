// The console layer: every interaction with the user's terminal goes through here, so the
// programs behave the same on Windows and POSIX and can be scripted through a pipe.
//
// When standard input is not a terminal, a "key" is simply the next byte of standard input.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "common/exit_status.hpp"

namespace con {

// Name used at the head of the programs' own error lines ("txt2msg: ...").
void set_program_name(const char* name);

// Puts the standard streams into binary mode (no newline translation) where that matters, and
// installs the handling of interruptions (common/signals.hpp). Every program calls it first.
void init();

bool stdin_is_terminal();
bool stdout_is_terminal();
bool stderr_is_terminal();

// Reads one whole line from standard input, without its line end (a CR before the LF is dropped
// too). Returns nullopt when input has ended before any character of the line.
std::optional<std::string> read_line();

// Reads one character from standard input (line-buffered on a console). EOF at end of input.
int read_char();

// Reads one key without echo and without waiting for Enter. From a pipe or file: the next byte.
// EOF at end of input.
int read_key();

// Drops pending console input. On a terminal: the rest of the line already typed and everything
// typed ahead. From a pipe or file: only the rest of the current input line, if one was started.
void discard_pending_input();

// Clears the console ("CLS" on Windows; an ANSI clear on POSIX, only when stdout is a terminal).
void clear_screen();

// Waits for a key ("PAUSE" on Windows; elsewhere the same prompt and one key).
void pause();

// Prints `prompt` on `out`, then reads one line. At end of input, prints one line on stderr
// saying that no `what` was given, and returns nullopt: the caller ends with
// exit_status::kEndOfInput.
std::optional<std::string> ask_line(std::FILE* out, const char* prompt, const char* what);

// Prints one error line "<program>: <text>" on stderr.
void error_line(const std::string& text);

// Writes `text`, the product of a run (a report, the help), on standard output and flushes it.
// False after one line on stderr when it cannot be written ("standard output: cannot be written:
// no space left on device"): the run has then failed.
bool put_report(std::string_view text);

}  // namespace con
