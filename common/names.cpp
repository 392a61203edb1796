// File names: the output-name rule, and telling whether two names denote one file.
#include <cwctype>
#include <filesystem>
#include <system_error>

#include "common/files.hpp"

namespace fs = std::filesystem;

namespace files {
namespace {

#ifdef _WIN32
constexpr const char* kSeparators = "/\\:";

// Windows names are case-insensitive.
bool same_spelling(const fs::path& a, const fs::path& b) {
  auto fold = [](std::wstring s) {
    for (auto& ch : s) ch = static_cast<wchar_t>(towlower(ch));
    return s;
  };
  return fold(a.wstring()) == fold(b.wstring());
}
#else
constexpr const char* kSeparators = "/";

bool same_spelling(const fs::path& a, const fs::path& b) { return a == b; }
#endif

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
  return same_spelling(pa, pb);
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

}  // namespace files
