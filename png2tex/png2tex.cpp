#include "png2tex/png2tex.hpp"

#include <cstdio>

#include "common/console.hpp"
#include "common/dialog.hpp"
#include "common/files.hpp"
#include "common/outcome.hpp"
#include "common/switches.hpp"
#include "texcore/png.hpp"

namespace png2tex {
namespace {

constexpr const char* kUsage =
    "Usage: png2tex --format F [--palette FILE[@OFFSET]] [--palette-out FILE] PNG [OUTPUT]\n"
    "Turns a PNG image into N64 texels (OUTPUT, or PNG up to its first dot plus .bin): the\n"
    "inverse of tex2png, which made the same bytes from them.\n"
    "\n"
    "  --format F        i4, i8, ia4, ia8, ia16, rgba16, rgba32, ci4 or ci8\n"
    "  --palette FILE[@OFFSET]   ci4 and ci8: index into this palette (as tex2png was given)\n"
    "  --palette-format P        rgba16 (default) or ia16: how the palette's entries are stored\n"
    "  --palette-out FILE        ci4 and ci8: write the palette there\n"
    "  --swap-rows       swap the words of the odd rows, as texture memory lays them out\n"
    "  -h, --help        this text;  --version   the version\n"
    "\n"
    "A colour the format cannot hold becomes the nearest one it holds, and the pixels rounded\n"
    "are counted. Without --palette, the image's colours become the palette (at most 16 or 256).\n"
    "Exit status: 0 done; 1 the image refused or an output not written; 2 usage, or input\n"
    "ended at a prompt.\n";

enum SwitchId { kPaletteOut = texapp::kFirstOwn, kSwapRows };
constexpr switches::Switch kSwitchList[] = {
    texapp::kFormatSwitch,
    texapp::kPaletteSwitch,
    texapp::kPaletteFormatSwitch,
    {.id = kPaletteOut, .name = "--palette-out", .value = "a file for the palette"},
    {.id = kSwapRows, .name = "--swap-rows"},
};
constexpr switches::Policy kSwitches{.known = kSwitchList};

using texapp::set_problem;

}  // namespace

Options parse_arguments(const std::vector<std::string>& args) {
  const switches::Parsed p = switches::read(args, kSwitches);
  Options o;
  o.problem = p.problem;
  for (const switches::Found& f : p.found) {
    if (texapp::take_shared(f, o)) continue;
    if (f.id == kPaletteOut) o.palette_out = f.value;
    if (f.id == kSwapRows) o.swap_rows = true;
  }
  if (!p.names.empty()) o.input = p.names[0];
  if (p.names.size() > 1) o.output = p.names[1];
  if (!o.format) set_problem(o, "--format is missing");
  if (o.format && !texcore::info(*o.format).indexed() && (o.palette || o.palette_out)) {
    set_problem(o, std::string("--palette and --palette-out are for ci4 and ci8, not ") +
                       texcore::info(*o.format).name);
  }
  if (p.names.size() > 2) {
    set_problem(o, "one image and one output at most ('" + p.names[2] + "' is a third name)");
  }
  return o;
}

namespace {

// The line that counts the pixels whose colour changed.
void say_rounded(const std::string& in_name, std::uint64_t rounded, const texcore::FormatInfo& f) {
  con::error_line(in_name + ": " + std::to_string(rounded) + (rounded == 1 ? " pixel" : " pixels") +
                  " rounded to the nearest " +
                  (f.indexed() ? "palette colour" : std::string(f.name) + " value"));
}

}  // namespace

int run(const shell::Args& args) {
  const Options o = parse_arguments(args);
  if (!o.problem.empty()) return shell::usage_error(o.problem);
  const texcore::FormatInfo& f = texcore::info(*o.format);

  std::string in_name = o.input.value_or("");
  files::InputFile input;
  if (const auto status = dialog::open_input(
          input, in_name, {stdout, "\nPNG image? ", "name for the PNG image"}, !o.input)) {
    return *status;
  }
  std::vector<std::string> inputs = {in_name};
  std::vector<outcome::Source> sources = {{input, in_name}};
  files::InputFile palette_file;
  std::optional<texcore::Palette> palette;
  if (o.palette) {
    if (!texapp::open_named(palette_file, o.palette->file)) return exit_status::kFailed;
    inputs.push_back(o.palette->file);
    sources.push_back({palette_file, o.palette->file});
    auto read = texcore::read_palette(palette_file.bytes(), o.palette->offset, o.palette_format,
                                      texcore::palette_size(*o.format));
    if (!read) {
      con::error_line(o.palette->file + ": " + read.why());
      return exit_status::kFailed;
    }
    palette = std::move(*read);
  }

  const auto made = texcore::png_texels(
      input.bytes(), *o.format, {.swap_rows = o.swap_rows},
      {.palette = palette ? &*palette : nullptr, .palette_format = o.palette_format});
  if (!made.read) {
    con::error_line(in_name + ": " + made.read.why());
    return exit_status::kFailed;
  }
  const auto& encoded = made.encoded;
  if (!encoded) {
    con::error_line(in_name + ": " + encoded.why() + "; nothing written");
    return exit_status::kFailed;
  }
  if (!outcome::inputs_whole(sources)) return exit_status::kFailed;

  const auto name =
      dialog::choose_output(o.output.value_or(files::derive_output_name(in_name, ".bin")), inputs,
                            {stdout, "\ntexel file? ", "name for the texel file"});
  if (!name) return exit_status::kEndOfInput;
  std::optional<std::string> palette_name;
  if (o.palette_out) {
    inputs.push_back(*name);
    palette_name = dialog::choose_output(*o.palette_out, inputs,
                                         {stdout, "\npalette file? ", "name for the palette file"});
    if (!palette_name) return exit_status::kEndOfInput;
  }

  files::AtomicFile texels_out;
  files::AtomicFile palette_out;
  std::vector<files::AtomicFile*> outputs = {&texels_out};
  if (!outcome::open(texels_out, *name)) return exit_status::kFailed;
  texels_out.write(encoded->texels);
  const texcore::Bytes palette_bytes = encoded->palette.bytes();
  if (palette_name) {
    if (!outcome::open(palette_out, *palette_name)) return exit_status::kFailed;
    palette_out.write(palette_bytes);
    outputs.push_back(&palette_out);
  }
  if (const int status = outcome::finish(outputs, sources)) return status;

  std::printf("%s: %u x %u %s texels (%zu bytes)\n", name->c_str(), made.width, made.height, f.name,
              encoded->texels.size());
  if (palette_name) {
    std::printf("%s: %zu %s palette entries (%zu bytes)\n", palette_name->c_str(),
                encoded->palette.entries.size(),
                texcore::palette_format_name(encoded->palette.format), palette_bytes.size());
  }
  std::fflush(stdout);
  if (encoded->rounded > 0) say_rounded(in_name, encoded->rounded, f);
  return exit_status::kDone;
}

const shell::Program kProgram{
    .name = "png2tex", .usage = kUsage, .run = run, .switches = &kSwitches};

}  // namespace png2tex
