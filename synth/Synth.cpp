#include "synth/Synth.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "editor/GraphicsFactory.h"
#include "editor/IGraphics.h"
#include "platform/Platform.h"

namespace {

constexpr char kFolderName[] = "MorvaneMusic";
constexpr char kFileName[] = "rhythmoria.ini";

constexpr char kStartupBankSection[] = "Startup Bank";
constexpr char kStartupBankKey[] = "File";
constexpr char kEditorSection[] = "Editor";
constexpr char kMiddleCKey[] = "MiddleC";
constexpr char kGlobalSection[] = "Global";
constexpr char kProgramFolderKey[] = "Path to Program Files";
constexpr char kMidiGlobalSection[] = "MIDI Global";
constexpr char kMidiThruKey[] = "MIDI Thru";
constexpr char kIgnoreProgramChangeKey[] = "Ignore Program Change";
constexpr char kMidiControlSection[] = "MIDI Control";

// Longest values read, terminator included: paths and names, and the short switch and map values.
constexpr std::size_t kLongValueSize = 260;
constexpr std::size_t kShortValueSize = 64;

constexpr const char* kMiddleCNames[] = {"C3", "C4", "C5"};

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return fold(x) == fold(y); });
}

int ParseMiddleC(std::string_view text) {
  if (EqualsIgnoreCase(text, kMiddleCNames[Synth::MiddleC3])) return Synth::MiddleC3;
  if (EqualsIgnoreCase(text, kMiddleCNames[Synth::MiddleC5])) return Synth::MiddleC5;
  return Synth::MiddleC4;
}

const char* MiddleCName(int middleC) {
  return kMiddleCNames[std::clamp(middleC, 0, 2)];
}

// A decimal number the way the C library's atoi reads one (a sign, then digits up to the first
// non-digit), saturating instead of overflowing. Text without digits also reads as 0, so a 0
// counts only when the text starts with the digit 0.
int ParseControllerTarget(std::string_view text) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) ++i;
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min(value * 10 + (text[i] - '0'), static_cast<long long>(INT_MAX) + 1);
  }
  if (negative) value = -value;
  value = std::clamp<long long>(value, INT_MIN, INT_MAX);
  if (value == 0 && !text.starts_with('0')) return Synth::kUnmapped;
  return static_cast<int>(value);
}

}  // namespace

Synth::Synth(const IPlugInstanceInfo& info, const IPlugConfig& config) : IPlugVST(info, config) {
  mEditorToAttach = MakeGraphics(this, IGraphics::kDefaultWidth, IGraphics::kDefaultHeight);
  mCcMap.fill(kUnmapped);
  // The process locale is the host's, and changing it would change the host's own number
  // formatting, so it is left alone: our formatting and parsing do not depend on it.
  mProgramFolder = platform::DocumentsFolder();
  const std::string appData = platform::LocalAppDataFolder();
  if (appData.empty()) return;
  const std::string folder = platform::JoinPath(appData, kFolderName);
  if (!platform::FolderExists(folder)) platform::CreateFolder(folder);
  mIniPath = platform::JoinPath(folder, kFileName);
  if (!platform::FileExists(mIniPath)) {
    // Opened for appending, so a file another instance created a moment ago loses nothing.
    std::FILE* file = std::fopen(mIniPath.c_str(), "ab");
    if (!file) return;
    std::fclose(file);
  }
  ReadConfiguration();
}

Synth::~Synth() = default;

bool Synth::ReadConfiguration() {
  if (mIniPath.empty() || !platform::FileExists(mIniPath)) return false;
  // One read of the file for all its keys: a file is opened once per instance, not once per key.
  const platform::IniSnapshot ini(mIniPath);
  char text[kLongValueSize];
  auto read = [&](const char* section, const char* key, const char* fallback, std::size_t size) {
    ini.GetString(section, key, fallback, text, size);
    return std::string(text);
  };
  // An empty value leaves a setting as it is, like a missing key, except in the controller map,
  // where a missing key unmaps the controller.
  const std::string startupBank = read(kStartupBankSection, kStartupBankKey, "", kLongValueSize);
  const std::string middleC = read(kEditorSection, kMiddleCKey, "", kLongValueSize);
  const std::string programFolder = read(kGlobalSection, kProgramFolderKey, "", kLongValueSize);
  const std::string thru = read(kMidiGlobalSection, kMidiThruKey, "", kShortValueSize);
  const std::string ignore = read(kMidiGlobalSection, kIgnoreProgramChangeKey, "", kShortValueSize);
  std::array<std::string, kNumMappableControllers> targets;
  for (int n = 0; n < kNumMappableControllers; ++n) {
    const std::string key = "CC" + std::to_string(n);
    targets[static_cast<std::size_t>(n)] =
        read(kMidiControlSection, key.c_str(), "-1", kShortValueSize);
  }

  ScopedLock lock(mMutex);
  mStartupBankPath = startupBank;
  if (!middleC.empty()) mMiddleC = ParseMiddleC(middleC);
  if (!programFolder.empty()) mProgramFolder = programFolder;
  if (!thru.empty()) mMidiThru = EqualsIgnoreCase(thru, "true");
  if (!ignore.empty()) mIgnoreProgramChange = EqualsIgnoreCase(ignore, "true");
  for (std::size_t n = 0; n < targets.size(); ++n) {
    if (!targets[n].empty()) mCcMap[n] = ParseControllerTarget(targets[n]);
  }
  return true;
}

void Synth::WriteStartupBankSection() {
  std::string lines = std::string(kStartupBankKey) + "=" + mStartupBankPath;
  lines += '\0';
  // A path the file cannot hold (one with a line break) must not leave an older bank named there.
  if (!platform::IniWriteSection(kStartupBankSection, lines.c_str(), mIniPath)) {
    platform::IniWriteSection(kStartupBankSection, "", mIniPath);
  }
}

void Synth::WriteConfiguration(ConfigItem what) {
  if (mIniPath.empty()) return;
  int middleC;
  bool thru;
  bool ignore;
  std::array<std::int32_t, kNumMappableControllers> map;
  {
    ScopedLock lock(mMutex);
    middleC = mMiddleC;
    thru = mMidiThru;
    ignore = mIgnoreProgramChange;
    map = mCcMap;
  }
  WriteStartupBankSection();
  const bool all = what == ConfigItem::All;
  if (all || what == ConfigItem::MiddleC) {
    platform::IniWriteString(kEditorSection, kMiddleCKey, MiddleCName(middleC), mIniPath);
  }
  if (all || what == ConfigItem::MidiThru) {
    platform::IniWriteString(kMidiGlobalSection, kMidiThruKey, thru ? "true" : "false", mIniPath);
  }
  if (all || what == ConfigItem::IgnoreProgramChange) {
    platform::IniWriteString(kMidiGlobalSection, kIgnoreProgramChangeKey, ignore ? "true" : "false",
                             mIniPath);
  }
  if (!all) return;
  std::string lines;
  for (std::size_t n = 0; n < map.size(); ++n) {
    if (map[n] == kUnmapped) continue;
    lines += "CC" + std::to_string(n) + "=" + std::to_string(map[n]);
    lines += '\0';
  }
  platform::IniWriteSection(kMidiControlSection, lines.c_str(), mIniPath);
}

void Synth::SetStartupBank(const std::string& path) {
  mStartupBankPath = path;
  if (!mIniPath.empty()) WriteStartupBankSection();
}

void Synth::ClearStartupBank() {
  mStartupBankPath.clear();
  if (!mIniPath.empty()) platform::IniWriteSection(kStartupBankSection, "", mIniPath);
}

void Synth::SetProgramFolder(const std::string& folder) {
  mProgramFolder = folder;
  if (!mIniPath.empty()) {
    platform::IniWriteString(kGlobalSection, kProgramFolderKey, folder.c_str(), mIniPath);
  }
}

void Synth::SetMiddleC(int value) {
  if (value < MiddleC3 || value > MiddleC5) return;
  {
    ScopedLock lock(mMutex);
    mMiddleC = value;
  }
  WriteConfiguration(ConfigItem::MiddleC);
}

bool Synth::TryLoadStartupBank() {
  if (!mStartupBankPath.empty() && LoadBankFile(mStartupBankPath)) return true;
  mStartupBankPath.clear();
  return false;
}

void Synth::OnReset() {
  ScopedLock lock(mMutex);
  IPlugVST::OnReset();
  mMidiInputQueue.Reserve(std::max<std::size_t>(
      MidiInputQueue::kMinCapacity, static_cast<std::size_t>(std::max(GetBlockSize(), 0))));
  mHeldNotes.ClearAll();
  const bool wasArmed = mLearnArmed;
  mLearnArmed = false;
  // The learn switch shows off again rather than claim a learn that no longer waits.
  if (wasArmed) LearnFinished();
  mMsCountdown = 0;
  const double rate = GetSampleRate();
  mMsPeriod = std::isfinite(rate) && rate > 0.0 && rate < 2.0e9 ? static_cast<int>(rate) / 1000 : 0;
}

void Synth::OnParameterChange(int paramIdx) {
  ScopedLock lock(mMutex);
  IPlugVST::OnParameterChange(paramIdx);
  if (mLearnPaused == 0 && paramIdx >= 0 && paramIdx < NParams()) LearnTarget(paramIdx);
}

void Synth::SetActive(bool active) {
  ScopedLock lock(mMutex);
  IPlugVST::SetActive(active);
  if (!active) return;
  LearnPause pause(*this);
  for (int i = 0; i < NParams(); ++i) OnParameterChange(i);
}

void Synth::SetMidiThru(bool on) {
  ScopedLock lock(mMutex);
  mMidiThru = on;
}

void Synth::SetIgnoreProgramChange(bool on) {
  ScopedLock lock(mMutex);
  mIgnoreProgramChange = on;
}

void Synth::ToggleMidiThru() {
  SetMidiThru(!mMidiThru);
  WriteConfiguration(ConfigItem::MidiThru);
}

void Synth::ToggleIgnoreProgramChange() {
  SetIgnoreProgramChange(!mIgnoreProgramChange);
  WriteConfiguration(ConfigItem::IgnoreProgramChange);
}

int Synth::ControllerTarget(int cc) const {
  if (cc < 0 || cc >= kNumMappableControllers) return kUnmapped;
  return mCcMap[static_cast<std::size_t>(cc)];
}

void Synth::SetControllerTarget(int cc, int target) {
  if (cc < 0 || cc >= kNumMappableControllers) return;
  ScopedLock lock(mMutex);
  mCcMap[static_cast<std::size_t>(cc)] = target;
}

void Synth::SetHeldNote(int note, int velocity) {
  ScopedLock lock(mMutex);
  mHeldNotes.Set(note, velocity);
}

void Synth::ClearHeldNote(int note) {
  ScopedLock lock(mMutex);
  mHeldNotes.Clear(note);
}

void Synth::ArmLearn(bool armed, bool unlearn) {
  ScopedLock lock(mMutex);
  mLearnedController = -1;
  mLearnedParameter = -1;
  mUnlearnMode = unlearn;
  mLearnArmed = armed;
}

bool Synth::LearnTarget(int target) {
  ScopedLock lock(mMutex);
  if (!mLearnArmed) return false;
  mLearnedParameter = target;
  CompleteLearn();
  return true;
}

bool Synth::LearnController(int cc) {
  ScopedLock lock(mMutex);
  if (!mLearnArmed) return false;
  mLearnedController = cc;
  CompleteLearn();
  return true;
}

void Synth::CompleteLearn() {
  if (mLearnArmed && !mUnlearnMode) {
    if (mLearnedController != -1 && mLearnedParameter != -1) {
      // A target is bound to at most one controller.
      std::replace(mCcMap.begin(), mCcMap.end(), mLearnedParameter, kUnmapped);
      SetControllerTarget(mLearnedController, mLearnedParameter);
      mLearnArmed = false;
    }
  } else if (mLearnArmed) {
    if (mLearnedController != -1) {
      SetControllerTarget(mLearnedController, kUnmapped);
      mLearnArmed = mUnlearnMode = false;
    } else if (mLearnedParameter != -1) {
      std::replace(mCcMap.begin(), mCcMap.end(), mLearnedParameter, kUnmapped);
      mLearnArmed = mUnlearnMode = false;
    }
  }
  if (!mLearnArmed) LearnFinished();
}
