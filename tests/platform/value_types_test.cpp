#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <ostream>
#include <string>
#include <unordered_set>

#include "quillmont/platform/com_bool.h"
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

TEST(Guid, ParsesBracedAndBareFormsInEitherCaseAndPrintsUpperBraced) {
  const std::string canonical = "{0148DDC8-EF28-4475-A4A5-46E095881147}";
  const Guid braced = Guid::Parse(canonical);
  EXPECT_EQ(braced.ToString(), canonical);
  EXPECT_EQ(Guid::Parse("0148ddc8-ef28-4475-a4a5-46e095881147"), braced);
  EXPECT_EQ(Guid::Parse("{0148ddC8-EF28-4475-a4A5-46E095881147}"), braced);
  EXPECT_EQ(braced.Bytes()[0], 0x01);
  EXPECT_EQ(braced.Bytes()[15], 0x47);
  EXPECT_FALSE(braced.IsNull());
  EXPECT_TRUE(Guid().IsNull());
  EXPECT_EQ(Guid().ToString(), "{00000000-0000-0000-0000-000000000000}");
  // Printing and parsing again gives the same identity.
  EXPECT_EQ(Guid::Parse(braced.ToString()), braced);
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

TEST(Guid, ComparesAndHashesByValue) {
  const Guid a = Guid::Parse("{00000000-0000-0000-0000-000000000001}");
  const Guid b = Guid::Parse("{00000000-0000-0000-0000-000000000002}");
  const Guid c = Guid::Parse("{01000000-0000-0000-0000-000000000000}");
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);  // the first byte weighs most
  EXPECT_NE(a, b);
  EXPECT_EQ(a, Guid::Parse("00000000-0000-0000-0000-000000000001"));

  std::unordered_set<Guid> set{a, b, c, Guid::Parse(a.ToString())};
  EXPECT_EQ(set.size(), 3u);
  EXPECT_TRUE(set.contains(Guid::Parse("{00000000-0000-0000-0000-000000000002}")));
  EXPECT_NE(std::hash<Guid>{}(a), std::hash<Guid>{}(b));
}

TEST(ComBool, TrueIsAllBitsAndAnyNonZeroReadsTrue) {
  EXPECT_EQ(ToComBool(true), -1);
  EXPECT_EQ(ToComBool(false), 0);
  EXPECT_TRUE(FromComBool(ComTrue));
  EXPECT_TRUE(FromComBool(1));
  EXPECT_FALSE(FromComBool(ComFalse));
}

TEST(Error, CarriesCodeNumberAndMessage) {
  try {
    throw Error(ErrorCode::TypeMismatch, "Type mismatch");
  } catch (const std::runtime_error& e) {
    const auto* error = dynamic_cast<const Error*>(&e);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->Code(), ErrorCode::TypeMismatch);
    EXPECT_EQ(error->Number(), 13);
    EXPECT_STREQ(e.what(), "Type mismatch");
  }
}

TEST(Variant, EmptyReadsAsZeroOrNothingAndNullRefusesEveryConversion) {
  const Variant empty;
  EXPECT_EQ(empty.GetType(), Variant::Type::Empty);
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(empty.ToString(), "");
  EXPECT_EQ(empty.ToInt32(), 0);
  EXPECT_EQ(empty.ToInt16(), 0);
  EXPECT_EQ(empty.ToDouble(), 0.0);
  EXPECT_FALSE(empty.ToBool());
  EXPECT_EQ(CodeOf([&] { empty.ToObject(); }), ErrorCode::TypeMismatch);

  const Variant null = Variant::Null();
  EXPECT_TRUE(null.IsNull());
  EXPECT_NE(null, empty);
  EXPECT_EQ(null, Variant(NullValue{}));
  EXPECT_EQ(CodeOf([&] { null.ToString(); }), ErrorCode::InvalidUseOfNull);
  EXPECT_EQ(CodeOf([&] { null.ToInt32(); }), ErrorCode::InvalidUseOfNull);
  EXPECT_EQ(CodeOf([&] { null.ToInt16(); }), ErrorCode::InvalidUseOfNull);
  EXPECT_EQ(CodeOf([&] { null.ToDouble(); }), ErrorCode::InvalidUseOfNull);
  EXPECT_EQ(CodeOf([&] { null.ToBool(); }), ErrorCode::InvalidUseOfNull);
  EXPECT_EQ(CodeOf([&] { null.ToObject(); }), ErrorCode::TypeMismatch);
}

TEST(Variant, BooleansAndNumbersConvertByAutomationRules) {
  EXPECT_EQ(Variant(true).ToString(), "True");
  EXPECT_EQ(Variant(false).ToString(), "False");
  EXPECT_EQ(Variant(true).ToInt32(), -1);
  EXPECT_EQ(Variant(true).ToInt16(), -1);
  EXPECT_EQ(Variant(false).ToDouble(), 0.0);

  EXPECT_EQ(Variant(std::int16_t{-7}).GetType(), Variant::Type::Int16);
  EXPECT_EQ(Variant(std::int16_t{-7}).ToString(), "-7");
  EXPECT_EQ(Variant(std::int16_t{-7}).ToInt32(), -7);
  EXPECT_EQ(Variant(std::int32_t{65535}).ToString(), "65535");
  EXPECT_TRUE(Variant(std::int32_t{2}).ToBool());
  EXPECT_FALSE(Variant(std::int32_t{0}).ToBool());

  EXPECT_EQ(Variant(1.5).ToString(), "1.5");
  EXPECT_EQ(Variant(0.1).ToString(), "0.1");
  EXPECT_EQ(Variant(-2.0).ToString(), "-2");
  // Conversion to an integer rounds half to even.
  EXPECT_EQ(Variant(2.5).ToInt32(), 2);
  EXPECT_EQ(Variant(3.5).ToInt32(), 4);
  EXPECT_EQ(Variant(-2.5).ToInt16(), -2);
  EXPECT_EQ(Variant(-32768.4).ToInt16(), -32768);

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
  EXPECT_EQ(Variant(" 42 ").ToInt32(), 42);
  EXPECT_EQ(Variant("+7").ToInt16(), 7);
  EXPECT_EQ(Variant("-7").ToInt32(), -7);
  EXPECT_EQ(Variant("1e3").ToInt32(), 1000);
  EXPECT_EQ(Variant("0.25").ToDouble(), 0.25);
  EXPECT_EQ(Variant("-.5").ToDouble(), -0.5);
  EXPECT_EQ(Variant("65535").ToInt32(), 65535);
  EXPECT_EQ(CodeOf([] { Variant("65536").ToInt16(); }), ErrorCode::Overflow);
  EXPECT_EQ(CodeOf([] { Variant("1e400").ToDouble(); }), ErrorCode::Overflow);

  for (const char* notANumber :
       {"", "   ", "4x", "x4", "1 2", "0x10", "--1", "+-1", "+", "nan", "NaN", "inf", "-infinity", "1,5"}) {
    EXPECT_EQ(CodeOf([&] { Variant(notANumber).ToDouble(); }), ErrorCode::TypeMismatch) << '"' << notANumber << '"';
    EXPECT_EQ(CodeOf([&] { Variant(notANumber).ToInt32(); }), ErrorCode::TypeMismatch) << '"' << notANumber << '"';
  }

  EXPECT_TRUE(Variant("True").ToBool());
  EXPECT_TRUE(Variant(" true ").ToBool());
  EXPECT_FALSE(Variant("FALSE").ToBool());
  EXPECT_TRUE(Variant("-1").ToBool());
  EXPECT_FALSE(Variant("0").ToBool());
  EXPECT_EQ(CodeOf([] { Variant("maybe").ToBool(); }), ErrorCode::TypeMismatch);
  EXPECT_EQ(Variant(std::string("text")).ToString(), "text");
}

struct Shape : Object {};
struct Circle : Shape {};
struct Stone : Object {};

TEST(Variant, ObjectsTravelByReferenceAndRefuseValueConversions) {
  auto circle = std::make_shared<Circle>();
  const Variant v(circle);
  EXPECT_TRUE(v.IsObject());
  EXPECT_EQ(v.ToObject().get(), circle.get());
  EXPECT_EQ(v.As<Shape>().get(), circle.get());
  EXPECT_EQ(v.As<Circle>().get(), circle.get());
  EXPECT_EQ(CodeOf([&] { v.As<Stone>(); }), ErrorCode::TypeMismatch);
  EXPECT_EQ(CodeOf([&] { v.ToString(); }), ErrorCode::TypeMismatch);
  EXPECT_EQ(CodeOf([&] { v.ToInt32(); }), ErrorCode::TypeMismatch);
  EXPECT_EQ(CodeOf([&] { v.ToBool(); }), ErrorCode::TypeMismatch);
  EXPECT_EQ(v, Variant(std::shared_ptr<Object>(circle)));
  EXPECT_NE(v, Variant(std::make_shared<Circle>()));
  EXPECT_EQ(circle.use_count(), 2);  // the variant shares the reference, it does not copy the object

  // Nothing: an object variant without an object.
  const Variant nothing{std::shared_ptr<Object>()};
  EXPECT_TRUE(nothing.IsObject());
  EXPECT_EQ(nothing.ToObject(), nullptr);
  EXPECT_EQ(CodeOf([&] { nothing.As<Shape>(); }), ErrorCode::TypeMismatch);
  EXPECT_EQ(CodeOf([] { Variant(3).As<Shape>(); }), ErrorCode::TypeMismatch);
}

}  // namespace
}  // namespace quillmont
