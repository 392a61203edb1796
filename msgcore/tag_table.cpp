#include "msgcore/tag_table.hpp"

#include <array>
#include <cstddef>

namespace msg {
namespace {

using K = TagKind;

// clang-format off
constexpr TagEntry kVocabulary[] = {
    // Message flow.
    {"close", K::control, 0x00, 0},
    {"open", K::control, 0x01, 0},
    {"CLS", K::control, 0x02, 0},
    {"pause", K::pause, 0x03, 3},
    {"wait", K::control, 0x04, 0},
    {"jump", K::jump, 0x0E, 14},
    {"selected", K::select, 0x0E, 15},
    {"select", K::select, 0x0E, 15},
    {"`selected", K::select, 0x0E, 15},
    {"`select", K::select, 0x0E, 15},
    {"rand", K::choice, 0x13, 13},
    {"menu", K::choice, 0x16, 16},
    {"`menu", K::choice, 0x16, 13},
    {"interject", K::choice, 0x6A, 13},
    {"`interject", K::choice, 0x6A, 13},
    {"jump2sel", K::control, 0x19, 0},
    {"range", K::range, 0x63, 99},
    {"`range", K::range, 0x63, 99},
    {"`isle", K::control, 0x71, 0},
    {"else", K::control, 0x72, 0},
    {"`else", K::control, 0x72, 0},
    {"if", K::control, 0x73, 0},
    {"`if", K::control, 0x73, 0},
    // Substitution.
    {"player", K::control, 0x1A, 0},
    {"speaker", K::control, 0x1B, 0},
    {"nickname", K::control, 0x1C, 0},
    {"year", K::control, 0x1D, 0},
    {"month", K::control, 0x1E, 0},
    {"day", K::control, 0x1F, 0},
    {"weekday", K::control, 0x1F, 0},
    {"day#", K::control, 0x20, 0},
    {"date", K::control, 0x20, 0},
    {"hours", K::control, 0x21, 0},
    {"mins", K::control, 0x22, 0},
    {"secs", K::control, 0x23, 0},
    {"name", K::control, 0x24, 0},
    {"string", K::string, 0x23, 36},
    {"recall", K::control, 0x2E, 0},
    {"town", K::control, 0x2F, 0},
    {"number", K::control, 0x30, 0},
    {"item", K::control, 0x31, 0},
    {"am/pm", K::control, 0x76, 0},
    {"`am/pm", K::control, 0x76, 0},
    {"TIME", K::time, 0x00, 0},
    // Presentation.
    {"color", K::color, 0x05, 5},
    {"size1", K::small_number, 0x54, 84},
    {"sound", K::small_number, 0x59, 89},
    {"size", K::small_number, 0x5A, 90},
    {"CAPS", K::control, 0x70, 0},
    {"caps", K::control, 0x70, 0},
    {"uppercase", K::control, 0x70, 0},
    {"upper", K::control, 0x70, 0},
    {"toupper", K::control, 0x70, 0},
    {"`CAPS", K::control, 0x70, 0},
    {"`caps", K::control, 0x70, 0},
    {"`uppercase", K::control, 0x70, 0},
    {"`upper", K::control, 0x70, 0},
    {"`toupper", K::control, 0x70, 0},
    {"lowercase", K::control, 0x74, 0},
    {"lower", K::control, 0x74, 0},
    {"tolower", K::control, 0x74, 0},
    {"`lowercase", K::control, 0x74, 0},
    {"`lower", K::control, 0x74, 0},
    {"`tolower", K::control, 0x74, 0},
    {"capitalize", K::control, 0x75, 0},
    {"`capitalize", K::control, 0x75, 0},
    // Named characters.
    {"stress", K::character, 0x5C, 0},
    {"anger", K::character, 0x5C, 0},
    {"+", K::character, 0x5C, 0},
    {"quote", K::character, 0x22, 0},
    {"q", K::character, 0x22, 0},
    {"heart", K::character, 0x2B, 0},
    {"h", K::character, 0x2B, 0},
    {"note", K::character, 0x2F, 0},
    {"eighth", K::character, 0x2F, 0},
    {"n", K::character, 0x2F, 0},
    {"8", K::character, 0x2F, 0},
    {"sweat", K::character, 0x3B, 0},
    {"drop", K::character, 0x3B, 0},
    {"tear", K::character, 0x3B, 0},
    {"teardrop", K::character, 0x3B, 0},
    {"s", K::character, 0x3B, 0},
    {"o", K::character, 0x81, 0},
    {".", K::character, 0x84, 0},
    {"-", K::character, 0x90, 0},
    {"smile", K::character, 0xBF, 0},
    {"r", K::character, 0xCD, 0},
    {"line", K::character, 0xCD, 0},
    {"newline", K::character, 0xCD, 0},
    {"return", K::character, 0xCD, 0},
    {"\\r", K::character, 0xCD, 0},
    {"\\n", K::character, 0xCD, 0},
    // Kana: "h-" hiragana, "hs-" small hiragana, "k-" katakana, "ks-" small katakana. The odd
    // spellings ("h-tsu" for 0x0C, "hs-su" for the small tsu, "h-shi", "k-chi") are the accepted
    // ones; their regular twins are unknown tags.
    {"h-a", K::character, 0x00, 0},   {"h-i", K::character, 0x01, 0},
    {"h-u", K::character, 0x02, 0},   {"h-e", K::character, 0x03, 0},
    {"h-o", K::character, 0x04, 0},   {"h-ka", K::character, 0x05, 0},
    {"h-ki", K::character, 0x06, 0},  {"h-ku", K::character, 0x07, 0},
    {"h-ke", K::character, 0x08, 0},  {"h-ko", K::character, 0x09, 0},
    {"h-sa", K::character, 0x0A, 0},  {"h-shi", K::character, 0x0B, 0},
    {"h-tsu", K::character, 0x0C, 0}, {"h-se", K::character, 0x0D, 0},
    {"h-so", K::character, 0x0E, 0},  {"h-ta", K::character, 0x0F, 0},
    {"h-ti", K::character, 0x10, 0},  {"h-tu", K::character, 0x11, 0},
    {"h-te", K::character, 0x12, 0},  {"h-to", K::character, 0x13, 0},
    {"h-na", K::character, 0x14, 0},  {"h-ni", K::character, 0x15, 0},
    {"h-nu", K::character, 0x16, 0},  {"h-ne", K::character, 0x17, 0},
    {"h-no", K::character, 0x18, 0},  {"h-ha", K::character, 0x19, 0},
    {"h-hi", K::character, 0x1A, 0},  {"h-hu", K::character, 0x1B, 0},
    {"h-he", K::character, 0x1C, 0},  {"h-ho", K::character, 0x1D, 0},
    {"h-ma", K::character, 0x1E, 0},  {"h-mi", K::character, 0x1F, 0},
    {"h-mu", K::character, 0x23, 0},  {"h-me", K::character, 0x24, 0},
    {"h-mo", K::character, 0x5B, 0},  {"h-ya", K::character, 0x5D, 0},
    {"h-yu", K::character, 0x5E, 0},  {"h-yo", K::character, 0x60, 0},
    {"h-ra", K::character, 0x7B, 0},  {"h-ri", K::character, 0x7C, 0},
    {"h-ru", K::character, 0x7D, 0},  {"h-re", K::character, 0x7E, 0},
    {"h-ro", K::character, 0xC0, 0},  {"h-wa", K::character, 0xC1, 0},
    {"h-wo", K::character, 0xC2, 0},  {"h-n", K::character, 0xC3, 0},
    {"h-ga", K::character, 0xE7, 0},  {"h-gi", K::character, 0xE8, 0},
    {"h-gu", K::character, 0xE9, 0},  {"h-ge", K::character, 0xEA, 0},
    {"h-go", K::character, 0xEB, 0},  {"h-za", K::character, 0xEC, 0},
    {"h-zi", K::character, 0xED, 0},  {"h-zu", K::character, 0xEE, 0},
    {"h-ze", K::character, 0xEF, 0},  {"h-zo", K::character, 0xF0, 0},
    {"h-da", K::character, 0xF1, 0},  {"h-di", K::character, 0xF2, 0},
    {"h-du", K::character, 0xF3, 0},  {"h-de", K::character, 0xF4, 0},
    {"h-do", K::character, 0xF5, 0},  {"h-ba", K::character, 0xF6, 0},
    {"h-bi", K::character, 0xF7, 0},  {"h-bu", K::character, 0xF8, 0},
    {"h-be", K::character, 0xF9, 0},  {"h-bo", K::character, 0xFA, 0},
    {"h-pa", K::character, 0xFB, 0},  {"h-pi", K::character, 0xFC, 0},
    {"h-pu", K::character, 0xFD, 0},  {"h-pe", K::character, 0xFE, 0},
    {"h-po", K::character, 0xFF, 0},
    {"hs-a", K::character, 0xC4, 0},  {"hs-i", K::character, 0xC5, 0},
    {"hs-u", K::character, 0xC6, 0},  {"hs-e", K::character, 0xC7, 0},
    {"hs-o", K::character, 0xC8, 0},  {"hs-ya", K::character, 0xC9, 0},
    {"hs-yu", K::character, 0xCA, 0}, {"hs-yo", K::character, 0xCB, 0},
    {"hs-su", K::character, 0xCC, 0},
    {"k-wo", K::character, 0x86, 0},  {"k-a", K::character, 0x91, 0},
    {"k-i", K::character, 0x92, 0},   {"k-u", K::character, 0x93, 0},
    {"k-e", K::character, 0x94, 0},   {"k-o", K::character, 0x95, 0},
    {"k-ka", K::character, 0x96, 0},  {"k-ki", K::character, 0x97, 0},
    {"k-ku", K::character, 0x98, 0},  {"k-ke", K::character, 0x99, 0},
    {"k-ko", K::character, 0x9A, 0},  {"k-sa", K::character, 0x9B, 0},
    {"k-si", K::character, 0x9C, 0},  {"k-su", K::character, 0x9D, 0},
    {"k-se", K::character, 0x9E, 0},  {"k-so", K::character, 0x9F, 0},
    {"k-ta", K::character, 0xA0, 0},  {"k-chi", K::character, 0xA1, 0},
    {"k-tu", K::character, 0xA2, 0},  {"k-te", K::character, 0xA3, 0},
    {"k-to", K::character, 0xA4, 0},  {"k-na", K::character, 0xA5, 0},
    {"k-ni", K::character, 0xA6, 0},  {"k-nu", K::character, 0xA7, 0},
    {"k-ne", K::character, 0xA8, 0},  {"k-no", K::character, 0xA9, 0},
    {"k-ha", K::character, 0xAA, 0},  {"k-hi", K::character, 0xAB, 0},
    {"k-hu", K::character, 0xAC, 0},  {"k-he", K::character, 0xAD, 0},
    {"k-ho", K::character, 0xAE, 0},  {"k-ma", K::character, 0xAF, 0},
    {"k-mi", K::character, 0xB0, 0},  {"k-mu", K::character, 0xB1, 0},
    {"k-me", K::character, 0xB2, 0},  {"k-mo", K::character, 0xB3, 0},
    {"k-ya", K::character, 0xB4, 0},  {"k-yu", K::character, 0xB5, 0},
    {"k-yo", K::character, 0xB6, 0},  {"k-ra", K::character, 0xB7, 0},
    {"k-ri", K::character, 0xB8, 0},  {"k-ru", K::character, 0xB9, 0},
    {"k-re", K::character, 0xBA, 0},  {"k-ro", K::character, 0xBB, 0},
    {"k-wa", K::character, 0xBC, 0},  {"k-n", K::character, 0xBD, 0},
    {"k-vu", K::character, 0xBE, 0},  {"k-ga", K::character, 0xCE, 0},
    {"k-gi", K::character, 0xCF, 0},  {"k-gu", K::character, 0xD0, 0},
    {"k-ge", K::character, 0xD1, 0},  {"k-go", K::character, 0xD2, 0},
    {"k-za", K::character, 0xD3, 0},  {"k-zi", K::character, 0xD4, 0},
    {"k-zu", K::character, 0xD5, 0},  {"k-ze", K::character, 0xD6, 0},
    {"k-zo", K::character, 0xD7, 0},  {"k-da", K::character, 0xD8, 0},
    {"k-di", K::character, 0xD9, 0},  {"k-du", K::character, 0xDA, 0},
    {"k-de", K::character, 0xDB, 0},  {"k-do", K::character, 0xDC, 0},
    {"k-ba", K::character, 0xDD, 0},  {"k-bi", K::character, 0xDE, 0},
    {"k-bu", K::character, 0xDF, 0},  {"k-be", K::character, 0xE0, 0},
    {"k-bo", K::character, 0xE1, 0},  {"k-pa", K::character, 0xE2, 0},
    {"k-pi", K::character, 0xE3, 0},  {"k-pu", K::character, 0xE4, 0},
    {"k-pe", K::character, 0xE5, 0},  {"k-po", K::character, 0xE6, 0},
    {"ks-a", K::character, 0x87, 0},  {"ks-i", K::character, 0x88, 0},
    {"ks-u", K::character, 0x89, 0},  {"ks-e", K::character, 0x8A, 0},
    {"ks-o", K::character, 0x8B, 0},  {"ks-ya", K::character, 0x8C, 0},
    {"ks-yu", K::character, 0x8D, 0}, {"ks-yo", K::character, 0x8E, 0},
    {"ks-tu", K::character, 0x8F, 0},
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
