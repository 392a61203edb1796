// Input files: a whole file, opened once, mapped where the system allows it or read whole.
#include <algorithm>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <system_error>

#include "common/files.hpp"
#include "common/files_detail.hpp"
#include "common/signals.hpp"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace files {

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
    why_ = std::move(other.why_);
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

#ifdef _WIN32

namespace {

// When the file's data last changed, in the system's units, or false.
bool modification_time(HANDLE file, std::int64_t (&time)[2]) {
  FILETIME written{};
  if (!GetFileTime(file, nullptr, nullptr, &written)) return false;
  time[0] = written.dwHighDateTime;
  time[1] = written.dwLowDateTime;
  return true;
}

// One read from the system: the count read, 0 at the end, -1 on an error.
long long read_some(std::intptr_t handle, std::uint8_t* to, std::size_t size) {
  constexpr std::size_t kMaxRead = std::size_t{1} << 30;
  DWORD got = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(handle), to, static_cast<DWORD>(std::min(size, kMaxRead)),
                &got, nullptr)) {
    // A pipe whose writer has gone has ended.
    return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
  }
  return got;
}

}  // namespace

bool InputFile::cut_short() const {
  if (cut_ || signals::mapping_cut_short(watch_)) return true;
  if (descriptor_ == -1) return false;
  // A file cut within its last page gives no signal: the lost bytes of that page read as zeros.
  // A file written again in place keeps or passes its size: its time of change tells.
  const auto file = reinterpret_cast<HANDLE>(descriptor_);
  LARGE_INTEGER length{};
  std::int64_t now[2] = {0, 0};
  if (!GetFileSizeEx(file, &length) || !modification_time(file, now)) return true;
  return static_cast<std::uint64_t>(length.QuadPart) < static_cast<std::uint64_t>(size_) ||
         now[0] != modified_[0] || now[1] != modified_[1];
}

void InputFile::close() {
  signals::forget_mapping(watch_);
  if (mapping_ != nullptr) {
    UnmapViewOfFile(data_);
    CloseHandle(static_cast<HANDLE>(mapping_));
  }
  if (descriptor_ != -1) CloseHandle(reinterpret_cast<HANDLE>(descriptor_));
  forget();
}

bool InputFile::open(const std::string& name) {
  close();
  error_ = InputError::none;
  HANDLE file = CreateFileA(name.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (name.empty() || file == INVALID_HANDLE_VALUE) {
    why_ = name.empty() ? "no name was given"
                        : detail::reason(std::error_code(static_cast<int>(GetLastError()),
                                                         std::system_category()));
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
}

#else

namespace {

// When the file's data last changed: seconds and nanoseconds.
void modification_time(const struct stat& st, std::int64_t (&time)[2]) {
  time[0] = static_cast<std::int64_t>(st.st_mtime);
#if defined(__APPLE__)
  time[1] = static_cast<std::int64_t>(st.st_mtimespec.tv_nsec);
#else
  time[1] = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
#endif
}

// One read from the system: the count read, 0 at the end, -1 on an error.
long long read_some(std::intptr_t handle, std::uint8_t* to, std::size_t size) {
  constexpr std::size_t kMaxRead = std::size_t{1} << 30;
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(handle), to, std::min(size, kMaxRead));
    if (got >= 0 || errno != EINTR) return got;
  }
}

}  // namespace

bool InputFile::cut_short() const {
  if (cut_ || signals::mapping_cut_short(watch_)) return true;
  if (descriptor_ == -1) return false;
  // A file cut within its last page gives no signal: the lost bytes of that page read as zeros.
  // A file written again in place keeps or passes its size: its time of change tells.
  struct stat st {};
  if (fstat(static_cast<int>(descriptor_), &st) != 0) return true;
  std::int64_t now[2] = {0, 0};
  modification_time(st, now);
  return static_cast<std::uint64_t>(st.st_size) < static_cast<std::uint64_t>(size_) ||
         now[0] != modified_[0] || now[1] != modified_[1];
}

void InputFile::close() {
  signals::forget_mapping(watch_);
  if (mapping_ != nullptr) munmap(const_cast<std::uint8_t*>(data_), size_);
  if (descriptor_ != -1) ::close(static_cast<int>(descriptor_));
  forget();
}

bool InputFile::open(const std::string& name) {
  close();
  error_ = InputError::none;
  const int fd = name.empty() ? -1 : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    why_ = name.empty()                     ? "no name was given"
           : fd >= 0 && S_ISDIR(st.st_mode) ? "is a folder"
                                            : detail::reason(detail::last_errno());
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
}

#endif

void InputFile::forget() {
  watch_ = -1;
  descriptor_ = -1;
  mapping_ = nullptr;
  data_ = nullptr;
  size_ = 0;
  cut_ = false;
  read_.clear();
}

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

}  // namespace files
