#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "quillmont/platform/error.h"
#include "quillmont/platform/guid.h"
#include "quillmont/platform/variant.h"

namespace quillmont {

// Shows codes by number in failure messages.
void PrintTo(ErrorCode code, std::ostream* os) { *os << static_cast<int>(code); }

namespace {

// Runs fn and returns the code of the Error it throws; fails when it throws
// nothing or something else.
template <class Fn>
ErrorCode CodeOf(Fn&& fn) {
  try {
    std::invoke(std::forward<Fn>(fn));
  } catch (const Error& e) {
    return e.Code();
  } catch (...) {
    ADD_FAILURE() << "threw something other than quillmont::Error";
    return ErrorCode::Failed;
  }
  ADD_FAILURE() << "threw nothing";
  return ErrorCode::Failed;
}

TEST(Guid, RefusesMalformedText) {
  for (const char* bad : {
           "", "{}",
           "0148DDC8-EF28-4475-A4A5-46E09588114",     // one digit short
           "0148DDC8-EF28-4475-A4A5-46E0958811477",   // one digit long
           "{0148DDC8-EF28-4475-A4A5-46E095881147",   // brace not closed
           "0148DDC8-EF28-4475-A4A5-46E095881147}",   // brace not opened
           "(0148DDC8-EF28-4475-A4A5-46E095881147)",  // wrong brackets
           "0148DDC8EF28-4475-A4A5-46E0958811470",    // hyphen moved
           "0148DDC8-EF28-4475-A4A5+46E095881147",    // wrong separator
           "0148DDC8-EF28-4475-A4A5-46E09588114G",    // not hex
           " 0148DDC8-EF28-4475-A4A5-46E095881147",   // padded
           "0148DDC8-EF28-4475--4A5-46E095881147",    // hyphen for a digit
       }) {
    EXPECT_FALSE(Guid::TryParse(bad).has_value()) << bad;
    EXPECT_EQ(CodeOf([&] { Guid::Parse(bad); }), ErrorCode::InvalidPropertyValue) << bad;
  }
}

TEST(Variant, BooleansAndNumbersConvertByAutomationRules) {
  std::string texts;
  for (const Variant& v : {Variant(true), Variant(false), Variant(std::int16_t{-7}), Variant(std::int32_t{65535}),
                           Variant(1.5), Variant(0.1), Variant(-2.0)})
    texts += v.ToString() + " ";
  EXPECT_EQ(texts, "True False -7 65535 1.5 0.1 -2 ");
  EXPECT_EQ(std::tuple(Variant(true).ToInt32(), Variant(true).ToInt16(), Variant(false).ToDouble(),
                       Variant(std::int16_t{-7}).GetType(), Variant(std::int16_t{-7}).ToInt32(),
                       Variant(std::int32_t{2}).ToBool(), Variant(std::int32_t{0}).ToBool()),
            std::tuple(-1, std::int16_t{-1}, 0.0, Variant::Type::Int16, -7, true, false));

  // Conversion to an integer rounds half to even.
  EXPECT_EQ((std::vector<int>{Variant(2.5).ToInt32(), Variant(3.5).ToInt32(), Variant(-2.5).ToInt16(),
                              Variant(-32768.4).ToInt16()}),
            (std::vector<int>{2, 4, -2, -32768}));

  // Out of range raises an overflow, never wraps.
  EXPECT_EQ(CodeOf([] { Variant(std::int32_t{32768}).ToInt16(); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([] { Variant(std::int32_t{-32769}).ToInt16(); }), ErrorCode::Overflow);
  EXPECT_EQ(Variant(std::int32_t{-32768}).ToInt16(), -32768);
  EXPECT_EQ(CodeOf([] { Variant(2147483647.5).ToInt32(); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([] { Variant(1e10).ToInt32(); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([] { Variant(std::nan("")).ToInt32(); }), ErrorCode::Overflow);
  EXPECT_EQ(Variant(2147483647.0).ToInt32(), 2147483647);
}

TEST(Variant, TextConvertsOnlyWhenItIsANumberOrABooleanWord) {
  for (const auto& [text, number] : {std::pair{" 42 ", 42.0},
                                     {"+7", 7.0},
                                     {"-7", -7.0},
                                     {"1e3", 1000.0},
                                     {"0.25", 0.25},
                                     {"-.5", -0.5},
                                     {"65535", 65535.0}})
    EXPECT_EQ(Variant(text).ToDouble(), number) << text;
  EXPECT_EQ(Variant("+7").ToInt16(), 7);
  EXPECT_EQ(CodeOf([] { Variant("65536").ToInt16(); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([] { Variant("1e400").ToDouble(); }), ErrorCode::Overflow);

  for (const char* notANumber :
       {"", "   ", "4x", "x4", "1 2", "0x10", "--1", "+-1", "+", "nan", "NaN", "inf", "-infinity", "1,5"}) {
    EXPECT_EQ(CodeOf([&] { Variant(notANumber).ToDouble(); }), ErrorCode::TypeMismatch) << '"' << notANumber << '"';
    EXPECT_EQ(CodeOf([&] { Variant(notANumber).ToInt32(); }), ErrorCode::TypeMismatch) << '"' << notANumber << '"';
  }

  std::string truth;
  for (const char* text : {"True", " true ", "FALSE", "-1", "0"}) truth += Variant(text).ToBool() ? "T" : "F";
  EXPECT_EQ(truth, "TTFTF");
  EXPECT_EQ(CodeOf([] { Variant("maybe").ToBool(); }), ErrorCode::TypeMismatch);
  EXPECT_EQ(Variant(std::string("text")).ToString(), "text");
}

}  // namespace
}  // namespace quillmont
