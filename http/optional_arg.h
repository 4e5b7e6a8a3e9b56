// Optional arguments that know whether the caller supplied them.
//
// `OptionalArg<T>` is an input: left out (`{}` or a trailing default) it reads as T's empty value.
// `OptionalRef<T>` binds the caller's variable for in/out and out arguments: left out it reads as
// empty and nothing is written back. Supplying an empty variable still counts as supplied.
#pragma once

#include <concepts>
#include <type_traits>
#include <utility>

namespace quill {

template <class T>
class OptionalArg {
  public:
    OptionalArg() = default;
    // Converting, so that a `std::string` reaches an `OptionalArg<std::string_view>` directly.
    template <class U>
    requires std::constructible_from<T, U&&> &&
        (!std::same_as<std::remove_cvref_t<U>, OptionalArg>)OptionalArg(U&& value)
        : value_(std::forward<U>(value)), supplied_(true) {}

    bool Supplied() const { return supplied_; }
    const T& Value() const { return value_; }

  private:
    T value_{};
    bool supplied_ = false;
};

template <class T>
class OptionalRef {
  public:
    OptionalRef() = default;
    OptionalRef(T& variable) : variable_(&variable) {}
    // Temporaries cannot receive a result.
    OptionalRef(T&& variable) = delete;

    bool Supplied() const { return variable_ != nullptr; }
    // The caller's value, or T's empty value when left out.
    T Value() const { return variable_ != nullptr ? *variable_ : T{}; }
    // Writes to the caller's variable; a left-out argument ignores it.
    void Set(T value) const {
        if (variable_ != nullptr) {
            *variable_ = std::move(value);
        }
    }

  private:
    T* variable_ = nullptr;
};

}  // namespace quill
