// What happens when a run is interrupted: by Ctrl-C, a closed terminal, a broken pipe, kill, or
// (on Windows) the console's control events. Temporary files that the run has made are removed
// and the terminal gets its settings back before the program ends as the signal says. A write
// beyond the file-size limit fails like any other write instead of ending the program.
//
// Everything here is safe to use from a signal handler's point of view: the handler only reads
// fixed tables of pointers and makes system calls that may be made there.
#pragma once

#include <cstddef>
#include <string>

namespace signals {

// Installs the handlers, once (con::init calls it). Signals that were ignored when the program
// started (a job run with nohup, say) stay ignored.
void install();

// Names of temporary files to remove if the run is interrupted or ends through exit(). Returns a
// handle for forget_temporary(), or -1 when the table is full (the file is then not watched).
int watch_temporary(const std::string& path);
void forget_temporary(int handle);

// Holds interruptions off while it lives: a signal that arrives meanwhile takes effect when the
// outermost Hold ends. Used around steps that must not be cut in two (putting a pair of files
// in place).
class Hold {
 public:
  Hold();
  ~Hold();
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
};

// A file mapped into memory for reading. If the file is cut short while it is mapped, reading
// the lost part would end the program (SIGBUS); instead the lost part reads as zero bytes and
// mapping_cut_short() says so, so that the run can refuse to use what it read. Returns a handle,
// or -1 when the table is full.
int watch_mapping(const void* data, std::size_t size);
bool mapping_cut_short(int handle);
void forget_mapping(int handle);

// POSIX: terminal settings (a `termios`) to put back if the run is interrupted while they are
// changed, as while a key is read without echo; nullptr when there is nothing to put back. The
// object must stay alive until it is replaced by nullptr.
void restore_terminal_on_interrupt(const void* saved_settings);

}  // namespace signals
