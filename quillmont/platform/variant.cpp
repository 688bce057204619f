#include "quillmont/platform/variant.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <sstream>

#include "quillmont/platform/error.h"

namespace quillmont {

Object::~Object() = default;

namespace {

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return s.substr(first, last - first + 1);
}

[[noreturn]] void ThrowNull() { throw Error(ErrorCode::InvalidUseOfNull, "Invalid use of Null"); }
[[noreturn]] void ThrowMismatch() { throw Error(ErrorCode::TypeMismatch, "Type mismatch"); }
[[noreturn]] void ThrowOverflow() { throw Error(ErrorCode::Overflow, "Overflow"); }

double ParseNumber(const std::string& text) {
  const std::string t = Trim(text);
  if (t.empty()) ThrowMismatch();
  double value = 0;
  const char* begin = t.data();
  const char* end = t.data() + t.size();
  // Decimal numbers only: one sign at most, and none of the words ("inf",
  // "nan") that from_chars would also take.
  const char* digits = (*begin == '+' || *begin == '-') ? begin + 1 : begin;
  if (digits == end || !(std::isdigit(static_cast<unsigned char>(*digits)) || *digits == '.')) ThrowMismatch();
  if (*begin == '+') ++begin;
  auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec == std::errc::result_out_of_range) ThrowOverflow();
  if (ec != std::errc() || ptr != end) ThrowMismatch();
  return value;
}

// Banker's rounding, as the automation runtime rounds when it converts.
template <class Int>
Int RoundToInt(double d) {
  if (std::isnan(d)) ThrowOverflow();
  const double r = std::nearbyint(d);
  if (r < static_cast<double>(std::numeric_limits<Int>::min()) ||
      r > static_cast<double>(std::numeric_limits<Int>::max()))
    ThrowOverflow();
  return static_cast<Int>(r);
}

}  // namespace

std::string Variant::ToString() const {
  switch (GetType()) {
    case Type::Empty:
      return {};
    case Type::Null:
      ThrowNull();
    case Type::Boolean:
      return std::get<bool>(value_) ? "True" : "False";
    case Type::Int16:
      return std::to_string(std::get<std::int16_t>(value_));
    case Type::Int32:
      return std::to_string(std::get<std::int32_t>(value_));
    case Type::Double: {
      std::ostringstream os;
      os.precision(15);
      os << std::get<double>(value_);
      return os.str();
    }
    case Type::String:
      return std::get<std::string>(value_);
    case Type::Object:
      ThrowMismatch();
  }
  ThrowMismatch();
}

double Variant::ToDouble() const {
  switch (GetType()) {
    case Type::Empty:
      return 0;
    case Type::Null:
      ThrowNull();
    case Type::Boolean:
      return std::get<bool>(value_) ? -1 : 0;
    case Type::Int16:
      return std::get<std::int16_t>(value_);
    case Type::Int32:
      return std::get<std::int32_t>(value_);
    case Type::Double:
      return std::get<double>(value_);
    case Type::String:
      return ParseNumber(std::get<std::string>(value_));
    case Type::Object:
      ThrowMismatch();
  }
  ThrowMismatch();
}

std::int32_t Variant::ToInt32() const {
  if (GetType() == Type::Int32) return std::get<std::int32_t>(value_);
  return RoundToInt<std::int32_t>(ToDouble());
}

std::int16_t Variant::ToInt16() const {
  if (GetType() == Type::Int16) return std::get<std::int16_t>(value_);
  return RoundToInt<std::int16_t>(ToDouble());
}

bool Variant::ToBool() const {
  if (GetType() == Type::Boolean) return std::get<bool>(value_);
  if (GetType() == Type::String) {
    const std::string t = Trim(std::get<std::string>(value_));
    if (t == "True" || t == "true" || t == "TRUE") return true;
    if (t == "False" || t == "false" || t == "FALSE") return false;
  }
  return ToDouble() != 0;
}

std::shared_ptr<Object> Variant::ToObject() const {
  if (GetType() != Type::Object) ThrowMismatch();
  return std::get<std::shared_ptr<Object>>(value_);
}

}  // namespace quillmont
