// File names and file access shared by the programs.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace files {

// The output-name rule: the name is cut at its first '.' that follows a character other than
// '.' (leading dots are passed over), then `ending` is appended. A name without such a dot keeps
// its whole text. "dump.txt" -> "dump.tbl"; "..\dump.txt" -> "..\dump.tbl"; ".hidden" ->
// ".hidden.bin"; "old.files\dump.txt" -> "old.tbl".
std::string derive_output_name(std::string_view name, std::string_view ending);

// True when both names exist and denote the same file (also through links or other spellings).
bool same_file(const std::string& a, const std::string& b);

// True when both names denote the same file, whether or not it exists yet.
bool same_target(const std::string& a, const std::string& b);

// Reads a whole regular file. nullopt when it cannot be opened or read (a folder, say).
std::optional<std::vector<std::uint8_t>> read_file(const std::string& name);

// The bytes of a whole input file: mapped into memory where the system allows it, else read.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  ~InputFile();

  // False when the file cannot be opened or read (a folder, say).
  bool open(const std::string& name);
  std::span<const std::uint8_t> bytes() const { return {data_, size_}; }
  operator std::span<const std::uint8_t>() const { return bytes(); }

 private:
  void close();
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  void* mapping_ = nullptr;  // the system's handle or address of a mapped file
  std::vector<std::uint8_t> read_;
};

// True when `name` can be written: an existing regular file that may be opened for update, or a
// new file that can be created in its folder. Nothing existing is changed; a probe file made to
// check is removed again.
bool can_create(const std::string& name);

// An output file that replaces its target only when it is complete: bytes go to a temporary file
// beside the target, and commit() renames it over the target. Until then, and if the run fails,
// whatever the target held before stays as it was.
class AtomicFile {
 public:
  AtomicFile() = default;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();

  // Starts writing `target`. False (with nothing changed) when the temporary file cannot be made.
  // A target that is a symbolic link is replaced where the link points, and the new file takes
  // the permissions of the file it replaces.
  bool open(const std::string& target);
  bool is_open() const { return file_ != nullptr; }
  const std::string& target() const { return target_; }

  bool write(const void* data, std::size_t size);
  bool write(const std::vector<std::uint8_t>& bytes) { return write(bytes.data(), bytes.size()); }
  // Appends `count` zero bytes.
  bool write_zeros(std::uint64_t count);
  std::FILE* stream() { return file_; }

  // Flushes, closes and moves the finished file over the target. False on any write error; the
  // temporary file is then removed and the target left as it was. The same as finish() and then
  // publish().
  bool commit();
  // Flushes and closes the temporary file; false (and the file dropped) on any write error.
  bool finish();
  // Moves a finished file over the target.
  bool publish();
  // Drops everything written; the target stays as it was.
  void discard();

 private:
  std::FILE* file_ = nullptr;
  std::string target_;  // the name as given
  std::string real_;    // where the file goes (a link's target)
  std::string temp_;
  bool failed_ = false;
  bool finished_ = false;
};

// Writes `bytes` to `target` through an AtomicFile. False on failure, with the target untouched.
bool write_file_atomically(const std::string& target, const std::vector<std::uint8_t>& bytes);

}  // namespace files
