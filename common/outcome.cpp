#include "common/outcome.hpp"

#include <cstdio>
#include <optional>

#include "common/console.hpp"
#include "common/signals.hpp"

namespace outcome {
namespace {

void discard_all(std::span<files::AtomicFile* const> outputs) {
  for (files::AtomicFile* out : outputs) out->discard();
}

}  // namespace

void say_not_written(const std::string& output, const std::string& why) {
  con::error_line(output + ": " + why + "; nothing written");
}

bool inputs_whole(std::span<const Source> sources) {
  for (const Source& s : sources) {
    if (s.file.cut_short()) {
      con::error_line(std::string(s.name) + ": " + files::kCutShort);
      return false;
    }
  }
  return true;
}

bool inputs_whole(std::initializer_list<Source> sources) {
  return inputs_whole(std::span<const Source>(sources.begin(), sources.size()));
}

int finish(std::span<files::AtomicFile* const> outputs, std::span<const Source> sources,
           int failed) {
  if (!inputs_whole(sources)) {
    discard_all(outputs);
    return failed;
  }
  for (files::AtomicFile* out : outputs) {
    if (!out->finish()) {
      discard_all(outputs);
      say_not_written(out->target(), out->why());
      return failed;
    }
  }
  for (const Source& s : sources) s.file.close();
  // Another run putting the same files in place waits for this one (and this one for it), and an
  // interruption waits until all of them are in place. The lock is the last one's folder's (a
  // message archive's index, which the decompilers lock while they read).
  files::FolderLock lock;
  std::optional<signals::Hold> hold;
  if (outputs.size() > 1) {
    lock.lock(outputs.back()->target());
    hold.emplace();
  }
  for (std::size_t k = 0; k < outputs.size(); ++k) {
    files::AtomicFile& out = *outputs[k];
    if (out.publish()) continue;
    for (std::size_t later = k + 1; later < outputs.size(); ++later) outputs[later]->discard();
    // The new files already in place would stand without this one: those that replaced nothing
    // go again. (A file they replaced cannot come back.)
    bool all_gone = true;
    for (std::size_t earlier = 0; earlier < k; ++earlier) {
      const files::AtomicFile& done = *outputs[earlier];
      all_gone = all_gone && !done.target_existed() &&
                 std::remove(files::resolve_links(done.target()).c_str()) == 0;
    }
    if (all_gone) {
      say_not_written(out.target(), out.why());
    } else {
      con::error_line(out.target() + ": " + out.why());
    }
    return failed;
  }
  return exit_status::kDone;
}

int finish(files::AtomicFile& output, std::initializer_list<Source> sources, int failed) {
  files::AtomicFile* const outputs[] = {&output};
  return finish(outputs, std::span<const Source>(sources.begin(), sources.size()), failed);
}

bool open(files::AtomicFile& output, const std::string& name) {
  if (output.open(name)) return true;
  say_not_written(name, output.why());
  return false;
}

int write(const std::string& name, std::span<const std::uint8_t> bytes,
          std::initializer_list<Source> sources, int failed) {
  if (!inputs_whole(sources)) return failed;
  files::AtomicFile out;
  if (!open(out, name)) return failed;
  out.write(bytes.data(), bytes.size());
  return finish(out, sources, failed);
}

}  // namespace outcome
