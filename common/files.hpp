// File names and file access shared by the programs: output names (names.cpp), whole input files
// (input_file.cpp), whether a name can be written (can_create.cpp), outputs that replace their
// target only when complete (atomic_file.cpp), and a lock on a folder (folder_lock.cpp).
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace files {

// The output-name rule: the file name (what follows the last '/', on Windows also '\' or a drive
// colon) is cut at its first '.' that follows a character other than '.' (leading dots are passed
// over), then `ending` is appended. A name without such a dot keeps its whole text; the folders
// before it are never changed. "dump.txt" -> "dump.tbl"; "proj.v2/dump.txt" -> "proj.v2/dump.tbl";
// ".hidden" -> ".hidden.bin".
std::string derive_output_name(std::string_view name, std::string_view ending);

// True when both names exist and denote the same file (also through links or other spellings).
bool same_file(const std::string& a, const std::string& b);

// True when both names denote the same file, whether or not it exists yet.
bool same_target(const std::string& a, const std::string& b);

// Where writing `name` lands: symbolic links are followed, also one whose target does not exist
// yet. A name that is no link comes back as it is.
std::string resolve_links(const std::string& name);

// The most that is read into memory from an input that cannot be mapped (a pipe, say).
inline constexpr std::uint64_t kMaxReadSize = std::uint64_t{1} << 32;

// Why an input could not be taken.
enum class InputError {
  none,
  cannot_open,  // missing, a folder, not permitted: the programs ask for another name
  device,       // a device (/dev/zero, a terminal): not a file to read whole
  too_large,    // more than kMaxReadSize came from a stream
  no_memory,    // the file cannot be held in memory
  read_failed,  // a read error
};

// The problem in words, to follow "NAME: ".
std::string describe(InputError error);

// What the programs say about an input that was cut short or written again while it was read.
inline constexpr const char* kCutShort =
    "the file was cut short or changed while it was being read; nothing written";

// The bytes of a whole input file, which is opened once: a regular file is mapped into memory
// where the system allows it; anything else (a pipe, an empty file) is read whole, up to
// kMaxReadSize. Devices are refused.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  InputFile(InputFile&& other) noexcept;
  InputFile& operator=(InputFile&& other) noexcept;
  ~InputFile();

  // False when the file cannot be taken; error() says why.
  bool open(const std::string& name);
  InputError error() const { return error_; }
  // Why the file could not be opened (cannot_open), in the system's words: "no such file or
  // directory", "is a folder".
  const std::string& why() const { return why_; }
  std::span<const std::uint8_t> bytes() const { return {data_, size_}; }
  operator std::span<const std::uint8_t>() const { return bytes(); }

  // True when another program cut the file short or wrote to it while it was being read: the
  // bytes past a new end read as zeros, bytes written meanwhile may be read beside older ones, and
  // what was made from them must not be used (an editor that saves in place while a program waits
  // at a question, say). Asked once everything has been read.
  bool cut_short() const;

  // Lets the file go (before a file is put in its place: a mapped file cannot be replaced
  // everywhere). Its bytes are gone.
  void close();

 private:
  void forget();  // the state of a closed file
  bool read_whole(std::intptr_t handle, std::uint64_t expected);
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  void* mapping_ = nullptr;  // the system's handle or address of a mapped file
  int watch_ = -1;           // the mapping's entry in the table of the signal handler
  // A mapped file stays open, so that its size and time of last change can be asked again: the
  // system's descriptor or handle, and that time as it was when the file was opened.
  std::intptr_t descriptor_ = -1;
  std::int64_t modified_[2] = {0, 0};
  bool cut_ = false;  // a read ended before the size the file had when opened
  std::vector<std::uint8_t> read_;
  InputError error_ = InputError::none;
  std::string why_;
};

// True when `name` can be written: an existing regular file that may be opened for update, or a
// new file that can be created in its folder (a symbolic link counts as where it points). Nothing
// existing is changed; a probe file made to check is removed again.
// When it cannot, `why` (if given) says so in words to follow "NAME: ", with the system's reason:
// "cannot be created: permission denied", "a folder of that name is in the way".
bool can_create(const std::string& name, std::string* why = nullptr);

// An output file that replaces its target only when it is complete: bytes go to a temporary file
// in the target's folder, and commit() puts it in the target's place. Until then, and if the run
// fails or is interrupted, whatever the target held before stays as it was and no temporary file
// is left behind. On Linux the temporary file has no name until it is complete.
class AtomicFile {
 public:
  AtomicFile() = default;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();

  // Starts writing `target`. False (with nothing changed) when the temporary file cannot be made;
  // why() then says so.
  // A target that is a symbolic link is replaced where the link points (also when nothing is
  // there yet), and the new file takes the permissions of the file it replaces.
  bool open(const std::string& target);
  bool is_open() const { return file_ != nullptr && !finished_; }
  const std::string& target() const { return target_; }
  // True when a file stood under the target's name when open() was called.
  bool target_existed() const { return existed_; }

  bool write(const void* data, std::size_t size);
  bool write(const std::vector<std::uint8_t>& bytes) { return write(bytes.data(), bytes.size()); }
  // Appends `count` zero bytes.
  bool write_zeros(std::uint64_t count);
  std::FILE* stream() { return file_; }

  // Flushes, closes and moves the finished file over the target. False on any write error; the
  // temporary file is then removed and the target left as it was. The same as finish() and then
  // publish().
  bool commit();
  // Flushes the temporary file; false (and the file dropped) on any write error.
  bool finish();
  // Moves a finished file over the target.
  bool publish();
  // Drops everything written; the target stays as it was.
  void discard();

  // After a failure: what went wrong, with the system's reason, in words to follow "NAME: "
  // ("cannot be written: no space left on device").
  const std::string& why() const { return why_; }

 private:
  bool open_unnamed(const std::string& folder);
  bool open_named(const std::string& folder);
  void close_stream();
  // Records a failure to write with the reason the system gave last.
  void write_failed();

  std::FILE* file_ = nullptr;
  std::string why_;
  std::string target_;  // the name as given
  std::string real_;    // where the file goes (a link's target)
  std::string temp_;    // the temporary file's name; empty while it has none
  int watch_ = -1;      // the temporary name's entry in the table of the signal handler
  bool unnamed_ = false;
  bool existed_ = false;
  bool failed_ = false;
  bool finished_ = false;
};

// Keeps other processes from replacing files in one folder at the same time: while one holds the
// lock exclusively, others wait, and shared holders (readers of a set of files that belong
// together) wait for it too. Taking it is best effort: on a file system without locks it is not
// taken and the caller goes on.
class FolderLock {
 public:
  FolderLock() = default;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  ~FolderLock() { unlock(); }

  // Locks the folder that holds `file`, waiting while another process holds it. False when the
  // lock could not be taken.
  bool lock(const std::string& file, bool exclusive = true);
  void unlock();

 private:
  std::intptr_t handle_ = -1;
};

}  // namespace files
