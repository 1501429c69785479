#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum ParamType : std::int32_t {
  ParamTypeNone = 0,
  ParamTypeBool = 1,
  ParamTypeInt = 2,
  ParamTypeEnum = 3,
  ParamTypeDouble = 4,
};

struct DisplayTextEntry {
  std::int32_t value = 0;
  char text[32] = {};
};

// Formats a plain (not normalised) value into text of the given size.
using ParamDisplayFunc = void (*)(double value, char* text, std::size_t size);

// One automatable parameter: a plain value within [min, max], the shape that maps it to the
// host's normalised 0..1 range, and how it is shown.
class IParameter {
 public:
  static constexpr std::size_t kTextSize = 32;
  static constexpr int kMaxPrecision = 6;

  void InitContinuous(const char* name, double defaultValue, double min, double max, double step,
                      double shape);
  void InitSwitch(const char* name, bool defaultValue);
  void AddDisplayText(int value, const char* text);

  // x^shape over the range; non-double types snap to the step. Only the top is clamped.
  void SetFromNormalized(double x);
  double GetNormalizedValue() const { return ToNormalized(mValue); }
  double ToNormalized(double v) const;
  double FromNormalized(double x) const;
  void SetClamped(double v);
  double Clamp(double v) const;

  void FormatForHost(double value, bool isNormalised, char* text, std::size_t size,
                     bool useDisplayTexts) const;
  // Empty while a display text stands for the current value, else the unit label.
  const char* GetUnitForHost() const;
  // The value of the first display text equal to text, if any.
  bool MapDisplayText(const char* text, double* value) const;

  void SetDisplayFunc(ParamDisplayFunc f) { mDisplayFunc = f; }
  void SetType(ParamType t) { mType = t; }
  void SetNegateDisplay(bool negate) { mNegateDisplay = negate; }
  void SetCanAutomate(bool can) { mCanAutomate = can; }
  void SetUnitLabel(const char* label);
  void SetGroup(const char* group);
  void SetValue(double v) { mValue = v; }

  ParamType Type() const { return mType; }
  double Value() const { return mValue; }
  double Min() const { return mMin; }
  double Max() const { return mMax; }
  double Step() const { return mStep; }
  double Shape() const { return mShape; }
  double Default() const { return mDefault; }
  int DisplayPrecision() const { return mDisplayPrecision; }
  const char* Name() const { return mName; }
  const char* UnitLabel() const { return mUnitLabel; }
  const char* Group() const { return mGroup; }
  bool NegateDisplay() const { return mNegateDisplay; }
  bool CanAutomate() const { return mCanAutomate; }
  ParamDisplayFunc DisplayFunc() const { return mDisplayFunc; }
  const std::vector<DisplayTextEntry>& DisplayTexts() const { return mDisplayTexts; }
  // The display text standing for value (truncated toward zero), or null.
  const char* DisplayTextFor(double value) const;

 private:
  ParamDisplayFunc mDisplayFunc = nullptr;
  ParamType mType = ParamTypeNone;
  double mValue = 0.0;
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mShape = 1.0;
  double mDefault = 0.0;
  std::int32_t mDisplayPrecision = 0;
  char mName[kTextSize] = {};
  char mUnitLabel[kTextSize] = {};
  char mGroup[kTextSize] = {};
  bool mNegateDisplay = false;
  bool mCanAutomate = true;
  std::vector<DisplayTextEntry> mDisplayTexts;
};
