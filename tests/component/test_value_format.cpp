// Temperature conversion, the tenths text and the computed entry values.
#include <gtest/gtest.h>

#include <string>

#include "component/value_format.h"

namespace boardscope {
namespace {

std::u16string Tenths(std::int32_t t) {
  Char16 buffer[kTenthsTextMax + 4];
  std::fill(std::begin(buffer), std::end(buffer), u'\xBDBD');
  const std::size_t length = FormatTenths(t, buffer);
  EXPECT_LE(length, kTenthsTextMax);
  for (std::size_t i = kTenthsTextMax; i < std::size(buffer); ++i) EXPECT_EQ(buffer[i], u'\xBDBD');
  return std::u16string(buffer, length);
}

TEST(ValueFormat, CelsiusTenths) {
  const struct {
    std::uint32_t raw;
    std::int32_t tenths;
  } cases[] = {{0, 0}, {2732, 0}, {3012, 280}, {3632, 900}, {2727, -5}, {2700, -32}, {1, -2731},
               {0x80000000u, 2147480916}, {0x80000AACu, INT32_MIN}};
  for (const auto& c : cases) EXPECT_EQ(CelsiusTenths(c.raw), c.tenths) << c.raw;
}

TEST(ValueFormat, TenthsText) {
  const struct {
    std::int32_t tenths;
    const char16_t* text;
  } cases[] = {{285, u"28.5"},     {0, u"0.0"},       {1000, u"100.0"},
               {-32, u"-3.2"},     {-5, u"-0.5"},     {9, u"0.9"},
               {-2731, u"-273.1"}, {INT32_MAX, u"214748364.7"},
               {INT32_MIN, u"-214748364.8"},  // the longest text, not cut
               {CelsiusTenths(0x80000000u), u"214748091.6"}};
  for (const auto& c : cases) EXPECT_EQ(Tenths(c.tenths), c.text) << c.tenths;
}

TEST(ValueFormat, Decimal) {
  Char16 buffer[10];
  EXPECT_EQ(std::u16string(buffer, FormatDecimal(0, buffer)), u"0");
  EXPECT_EQ(std::u16string(buffer, FormatDecimal(9, buffer)), u"9");
  EXPECT_EQ(std::u16string(buffer, FormatDecimal(4294967295u, buffer)), u"4294967295");
}

TEST(ValueFormat, PassiveTripPoint) {
  const std::uint32_t cases[][2] = {{0, 0},          {2731, 0},   {0x1999A334u, 0}, {3532, 80},
                                    {3537, 80},      {2732, 0},   {2700, 429496726},
                                    {0x1999A335u, 42949645}};
  for (const auto& c : cases) EXPECT_EQ(PassiveTripPointValue(c[0]), c[1]) << c[0];
}

TEST(ValueFormat, CriticalTemperature) {
  const std::uint32_t cases[][2] = {{0, 0}, {3732, 100}, {2700, 429496726}, {2731, 429496729}};
  for (const auto& c : cases) EXPECT_EQ(CriticalTemperatureValue(c[0]), c[1]) << c[0];
}

TEST(ValueFormat, SamplingPeriodIsSignedAndTruncatesTowardZero) {
  const std::uint32_t cases[][2] = {
      {50, 5}, {59, 5}, {0, 0}, {static_cast<std::uint32_t>(-59), static_cast<std::uint32_t>(-5)}};
  for (const auto& c : cases) EXPECT_EQ(SamplingPeriodValue(c[0]), c[1]) << c[0];
}

}  // namespace
}  // namespace boardscope
