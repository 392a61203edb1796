// The exit statuses of every program, in one place.
#pragma once

namespace exit_status {

inline constexpr int kDone = 0;        // done (also after --help and --version)
inline constexpr int kFailed = 1;      // an input refused, the work failed, an output not written
inline constexpr int kUsage = 2;       // arguments the program cannot use
inline constexpr int kEndOfInput = 2;  // standard input ended at a prompt
// unyaz's status for every failure (a short read, faulty data, a declined forced decoding, an
// output not written): the old tool's -1, as the system reports it.
inline constexpr int kFaultyFile = 255;

}  // namespace exit_status
