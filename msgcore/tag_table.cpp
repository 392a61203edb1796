#include "msgcore/tag_table.hpp"

#include <array>
#include <cstddef>

namespace msg {
namespace {

using K = TagKind;
using R = Report;

// clang-format off
constexpr TagEntry kVocabulary[] = {
    // Message flow.
    {"close", K::control, 0x00, R::none},
    {"open", K::control, 0x01, R::none},
    {"CLS", K::control, 0x02, R::none},
    {"pause", K::pause, 0x03, R::pause},
    {"wait", K::control, 0x04, R::none},
    {"jump", K::jump, 0x0E, R::jump},
    {"selected", K::select, 0x0E, R::select},
    {"select", K::select, 0x0E, R::select},
    {"`selected", K::select, 0x0E, R::select},
    {"`select", K::select, 0x0E, R::select},
    {"rand", K::choice, 0x13, R::rand},
    {"menu", K::choice, 0x16, R::menu},
    {"`menu", K::choice, 0x16, R::rand},
    {"interject", K::choice, 0x6A, R::rand},
    {"`interject", K::choice, 0x6A, R::rand},
    {"jump2sel", K::control, 0x19, R::none},
    {"range", K::range, 0x63, R::range},
    {"`range", K::range, 0x63, R::range},
    {"`isle", K::control, 0x71, R::none},
    {"else", K::control, 0x72, R::none},
    {"`else", K::control, 0x72, R::none},
    {"if", K::control, 0x73, R::none},
    {"`if", K::control, 0x73, R::none},
    // Substitution.
    {"player", K::control, 0x1A, R::none},
    {"speaker", K::control, 0x1B, R::none},
    {"nickname", K::control, 0x1C, R::none},
    {"year", K::control, 0x1D, R::none},
    {"month", K::control, 0x1E, R::none},
    {"day", K::control, 0x1F, R::none},
    {"weekday", K::control, 0x1F, R::none},
    {"day#", K::control, 0x20, R::none},
    {"date", K::control, 0x20, R::none},
    {"hours", K::control, 0x21, R::none},
    {"mins", K::control, 0x22, R::none},
    {"secs", K::control, 0x23, R::none},
    {"name", K::control, 0x24, R::none},
    {"string", K::string, 0x23, R::string},
    {"recall", K::control, 0x2E, R::none},
    {"town", K::control, 0x2F, R::none},
    {"number", K::control, 0x30, R::none},
    {"item", K::control, 0x31, R::none},
    {"am/pm", K::control, 0x76, R::none},
    {"`am/pm", K::control, 0x76, R::none},
    {"TIME", K::time, 0x00, R::none},
    // Presentation.
    {"color", K::color, 0x05, R::color},
    {"size1", K::small_number, 0x54, R::size1},
    {"sound", K::small_number, 0x59, R::sound},
    {"size", K::small_number, 0x5A, R::size},
    {"CAPS", K::control, 0x70, R::none},
    {"caps", K::control, 0x70, R::none},
    {"uppercase", K::control, 0x70, R::none},
    {"upper", K::control, 0x70, R::none},
    {"toupper", K::control, 0x70, R::none},
    {"`CAPS", K::control, 0x70, R::none},
    {"`caps", K::control, 0x70, R::none},
    {"`uppercase", K::control, 0x70, R::none},
    {"`upper", K::control, 0x70, R::none},
    {"`toupper", K::control, 0x70, R::none},
    {"lowercase", K::control, 0x74, R::none},
    {"lower", K::control, 0x74, R::none},
    {"tolower", K::control, 0x74, R::none},
    {"`lowercase", K::control, 0x74, R::none},
    {"`lower", K::control, 0x74, R::none},
    {"`tolower", K::control, 0x74, R::none},
    {"capitalize", K::control, 0x75, R::none},
    {"`capitalize", K::control, 0x75, R::none},
    // Named characters.
    {"stress", K::character, 0x5C, R::none},
    {"anger", K::character, 0x5C, R::none},
    {"+", K::character, 0x5C, R::none},
    {"quote", K::character, 0x22, R::none},
    {"q", K::character, 0x22, R::none},
    {"heart", K::character, 0x2B, R::none},
    {"h", K::character, 0x2B, R::none},
    {"note", K::character, 0x2F, R::none},
    {"eighth", K::character, 0x2F, R::none},
    {"n", K::character, 0x2F, R::none},
    {"8", K::character, 0x2F, R::none},
    {"sweat", K::character, 0x3B, R::none},
    {"drop", K::character, 0x3B, R::none},
    {"tear", K::character, 0x3B, R::none},
    {"teardrop", K::character, 0x3B, R::none},
    {"s", K::character, 0x3B, R::none},
    {"o", K::character, 0x81, R::none},
    {".", K::character, 0x84, R::none},
    {"-", K::character, 0x90, R::none},
    {"smile", K::character, 0xBF, R::none},
    {"r", K::character, 0xCD, R::none},
    {"line", K::character, 0xCD, R::none},
    {"newline", K::character, 0xCD, R::none},
    {"return", K::character, 0xCD, R::none},
    {"\\r", K::character, 0xCD, R::none},
    {"\\n", K::character, 0xCD, R::none},
    // Kana: "h-" hiragana, "hs-" small hiragana, "k-" katakana, "ks-" small katakana. The odd
    // spellings ("h-tsu" for 0x0C, "hs-su" for the small tsu, "h-shi", "k-chi") are the accepted
    // ones; their regular twins are unknown tags.
    {"h-a", K::character, 0x00, R::none},   {"h-i", K::character, 0x01, R::none},
    {"h-u", K::character, 0x02, R::none},   {"h-e", K::character, 0x03, R::none},
    {"h-o", K::character, 0x04, R::none},   {"h-ka", K::character, 0x05, R::none},
    {"h-ki", K::character, 0x06, R::none},  {"h-ku", K::character, 0x07, R::none},
    {"h-ke", K::character, 0x08, R::none},  {"h-ko", K::character, 0x09, R::none},
    {"h-sa", K::character, 0x0A, R::none},  {"h-shi", K::character, 0x0B, R::none},
    {"h-tsu", K::character, 0x0C, R::none}, {"h-se", K::character, 0x0D, R::none},
    {"h-so", K::character, 0x0E, R::none},  {"h-ta", K::character, 0x0F, R::none},
    {"h-ti", K::character, 0x10, R::none},  {"h-tu", K::character, 0x11, R::none},
    {"h-te", K::character, 0x12, R::none},  {"h-to", K::character, 0x13, R::none},
    {"h-na", K::character, 0x14, R::none},  {"h-ni", K::character, 0x15, R::none},
    {"h-nu", K::character, 0x16, R::none},  {"h-ne", K::character, 0x17, R::none},
    {"h-no", K::character, 0x18, R::none},  {"h-ha", K::character, 0x19, R::none},
    {"h-hi", K::character, 0x1A, R::none},  {"h-hu", K::character, 0x1B, R::none},
    {"h-he", K::character, 0x1C, R::none},  {"h-ho", K::character, 0x1D, R::none},
    {"h-ma", K::character, 0x1E, R::none},  {"h-mi", K::character, 0x1F, R::none},
    {"h-mu", K::character, 0x23, R::none},  {"h-me", K::character, 0x24, R::none},
    {"h-mo", K::character, 0x5B, R::none},  {"h-ya", K::character, 0x5D, R::none},
    {"h-yu", K::character, 0x5E, R::none},  {"h-yo", K::character, 0x60, R::none},
    {"h-ra", K::character, 0x7B, R::none},  {"h-ri", K::character, 0x7C, R::none},
    {"h-ru", K::character, 0x7D, R::none},  {"h-re", K::character, 0x7E, R::none},
    {"h-ro", K::character, 0xC0, R::none},  {"h-wa", K::character, 0xC1, R::none},
    {"h-wo", K::character, 0xC2, R::none},  {"h-n", K::character, 0xC3, R::none},
    {"h-ga", K::character, 0xE7, R::none},  {"h-gi", K::character, 0xE8, R::none},
    {"h-gu", K::character, 0xE9, R::none},  {"h-ge", K::character, 0xEA, R::none},
    {"h-go", K::character, 0xEB, R::none},  {"h-za", K::character, 0xEC, R::none},
    {"h-zi", K::character, 0xED, R::none},  {"h-zu", K::character, 0xEE, R::none},
    {"h-ze", K::character, 0xEF, R::none},  {"h-zo", K::character, 0xF0, R::none},
    {"h-da", K::character, 0xF1, R::none},  {"h-di", K::character, 0xF2, R::none},
    {"h-du", K::character, 0xF3, R::none},  {"h-de", K::character, 0xF4, R::none},
    {"h-do", K::character, 0xF5, R::none},  {"h-ba", K::character, 0xF6, R::none},
    {"h-bi", K::character, 0xF7, R::none},  {"h-bu", K::character, 0xF8, R::none},
    {"h-be", K::character, 0xF9, R::none},  {"h-bo", K::character, 0xFA, R::none},
    {"h-pa", K::character, 0xFB, R::none},  {"h-pi", K::character, 0xFC, R::none},
    {"h-pu", K::character, 0xFD, R::none},  {"h-pe", K::character, 0xFE, R::none},
    {"h-po", K::character, 0xFF, R::none},
    {"hs-a", K::character, 0xC4, R::none},  {"hs-i", K::character, 0xC5, R::none},
    {"hs-u", K::character, 0xC6, R::none},  {"hs-e", K::character, 0xC7, R::none},
    {"hs-o", K::character, 0xC8, R::none},  {"hs-ya", K::character, 0xC9, R::none},
    {"hs-yu", K::character, 0xCA, R::none}, {"hs-yo", K::character, 0xCB, R::none},
    {"hs-su", K::character, 0xCC, R::none},
    {"k-wo", K::character, 0x86, R::none},  {"k-a", K::character, 0x91, R::none},
    {"k-i", K::character, 0x92, R::none},   {"k-u", K::character, 0x93, R::none},
    {"k-e", K::character, 0x94, R::none},   {"k-o", K::character, 0x95, R::none},
    {"k-ka", K::character, 0x96, R::none},  {"k-ki", K::character, 0x97, R::none},
    {"k-ku", K::character, 0x98, R::none},  {"k-ke", K::character, 0x99, R::none},
    {"k-ko", K::character, 0x9A, R::none},  {"k-sa", K::character, 0x9B, R::none},
    {"k-si", K::character, 0x9C, R::none},  {"k-su", K::character, 0x9D, R::none},
    {"k-se", K::character, 0x9E, R::none},  {"k-so", K::character, 0x9F, R::none},
    {"k-ta", K::character, 0xA0, R::none},  {"k-chi", K::character, 0xA1, R::none},
    {"k-tu", K::character, 0xA2, R::none},  {"k-te", K::character, 0xA3, R::none},
    {"k-to", K::character, 0xA4, R::none},  {"k-na", K::character, 0xA5, R::none},
    {"k-ni", K::character, 0xA6, R::none},  {"k-nu", K::character, 0xA7, R::none},
    {"k-ne", K::character, 0xA8, R::none},  {"k-no", K::character, 0xA9, R::none},
    {"k-ha", K::character, 0xAA, R::none},  {"k-hi", K::character, 0xAB, R::none},
    {"k-hu", K::character, 0xAC, R::none},  {"k-he", K::character, 0xAD, R::none},
    {"k-ho", K::character, 0xAE, R::none},  {"k-ma", K::character, 0xAF, R::none},
    {"k-mi", K::character, 0xB0, R::none},  {"k-mu", K::character, 0xB1, R::none},
    {"k-me", K::character, 0xB2, R::none},  {"k-mo", K::character, 0xB3, R::none},
    {"k-ya", K::character, 0xB4, R::none},  {"k-yu", K::character, 0xB5, R::none},
    {"k-yo", K::character, 0xB6, R::none},  {"k-ra", K::character, 0xB7, R::none},
    {"k-ri", K::character, 0xB8, R::none},  {"k-ru", K::character, 0xB9, R::none},
    {"k-re", K::character, 0xBA, R::none},  {"k-ro", K::character, 0xBB, R::none},
    {"k-wa", K::character, 0xBC, R::none},  {"k-n", K::character, 0xBD, R::none},
    {"k-vu", K::character, 0xBE, R::none},  {"k-ga", K::character, 0xCE, R::none},
    {"k-gi", K::character, 0xCF, R::none},  {"k-gu", K::character, 0xD0, R::none},
    {"k-ge", K::character, 0xD1, R::none},  {"k-go", K::character, 0xD2, R::none},
    {"k-za", K::character, 0xD3, R::none},  {"k-zi", K::character, 0xD4, R::none},
    {"k-zu", K::character, 0xD5, R::none},  {"k-ze", K::character, 0xD6, R::none},
    {"k-zo", K::character, 0xD7, R::none},  {"k-da", K::character, 0xD8, R::none},
    {"k-di", K::character, 0xD9, R::none},  {"k-du", K::character, 0xDA, R::none},
    {"k-de", K::character, 0xDB, R::none},  {"k-do", K::character, 0xDC, R::none},
    {"k-ba", K::character, 0xDD, R::none},  {"k-bi", K::character, 0xDE, R::none},
    {"k-bu", K::character, 0xDF, R::none},  {"k-be", K::character, 0xE0, R::none},
    {"k-bo", K::character, 0xE1, R::none},  {"k-pa", K::character, 0xE2, R::none},
    {"k-pi", K::character, 0xE3, R::none},  {"k-pu", K::character, 0xE4, R::none},
    {"k-pe", K::character, 0xE5, R::none},  {"k-po", K::character, 0xE6, R::none},
    {"ks-a", K::character, 0x87, R::none},  {"ks-i", K::character, 0x88, R::none},
    {"ks-u", K::character, 0x89, R::none},  {"ks-e", K::character, 0x8A, R::none},
    {"ks-o", K::character, 0x8B, R::none},  {"ks-ya", K::character, 0x8C, R::none},
    {"ks-yu", K::character, 0x8D, R::none}, {"ks-yo", K::character, 0x8E, R::none},
    {"ks-tu", K::character, 0x8F, R::none},
};
// clang-format on

constexpr std::size_t kEntries = std::size(kVocabulary);

// Names are found through an open-addressing hash table built at compile time: slot values are
// entry index + 1, 0 marks an empty slot.
constexpr std::size_t kSlots = 1024;
static_assert(kEntries < kSlots / 2, "the name table is too full for quick probing");

constexpr std::uint32_t name_hash(std::string_view name) {
  std::uint32_t h = 2166136261u;
  for (char c : name) h = (h ^ static_cast<std::uint8_t>(c)) * 16777619u;
  return h;
}

constexpr std::array<std::uint16_t, kSlots> build_slots() {
  std::array<std::uint16_t, kSlots> slots{};
  for (std::size_t i = 0; i < kEntries; ++i) {
    std::size_t s = name_hash(kVocabulary[i].name) & (kSlots - 1);
    while (slots[s] != 0) s = (s + 1) & (kSlots - 1);
    slots[s] = static_cast<std::uint16_t>(i + 1);
  }
  return slots;
}

constexpr std::array<std::uint16_t, kSlots> kSlotsTable = build_slots();

constexpr const TagEntry* lookup(std::string_view name) {
  for (std::size_t s = name_hash(name) & (kSlots - 1);; s = (s + 1) & (kSlots - 1)) {
    const std::uint16_t slot = kSlotsTable[s];
    if (slot == 0) return nullptr;
    if (kVocabulary[slot - 1].name == name) return &kVocabulary[slot - 1];
  }
}

// Every name must be found as itself: a duplicate name would shadow its twin.
constexpr bool names_are_unique() {
  for (std::size_t i = 0; i < kEntries; ++i) {
    if (lookup(kVocabulary[i].name) != &kVocabulary[i]) return false;
  }
  return true;
}
static_assert(names_are_unique(), "a tag name is listed twice");

}  // namespace

const TagEntry* find_tag(std::string_view name) { return lookup(name); }

std::span<const TagEntry> vocabulary() { return kVocabulary; }

}  // namespace msg
