#include "common/files.hpp"

#include <cwctype>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace files {

std::string derive_output_name(std::string_view name, std::string_view ending) {
  std::string out(name);
  std::size_t i = 0;
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
  const fs::path pa = fs::weakly_canonical(fs::absolute(fs::path(a), ec1), ec1);
  const fs::path pb = fs::weakly_canonical(fs::absolute(fs::path(b), ec2), ec2);
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

std::optional<std::vector<std::uint8_t>> read_file(const std::string& name) {
  std::error_code ec;
  if (fs::is_directory(fs::path(name), ec)) return std::nullopt;
  std::FILE* f = std::fopen(name.c_str(), "rb");
  if (f == nullptr) return std::nullopt;
  std::vector<std::uint8_t> data;
  // Read in one go when the size is known; keep reading in case the file grew or is a stream.
  const auto size = fs::file_size(fs::path(name), ec);
  std::size_t have = 0;
  if (!ec && size > 0) {
    data.resize(static_cast<std::size_t>(size));
    have = std::fread(data.data(), 1, data.size(), f);
  }
  bool ok = std::ferror(f) == 0;
  // Whatever follows (a file that grew, or one whose size was not known) in further blocks.
  int c = 0;
  while (ok && have == data.size() && (c = std::fgetc(f)) != EOF) {
    data.resize(have + 1 + (std::size_t{1} << 16));
    data[have++] = static_cast<std::uint8_t>(c);
    have += std::fread(data.data() + have, 1, data.size() - have, f);
  }
  if (std::ferror(f) != 0) ok = false;
  std::fclose(f);
  if (!ok) return std::nullopt;
  data.resize(have);
  return data;
}

InputFile::InputFile(InputFile&& other) noexcept { *this = std::move(other); }

InputFile& InputFile::operator=(InputFile&& other) noexcept {
  if (this != &other) {
    close();
    read_ = std::move(other.read_);
    mapping_ = other.mapping_;
    size_ = other.size_;
    data_ = mapping_ != nullptr ? other.data_ : read_.data();
    other.mapping_ = nullptr;
    other.data_ = nullptr;
    other.size_ = 0;
  }
  return *this;
}

InputFile::~InputFile() { close(); }

void InputFile::close() {
  if (mapping_ != nullptr) {
#ifdef _WIN32
    UnmapViewOfFile(data_);
    CloseHandle(static_cast<HANDLE>(mapping_));
#else
    munmap(const_cast<std::uint8_t*>(data_), size_);
#endif
  }
  mapping_ = nullptr;
  data_ = nullptr;
  size_ = 0;
  read_.clear();
}

bool InputFile::open(const std::string& name) {
  close();
  std::error_code ec;
  if (fs::is_directory(fs::path(name), ec)) return false;
    // A regular file of known size is mapped; anything else (empty files, pipes) is read.
#ifdef _WIN32
  HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    LARGE_INTEGER size{};
    if (GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size) && size.QuadPart > 0 &&
        static_cast<unsigned long long>(size.QuadPart) <= SIZE_MAX) {
      HANDLE map = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
      if (map != nullptr) {
        void* view = MapViewOfFile(map, FILE_MAP_READ, 0, 0, 0);
        if (view != nullptr) {
          CloseHandle(file);
          mapping_ = map;
          data_ = static_cast<const std::uint8_t*>(view);
          size_ = static_cast<std::size_t>(size.QuadPart);
          return true;
        }
        CloseHandle(map);
      }
    }
    CloseHandle(file);
  }
#else
  const int fd = ::open(name.c_str(), O_RDONLY);
  if (fd >= 0) {
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
      const auto size = static_cast<std::size_t>(st.st_size);
      void* view = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
      if (view != MAP_FAILED) {
        ::close(fd);
        mapping_ = view;
        data_ = static_cast<const std::uint8_t*>(view);
        size_ = size;
        return true;
      }
    }
    ::close(fd);
  }
#endif
  auto data = read_file(name);
  if (!data) return false;
  read_ = std::move(*data);
  data_ = read_.data();
  size_ = read_.size();
  return true;
}

bool can_create(const std::string& name) {
  if (name.empty()) return false;
  std::error_code ec;
  const fs::path path = fs::path(name);
  if (fs::exists(path, ec)) {
    if (!fs::is_regular_file(path, ec)) return false;
    std::FILE* f = std::fopen(name.c_str(), "r+b");
    if (f == nullptr) return false;
    std::fclose(f);
    return true;
  }
  std::FILE* f = std::fopen(name.c_str(), "wb");
  if (f == nullptr) return false;
  std::fclose(f);
  std::remove(name.c_str());
  return true;
}

namespace {

std::string temp_name_for(const std::string& target, int attempt) {
#ifdef _WIN32
  const unsigned long pid = GetCurrentProcessId();
#else
  const unsigned long pid = static_cast<unsigned long>(getpid());
#endif
  return target + ".~" + std::to_string(pid) + "-" + std::to_string(attempt) + ".tmp";
}

bool replace_file(const std::string& from, const std::string& to) {
#ifdef _WIN32
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::open(const std::string& target) {
  discard();
  if (!can_create(target)) return false;
  std::error_code ec;
  std::string real = target;
  if (fs::is_symlink(fs::path(target), ec)) {
    const fs::path resolved = fs::canonical(fs::path(target), ec);
    if (ec) return false;
    real = resolved.string();
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temp = temp_name_for(real, attempt);
    if (fs::exists(fs::path(temp), ec)) continue;
    file_ = std::fopen(temp.c_str(), "wb");
    if (file_ == nullptr) return false;
    const fs::file_status old = fs::status(fs::path(real), ec);
    if (!ec && fs::is_regular_file(old)) fs::permissions(fs::path(temp), old.permissions(), ec);
    target_ = target;
    real_ = std::move(real);
    temp_ = std::move(temp);
    failed_ = false;
    finished_ = false;
    return true;
  }
  return false;
}

bool AtomicFile::write(const void* data, std::size_t size) {
  if (file_ == nullptr) return false;
  if (size != 0 && std::fwrite(data, 1, size, file_) != size) failed_ = true;
  return !failed_;
}

bool AtomicFile::write_zeros(std::uint64_t count) {
#if defined(__linux__)
  // Large runs of zeros: let the file system allocate zeroed space instead of copying zeros into
  // it. The file is not sparse; its new bytes read as zero.
  if (file_ != nullptr && count >= (std::uint64_t{1} << 20) && !failed_ &&
      std::fflush(file_) == 0) {
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

bool AtomicFile::finish() {
  if (file_ == nullptr) return finished_;
  if (std::fflush(file_) != 0 || std::ferror(file_) != 0) failed_ = true;
  if (std::fclose(file_) != 0) failed_ = true;
  file_ = nullptr;
  if (failed_) {
    discard();
    return false;
  }
  finished_ = true;
  return true;
}

bool AtomicFile::publish() {
  if (!finished_ || temp_.empty()) return false;
  finished_ = false;
  if (replace_file(temp_, real_)) {
    temp_.clear();
    return true;
  }
  discard();
  return false;
}

bool AtomicFile::commit() { return finish() && publish(); }

void AtomicFile::discard() {
  if (file_ != nullptr) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temp_.empty()) {
    std::remove(temp_.c_str());
    temp_.clear();
  }
  finished_ = false;
}

bool write_file_atomically(const std::string& target, const std::vector<std::uint8_t>& bytes) {
  AtomicFile out;
  if (!out.open(target)) return false;
  out.write(bytes);
  return out.commit();
}

}  // namespace files
