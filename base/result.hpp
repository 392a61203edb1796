// The one shape of "this failed": a value, or the reason it could not be made. The reason is in
// words that follow "NAME: " in a line for the user ("the image is 4096 bytes long; ...").
//
//     base::Result<Info> check(ByteSpan patch) {
//       if (patch.size() < 4) return base::refuse("too short to be a patch");
//       ...
//       return info;
//     }
//     const auto checked = check(patch);
//     if (!checked) say(name + ": " + checked.why());
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace base {

// Why something cannot be done.
struct Refusal {
  std::string why;
};

inline Refusal refuse(std::string why) { return Refusal{std::move(why)}; }

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}
  Result(Refusal refusal) : why_(std::move(refusal.why)) {}

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  // The reason; empty when there is a value.
  const std::string& why() const { return why_; }

  // The value; std::bad_optional_access when there is none.
  const T& value() const& { return value_.value(); }
  T& value() & { return value_.value(); }
  T&& value() && { return std::move(value_.value()); }
  const T& operator*() const& { return value(); }
  T& operator*() & { return value(); }
  const T* operator->() const { return &value(); }
  T* operator->() { return &value(); }

 private:
  std::optional<T> value_;
  std::string why_;
};

// Done, or refused with a reason.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Refusal refusal) : why_(std::move(refusal.why)), refused_(true) {}

  bool ok() const { return !refused_; }
  explicit operator bool() const { return ok(); }
  const std::string& why() const { return why_; }

 private:
  std::string why_;
  bool refused_ = false;
};

using Done = Result<void>;

}  // namespace base
