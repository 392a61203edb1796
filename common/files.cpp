#include "common/files.hpp"

#include <algorithm>
#include <atomic>
#include <cwctype>
#include <filesystem>
#include <new>
#include <stdexcept>
#include <system_error>

#include "common/signals.hpp"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#endif

namespace fs = std::filesystem;

namespace files {

namespace {

#ifdef _WIN32
constexpr const char* kSeparators = "/\\:";
#else
constexpr const char* kSeparators = "/";
#endif

// The folder that holds `path`, as a name the system takes ("." for a bare file name).
std::string folder_of(const std::string& path) {
  const fs::path parent = fs::path(path).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

unsigned long process_id() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

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

std::string derive_output_name(std::string_view name, std::string_view ending) {
  std::string out(name);
  const std::size_t last = out.find_last_of(kSeparators);
  std::size_t i = last == std::string::npos ? 0 : last + 1;
  while (i < out.size() && out[i] == '.') ++i;
  const std::size_t dot = out.find('.', i);
  if (i < out.size() && dot != std::string::npos) out.resize(dot);
  out.append(ending);
  return out;
}

bool same_file(const std::string& a, const std::string& b) {
  std::error_code ec;
  const bool same = fs::equivalent(fs::path(a), fs::path(b), ec);
  return !ec && same;
}

bool same_target(const std::string& a, const std::string& b) {
  if (same_file(a, b)) return true;
  std::error_code ec1;
  std::error_code ec2;
  const fs::path pa = fs::weakly_canonical(fs::absolute(fs::path(resolve_links(a)), ec1), ec1);
  const fs::path pb = fs::weakly_canonical(fs::absolute(fs::path(resolve_links(b)), ec2), ec2);
  if (ec1 || ec2) return a == b;
#ifdef _WIN32
  // Windows names are case-insensitive.
  auto fold = [](std::wstring s) {
    for (auto& ch : s) ch = static_cast<wchar_t>(towlower(ch));
    return s;
  };
  return fold(pa.wstring()) == fold(pb.wstring());
#else
  return pa == pb;
#endif
}

std::string resolve_links(const std::string& name) {
  fs::path path(name);
  // As many links as the system itself follows before it gives up.
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(path, ec)) break;
    const fs::path to = fs::read_symlink(path, ec);
    if (ec) break;
    path = to.is_absolute() ? to : path.parent_path() / to;
  }
  return path.string();
}

std::string describe(InputError error) {
  switch (error) {
    case InputError::none: return "read";
    case InputError::cannot_open: return "cannot be opened";
    case InputError::device: return "is a device, not a file that can be read";
    case InputError::too_large:
      return "more than 4 GiB arrived; an input that is not a plain file is read whole and may "
             "not be larger";
    case InputError::no_memory: return "not enough memory to read the file";
    case InputError::read_failed: return "cannot be read";
  }
  return "cannot be read";
}

std::optional<std::vector<std::uint8_t>> read_file(const std::string& name) {
  InputFile in;
  if (!in.open(name)) return std::nullopt;
  const auto bytes = in.bytes();
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

InputFile::InputFile(InputFile&& other) noexcept { *this = std::move(other); }

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    close();
    read_ = std::move(other.read_);
    mapping_ = other.mapping_;
    size_ = other.size_;
    data_ = mapping_ != nullptr ? other.data_ : read_.data();
    watch_ = other.watch_;
    descriptor_ = other.descriptor_;
    modified_[0] = other.modified_[0];
    modified_[1] = other.modified_[1];
    cut_ = other.cut_;
    error_ = other.error_;
    other.mapping_ = nullptr;
    other.data_ = nullptr;
    other.size_ = 0;
    other.watch_ = -1;
    other.descriptor_ = -1;
    other.cut_ = false;
  }
  return *this;
}

InputFile::~InputFile() { close(); }

namespace {

#ifdef _WIN32
// When the file's data last changed, in the system's units, or false.
bool modification_time(HANDLE file, std::int64_t (&time)[2]) {
  FILETIME written{};
  if (!GetFileTime(file, nullptr, nullptr, &written)) return false;
  time[0] = written.dwHighDateTime;
  time[1] = written.dwLowDateTime;
  return true;
}
#else
// When the file's data last changed: seconds and nanoseconds.
bool modification_time(const struct stat& st, std::int64_t (&time)[2]) {
  time[0] = static_cast<std::int64_t>(st.st_mtime);
#if defined(__APPLE__)
  time[1] = static_cast<std::int64_t>(st.st_mtimespec.tv_nsec);
#else
  time[1] = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
#endif
  return true;
}
#endif

}  // namespace

bool InputFile::cut_short() const {
  if (cut_ || signals::mapping_cut_short(watch_)) return true;
  if (descriptor_ == -1) return false;
  // A file cut within its last page gives no signal: the lost bytes of that page read as zeros.
  // A file written again in place keeps or passes its size: its time of change tells.
  std::uint64_t size = 0;
  std::int64_t now[2] = {0, 0};
#ifdef _WIN32
  const auto file = reinterpret_cast<HANDLE>(descriptor_);
  LARGE_INTEGER length{};
  if (!GetFileSizeEx(file, &length) || !modification_time(file, now)) return true;
  size = static_cast<std::uint64_t>(length.QuadPart);
#else
  struct stat st {};
  if (fstat(static_cast<int>(descriptor_), &st) != 0) return true;
  modification_time(st, now);
  size = static_cast<std::uint64_t>(st.st_size);
#endif
  return size < static_cast<std::uint64_t>(size_) || now[0] != modified_[0] ||
         now[1] != modified_[1];
}

void InputFile::close() {
  signals::forget_mapping(watch_);
  watch_ = -1;
  if (mapping_ != nullptr) {
#ifdef _WIN32
    UnmapViewOfFile(data_);
    CloseHandle(static_cast<HANDLE>(mapping_));
#else
    munmap(const_cast<std::uint8_t*>(data_), size_);
#endif
  }
  if (descriptor_ != -1) {
#ifdef _WIN32
    CloseHandle(reinterpret_cast<HANDLE>(descriptor_));
#else
    ::close(static_cast<int>(descriptor_));
#endif
  }
  descriptor_ = -1;
  mapping_ = nullptr;
  data_ = nullptr;
  size_ = 0;
  cut_ = false;
  read_.clear();
}

namespace {

// One read from the system: the count read, 0 at the end, -1 on an error.
long long read_some(std::intptr_t handle, std::uint8_t* to, std::size_t size) {
  constexpr std::size_t kMaxRead = std::size_t{1} << 30;
  if (size > kMaxRead) size = kMaxRead;
#ifdef _WIN32
  DWORD got = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(handle), to, static_cast<DWORD>(size), &got, nullptr)) {
    // A pipe whose writer has gone has ended.
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
  }
  return got;
#else
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(handle), to, size);
    if (got >= 0 || errno != EINTR) return got;
  }
#endif
}

}  // namespace

bool InputFile::read_whole(std::intptr_t handle, std::uint64_t expected) {
  try {
    std::size_t have = 0;
    // One byte more than expected, so that the end is seen without growing.
    std::uint64_t want = expected > 0 ? expected + 1 : std::uint64_t{1} << 16;
    if (want > kMaxReadSize + 1) want = kMaxReadSize + 1;
    if (want > SIZE_MAX) throw std::bad_alloc();
    read_.resize(static_cast<std::size_t>(want));
    for (;;) {
      if (have == read_.size()) {
        const std::uint64_t bigger =
            std::min<std::uint64_t>(std::uint64_t{read_.size()} * 2, kMaxReadSize + 1);
        if (bigger > SIZE_MAX) throw std::bad_alloc();
        read_.resize(static_cast<std::size_t>(bigger));
      }
      const long long got = read_some(handle, read_.data() + have, read_.size() - have);
      if (got < 0) {
        error_ = InputError::read_failed;
        break;
      }
      if (got == 0) break;
      have += static_cast<std::size_t>(got);
      if (have > kMaxReadSize) {
        error_ = InputError::too_large;
        break;
      }
    }
    if (error_ != InputError::none) {
      read_ = {};
      return false;
    }
    read_.resize(have);
    cut_ = expected > 0 && have < expected;
    data_ = read_.data();
    size_ = read_.size();
    return true;
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  read_ = {};
  error_ = InputError::no_memory;
  return false;
}

bool InputFile::open(const std::string& name) {
  close();
  error_ = InputError::none;
#ifdef _WIN32
  HANDLE file = CreateFileA(name.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (name.empty() || file == INVALID_HANDLE_VALUE) {
    error_ = InputError::cannot_open;
    return false;
  }
  const DWORD type = GetFileType(file);
  if (type == FILE_TYPE_CHAR) {
    CloseHandle(file);
    error_ = InputError::device;
    return false;
  }
  LARGE_INTEGER size{};
  const bool disk = type == FILE_TYPE_DISK && GetFileSizeEx(file, &size);
  if (disk && size.QuadPart > 0 && static_cast<unsigned long long>(size.QuadPart) <= SIZE_MAX) {
    HANDLE map = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (map != nullptr) {
      void* view = MapViewOfFile(map, FILE_MAP_READ, 0, 0, 0);
      if (view != nullptr) {
        if (!modification_time(file, modified_)) {
          CloseHandle(file);
          file = INVALID_HANDLE_VALUE;
        }
        descriptor_ = reinterpret_cast<std::intptr_t>(file);
        mapping_ = map;
        data_ = static_cast<const std::uint8_t*>(view);
        size_ = static_cast<std::size_t>(size.QuadPart);
        return true;
      }
      CloseHandle(map);
    }
  }
  const bool ok = read_whole(reinterpret_cast<std::intptr_t>(file),
                             disk ? static_cast<std::uint64_t>(size.QuadPart) : 0);
  CloseHandle(file);
  return ok;
#else
  const int fd = name.empty() ? -1 : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    if (fd >= 0) ::close(fd);
    error_ = InputError::cannot_open;
    return false;
  }
  if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) {
    ::close(fd);
    error_ = InputError::device;
    return false;
  }
  const bool regular = S_ISREG(st.st_mode);
  if (regular && st.st_size > 0 && static_cast<std::uint64_t>(st.st_size) <= SIZE_MAX) {
    const auto size = static_cast<std::size_t>(st.st_size);
    void* view = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (view != MAP_FAILED) {
      descriptor_ = fd;
      modification_time(st, modified_);
      mapping_ = view;
      data_ = static_cast<const std::uint8_t*>(view);
      size_ = size;
      // Should the file be cut short meanwhile, the lost part reads as zeros and cut_short()
      // tells.
      watch_ = signals::watch_mapping(view, size);
      return true;
    }
  }
  const bool ok = read_whole(fd, regular ? static_cast<std::uint64_t>(st.st_size) : 0);
  ::close(fd);
  return ok;
#endif
}

namespace {

#ifndef _WIN32
// Creates `path` as a new, empty file; -1 (errno set) when it cannot be made or already exists.
int create_new(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}
#endif

}  // namespace

namespace {

enum class Probe { created, exists, failed };

// Creates `path` as a new file and removes it again. Nothing can come in between: no other
// program's file of that name is ever removed, and no interruption leaves the probe behind.
Probe probe_new(const std::string& path) {
  const signals::Hold hold;
#ifdef _WIN32
  HANDLE probe = CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Probe::exists
                                                                       : Probe::failed;
  }
  CloseHandle(probe);  // the probe goes away as it is closed
  return Probe::created;
#else
  const int fd = create_new(path);
  if (fd < 0) return errno == EEXIST ? Probe::exists : Probe::failed;
  ::close(fd);
  ::unlink(path.c_str());
  return Probe::created;
#endif
}

}  // namespace

bool can_create(const std::string& name) {
  if (name.empty()) return false;
  const std::string real = resolve_links(name);
  const fs::path path(real);
  // Another run may make or remove a file of this name meanwhile (its own probe, or its output
  // put in place): look again when what was seen is gone or has come.
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (fs::exists(st)) {
      if (!fs::is_regular_file(st)) return false;
      if (std::FILE* f = std::fopen(real.c_str(), "r+b")) {
        std::fclose(f);
        return true;
      }
      if (fs::exists(path, ec)) return false;  // there, but not to be written
      continue;
    }
    if (ec && ec != std::errc::no_such_file_or_directory) return false;
    switch (probe_new(real)) {
      case Probe::created: return true;
      case Probe::failed: return false;
      case Probe::exists: continue;
    }
  }
  // Files of this name keep coming and going: the name can be made.
  return true;
}

AtomicFile::~AtomicFile() { discard(); }

namespace {

[[maybe_unused]] bool named_temporaries_forced() {
  // The tests use this to try the named temporary files that systems without unnamed ones get.
  const char* value = std::getenv("TOOLKIT_NAMED_TEMPORARIES");
  return value != nullptr && *value != '\0' && *value != '0';
}

// Gives the new file the permissions of the file it replaces.
void copy_permissions([[maybe_unused]] std::FILE* file, [[maybe_unused]] const std::string& from) {
#ifndef _WIN32
  struct stat st {};
  if (::stat(from.c_str(), &st) == 0 && S_ISREG(st.st_mode))
    fchmod(fileno(file), st.st_mode & 07777);
#endif
}

}  // namespace

bool AtomicFile::open_unnamed([[maybe_unused]] const std::string& folder) {
#if defined(__linux__) && defined(O_TMPFILE)
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
#else
  return false;
#endif
}

bool AtomicFile::open_named(const std::string& folder) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temp = temporary_name(folder, real_);
    const int watch = signals::watch_temporary(temp);
#ifdef _WIN32
    // Shared for deletion, so that an interruption can remove it while it is open.
    HANDLE h = CreateFileA(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                           nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      signals::forget_temporary(watch);
      if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) continue;
      return false;
    }
    const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(h), _O_WRONLY | _O_BINARY);
    std::FILE* f = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
    if (f == nullptr) {
      if (fd >= 0) {
        _close(fd);
      } else {
        CloseHandle(h);
      }
      DeleteFileA(temp.c_str());
      signals::forget_temporary(watch);
      return false;
    }
#else
    const int fd = create_new(temp);
    if (fd < 0) {
      const int error = errno;
      signals::forget_temporary(watch);
      if (error == EEXIST) continue;
      return false;
    }
    std::FILE* f = fdopen(fd, "wb");
    if (f == nullptr) {
      ::close(fd);
      ::unlink(temp.c_str());
      signals::forget_temporary(watch);
      return false;
    }
#endif
    file_ = f;
    temp_ = std::move(temp);
    watch_ = watch;
    unnamed_ = false;
    return true;
  }
  return false;
}

bool AtomicFile::open(const std::string& target) {
  discard();
  if (!can_create(target)) return false;
  real_ = resolve_links(target);
  std::error_code ec;
  existed_ = fs::exists(fs::path(real_), ec);
  const std::string folder = folder_of(real_);
  if (!open_unnamed(folder) && !open_named(folder)) return false;
  if (existed_) copy_permissions(file_, real_);
  target_ = target;
  failed_ = false;
  finished_ = false;
  return true;
}

bool AtomicFile::write(const void* data, std::size_t size) {
  if (!is_open()) return false;
  if (size != 0 && std::fwrite(data, 1, size, file_) != size) failed_ = true;
  return !failed_;
}

bool AtomicFile::write_zeros(std::uint64_t count) {
#if defined(__linux__)
  // Large runs of zeros: let the file system allocate zeroed space instead of copying zeros into
  // it. The file is not sparse; its new bytes read as zero.
  if (is_open() && count >= (std::uint64_t{1} << 20) && !failed_ && std::fflush(file_) == 0) {
    const int fd = fileno(file_);
    const off_t end = lseek(fd, 0, SEEK_END);
    if (end >= 0 && fallocate(fd, 0, end, static_cast<off_t>(count)) == 0 &&
        std::fseek(file_, 0, SEEK_END) == 0) {
      return true;
    }
  }
#endif
  static const std::vector<std::uint8_t> zeros(std::size_t{1} << 20, 0);
  while (count > 0 && !failed_) {
    const std::size_t now = count < zeros.size() ? static_cast<std::size_t>(count) : zeros.size();
    write(zeros.data(), now);
    count -= now;
  }
  return !failed_;
}

void AtomicFile::close_stream() {
  if (file_ != nullptr && std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
}

bool AtomicFile::finish() {
  if (file_ == nullptr || finished_) return finished_;
  if (std::fflush(file_) != 0 || std::ferror(file_) != 0) failed_ = true;
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
#if defined(__linux__)
  if (unnamed_) {
    const std::string self = "/proc/self/fd/" + std::to_string(fileno(file_));
    // Straight to the target when nothing stands there; otherwise under a temporary name that is
    // then moved over the target.
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, real_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      placed = true;
    } else if (errno == EEXIST) {
      const std::string folder = folder_of(real_);
      for (int attempt = 0; attempt < 100 && !placed; ++attempt) {
        const std::string temp = temporary_name(folder, real_);
        const int watch = signals::watch_temporary(temp);
        if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) {
          placed = std::rename(temp.c_str(), real_.c_str()) == 0;
          if (!placed) ::unlink(temp.c_str());
          signals::forget_temporary(watch);
          break;
        }
        const int error = errno;
        signals::forget_temporary(watch);
        if (error != EEXIST) break;
      }
    }
    close_stream();
  }
#endif
  if (!unnamed_ && !temp_.empty()) {
#ifdef _WIN32
    placed = MoveFileExA(temp_.c_str(), real_.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    placed = std::rename(temp_.c_str(), real_.c_str()) == 0;
#endif
    if (placed) {
      temp_.clear();
      signals::forget_temporary(watch_);
      watch_ = -1;
    }
  }
  finished_ = false;
  if (!placed) discard();
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

bool write_file_atomically(const std::string& target, const std::vector<std::uint8_t>& bytes) {
  AtomicFile out;
  if (!out.open(target)) return false;
  out.write(bytes);
  return out.commit();
}

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
#endif

bool FolderLock::lock(const std::string& file, [[maybe_unused]] bool exclusive) {
  unlock();
  const std::string folder = folder_of(resolve_links(file));
#ifdef _WIN32
  // A lock on a file would keep it from being replaced on Windows; a named mutex does not.
  HANDLE mutex = CreateMutexA(nullptr, FALSE, mutex_name(folder).c_str());
  if (mutex == nullptr) return false;
  const DWORD waited = WaitForSingleObject(mutex, INFINITE);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    CloseHandle(mutex);
    return false;
  }
  handle_ = reinterpret_cast<std::intptr_t>(mutex);
  return true;
#else
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
#endif
}

void FolderLock::unlock() {
  if (handle_ == -1) return;
#ifdef _WIN32
  ReleaseMutex(reinterpret_cast<HANDLE>(handle_));
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
#else
  ::close(static_cast<int>(handle_));  // closing releases the lock
#endif
  handle_ = -1;
}

}  // namespace files
