#include "framework/IParameter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/NumberFormat.h"
#include "framework/Text.h"

void IParameter::InitContinuous(const char* name, double defaultValue, double min, double max,
                                double step, double shape) {
  if (mType == ParamTypeNone) mType = ParamTypeDouble;
  CopyText(mName, name);
  mUnitLabel[0] = '\0';
  mGroup[0] = '\0';
  mMin = min;
  mValue = defaultValue;
  mDefault = defaultValue;
  mStep = step;
  mMax = std::max(max, min + step);
  // Decimals needed to show the step: multiply by ten until it is whole, at most six times.
  mDisplayPrecision = 0;
  for (double s = step; mDisplayPrecision < kMaxPrecision && s != std::floor(s); s *= 10.0) {
    ++mDisplayPrecision;
  }
  if (shape != 0.0) mShape = shape;
}

void IParameter::InitSwitch(const char* name, bool defaultValue) {
  if (mType == ParamTypeNone) mType = ParamTypeBool;
  InitContinuous(name, defaultValue ? 1.0 : 0.0, 0.0, 1.0, 1.0, 1.0);
  AddDisplayText(0, "off");
  AddDisplayText(1, "on");
}

void IParameter::AddDisplayText(int value, const char* text) {
  DisplayTextEntry entry;
  entry.value = value;
  CopyText(entry.text, text);
  mDisplayTexts.push_back(entry);
}

void IParameter::SetUnitLabel(const char* label) {
  CopyText(mUnitLabel, label);
}

void IParameter::SetGroup(const char* group) {
  CopyText(mGroup, group);
}

double IParameter::Clamp(double v) const {
  return std::clamp(v, mMin, mMax);
}

double IParameter::ToNormalized(double v) const {
  return std::pow((Clamp(v) - mMin) / (mMax - mMin), 1.0 / mShape);
}

double IParameter::FromNormalized(double x) const {
  return std::pow(x, mShape) * (mMax - mMin) + mMin;
}

void IParameter::SetFromNormalized(double x) {
  double v = FromNormalized(x);
  if (mType != ParamTypeDouble) v = std::floor(v / mStep + 0.5) * mStep;
  mValue = std::min(v, mMax);
}

void IParameter::SetClamped(double v) {
  mValue = Clamp(v);
}

const char* IParameter::DisplayTextFor(double value) const {
  const int key = TruncateToInt(value);
  for (const DisplayTextEntry& entry : mDisplayTexts) {
    if (entry.value == key) return entry.text;
  }
  return nullptr;
}

void IParameter::FormatForHost(double value, bool isNormalised, char* text, std::size_t size,
                               bool useDisplayTexts) const {
  if (!text || size == 0) return;
  if (isNormalised) value = FromNormalized(value);
  if (mDisplayFunc) {
    mDisplayFunc(value, text, size);
    return;
  }
  if (useDisplayTexts) {
    const char* shown = DisplayTextFor(value);
    if (shown && shown[0]) {
      CopyText(text, size, shown);
      return;
    }
  }
  if (mNegateDisplay) value = -value;
  if (mDisplayPrecision != 0) {
    FormatFixed(text, size, value, mDisplayPrecision);
  } else {
    FormatTruncatedInt(text, size, value);
  }
}

const char* IParameter::GetUnitForHost() const {
  const char* shown = DisplayTextFor(mValue);
  if (shown && shown[0]) return "";
  return mUnitLabel;
}

bool IParameter::MapDisplayText(const char* text, double* value) const {
  if (!text) return false;
  for (const DisplayTextEntry& entry : mDisplayTexts) {
    if (std::strcmp(entry.text, text) == 0) {
      if (value) *value = entry.value;
      return true;
    }
  }
  return false;
}
