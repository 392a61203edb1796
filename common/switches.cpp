#include "common/switches.hpp"

namespace switches {
namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

const Switch* by_letter(const Policy& policy, char letter) {
  if (letter == '\0') return nullptr;
  for (const Switch& s : policy.known) {
    if (s.letter != '\0' && lower(s.letter) == lower(letter)) return &s;
  }
  return nullptr;
}

// The long switch that `arg` names, and where its "=VALUE" starts (npos when there is none).
const Switch* by_name(const Policy& policy, std::string_view arg, std::size_t& equals) {
  for (const Switch& s : policy.known) {
    if (s.name == nullptr) continue;
    const std::string_view name = s.name;
    if (arg == name) {
      equals = std::string_view::npos;
      return &s;
    }
    if (s.value != nullptr && arg.size() > name.size() && arg.substr(0, name.size()) == name &&
        arg[name.size()] == '=') {
      equals = name.size();
      return &s;
    }
  }
  return nullptr;
}

}  // namespace

bool is_switch(std::string_view arg, bool lenient) {
  if (arg.empty() || (arg[0] != '/' && arg[0] != '-')) return false;
  if (arg.size() < 2 && !lenient) return false;
  return !(arg[0] == '/' && arg.find('/', 1) != std::string_view::npos);
}

bool is_long_switch(std::string_view arg, const Policy& policy) {
  std::size_t equals = 0;
  return arg.substr(0, 2) == "--" && by_name(policy, arg, equals) != nullptr;
}

Parsed read(std::span<const std::string> args, const Policy& policy) {
  Parsed p;
  const auto refuse = [&p](std::string problem) {
    if (p.problem.empty()) p.problem = std::move(problem);
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!is_switch(arg, policy.lenient)) {
      p.names.push_back(arg);
      continue;
    }
    if (arg.size() > 2 && arg[0] == '-' && arg[1] == '-') {
      std::size_t equals = 0;
      const Switch* s = by_name(policy, arg, equals);
      if (s == nullptr) {
        if (!policy.lenient) refuse("unknown option '" + arg + "'");
      } else if (s->value == nullptr) {
        p.found.push_back({s->id, {}, p.names.size()});
      } else if (equals != std::string::npos) {
        p.found.push_back({s->id, arg.substr(equals + 1), p.names.size()});
      } else if (i + 1 < args.size()) {
        p.found.push_back({s->id, args[++i], p.names.size()});
      } else {
        refuse(arg + " needs " + s->value);
      }
      continue;
    }
    const char letter = policy.lenient || arg.size() == 2 ? arg.size() > 1 ? arg[1] : '\0' : '\0';
    if (const Switch* s = by_letter(policy, letter)) {
      p.found.push_back({s->id, {}, p.names.size()});
    } else if (!policy.lenient) {
      refuse("unknown switch '" + arg + "'");
    }
  }
  return p;
}

}  // namespace switches
