#include "msgcore/readable.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string_view>
#include <vector>

#include "msgcore/charmap.hpp"
#include "msgcore/diagnostics.hpp"
#include "msgcore/encoding.hpp"
#include "msgcore/tag_table.hpp"
#include "msgcore/tags.hpp"

namespace msg {
namespace {

// A short text, padded so that it is copied with one fixed-size move (its size byte and padding
// land past its end, where the next text goes).
struct Form {
  static constexpr std::size_t kRoom = 16;
  char text[kRoom - 1] = {};
  std::uint8_t size = 0;  // 0: none (a byte without a form of its own goes into a hex run)

  char* put(char* p) const {
    std::memcpy(p, this, kRoom);
    return p + size;
  }
};
static_assert(sizeof(Form) == Form::kRoom);

Form make_form(std::string_view text) {
  Form f;
  if (text.size() < sizeof f.text) {
    std::memcpy(f.text, text.data(), text.size());
    f.size = static_cast<std::uint8_t>(text.size());
  }
  return f;
}

// How a control sequence is written: the vocabulary entry whose name is used, the sequence's
// length, and the number that the opcode stands for (select number, string number).
struct SequenceForm {
  const TagEntry* entry = nullptr;
  Form head;  // "[" and the name
  std::uint8_t length = 0;
  std::uint8_t number = 0;
};

struct Tables {
  std::array<Form, 256> dump;
  std::array<Form, 256> sylk;
  std::array<SequenceForm, 256> sequences;  // by opcode
  std::vector<std::uint8_t> time_phrase;
  Form time_tag;
};

// What `text` compiles to as a tag, when it compiles without a report.
std::optional<std::vector<std::uint8_t>> compile_tag(std::string_view text) {
  std::vector<std::uint8_t> out;
  Diagnostics quiet = Diagnostics::quiet();
  const std::uint32_t count =
      encode_tag({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, out, quiet);
  if (quiet.reports() != 0 || count != out.size()) return std::nullopt;
  return out;
}

// Notes the sequence that `text` compiles to as written by `entry`, unless an earlier name already
// gives its opcode.
void note_sequence(Tables& t, const TagEntry& entry, const std::string& text, int number = 0) {
  const auto bytes = compile_tag(text);
  if (!bytes || bytes->size() < 2 || (*bytes)[0] != kControlPrefix) return;
  SequenceForm& s = t.sequences[(*bytes)[1]];
  if (s.entry != nullptr) return;
  std::string head(1, '[');
  head += entry.name;
  s = {&entry, make_form(head), static_cast<std::uint8_t>(bytes->size()),
       static_cast<std::uint8_t>(number)};
}

// Every tag of the vocabulary, compiled with sample arguments, gives the opcodes it writes. The
// string numbers come last, so that a sequence with a name of its own keeps it ("[item]", not
// "[string 21]").
void learn_sequences(Tables& t, std::array<std::string, 256>& names) {
  std::vector<const TagEntry*> order;
  for (const TagEntry& e : vocabulary()) {
    if (e.kind != TagKind::string) order.push_back(&e);
  }
  for (const TagEntry& e : vocabulary()) {
    if (e.kind == TagKind::string) order.push_back(&e);
  }
  for (const TagEntry* entry : order) {
    const TagEntry& e = *entry;
    const std::string name(e.name);
    switch (e.kind) {
      case TagKind::character:
        if (names[e.code].empty()) names[e.code] = "[" + name + "]";
        break;
      case TagKind::time:
        if (auto bytes = compile_tag(name); bytes && bytes->size() >= 2 && t.time_tag.size == 0) {
          t.time_phrase = *bytes;
          t.time_tag = make_form("[" + name + "]");
        }
        break;
      case TagKind::control: note_sequence(t, e, name); break;
      case TagKind::pause:
      case TagKind::small_number:
      case TagKind::jump: note_sequence(t, e, name + " 0"); break;
      case TagKind::range: note_sequence(t, e, name + " 0 0"); break;
      case TagKind::select:
        for (int n = 1; n <= 6; ++n) note_sequence(t, e, name + " " + std::to_string(n) + " 0", n);
        break;
      case TagKind::choice: {
        std::string text = name + " 0";
        for (int ids = 2; ids <= 6; ++ids) note_sequence(t, e, text += " 0");
        break;
      }
      case TagKind::string:
        for (int n = 1; n <= 25; ++n) note_sequence(t, e, name + " " + std::to_string(n), n);
        break;
      case TagKind::color:
        note_sequence(t, e, name + " 0 0 0");
        note_sequence(t, e, name + " #0 0 0 0");
        break;
    }
  }
}

// The shorthand or escape pair that writes each code, where there is one. A single character that
// writes its code whatever follows comes first; then the pairs of a lead and a follower, followers
// tried in the order lower-case letters, digits, other printable characters ("\n" rather than
// "$r", "$n" rather than "$8"). Pairs that write their own lead ("$z") say nothing and are left
// out.
std::array<std::string, 256> learn_shorthands() {
  std::array<std::string, 256> forms;
  const auto opens_syntax = [](int c) { return c == '#' || c == '['; };
  for (int c = 0x21; c <= 0x7E; ++c) {
    if (opens_syntax(c)) continue;
    const PlainCode pc = plain_code(static_cast<std::uint8_t>(c), kEndOfSource);
    bool fixed = pc.advance == 1 && pc.code != c;
    for (int f = 0; f < 256 && fixed; ++f) {
      const PlainCode other = plain_code(static_cast<std::uint8_t>(c), f);
      fixed = other.advance == 1 && other.code == pc.code;
    }
    if (fixed && forms[pc.code].empty()) forms[pc.code] = std::string(1, static_cast<char>(c));
  }
  std::string followers;
  for (char f = 'a'; f <= 'z'; ++f) followers += f;
  for (char f = '0'; f <= '9'; ++f) followers += f;
  for (char f = 0x21; f <= 0x7E; ++f) {
    if (followers.find(f) == std::string::npos) followers += f;
  }
  for (const char f : followers) {
    for (int c = 0x21; c <= 0x7E; ++c) {
      if (opens_syntax(c)) continue;
      const PlainCode pc = plain_code(static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(f));
      if (pc.advance != 2 || pc.code == c || !forms[pc.code].empty()) continue;
      forms[pc.code] = {static_cast<char>(c), f};
    }
  }
  return forms;
}

// True when the compilers copy printable ASCII `c` as itself, whatever follows it.
bool copied_as_itself(int c) {
  if (c < 0x20 || c > 0x7E || c == '#' || c == '[') return false;
  for (int f = kEndOfSource; f < 256; ++f) {
    const PlainCode pc = plain_code(static_cast<std::uint8_t>(c), f);
    if (pc.code != c || pc.advance != 1) return false;
  }
  return true;
}

Tables build_tables() {
  Tables t;
  std::array<std::string, 256> names;  // "[name]" of the first character tag of each code
  learn_sequences(t, names);
  const std::array<std::string, 256> shorthands = learn_shorthands();

  std::array<std::string, 256> characters;  // UTF-8 of the character map's codes
  std::array<bool, 256> symbol{};           // the game shows something other than ASCII
  for (const CharmapEntry& e : charmap_entries()) {
    characters[e.code] = {static_cast<char>(charmap_lead(e.key)), static_cast<char>(e.key >> 8),
                          static_cast<char>(e.key & 0xFF)};
    symbol[e.code] = true;
  }
  for (int code = 0; code < 256; ++code) {
    if (!names[code].empty()) symbol[code] = true;
  }

  for (int code = 0; code < 256; ++code) {
    const std::string& named = !shorthands[code].empty() ? shorthands[code] : names[code];
    std::string ascii;
    if (copied_as_itself(code)) ascii = std::string(1, static_cast<char>(code));
    if (symbol[code]) {
      t.dump[code] = make_form(!characters[code].empty() ? characters[code] : named);
      t.sylk[code] = make_form(named);
    } else {
      t.dump[code] = make_form(ascii);
      // A cell holds no quotation mark and no semicolon: both end the cell in a spreadsheet.
      if (code != '"' && code != ';') t.sylk[code] = make_form(ascii);
    }
  }
  return t;
}

const Tables& tables() {
  static const Tables t = build_tables();
  return t;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Room that one message byte may take at most, whatever its form: a byte's form is copied as
// Form::kRoom characters, and no tag is longer than that many characters per byte it stands for.
constexpr std::size_t kRoomPerByte = 16;

char* put_hex(char* p, std::uint8_t b) {
  p[0] = kHexDigits[b >> 4];
  p[1] = kHexDigits[b & 0x0F];
  return p + 2;
}

char* put_id(char* p, const std::uint8_t* at) {
  *p++ = ' ';
  return put_hex(put_hex(p, at[0]), at[1]);
}

char* put_number(char* p, unsigned value) {
  if (value >= 100) *p++ = static_cast<char>('0' + value / 100);
  if (value >= 10) *p++ = static_cast<char>('0' + value / 10 % 10);
  *p++ = static_cast<char>('0' + value % 10);
  return p;
}

char* put_decimal(char* p, unsigned value) {
  *p++ = ' ';
  return put_number(p, value);
}

// The tag of the sequence `seq` (its length as `s` gives it).
char* put_sequence(char* p, const SequenceForm& s, const std::uint8_t* seq) {
  p = s.head.put(p);
  switch (s.entry->kind) {
    case TagKind::pause:
    case TagKind::small_number: p = put_decimal(p, seq[2]); break;
    case TagKind::jump: p = put_id(p, seq + 2); break;
    case TagKind::select: p = put_id(put_decimal(p, s.number), seq + 2); break;
    case TagKind::choice:
    case TagKind::range:
      for (std::size_t at = 2; at < s.length; at += 2) p = put_id(p, seq + at);
      break;
    case TagKind::string: p = put_decimal(p, s.number); break;
    case TagKind::color:
      if (s.length == 6) {  // the index, last in the sequence, comes first in the tag
        *p++ = ' ';
        *p++ = '#';
        p = put_number(p, seq[5]);
      }
      for (std::size_t at = 2; at < 5; ++at) p = put_decimal(p, seq[at]);
      break;
    case TagKind::character:
    case TagKind::time:
    case TagKind::control: break;
  }
  *p++ = ']';
  return p;
}

}  // namespace

char* TextBuffer::room(std::size_t count) {
  if (capacity_ - size_ < count) {
    const std::size_t capacity = std::max(size_ + count, capacity_ * 2);
    std::unique_ptr<char[]> data(new char[capacity]);
    if (size_ != 0) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
  }
  return data_.get() + size_;
}

void TextBuffer::append(std::string_view text) {
  char* p = room(text.size());
  std::memcpy(p, text.data(), text.size());
  commit(p + text.size());
}

TagChecker::Key* TagChecker::find(const Key& key) {
  std::uint64_t h =
      (key.words[0] ^ (key.words[1] * 0x9E3779B97F4A7C15u) ^ key.words[2] ^ key.size) *
      0xBF58476D1CE4E5B9u;
  h ^= h >> 31;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = static_cast<std::size_t>(h) & mask;; i = (i + 1) & mask) {
    Key& slot = slots_[i];
    if (slot.size == 0 || (slot.size == key.size && slot.words[0] == key.words[0] &&
                           slot.words[1] == key.words[1] && slot.words[2] == key.words[2])) {
      return &slot;
    }
  }
}

bool TagChecker::check(std::string_view tag, std::span<const std::uint8_t> sequence) {
  Key key{};
  if (sequence.empty() || sequence.size() > sizeof key.words) return false;
  key.size = static_cast<std::uint8_t>(sequence.size());
  std::memcpy(key.words, sequence.data(), sequence.size());
  if (find(key)->size != 0) return true;
  // Printable ASCII only, and nothing that ends a line, a cell or a SYLK field.
  for (const char c : tag) {
    if (c < 0x20 || c > 0x7E || c == '"' || c == ';') return false;
  }
  scratch_.clear();
  const unsigned long reports = diag_.reports();
  const Source src(reinterpret_cast<const std::uint8_t*>(tag.data()), tag.size());
  const Scan s = msg::tag(src, 0, scratch_, diag_);
  const bool ok = !tag.empty() && tag.front() == '[' && !s.hit_end && s.next == src.size() &&
                  diag_.reports() == reports &&
                  std::equal(scratch_.begin(), scratch_.end(), sequence.begin(), sequence.end());
  if (!ok) return false;
  if (2 * (count_ + 1) > slots_.size()) {
    std::vector<Key> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Key& k : old) {
      if (k.size != 0) *find(k) = k;
    }
  }
  *find(key) = key;
  ++count_;
  return true;
}

namespace {

// What stands at a control prefix: a tag (the TIME phrase or a known sequence) of `length` bytes,
// or `length` bytes for a hex run (an unknown opcode: the prefix and the opcode; a sequence that
// the message cuts short: the rest of the message).
struct ControlStep {
  const SequenceForm* sequence = nullptr;  // a known sequence
  bool time = false;                       // the TIME phrase
  std::size_t length = 0;
};

ControlStep control_step(const Tables& t, const std::uint8_t* at, std::size_t left) {
  const std::vector<std::uint8_t>& phrase = t.time_phrase;
  if (!phrase.empty() && left >= phrase.size() && at[1] == phrase[1] &&
      std::memcmp(at, phrase.data(), phrase.size()) == 0) {
    return {nullptr, true, phrase.size()};
  }
  const SequenceForm* s = left >= 2 ? &t.sequences[at[1]] : nullptr;
  if (s == nullptr || s->entry == nullptr) return {nullptr, false, std::min<std::size_t>(left, 2)};
  if (s->length > left) return {nullptr, false, left};
  return {s, false, s->length};
}

// The text of one message as it is written into a TextBuffer. Room is taken a slice of the
// message at a time, so that a long message needs no more than its text; a step that starts in a
// slice may run past its end by the longest step there is.
class MessageText {
 public:
  static constexpr std::size_t kSlice = std::size_t{1} << 14;
  // The most message bytes one step takes (the TIME phrase's 21, rounded up), and what the
  // copies of whole forms and the closing '#' may write past the text.
  static constexpr std::size_t kSlack = kRoomPerByte * 24 + 2 * Form::kRoom;

  MessageText(TextBuffer& out, std::size_t size) : out_(out), size_(size) {}

  // Called before each step at message offset `i`: room for the slice when `i` has reached its
  // end. Returns where this slice ends.
  std::size_t room_at(std::size_t i) {
    if (i >= slice_end_) {
      if (p_ != nullptr) out_.commit(p_);
      slice_end_ = std::min(size_, i + kSlice);
      p_ = out_.room((slice_end_ - i) * kRoomPerByte + kSlack);
    }
    return slice_end_;
  }
  char* at() { return p_; }
  void put_form(const Form& form) {
    end_hex();
    p_ = form.put(p_);
  }
  // Writes a tag with `put`, which returns the end of what it wrote.
  template <class Put>
  std::string_view put_tag(Put put) {
    end_hex();
    char* const start = p_;
    p_ = put(p_);
    return {start, static_cast<std::size_t>(p_ - start)};
  }
  // Consecutive bytes without a form of their own share one hex run.
  void put_hex_byte(std::uint8_t b) {
    *p_++ = hex_open_ ? ' ' : '#';
    hex_open_ = true;
    p_ = put_hex(p_, b);
  }
  void end_hex() {
    if (hex_open_) *p_++ = '#';
    hex_open_ = false;
  }
  void finish() {
    end_hex();
    out_.commit(p_);
  }
  void stop() { out_.commit(p_); }

 private:
  TextBuffer& out_;
  std::size_t size_;
  std::size_t slice_end_ = 0;
  char* p_ = nullptr;
  bool hex_open_ = false;
};

}  // namespace

bool decode_message(std::span<const std::uint8_t> message, SourceForm form, TextBuffer& out,
                    TagChecker* tags) {
  const Tables& t = tables();
  const std::array<Form, 256>& forms = form == SourceForm::dump ? t.dump : t.sylk;
  const std::size_t n = message.size();
  if (n == 0) {
    if (form == SourceForm::sylk) out.append("##");
    return true;
  }
  const std::uint8_t* m = message.data();
  MessageText text(out, n);
  for (std::size_t i = 0; i < n;) {
    const std::size_t slice_end = text.room_at(i);
    if (forms[m[i]].size != 0) {
      // A run of bytes with forms of their own, to the end of the slice.
      do {
        text.put_form(forms[m[i]]);
      } while (++i < slice_end && forms[m[i]].size != 0);
      continue;
    }
    if (m[i] != kControlPrefix) {
      text.put_hex_byte(m[i++]);
      continue;
    }
    const ControlStep step = control_step(t, m + i, n - i);
    if (step.time || step.sequence != nullptr) {
      const std::string_view tag = text.put_tag([&](char* p) {
        return step.time ? t.time_tag.put(p) : put_sequence(p, *step.sequence, m + i);
      });
      if (tags != nullptr && !tags->check(tag, {m + i, step.length})) {
        text.stop();
        return false;
      }
    } else {
      for (std::size_t k = 0; k < step.length; ++k) text.put_hex_byte(m[i + k]);
    }
    i += step.length;
  }
  text.finish();
  return true;
}

std::string decode_message(std::span<const std::uint8_t> message, SourceForm form) {
  TextBuffer out;
  decode_message(message, form, out);
  return std::string(out.view());
}

void hex_message(std::span<const std::uint8_t> message, TextBuffer& out) {
  char* p = out.room(message.size() * 3 + 2);
  *p++ = '#';
  for (std::size_t i = 0; i < message.size(); ++i) {
    if (i != 0) *p++ = ' ';
    p = put_hex(p, message[i]);
  }
  *p++ = '#';
  out.commit(p);
}

}  // namespace msg
