// What the parts of the file layer share among themselves (not for the programs).
#pragma once

#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>

namespace files::detail {

// The folder that holds `path`, as a name the system takes ("." for a bare file name).
inline std::string folder_of(const std::string& path) {
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

// The system's reason in words to follow "NAME: cannot be created: ": "permission denied".
std::string reason(const std::error_code& why);

// The C library's last error (errno) as an error code.
inline std::error_code last_errno() { return std::error_code(errno, std::generic_category()); }

#ifndef _WIN32
// Creates `path` as a new, empty file open for writing; -1 (errno set) when it cannot be made or
// already exists.
int create_new(const std::string& path);
#endif

}  // namespace files::detail
