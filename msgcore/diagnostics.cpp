#include "msgcore/diagnostics.hpp"

#include <utility>

namespace msg {

Diagnostics::Diagnostics(DiagBuild build, std::FILE* err, ReadChar read_char)
    : build_(build), err_(err), read_char_(std::move(read_char)) {}

const char* Diagnostics::message(int status, DiagBuild build) {
  switch (status) {
    case 0: return build == DiagBuild::sylk ? nullptr : "\nunrecognised text character\tskipping";
    case 3: return "\nimproper!\t[pause t]";
    case 5: return "\nimproper!\t[color r g b] or [color #i r g b]";
    case 13: return "\nimproper!\t[rand aaaa bbbb], aaaa bbbb cccc, or aaaa bbbb cccc dddd";
    case 14: return "\nimproper!\t[jump xxxx]\txxxx: msg_txt ID";
    case 15: return "\nimproper!\t[selected # xxxx]  #: 1-6, xxxx: msg_txt ID";
    case 16: return "\nimproper!\t[menu aaaa bbbb], aaaa bbbb cccc, or aaaa bbbb cccc dddd";
    case 36: return "\nimproper!\t[string #]  #: 1-25 only";
    case 99: return "\nimproper!\t[`range aaaa bbbb]  aaaa: msg_txt ID start, bbbb: end";
    case 106: return "\nimproper!\t[`interject aaaa bbbb]  aaaa/bbbb: msg_txt ID";
    default: return nullptr;
  }
}

void Diagnostics::report(int status) {
  ++reports_;
  if (err_ != nullptr) {
    if (const char* text = message(status, build_)) std::fputs(text, err_);
    std::fflush(err_);
  }
  if (build_ == DiagBuild::sylk && read_char_) read_char_();
}

}  // namespace msg
