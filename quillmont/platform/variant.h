#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "quillmont/platform/error.h"
#include "quillmont/platform/export.h"
#include "quillmont/platform/object.h"

namespace quillmont {

struct EmptyValue {
  friend bool operator==(EmptyValue, EmptyValue) { return true; }
};
struct NullValue {
  friend bool operator==(NullValue, NullValue) { return true; }
};

// The automation variant: empty, null, Boolean, 16- and 32-bit integers,
// double, text or an object reference. Conversions follow the automation
// rules: empty reads as 0 or "", null cannot be converted (error 94), text
// converts to a number only when it is one (error 13), out-of-range numbers
// raise an overflow (error 6).
class QUILLMONT_API Variant {
 public:
  enum class Type { Empty, Null, Boolean, Int16, Int32, Double, String, Object };

  Variant() = default;
  Variant(EmptyValue) {}
  Variant(NullValue) : value_(NullValue{}) {}
  Variant(bool b) : value_(b) {}
  Variant(std::int16_t i) : value_(i) {}
  Variant(std::int32_t i) : value_(i) {}
  Variant(double d) : value_(d) {}
  Variant(std::string s) : value_(std::move(s)) {}
  Variant(const char* s) : value_(std::string(s)) {}
  Variant(std::shared_ptr<Object> o) : value_(std::move(o)) {}
  template <class T, class = std::enable_if_t<std::is_base_of_v<Object, T>>>
  Variant(std::shared_ptr<T> o) : value_(std::shared_ptr<Object>(std::move(o))) {}

  static Variant Null() { return Variant(NullValue{}); }

  Type GetType() const noexcept { return static_cast<Type>(value_.index()); }
  bool IsEmpty() const noexcept { return GetType() == Type::Empty; }
  bool IsNull() const noexcept { return GetType() == Type::Null; }
  bool IsObject() const noexcept { return GetType() == Type::Object; }

  std::string ToString() const;
  std::int32_t ToInt32() const;
  std::int16_t ToInt16() const;
  double ToDouble() const;
  bool ToBool() const;
  // The object reference (null for Nothing); error 13 for a non-object.
  std::shared_ptr<Object> ToObject() const;

  // The object as T; error 13 when the variant holds no object or one that
  // does not support T.
  template <class T>
  std::shared_ptr<T> As() const {
    auto o = ToObject();
    auto t = std::dynamic_pointer_cast<T>(o);
    if (!t) throw Error(ErrorCode::TypeMismatch, "Type mismatch");
    return t;
  }

  friend bool operator==(const Variant& a, const Variant& b) { return a.value_ == b.value_; }

 private:
  std::variant<EmptyValue, NullValue, bool, std::int16_t, std::int32_t, double, std::string, std::shared_ptr<Object>>
      value_;
};

}  // namespace quillmont
