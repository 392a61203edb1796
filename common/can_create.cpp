// Whether an output name can be written, tried without changing anything that exists.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "common/files.hpp"
#include "common/files_detail.hpp"
#include "common/signals.hpp"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <cerrno>
#endif

namespace fs = std::filesystem;

namespace files {
namespace {

enum class Probe { created, exists, failed };

// Creates `path` as a new file and removes it again. Nothing can come in between: no other
// program's file of that name is ever removed, and no interruption leaves the probe behind. On
// failure, `why` is the system's reason.
#ifdef _WIN32
Probe probe_new(const std::string& path, std::error_code& why) {
  const signals::Hold hold;
  HANDLE probe = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    why = std::error_code(static_cast<int>(error), std::system_category());
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Probe::exists
                                                                       : Probe::failed;
  }
  CloseHandle(probe);  // the probe goes away as it is closed
  return Probe::created;
}
#else
Probe probe_new(const std::string& path, std::error_code& why) {
  const signals::Hold hold;
  const int fd = detail::create_new(path);
  if (fd < 0) {
    why = detail::last_errno();
    return errno == EEXIST ? Probe::exists : Probe::failed;
  }
  ::close(fd);
  ::unlink(path.c_str());
  return Probe::created;
}
#endif

}  // namespace

bool can_create(const std::string& name, std::string* why) {
  std::string ignored;
  std::string& out = why != nullptr ? *why : ignored;
  out.clear();
  if (name.empty()) {
    out = "no name was given";
    return false;
  }
  const std::string real = resolve_links(name);
  const fs::path path(real);
  // Another run may make or remove a file of this name meanwhile (its own probe, or its output
  // put in place): look again when what was seen is gone or has come.
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (fs::exists(st)) {
      if (!fs::is_regular_file(st)) {
        out =
            fs::is_directory(st) ? "a folder of that name is in the way" : "it is not a plain file";
        return false;
      }
      if (std::FILE* f = std::fopen(real.c_str(), "r+b")) {
        std::fclose(f);
        return true;
      }
      const std::error_code opened = detail::last_errno();
      if (fs::exists(path, ec)) {  // there, but not to be written
        out = "cannot be written: " + detail::reason(opened);
        return false;
      }
      continue;
    }
    if (ec && ec != std::errc::no_such_file_or_directory) {
      out = "cannot be created: " + detail::reason(ec);
      return false;
    }
    std::error_code probe;
    switch (probe_new(real, probe)) {
      case Probe::created: return true;
      case Probe::failed: out = "cannot be created: " + detail::reason(probe); return false;
      case Probe::exists: continue;
    }
  }
  // Files of this name keep coming and going: the name can be made.
  return true;
}

}  // namespace files
