#include "tex2png/tex2png.hpp"

#include <cstdio>

#include "base/text.hpp"
#include "common/console.hpp"
#include "common/dialog.hpp"
#include "common/files.hpp"
#include "common/outcome.hpp"
#include "common/switches.hpp"
#include "texcore/png.hpp"
#include "texcore/tga.hpp"

namespace tex2png {
namespace {

using texapp::set_problem;
using text::cat;

constexpr const char* kUsage =
    "Usage: tex2png --format F --width W [--height H] [--offset O] [options] INPUT [OUTPUT]\n"
    "       tex2png --list LIST [options] INPUT\n"
    "Shows N64 texels as a PNG image (OUTPUT, or INPUT up to its first dot plus .png), as the\n"
    "console draws them; png2tex turns it back into the same bytes.\n"
    "\n"
    "  --format F       i4, i8, ia4, ia8, ia16, rgba16, rgba32, ci4 or ci8\n"
    "  --width W        texels a row\n"
    "  --height H       rows; without it, every whole row to the end of INPUT\n"
    "  --offset O       where the texels begin in INPUT (decimal, or hex after 0x); default 0\n"
    "  --palette FILE[@OFFSET]   ci4 and ci8: the palette (16 or 256 entries)\n"
    "  --palette-format P        rgba16 (default) or ia16: how the palette's entries are stored\n"
    "  --opaque         i4 and i8: alpha 255 (by default alpha is the intensity, as drawn)\n"
    "  --swap-rows      undo the word swap of the odd rows of data laid out for texture memory\n"
    "  --tga            a TGA image instead (for i4, ia4 and ia8 one that greyconv takes back)\n"
    "  --list LIST      many textures: one a line, tab-separated: offset, format, width,\n"
    "                   height (empty or - to the end), output name\n"
    "  -h, --help       this text;  --version   the version\n"
    "\n"
    "Widening is by bit replication: 4-bit 15 is 255, 3-bit 1 is 36, 5-bit 1 is 8. An existing\n"
    "output is replaced only when you say so, and never the input.\n"
    "Exit status: 0 done; 1 a texture refused or an output not written; 2 usage, or input\n"
    "ended at a prompt.\n";

enum SwitchId { kWidth = texapp::kFirstOwn, kHeight, kOffset, kOpaque, kSwapRows, kTga, kList };
constexpr switches::Switch kSwitchList[] = {
    texapp::kFormatSwitch,
    {.id = kWidth, .name = "--width", .value = "a width in texels"},
    {.id = kHeight, .name = "--height", .value = "a height in texels"},
    {.id = kOffset, .name = "--offset", .value = "an offset in bytes"},
    texapp::kPaletteSwitch,
    texapp::kPaletteFormatSwitch,
    {.id = kOpaque, .name = "--opaque"},
    {.id = kSwapRows, .name = "--swap-rows"},
    {.id = kTga, .name = "--tga"},
    {.id = kList, .name = "--list", .value = "a list file"},
};
constexpr switches::Policy kSwitches{.known = kSwitchList};

// A width or height: 1 to the most texels an image holds.
std::optional<unsigned> parse_size(std::string_view text) {
  const auto n = text::parse_number(text);
  if (!n || *n == 0 || *n > texcore::kMaxPixels) return std::nullopt;
  return static_cast<unsigned>(*n);
}

std::vector<std::string_view> split_tabs(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t at = 0;;) {
    const std::size_t tab = line.find('\t', at);
    fields.push_back(line.substr(at, tab - at));
    if (tab == std::string_view::npos) return fields;
    at = tab + 1;
  }
}

// What one run shares between its textures.
struct Run {
  Run(const Options& options, files::InputFile& in, const std::string& name)
      : o(options), input(in), in_name(name) {}
  const Options& o;
  files::InputFile& input;
  const std::string& in_name;
  files::InputFile palette_file;  // when it is not the input
  std::span<const std::uint8_t> palette_bytes;
  std::vector<std::string> inputs;
  std::vector<outcome::Source> sources;
};

// The palette of a texture of `format` out of the palette file.
base::Result<texcore::Palette> palette_for(const Run& r, texcore::Format format) {
  if (!r.o.palette) {
    return base::refuse(cat({texcore::info(format).name, " texels need --palette FILE[@OFFSET]"}));
  }
  return texcore::read_palette(r.palette_bytes, r.o.palette->offset, r.o.palette_format,
                               texcore::palette_size(format));
}

// Makes one texture's image and writes it. The status, after a line when it is not 0; `where`
// heads the line of a refused texture.
int one_texture(Run& r, const texcore::Texture& t, const std::string& default_name,
                const std::string& where) {
  texcore::DecodeOptions look{.opaque = r.o.opaque};
  std::optional<texcore::Palette> palette;
  if (texcore::info(t.format).indexed()) {
    auto p = palette_for(r, t.format);
    if (!p) {
      con::error_line((r.o.palette ? r.o.palette->file : where) + ": " + p.why());
      return exit_status::kFailed;
    }
    palette = std::move(*p);
    look.palette = &*palette;
  }
  const auto made = image_file(r.input.bytes(), t, {.swap_rows = r.o.swap_rows}, look, r.o.tga);
  if (!made) {
    con::error_line(where + ": " + made.why());
    return exit_status::kFailed;
  }
  if (!outcome::inputs_whole(r.sources)) return exit_status::kFailed;
  const auto name = dialog::choose_output(default_name, r.inputs,
                                          {stdout, "\nimage file? ", "name for the image file"});
  if (!name) return exit_status::kEndOfInput;
  if (const int status = outcome::write(*name, made->bytes, {})) return status;
  const auto length = texcore::byte_length(t.format, std::uint64_t{made->width} * made->height);
  std::printf("%s: %u x %u %s texels from offset %s (%llu bytes)\n", name->c_str(), made->width,
              made->height, texcore::info(t.format).name, texcore::offset_text(t.offset).c_str(),
              static_cast<unsigned long long>(length.value_or(0)));
  std::fflush(stdout);
  return exit_status::kDone;
}

// Every row of the list, in order; a row that fails is told and the rest still made.
int run_list(Run& r, const std::string& list_name, std::span<const std::uint8_t> list) {
  const std::string_view text(reinterpret_cast<const char*>(list.data()), list.size());
  int status = exit_status::kDone;
  std::size_t number = 0;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    const std::string where = list_name + ":" + std::to_string(number);
    const auto row = parse_list_row(line);
    if (!row) {
      con::error_line(where + ": " + row.why());
      status = exit_status::kFailed;
      continue;
    }
    const int done = one_texture(r, row->texture, row->output, where);
    if (done == exit_status::kEndOfInput) return done;
    if (done != exit_status::kDone) status = exit_status::kFailed;
  }
  return status;
}

}  // namespace

Options parse_arguments(const std::vector<std::string>& args) {
  const switches::Parsed p = switches::read(args, kSwitches);
  Options o;
  o.problem = p.problem;
  for (const switches::Found& f : p.found) {
    if (texapp::take_shared(f, o)) continue;
    const std::string& v = f.value;
    switch (f.id) {
      case kWidth:
        o.width = parse_size(v);
        if (!o.width) set_problem(o, "--width " + v + ": not a width of 1 or more texels");
        break;
      case kHeight:
        o.height = parse_size(v);
        if (!o.height) set_problem(o, "--height " + v + ": not a height of 1 or more texels");
        break;
      case kOffset:
        o.offset = text::parse_number(v);
        if (!o.offset)
          set_problem(o, "--offset " + v + ": not an offset (decimal, or hex after 0x)");
        break;
      case kOpaque: o.opaque = true; break;
      case kSwapRows: o.swap_rows = true; break;
      case kTga: o.tga = true; break;
      case kList: o.list = v; break;
      default: break;
    }
  }
  if (!p.names.empty()) o.input = p.names[0];
  if (p.names.size() > 1) o.output = p.names[1];
  if (o.list) {
    if (o.format || o.width || o.height || o.offset) {
      set_problem(o, "--list takes the offset, format, width and height from its rows");
    }
    if (o.output) set_problem(o, "--list takes the output names from its rows");
  } else {
    if (!o.format) set_problem(o, "--format is missing");
    if (!o.width) set_problem(o, "--width is missing");
    if (o.format && texcore::info(*o.format).indexed() && !o.palette) {
      set_problem(
          o, std::string(texcore::info(*o.format).name) + " texels need --palette FILE[@OFFSET]");
    }
  }
  if (p.names.size() > 2) {
    set_problem(o, "one input and one output at most ('" + p.names[2] + "' is a third name)");
  }
  return o;
}

base::Result<ListRow> parse_list_row(std::string_view line) {
  const std::vector<std::string_view> f = split_tabs(line);
  if (f.size() != 5) {
    return base::refuse(
        "a row holds 5 tab-separated fields (offset, format, width, height, "
        "output name), not " +
        std::to_string(f.size()));
  }
  ListRow row;
  const auto offset = text::parse_number(f[0]);
  const auto format = texcore::parse_format(f[1]);
  const auto width = parse_size(f[2]);
  if (!offset) return base::refuse(cat({"'", f[0], "' is not an offset"}));
  if (!format) return base::refuse(cat({"'", f[1], "' is not one of ", texcore::format_names()}));
  if (!width) return base::refuse(cat({"'", f[2], "' is not a width"}));
  if (!f[3].empty() && f[3] != "-") {
    row.texture.height = parse_size(f[3]);
    if (!row.texture.height) return base::refuse(cat({"'", f[3], "' is not a height"}));
  }
  if (f[4].empty()) return base::refuse("the output name is empty");
  row.texture.offset = *offset;
  row.texture.format = *format;
  row.texture.width = *width;
  row.output = std::string(f[4]);
  return row;
}

base::Result<ImageFile> image_file(texcore::ByteSpan file, const texcore::Texture& texture,
                                   const texcore::Layout& layout,
                                   const texcore::DecodeOptions& options, bool tga) {
  if (tga) {
    const auto image = texcore::cut_texture(file, texture, layout, options);
    if (!image) return base::refuse(image.why());
    auto made = texcore::write_tga(*image, texcore::info(texture.format).grey());
    if (!made) return base::refuse(made.why());
    return ImageFile{std::move(*made), image->width, image->height};
  }
  const auto rows = texcore::texture_rows(file, texture, layout, options);
  if (!rows) return base::refuse(rows.why());
  return ImageFile{texcore::write_png(**rows), (*rows)->width(), (*rows)->height()};
}

int run(const shell::Args& args) {
  const Options o = parse_arguments(args);
  if (!o.problem.empty()) return shell::usage_error(o.problem);

  std::string in_name = o.input.value_or("");
  files::InputFile input;
  if (const auto status = dialog::open_input(
          input, in_name, {stdout, "\ntexel file? ", "name for the texel file"}, !o.input)) {
    return *status;
  }
  Run r(o, input, in_name);
  r.inputs = {in_name};
  r.sources.push_back({input, in_name});
  if (o.palette) {
    // A palette in the input itself is read from the input as it was opened.
    if (files::same_file(o.palette->file, in_name)) {
      r.palette_bytes = input.bytes();
    } else {
      if (!texapp::open_named(r.palette_file, o.palette->file)) return exit_status::kFailed;
      r.palette_bytes = r.palette_file.bytes();
      r.inputs.push_back(o.palette->file);
      r.sources.push_back({r.palette_file, o.palette->file});
    }
  }
  if (!o.list) {
    const texcore::Texture t{*o.format, *o.width, o.height, o.offset.value_or(0)};
    const std::string name =
        o.output.value_or(files::derive_output_name(in_name, o.tga ? ".tga" : ".png"));
    return one_texture(r, t, name, in_name);
  }
  files::InputFile list;
  if (!texapp::open_named(list, *o.list)) return exit_status::kFailed;
  r.inputs.push_back(*o.list);
  r.sources.push_back({list, *o.list});
  return run_list(r, *o.list, list.bytes());
}

const shell::Program kProgram{
    .name = "tex2png", .usage = kUsage, .run = run, .switches = &kSwitches};

}  // namespace tex2png
