// What tex2png and png2tex share on the program side: the switches both take (the format and the
// palette) and the opening of a file a switch names.
#pragma once

#include <optional>
#include <string>

#include "common/files.hpp"
#include "common/switches.hpp"
#include "texcore/texture.hpp"

namespace texapp {

// The switch ids both programs share; each program numbers its own from kFirstOwn.
enum SharedId { kFormat, kPalette, kPaletteFormat, kFirstOwn };

inline constexpr switches::Switch kFormatSwitch{
    .id = kFormat,
    .name = "--format",
    .value = "a format: i4, i8, ia4, ia8, ia16, rgba16, rgba32, ci4 or ci8"};
inline constexpr switches::Switch kPaletteSwitch{
    .id = kPalette, .name = "--palette", .value = "a palette file (FILE or FILE@OFFSET)"};
inline constexpr switches::Switch kPaletteFormatSwitch{
    .id = kPaletteFormat, .name = "--palette-format", .value = "rgba16 or ia16"};

// What the shared switches set.
struct TexelSwitches {
  std::optional<texcore::Format> format;
  std::optional<texcore::PaletteSource> palette;
  texcore::PaletteFormat palette_format = texcore::PaletteFormat::rgba16;
  std::string problem;  // the first line for the user when the arguments cannot be used
};

// Keeps the first problem.
void set_problem(TexelSwitches& s, std::string text);

// Takes one of the shared switches into `s`; false for the program's own.
bool take_shared(const switches::Found& found, TexelSwitches& s);

// A file named by a switch: opened, or one line on stderr and false.
bool open_named(files::InputFile& file, const std::string& name);

}  // namespace texapp
