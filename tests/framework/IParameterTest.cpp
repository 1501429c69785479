#include "framework/IParameter.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

namespace {

std::string Show(const IParameter& p, double value, bool normalised = false, bool texts = true) {
  char text[64];
  p.FormatForHost(value, normalised, text, sizeof(text), texts);
  return text;
}

TEST(IParameterTest, PrecisionFollowsTheStep) {
  IParameter p;
  p.InitContinuous("x", 0.5, 0.0, 1.0, 0.01, 1.0);
  EXPECT_EQ(p.Type(), ParamTypeDouble);
  EXPECT_EQ(p.DisplayPrecision(), 2);
  EXPECT_EQ(Show(p, p.Value()), "0.50");

  IParameter whole;
  whole.InitContinuous("y", 3.7, 0.0, 10.0, 1.0, 1.0);
  EXPECT_EQ(whole.DisplayPrecision(), 0);
  EXPECT_EQ(Show(whole, 3.7), "3") << "integers print truncated";
  EXPECT_EQ(Show(whole, -3.7), "-3");

  IParameter fine;
  fine.InitContinuous("z", 120.0, 1.0, 240.0, 1.0 / 240.0, 1.0);
  EXPECT_EQ(fine.DisplayPrecision(), 6) << "a step that never becomes whole stops at six digits";
}

TEST(IParameterTest, MaxIsRaisedToOneStepAboveMin) {
  IParameter p;
  p.InitContinuous("x", 0.0, 5.0, 5.2, 1.0, 1.0);
  EXPECT_EQ(p.Max(), 6.0);
}

TEST(IParameterTest, ZeroShapeKeepsThePreviousShape) {
  IParameter p;
  p.InitContinuous("x", 0.0, 0.0, 1.0, 0.1, 0.0);
  EXPECT_EQ(p.Shape(), 1.0);
}

TEST(IParameterTest, NonDoubleTypesSnapToTheStepDoublesDoNot) {
  IParameter integer;
  integer.SetType(ParamTypeInt);
  integer.InitContinuous("i", 0.0, 0.0, 10.0, 1.0, 1.0);
  integer.SetFromNormalized(1.0);
  EXPECT_EQ(integer.Value(), 10.0);
  integer.SetFromNormalized(0.04);
  EXPECT_EQ(integer.Value(), 0.0);
  integer.SetFromNormalized(0.06);
  EXPECT_EQ(integer.Value(), 1.0);

  IParameter real;
  real.InitContinuous("d", 0.0, 0.0, 10.0, 1.0, 1.0);
  real.SetFromNormalized(0.04);
  EXPECT_DOUBLE_EQ(real.Value(), 0.4);
  real.SetFromNormalized(1.5);
  EXPECT_EQ(real.Value(), 10.0) << "the top is clamped";
}

TEST(IParameterTest, ShapeBendsTheNormalisedRange) {
  IParameter p;
  p.InitContinuous("x", 0.0, 0.0, 4.0, 0.01, 2.0);
  p.SetFromNormalized(0.5);
  EXPECT_DOUBLE_EQ(p.Value(), 1.0);  // min + 0.25 * range
  EXPECT_DOUBLE_EQ(p.GetNormalizedValue(), 0.5);
  EXPECT_EQ(p.ToNormalized(-3.0), 0.0) << "values below the range clamp";
  EXPECT_EQ(p.ToNormalized(9.0), 1.0);

  IParameter quartic;
  quartic.InitContinuous("f", 65.0, 16.0, 12000.0, 1.0, 4.0);
  quartic.SetFromNormalized(0.5);
  EXPECT_DOUBLE_EQ(quartic.Value(), 765.0);
  EXPECT_EQ(Show(quartic, 0.5, true), "765") << "a normalised value is shown in plain units";
}

TEST(IParameterTest, SwitchShowsItsTextsUnlessTextsAreOff) {
  IParameter p;
  p.InitSwitch("Power", true);
  EXPECT_EQ(p.Type(), ParamTypeBool);
  EXPECT_EQ(p.Value(), 1.0);
  EXPECT_EQ(Show(p, 1.0), "on");
  EXPECT_EQ(Show(p, 0.0), "off");
  EXPECT_EQ(Show(p, 1.0, false, false), "1");
  EXPECT_STREQ(p.GetUnitForHost(), "") << "a text replaces the unit";

  p.SetUnitLabel("dB");
  p.SetValue(7.0);
  EXPECT_STREQ(p.GetUnitForHost(), "dB");

  double value = -1.0;
  EXPECT_TRUE(p.MapDisplayText("off", &value));
  EXPECT_EQ(value, 0.0);
  EXPECT_FALSE(p.MapDisplayText("maybe", &value));
}

TEST(IParameterTest, NegateDisplayAndDisplayFunction) {
  IParameter p;
  p.InitContinuous("x", 3.0, 0.0, 10.0, 1.0, 1.0);
  p.SetNegateDisplay(true);
  EXPECT_EQ(Show(p, 3.0), "-3");

  p.SetDisplayFunc([](double v, char* text, std::size_t size) {
    std::snprintf(text, size, "<%d>", static_cast<int>(v));
  });
  EXPECT_EQ(Show(p, 3.0), "<3>") << "the function alone formats";
}

TEST(IParameterTest, LongTextsAreCutAndShortBuffersNeverOverrun) {
  IParameter p;
  p.InitContinuous("a name that is far longer than thirty-one characters", 0.0, 0.0, 1e9, 0.5, 1.0);
  EXPECT_EQ(std::string(p.Name()).size(), 31u);

  char tiny[4] = {'x', 'x', 'x', 'x'};
  p.FormatForHost(123456.5, false, tiny, sizeof(tiny), true);
  EXPECT_STREQ(tiny, "123");
  p.FormatForHost(std::nan(""), false, tiny, sizeof(tiny), true);
  p.FormatForHost(1e300, false, tiny, sizeof(tiny), true);
  EXPECT_EQ(tiny[3], '\0');
}

// Hosts may run with a locale whose decimal separator is a comma; displays must not follow it.
TEST(IParameterTest, NumbersIgnoreTheProcessLocale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  const char* commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"};
  const char* active = nullptr;
  for (const char* name : commaLocales) {
    if (std::setlocale(LC_ALL, name)) {
      active = name;
      break;
    }
  }
  if (!active) GTEST_SKIP() << "no locale with a decimal comma is installed";

  IParameter p;
  p.InitContinuous("Tempo", 120.0, 1.0, 240.0, 1.0 / 240.0, 1.0);
  const std::string shown = Show(p, 120.0);
  std::setlocale(LC_ALL, saved.c_str());
  EXPECT_EQ(shown, "120.000000") << "under " << active;
}

}  // namespace
