// Output files that replace their target only when complete.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "common/files.hpp"
#include "common/files_detail.hpp"
#include "common/signals.hpp"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace fs = std::filesystem;

namespace files {
namespace {

enum class Created { yes, exists, failed };

#ifdef _WIN32

unsigned long process_id() { return GetCurrentProcessId(); }

std::error_code last_error(DWORD error = GetLastError()) {
  return std::error_code(static_cast<int>(error), std::system_category());
}

// Creates `temp` as a new file open for writing, shared for deletion so that an interruption can
// remove it while it is open.
Created create_temporary(const std::string& temp, std::FILE*& file, std::error_code& why) {
  HANDLE h = CreateFileA(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    why = last_error(error);
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Created::exists
                                                                       : Created::failed;
  }
  const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(h), _O_WRONLY | _O_BINARY);
  file = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
  if (file != nullptr) return Created::yes;
  why = detail::last_errno();
  if (fd >= 0) {
    _close(fd);
  } else {
    CloseHandle(h);
  }
  DeleteFileA(temp.c_str());
  return Created::failed;
}

void copy_permissions(std::FILE*, const std::string&) {}

bool replace(const std::string& from, const std::string& to, std::error_code& why) {
  if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0) return true;
  why = last_error();
  return false;
}

#else

unsigned long process_id() { return static_cast<unsigned long>(getpid()); }

Created create_temporary(const std::string& temp, std::FILE*& file, std::error_code& why) {
  const int fd = detail::create_new(temp);
  if (fd < 0) {
    why = detail::last_errno();
    return errno == EEXIST ? Created::exists : Created::failed;
  }
  file = fdopen(fd, "wb");
  if (file != nullptr) return Created::yes;
  why = detail::last_errno();
  ::close(fd);
  ::unlink(temp.c_str());
  return Created::failed;
}

// Gives the new file the owner, group and permissions of the file it replaces, as far as the
// system allows (root may give it any owner; others may keep their own file's group). The owner
// goes first, as changing it may clear the set-user bits.
void copy_permissions(std::FILE* file, const std::string& from) {
  struct stat st {};
  if (::stat(from.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
  const int fd = fileno(file);
  const bool owned =
      fchown(fd, st.st_uid, st.st_gid) == 0 || fchown(fd, static_cast<uid_t>(-1), st.st_gid) == 0;
  // When neither may be kept, the new file is the runner's: it still gets the permissions.
  static_cast<void>(owned);
  fchmod(fd, st.st_mode & 07777);
}

bool replace(const std::string& from, const std::string& to, std::error_code& why) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  why = detail::last_errno();
  return false;
}

#endif

// A temporary name in `folder` for a file that will become `real`. It keeps at most the first 24
// plain ASCII bytes of the target's file name, so that it stays short whatever the target's
// length: ".dump.tbl.~1234-0.tmp".
std::string temporary_name(const std::string& folder, const std::string& real) {
  static std::atomic<unsigned> counter{0};
  std::string keep;
  for (const char c : fs::path(real).filename().string()) {
    if (static_cast<unsigned char>(c) >= 0x80 || keep.size() >= 24) break;
    keep.push_back(c);
  }
  const std::string name =
      "." + keep + ".~" + std::to_string(process_id()) + "-" + std::to_string(counter++) + ".tmp";
  return (fs::path(folder) / name).string();
}

}  // namespace

#if defined(__linux__) && defined(O_TMPFILE)

namespace {

bool named_temporaries_forced() {
  // The tests use this to try the named temporary files that systems without unnamed ones get.
  const char* value = std::getenv("TOOLKIT_NAMED_TEMPORARIES");
  return value != nullptr && *value != '\0' && *value != '0';
}

// Gives an unnamed file its name `real`: straight to the target when nothing stands there,
// otherwise under a temporary name that is then moved over the target.
bool link_unnamed(std::FILE* file, const std::string& real, std::error_code& why) {
  const std::string self = "/proc/self/fd/" + std::to_string(fileno(file));
  if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, real.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  why = detail::last_errno();
  if (errno != EEXIST) return false;
  const std::string folder = detail::folder_of(real);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string temp = temporary_name(folder, real);
    const int watch = signals::watch_temporary(temp);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      const bool placed = std::rename(temp.c_str(), real.c_str()) == 0;
      if (!placed) {
        why = detail::last_errno();
        ::unlink(temp.c_str());
      }
      signals::forget_temporary(watch);
      return placed;
    }
    why = detail::last_errno();
    signals::forget_temporary(watch);
    if (why != std::errc::file_exists) return false;
  }
  return false;
}

// Large runs of zeros: the file system allocates zeroed space instead of copying zeros into it.
// The file is not sparse; its new bytes read as zero.
bool allocate_zeros(std::FILE* file, std::uint64_t count) {
  if (count < (std::uint64_t{1} << 20) || std::fflush(file) != 0) return false;
  const int fd = fileno(file);
  const off_t end = lseek(fd, 0, SEEK_END);
  return end >= 0 && fallocate(fd, 0, end, static_cast<off_t>(count)) == 0 &&
         std::fseek(file, 0, SEEK_END) == 0;
}

}  // namespace

bool AtomicFile::open_unnamed(const std::string& folder) {
  if (named_temporaries_forced()) return false;
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  // The file gets its name through /proc when it is complete.
  if (::access(("/proc/self/fd/" + std::to_string(fd)).c_str(), F_OK) != 0) {
    ::close(fd);
    return false;
  }
  file_ = fdopen(fd, "wb");
  if (file_ == nullptr) {
    ::close(fd);
    return false;
  }
  unnamed_ = true;
  return true;
}

#else

namespace {

bool link_unnamed(std::FILE*, const std::string&, std::error_code&) { return false; }
bool allocate_zeros(std::FILE*, std::uint64_t) { return false; }

}  // namespace

bool AtomicFile::open_unnamed(const std::string&) { return false; }

#endif

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open_named(const std::string& folder) {
  std::error_code why;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temp = temporary_name(folder, real_);
    const int watch = signals::watch_temporary(temp);
    std::FILE* f = nullptr;
    const Created created = create_temporary(temp, f, why);
    if (created != Created::yes) {
      signals::forget_temporary(watch);
      if (created == Created::exists) continue;
      why_ = "cannot be created: " + detail::reason(why);
      return false;
    }
    file_ = f;
    temp_ = std::move(temp);
    watch_ = watch;
    unnamed_ = false;
    return true;
  }
  why_ = "cannot be created: " + detail::reason(why);
  return false;
}

bool AtomicFile::open(const std::string& target) {
  discard();
  why_.clear();
  if (!can_create(target, &why_)) return false;
  real_ = resolve_links(target);
  std::error_code ec;
  existed_ = fs::exists(fs::path(real_), ec);
  const std::string folder = detail::folder_of(real_);
  if (!open_unnamed(folder) && !open_named(folder)) return false;
  if (existed_) copy_permissions(file_, real_);
  target_ = target;
  failed_ = false;
  finished_ = false;
  return true;
}

bool AtomicFile::write(const void* data, std::size_t size) {
  if (!is_open()) return false;
  if (size != 0 && std::fwrite(data, 1, size, file_) != size) write_failed();
  return !failed_;
}

bool AtomicFile::write_zeros(std::uint64_t count) {
  if (is_open() && !failed_ && allocate_zeros(file_, count)) return true;
  static const std::vector<std::uint8_t> zeros(std::size_t{1} << 20, 0);
  while (count > 0 && !failed_) {
    const std::size_t now = count < zeros.size() ? static_cast<std::size_t>(count) : zeros.size();
    write(zeros.data(), now);
    count -= now;
  }
  return !failed_;
}

void AtomicFile::write_failed() {
  const std::error_code error = detail::last_errno();
  failed_ = true;
  if (!why_.empty()) return;  // the first failure is the one to tell
  why_ = error ? "cannot be written: " + detail::reason(error) : "cannot be written";
}

void AtomicFile::close_stream() {
  if (file_ != nullptr && std::fclose(file_) != 0) write_failed();
  file_ = nullptr;
}

bool AtomicFile::finish() {
  if (file_ == nullptr || finished_) return finished_;
  if (std::fflush(file_) != 0 || std::ferror(file_) != 0) write_failed();
  // An unnamed file stays open: it is given its name through its descriptor.
  if (!unnamed_) close_stream();
  if (failed_) {
    discard();
    return false;
  }
  finished_ = true;
  return true;
}

bool AtomicFile::publish() {
  if (!finished_) return false;
  const signals::Hold hold;
  bool placed = false;
  std::error_code why;
  if (unnamed_) {
    placed = link_unnamed(file_, real_, why);
    close_stream();
  } else if (!temp_.empty()) {
    placed = replace(temp_, real_, why);
    if (placed) {
      temp_.clear();
      signals::forget_temporary(watch_);
      watch_ = -1;
    }
  }
  finished_ = false;
  if (!placed) {
    why_ = why ? "cannot be put in place: " + detail::reason(why) : "cannot be put in place";
    discard();
  }
  return placed;
}

bool AtomicFile::commit() { return finish() && publish(); }

void AtomicFile::discard() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  if (!temp_.empty()) {
    std::remove(temp_.c_str());
    temp_.clear();
  }
  signals::forget_temporary(watch_);
  watch_ = -1;
  unnamed_ = false;
  finished_ = false;
}

#ifndef _WIN32
int detail::create_new(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}
#endif

}  // namespace files
