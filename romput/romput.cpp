#include "romput/romput.hpp"

#include <atomic>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <thread>

#include "base/text.hpp"
#include "common/console.hpp"
#include "common/dialog.hpp"
#include "common/files.hpp"
#include "common/outcome.hpp"
#include "common/switches.hpp"
#include "scancore/list.hpp"

// The standard library of MinGW's win32 thread model has no std::thread: there, the files of a
// list are compressed on one core.
#if !defined(__GLIBCXX__) || defined(_GLIBCXX_HAS_GTHREADS)
#define ROMPUT_THREADS 1
#endif

namespace romput {
namespace {

namespace fs = std::filesystem;
using scancore::Bytes;
using scancore::ByteSpan;

constexpr const char* kUsage =
    "Usage: romput [options] ROM OFFSET FILE [OUTPUT]\n"
    "       romput [options] ROM --list LIST [OUTPUT]\n"
    "Puts FILE into an N64 ROM image at OFFSET (hex with 0x, or decimal; \"end\": the free\n"
    "area at the image's end). Where a block stands at OFFSET, FILE goes in that block's format,\n"
    "compressed in the smallest-file mode (as it is when it already is such a block), into the\n"
    "block's slot (its span rounded up to 16 bytes); the rest of the slot is padded as before.\n"
    "Then the boot check code is computed afresh. ROM is replaced only once the new image is\n"
    "complete, or OUTPUT takes it; the file keeps its byte order.\n"
    "\n"
    "  --raw                    FILE's bytes as they are\n"
    "  --yaz0, --yay0, --mio0   FILE compressed in that format (elsewhere than at a block: raw)\n"
    "  --classic                the classic encoder's bytes (Yaz0, Yay0)\n"
    "  --room N                 the slot holds N bytes (from the game's own file table)\n"
    "  --pad XX                 the byte that fills the rest of the slot\n"
    "  --force                  write into the header and boot code (0..0xFFF), past the\n"
    "                           image's end, or over another block\n"
    "  --no-fix-crc             leave the boot check code as it is\n"
    "  --list LIST              put back every file of LIST (romscan --extract's list.tsv, or\n"
    "                           lines of offset, format, file) that changed, all or none\n"
    "  --relocate               with --list: what no longer fits goes into the free area, and\n"
    "                           LIST gets its new offset\n"
    "  -h, /?, --help   this text;  --version   the version\n"
    "\n"
    "No pointer of the game's own file table is changed: the line about each file says where\n"
    "it went. Exit status: 0 done; 1 refused (does not fit, the boot area, past the end, over\n"
    "another block, an unreadable file) or not written; 2 usage, or input ended at a prompt.\n";

enum SwitchId {
  kRaw,
  kYaz0,
  kYay0,
  kMio0,
  kClassic,
  kRoom,
  kPad,
  kForce,
  kNoFixCrc,
  kList,
  kRelocate
};
constexpr switches::Switch kSwitchList[] = {
    {.id = kRaw, .name = "--raw"},
    {.id = kYaz0, .name = "--yaz0"},
    {.id = kYay0, .name = "--yay0"},
    {.id = kMio0, .name = "--mio0"},
    {.id = kClassic, .name = "--classic"},
    {.id = kRoom, .name = "--room", .value = "a number of bytes"},
    {.id = kPad, .name = "--pad", .value = "a byte in hex (00, FF)"},
    {.id = kForce, .name = "--force"},
    {.id = kNoFixCrc, .name = "--no-fix-crc"},
    {.id = kList, .name = "--list", .value = "a list file"},
    {.id = kRelocate, .name = "--relocate"},
};
constexpr switches::Policy kSwitches{.known = kSwitchList};

void say(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// The image as read, and its native copy, which the puts change.
struct Image {
  files::InputFile file;
  std::string name;
  rom::ByteOrder order = rom::ByteOrder::unknown;
  std::uint64_t size = 0;  // of the file
  Bytes native;
};

std::optional<int> open_image(Image& image) {
  if (const auto status =
          dialog::open_input(image.file, image.name, {stdout, "\nROM image? ", "ROM image name"},
                             image.name.empty())) {
    return status;
  }
  const ByteSpan bytes = image.file.bytes();
  if (bytes.size() > rom::kMaxImageLength) {
    con::error_line(image.name + ": too large: ROM images are under 4 GiB");
    return exit_status::kFailed;
  }
  image.size = bytes.size();
  const scancore::NativeImage native(bytes);
  image.order = native.order();
  image.native.assign(native.bytes().begin(), native.bytes().end());
  if (image.order == rom::ByteOrder::swapped16 || image.order == rom::ByteOrder::swapped32) {
    say(image.name + " is " + rom::order_name(image.order) +
        ": offsets are those of the native image, and the file keeps its own order");
  }
  return std::nullopt;
}

// The new image in the file's own order: as long as the file was, or as long as a put made it.
Bytes file_order(const Image& image) {
  Bytes out = image.native;
  rom::straighten(out, rom::straightening_mode(image.order));
  if (out.size() <= rom::rounded_to_groups(image.size)) out.resize(image.size);
  return out;
}

// The check code computed afresh, with its line; no line with --no-fix-crc.
std::string repair(Image& image, const Options& o) {
  if (!o.fix_crc) return "";
  return scancore::check_line(scancore::repair_check(image.native), image.native.size());
}

// Where the new image goes: OUTPUT (asked again when it is an input or exists), or the image
// itself, which must be a file that can be replaced. nullopt after the line that says why not.
std::optional<std::string> output_name(const Options& o, const std::vector<std::string>& inputs,
                                       int& status) {
  if (o.output) {
    auto chosen = dialog::choose_output(*o.output, inputs,
                                        {stdout, "\noutput image? ", "name for the image"});
    if (!chosen) status = exit_status::kEndOfInput;
    return chosen;
  }
  if (!files::can_create(o.image)) {
    con::error_line(o.image + ": cannot be replaced (not a plain file that may be written); " +
                    "nothing written; a second name takes the new image");
    status = exit_status::kFailed;
    return std::nullopt;
  }
  return o.image;
}

// The form a list names: a format, or raw.
scancore::Choice choice_of(const std::optional<scancore::Format>& format) {
  if (!format) return scancore::Choice::raw;
  switch (*format) {
    case scancore::Format::yay0: return scancore::Choice::yay0;
    case scancore::Format::mio0: return scancore::Choice::mio0;
    case scancore::Format::yaz0: break;
  }
  return scancore::Choice::yaz0;
}

std::string classic_note(const Options& o, const std::optional<scancore::Format>& format) {
  if (o.put.mode == yazcore::Mode::classic && format == scancore::Format::mio0) {
    return "note: MIO0 has no classic mode; the smallest file is written";
  }
  return "";
}

int put_one(const Options& o) {
  Image image;
  image.name = o.image;
  if (const auto status = open_image(image)) return *status;
  std::string file_name = o.file;
  files::InputFile file;
  if (const auto status =
          dialog::open_input(file, file_name, {stdout, "\nfile to put? ", "name of the file"})) {
    return *status;
  }
  int status = exit_status::kDone;
  const auto target_name = output_name(o, {image.name, file_name}, status);
  if (!target_name) return status;

  const scancore::Scan scan = scancore::scan(image.native);
  const auto target = scancore::target_at(image.native, scan, o.offset, o.put);
  if (!target) {
    con::error_line(image.name + ": " + target.why());
    return exit_status::kFailed;
  }
  const auto format = scancore::format_for(*target, o.put);
  shell::set_subject(file_name);
  auto prepared = scancore::prepare(file.bytes(), format, o.put.mode, file_name);
  if (!outcome::inputs_whole({{image.file, image.name}, {file, file_name}})) {
    return exit_status::kFailed;
  }
  if (!prepared) {
    con::error_line(file_name + ": " + prepared.why());
    return exit_status::kFailed;
  }
  const auto put = scancore::place(image.native, scan, *target, std::move(*prepared), o.put,
                                   {image.name, file_name});
  if (!put) {
    con::error_line(file_name + ": " + put.why());
    return exit_status::kFailed;
  }
  const Bytes before = image.native;
  scancore::apply(image.native, *put, target->pad);
  const std::string check = repair(image, o);
  if (!o.output && image.native == before) {
    say(scancore::put_line(file_name, *put) + ", as it stood already; nothing written");
    return exit_status::kDone;
  }
  if (const int s = outcome::write(*target_name, file_order(image),
                                   {{image.file, image.name}, {file, file_name}})) {
    return s;
  }
  say(scancore::put_line(file_name, *put));
  if (const std::string note = classic_note(o, put->format); !note.empty()) say(note);
  if (!check.empty()) say(check);
  if (o.output) say("written: " + *target_name);
  return exit_status::kDone;
}

// A file of the list, read whole.
struct Entry {
  scancore::ListEntry item;
  std::string path;  // as it is opened: relative to the list's folder
  Bytes bytes;
  bool changed = false;
  std::optional<scancore::Block> block;
  std::optional<base::Result<scancore::Prepared>> prepared;
};

// Compresses every changed file, on every core.
void prepare_all(std::vector<Entry>& entries, const Options& o) {
  std::vector<Entry*> work;
  for (Entry& e : entries) {
    if (e.changed) work.push_back(&e);
  }
  std::atomic<std::size_t> next{0};
  std::exception_ptr failure;
  std::atomic<bool> failed{false};
  const auto worker = [&] {
    try {
      for (std::size_t i; (i = next++) < work.size() && !failed;) {
        Entry& e = *work[i];
        e.prepared = scancore::prepare(e.bytes, e.item.format, o.put.mode, e.path);
      }
    } catch (...) {
      if (!failed.exchange(true)) failure = std::current_exception();
    }
  };
#ifdef ROMPUT_THREADS
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> threads;
  for (unsigned k = 1; k < cores && k < work.size(); ++k) threads.emplace_back(worker);
  worker();
  for (std::thread& t : threads) t.join();
#else
  worker();
#endif
  if (failure) std::rethrow_exception(failure);
}

// Reads the list's files and tells which differ from what stands in the image. False after the
// line for a file that cannot be read or a place that does not hold what the list says.
bool read_entries(const scancore::List& list, const std::string& list_name, const Image& image,
                  std::vector<Entry>& entries) {
  const fs::path folder = fs::path(list_name).parent_path();
  for (const scancore::ListEntry& item : list.entries) {
    Entry e;
    e.item = item;
    e.path = (folder / fs::path(item.file)).string();
    const std::string where = list_name + ": line " + std::to_string(item.line) + ": ";
    files::InputFile in;
    if (!in.open(e.path)) {
      con::error_line(where + e.path + ": " +
                      (in.error() == files::InputError::cannot_open
                           ? "cannot be opened: " + in.why()
                           : files::describe(in.error())));
      return false;
    }
    e.bytes.assign(in.bytes().begin(), in.bytes().end());
    if (in.cut_short()) {
      con::error_line(e.path + ": " + files::kCutShort);
      return false;
    }
    if (item.format) {
      e.block = item.offset < image.native.size() ? scancore::trial(image.native, item.offset)
                                                  : std::nullopt;
      if (!e.block || e.block->format != *item.format) {
        con::error_line(where + "no " + scancore::format_name(*item.format) + " block stands at " +
                        scancore::hex_offset(item.offset) + " (is the list this image's?)");
        return false;
      }
      e.changed = scancore::expand(image.native, *e.block) != e.bytes;
    } else {
      const std::uint64_t end = item.offset + e.bytes.size();
      e.changed = end > image.native.size() ||
                  !std::equal(e.bytes.begin(), e.bytes.end(),
                              image.native.begin() + static_cast<std::ptrdiff_t>(item.offset));
    }
    entries.push_back(std::move(e));
  }
  return true;
}

// Opens and reads the list (asked for when it cannot be opened): a status after the line that
// says why it cannot be used.
std::optional<int> open_list(files::InputFile& file, std::string& name, scancore::List& list) {
  if (const auto status =
          dialog::open_input(file, name, {stdout, "\nlist file? ", "name of the list"})) {
    return status;
  }
  const ByteSpan bytes = file.bytes();
  auto read = scancore::read_list(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  if (!read) {
    con::error_line(name + ": " + read.why());
    return exit_status::kFailed;
  }
  list = std::move(*read);
  return std::nullopt;
}

// What a list's changed files become: a put and its line each, and the entries that moved.
struct Plan {
  std::vector<scancore::Put> puts;
  std::vector<std::pair<std::size_t, std::uint64_t>> moves;  // entry, new offset
  std::vector<std::string> lines;
  bool refused = false;  // a line said why a file cannot go in
  void refuse(const std::string& line) {
    con::error_line(line);
    refused = true;
  }
};

// Where a changed file goes: its place, or with --relocate, when it no longer fits its slot, the
// free area's next 16-aligned offset.
base::Result<scancore::Target> target_of(const Image& image, const scancore::Scan& scan,
                                         const Entry& e, const scancore::PutOptions& options,
                                         bool relocate, std::uint64_t next_free) {
  auto target = scancore::target_at(image.native, scan, e.item.offset, options);
  if (!target) return base::refuse(image.name + ": " + target.why());
  const std::uint64_t size = (**e.prepared).data.size();
  if (!relocate || target->slot == 0 || size <= target->slot) return target;
  if (scan.free.empty()) {
    return base::refuse(e.path + ": " + scancore::grouped(size) +
                        " bytes no longer fit the slot at " + scancore::hex_offset(e.item.offset) +
                        ", and the image has no free area at its end (romext doubles the image)");
  }
  scancore::Target moved;
  moved.offset = next_free;
  moved.pad = scan.free.fill;
  moved.free_area = true;
  return moved;
}

// Plans the put of every changed file, with a line for each that cannot go in.
Plan plan_puts(std::vector<Entry>& entries, const Image& image, const scancore::Scan& scan,
               const Options& o) {
  Plan plan;
  std::uint64_t next_free = scan.free.aligned;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    Entry& e = entries[i];
    if (!e.changed) continue;
    if (!*e.prepared) {
      plan.refuse(e.path + ": " + e.prepared->why());
      continue;
    }
    scancore::PutOptions options = o.put;
    options.choice = choice_of(e.item.format);
    const auto target = target_of(image, scan, e, options, o.relocate, next_free);
    if (!target) {
      plan.refuse(target.why());
      continue;
    }
    auto put = scancore::place(image.native, scan, *target, std::move(**e.prepared), options,
                               {image.name, e.path});
    if (!put) {
      plan.refuse(e.path + ": " + put.why());
      continue;
    }
    if (put->offset != e.item.offset) {
      plan.moves.emplace_back(i, put->offset);
      next_free = (put->offset + put->bytes.size() + 15) / 16 * 16;
    }
    plan.lines.push_back(scancore::put_line(e.path, *put));
    plan.puts.push_back(std::move(*put));
  }
  return plan;
}

// A line for each two puts that would share a byte.
void refuse_overlaps(Plan& plan, const std::string& list_name) {
  std::vector<const scancore::Put*> order;
  order.reserve(plan.puts.size());
  for (const scancore::Put& p : plan.puts) order.push_back(&p);
  std::sort(order.begin(), order.end(),
            [](const scancore::Put* a, const scancore::Put* b) { return a->offset < b->offset; });
  for (std::size_t k = 1; k < order.size(); ++k) {
    if (order[k - 1]->offset + order[k - 1]->bytes.size() > order[k]->offset) {
      plan.refuse(list_name + ": two files would share the bytes at " +
                  scancore::hex_offset(order[k]->offset));
    }
  }
}

// Writes the new image to `target_name` and, when files moved, the list with their new offsets.
int write_puts(Image& image, files::InputFile& list_file, const std::string& list_name,
               const scancore::List& list, const Plan& plan, const std::string& target_name) {
  files::AtomicFile image_out, list_out;
  if (!outcome::open(image_out, target_name)) return exit_status::kFailed;
  const Bytes bytes = file_order(image);
  image_out.write(bytes);
  std::vector<files::AtomicFile*> outputs = {&image_out};
  if (!plan.moves.empty()) {
    if (!outcome::open(list_out, list_name)) return exit_status::kFailed;
    const std::string text = scancore::relocated(list, plan.moves);
    list_out.write(text.data(), text.size());
    outputs.push_back(&list_out);
  }
  const outcome::Source sources[] = {{image.file, image.name}, {list_file, list_name}};
  return outcome::finish(outputs, sources);
}

int put_list(const Options& o) {
  Image image;
  image.name = o.image;
  if (const auto status = open_image(image)) return *status;
  std::string list_name = *o.list;
  files::InputFile list_file;
  scancore::List list;
  if (const auto status = open_list(list_file, list_name, list)) return *status;
  std::vector<Entry> entries;
  if (!read_entries(list, list_name, image, entries)) return exit_status::kFailed;
  std::vector<std::string> inputs = {image.name, list_name};
  for (const Entry& e : entries) inputs.push_back(e.path);
  int status = exit_status::kDone;
  const auto target_name = output_name(o, inputs, status);
  if (!target_name) return status;
  if (o.relocate && !files::can_create(list_name)) {
    con::error_line(list_name +
                    ": cannot be replaced, so --relocate cannot write the new offsets "
                    "into it; nothing written");
    return exit_status::kFailed;
  }

  prepare_all(entries, o);
  const scancore::Scan scan = scancore::scan(image.native);
  Plan plan = plan_puts(entries, image, scan, o);
  refuse_overlaps(plan, list_name);
  if (!outcome::inputs_whole({{image.file, image.name}, {list_file, list_name}})) {
    return exit_status::kFailed;
  }
  if (plan.refused) {
    con::error_line(list_name + ": nothing written");
    return exit_status::kFailed;
  }
  const std::size_t put = plan.puts.size();
  const std::string unchanged_line = scancore::grouped(put) + (put == 1 ? " file" : " files") +
                                     " put back, " + scancore::grouped(entries.size() - put) +
                                     " unchanged";
  if (plan.puts.empty() && !o.output) {
    say(unchanged_line + "; nothing written");
    return exit_status::kDone;
  }
  for (const scancore::Put& p : plan.puts) scancore::apply(image.native, p, scan.free.fill);
  const std::string check = repair(image, o);
  if (const int s = write_puts(image, list_file, list_name, list, plan, *target_name)) return s;
  for (const std::string& line : plan.lines) say(line);
  say(unchanged_line);
  if (!plan.moves.empty()) {
    say(list_name + ": the new offsets of " + scancore::grouped(plan.moves.size()) +
        (plan.moves.size() == 1 ? " file" : " files") + " are written in");
  }
  if (!check.empty()) say(check);
  if (o.output) say("written: " + *target_name);
  return exit_status::kDone;
}

std::optional<std::uint8_t> parse_pad(std::string text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.erase(0, 2);
  if (text.empty() || text.size() > 2) return std::nullopt;
  const auto n = text::parse_number("0x" + text);
  if (!n) return std::nullopt;
  return static_cast<std::uint8_t>(*n);
}

}  // namespace

Options parse_arguments(const std::vector<std::string>& args) {
  const switches::Parsed p = switches::read(args, kSwitches);
  Options o;
  o.problem = p.problem;
  const auto set_problem = [&o](std::string text) {
    if (o.problem.empty()) o.problem = std::move(text);
  };
  int forms = 0;
  for (const switches::Found& f : p.found) {
    switch (f.id) {
      case kRaw:
        o.put.choice = scancore::Choice::raw;
        ++forms;
        break;
      case kYaz0:
        o.put.choice = scancore::Choice::yaz0;
        ++forms;
        break;
      case kYay0:
        o.put.choice = scancore::Choice::yay0;
        ++forms;
        break;
      case kMio0:
        o.put.choice = scancore::Choice::mio0;
        ++forms;
        break;
      case kClassic: o.put.mode = yazcore::Mode::classic; break;
      case kForce: o.put.force = true; break;
      case kNoFixCrc: o.fix_crc = false; break;
      case kRelocate: o.relocate = true; break;
      case kList: o.list = f.value; break;
      case kRoom: {
        const auto n = text::parse_number(f.value);
        if (!n || *n == 0 || *n > rom::kMaxImageLength) {
          set_problem("--room " + f.value + ": not a number of bytes (hex with 0x, or decimal)");
        }
        o.put.room = n;
        break;
      }
      case kPad: {
        o.put.pad = parse_pad(f.value);
        if (!o.put.pad) set_problem("--pad " + f.value + ": not a byte in hex (00 to FF)");
        break;
      }
      default: break;
    }
  }
  if (forms > 1) set_problem("--raw, --yaz0, --yay0 and --mio0 each name a form; give one");
  if (o.put.choice == scancore::Choice::raw && o.put.mode == yazcore::Mode::classic) {
    set_problem("--classic is for compressed files, and --raw puts the bytes as they are");
  }
  const std::vector<std::string>& n = p.names;
  if (o.list) {
    if (o.put.room)
      set_problem("--room gives one slot's size; a list's files keep their own slots");
    if (forms > 0)
      set_problem(
          "a list names each file's form; --raw, --yaz0, --yay0 and --mio0 do not go with --list");
    if (n.empty()) set_problem("the image is missing: romput ROM --list LIST [OUTPUT]");
    if (n.size() > 2)
      set_problem("with --list, an image and an output at most ('" + n[2] + "' is a third name)");
    if (!n.empty()) o.image = n[0];
    if (n.size() > 1) o.output = n[1];
    return o;
  }
  if (o.relocate) set_problem("--relocate is for --list");
  if (n.size() < 3) {
    set_problem("an image, an offset and a file are needed: romput ROM OFFSET FILE [OUTPUT]");
    return o;
  }
  if (n.size() > 4) set_problem("four names at most ('" + n[4] + "' is a fifth)");
  o.image = n[0];
  if (n[1] != "end") {
    o.offset = text::parse_number(n[1]);
    if (!o.offset) set_problem("'" + n[1] + "' is not an offset (hex with 0x, decimal, or end)");
  }
  o.file = n[2];
  if (n.size() > 3) o.output = n[3];
  return o;
}

int run(const shell::Args& args) {
  const Options o = parse_arguments(args);
  if (!o.problem.empty()) return shell::usage_error(o.problem);
  return o.list ? put_list(o) : put_one(o);
}

const shell::Program kProgram{
    .name = "romput", .usage = kUsage, .run = run, .switches = &kSwitches};

}  // namespace romput
