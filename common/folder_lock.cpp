// A lock on a folder, so that a pair of files is put in place, or read, as one.
#include <cstdio>
#include <cwctype>
#include <filesystem>
#include <system_error>

#include "common/files.hpp"
#include "common/files_detail.hpp"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace fs = std::filesystem;

namespace files {

#ifdef _WIN32

namespace {

// Folders are named by a hash of their full, case-folded path.
std::string mutex_name(const std::string& folder) {
  std::error_code ec;
  fs::path full = fs::weakly_canonical(fs::absolute(fs::path(folder), ec), ec);
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (wchar_t ch : full.wstring()) {
    hash ^= static_cast<std::uint64_t>(towlower(ch));
    hash *= 0x100000001b3ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return std::string("Local\\toolkit-folder-") + text;
}

}  // namespace

// A lock on a file would keep it from being replaced on Windows; a named mutex does not. Shared
// holders wait for each other too.
bool FolderLock::lock(const std::string& file, bool) {
  unlock();
  HANDLE mutex =
      CreateMutexA(nullptr, FALSE, mutex_name(detail::folder_of(resolve_links(file))).c_str());
  if (mutex == nullptr) return false;
  const DWORD waited = WaitForSingleObject(mutex, INFINITE);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    CloseHandle(mutex);
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(mutex);
  return true;
}

void FolderLock::unlock() {
  if (handle_ == -1) return;
  ReleaseMutex(reinterpret_cast<HANDLE>(handle_));
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

#else

bool FolderLock::lock(const std::string& file, bool exclusive) {
  unlock();
  const std::string folder = detail::folder_of(resolve_links(file));
  const int fd = ::open(folder.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
  if (fd < 0) return false;
  int result = 0;
  while ((result = flock(fd, exclusive ? LOCK_EX : LOCK_SH)) != 0 && errno == EINTR) {
  }
  if (result != 0) {
    ::close(fd);
    return false;
  }
  handle_ = fd;
  return true;
}

void FolderLock::unlock() {
  if (handle_ == -1) return;
  ::close(static_cast<int>(handle_));  // closing releases the lock
  handle_ = -1;
}

#endif

}  // namespace files
