#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "framework/ChunkBuffer.h"
#include "framework/vst2/IPlugVST.h"
#include "synth/HeldNotes.h"
#include "synth/MidiQueue.h"

class IGraphics;

// The layer between the host binding and the engine: global settings, MIDI services (controller
// map, MIDI learn, held notes, the time-stamped input queue) and the program and bank commands.
// It adds the engine's own hooks to the virtual operations.
class Synth : public IPlugVST {
 public:
  // Octave number shown for MIDI note 60.
  enum MiddleC : int { MiddleC3 = 0, MiddleC4 = 1, MiddleC5 = 2 };

  static constexpr int kNumMappableControllers = 120;
  // Learn target and map entry of the PLAY (start/stop) switch.
  static constexpr int kPlaySwitchTarget = -150;
  static constexpr int kUnmapped = -1;

  // What WriteConfiguration writes besides the start-up bank.
  enum class ConfigItem { All, MiddleC, MidiThru, IgnoreProgramChange };

  // Command codes of the OPTIONS and MIDI FILE menus; the codes between them are separators and
  // sub-menu headers, which do nothing.
  enum OptionCommand : int {
    kCmdCopyProgram = 0,
    kCmdPasteProgram = 1,
    kCmdInitProgram = 2,
    kCmdLoadProgram = 4,
    kCmdSaveProgram = 5,
    kCmdLoadBank = 6,
    kCmdSaveBank = 7,
    kCmdSelectStartupBank = 9,
    kCmdLoadStartupBank = 10,
    kCmdUnselectStartupBank = 11,
    kCmdDefaultProgramFolder = 13,
    kCmdReloadConfiguration = 15,
    kCmdSaveConfiguration = 16,
    kCmdMidiThru = 21,
    kCmdIgnoreProgramChange = 22,
    kCmdImportRhythm = 23,
    kCmdImportRhythmAsTriplets = 24,
    kCmdExportRhythmType0 = 26,
    kCmdExportRhythmType1 = 27,
    kCmdExportAllType0 = 28,
    kCmdExportAllType1 = 29,
    kCmdCheckForUpdate = 30,
    // Opens the maker's home page; the menu carries it out itself (UpdateServer::HomePageUrl).
    kCmdOpenHomePage = 31
  };

  // Message-box types and answers of the window layer (the platform's codes).
  static constexpr int kBoxOk = 0;
  static constexpr int kBoxYesNo = 4;
  static constexpr int kBoxError = 16;
  static constexpr int kBoxInformation = 64;
  static constexpr int kAnswerYes = 6;
  static constexpr int kAnswerNo = 7;

  // Locates the settings file (creating its folder, and the file empty, on first start) and
  // reads it.
  Synth(const IPlugInstanceInfo& info, const IPlugConfig& config);
  ~Synth() override;

  void OnReset() override;
  void OnParameterChange(int paramIdx) override;
  // Switching processing on re-applies every parameter so values derived from the sample rate
  // are recomputed.
  void SetActive(bool active) override;

  // Hooks the engine fills, in their fixed order.
  virtual void Layout() {}
  // The editor's program menu and PREV/NEXT: the live state is stored into the program being
  // left, then programIdx becomes current and the host hears of it. Out-of-range indices do
  // nothing.
  virtual void SelectProgram(int programIdx);
  virtual void Panic() {}
  virtual void UnusedHook46() {}
  virtual void InitParameters() {}
  virtual void InitDefaults() {}
  // Sets the middle-C naming (MiddleC3..MiddleC5) and writes it to the settings file; other
  // values are ignored.
  virtual void SetMiddleC(int value);
  // The engine's side of the MIDI FILE menu: export the edited slot (or, with allPlaying, what
  // plays) as a Standard MIDI File, import a file into the edited slot; false on failure.
  virtual bool ExportRhythmFile(const std::string& /*path*/, bool /*type1*/, bool /*allPlaying*/) {
    return false;
  }
  virtual bool ImportRhythmFile(const std::string& /*path*/, bool /*asTriplets*/) { return false; }
  // The rhythm slot the sequence editor works on, whether it differs from its factory rhythm,
  // and that factory rhythm's name: what Export Rhythm proposes as the file name.
  virtual int EditedRhythmSlot() const { return 0; }
  virtual bool RhythmSlotModified(int /*slot*/) const { return false; }
  virtual const char* FactoryRhythmName(int /*slot*/) const { return ""; }

  int GetMiddleC() const { return mMiddleC; }

  // The OPTIONS and MIDI FILE menus: one command code each (0 "Copy Program" to 30 "Check Online
  // for Update"), carried out on the editor thread with the editor's dialogs and message boxes.
  void RunOptionCommand(IGraphics* editor, int code);
  // The program clipboard: the live state of the current program, and where it came from.
  // Pasting gives the current program the copied state and the name its source program has now;
  // with nothing copied it does nothing.
  void CopyProgram();
  void PasteProgram();
  // The OPTIONS menu greys "Paste Program" until CopyProgram has filled the clipboard.
  bool HasCopiedProgram() const { return mClipboard.Size() > 0; }
  // Asks the maker's server for the newest version and tells the user through the editor's
  // message boxes. 0 after an informative box, -1 without an answer, -2 when the message could
  // not be built, -3 when the answer is no version number.
  int CheckForUpdate(IGraphics* editor);
  // The version this build reports to the user ("1.1.6"), and as the update server writes it
  // (1106: major and minor digit, then the patch number).
  std::string VersionText() const;
  int UpdateVersionNumber() const;

  // Global settings, shared through the settings file by every instance of the user. Editor
  // thread or construction only: each of these reads or writes the file. Write failures are
  // not reported.
  //
  // Reads every setting the file holds. False, with every setting left as it was, when the file
  // does not exist.
  bool ReadConfiguration();
  // Rewrites the start-up bank section, then what is asked; only All writes the controller map.
  void WriteConfiguration(ConfigItem what);
  void SetStartupBank(const std::string& path);
  void ClearStartupBank();
  void SetProgramFolder(const std::string& folder);
  // Loads the start-up bank. On failure (also with none set) the start-up bank is forgotten in
  // memory only, the file keeping its entry, and the answer is false.
  bool TryLoadStartupBank();
  const std::string& IniPath() const { return mIniPath; }
  const std::string& StartupBankPath() const { return mStartupBankPath; }
  const std::string& ProgramFolder() const { return mProgramFolder; }

  // MIDI services.
  bool MidiThru() const { return mMidiThru; }
  void SetMidiThru(bool on);
  bool IgnoreProgramChange() const { return mIgnoreProgramChange; }
  void SetIgnoreProgramChange(bool on);
  // The editor menu's switches: each flips its setting and writes it to the file at once.
  void ToggleMidiThru();
  void ToggleIgnoreProgramChange();
  // Target of controller cc: a parameter index, kPlaySwitchTarget or kUnmapped. Entries read
  // from the file may hold any other number; those move nothing.
  int ControllerTarget(int cc) const;
  void SetControllerTarget(int cc, int target);

  // MIDI learn: armed by the editor's learn switch; the next controller and the next learn target
  // (a parameter change or the PLAY switch), in either order, complete it.
  void ArmLearn(bool armed, bool unlearn);
  bool LearnArmed() const { return mLearnArmed; }
  // Hooks: return true when the event was taken by learning.
  bool LearnTarget(int target);
  bool LearnController(int cc);

  const HeldNotes& GetHeldNotes() const { return mHeldNotes; }
  // The editor's keys; a velocity of 0 or less releases the note.
  void SetHeldNote(int note, int velocity);
  void ClearHeldNote(int note);

 protected:
  // Re-applying parameters whose values did not change (activation, a program or a state being
  // loaded) is no learn target: without this, an armed learn would bind whichever parameter
  // happened to be applied first or last. Hold one, with the plug-in mutex held, around such
  // loops.
  class LearnPause {
   public:
    explicit LearnPause(Synth& synth) : mSynth(synth) { ++mSynth.mLearnPaused; }
    ~LearnPause() { --mSynth.mLearnPaused; }
    LearnPause(const LearnPause&) = delete;
    LearnPause& operator=(const LearnPause&) = delete;

   private:
    Synth& mSynth;
  };

  void CompleteLearn();
  // Called when a learn completes or is abandoned (also by a reset), so the editor's switch can
  // show it.
  virtual void LearnFinished() {}

  std::string mIniPath;
  std::string mStartupBankPath;
  std::string mProgramFolder;
  int mMiddleC = MiddleC4;
  bool mMidiThru = false;
  bool mIgnoreProgramChange = false;
  std::array<std::int32_t, kNumMappableControllers> mCcMap;
  bool mLearnArmed = false;
  bool mUnlearnMode = false;
  int mLearnedController = -1;
  int mLearnedParameter = -1;
  int mLearnPaused = 0;
  HeldNotes mHeldNotes;
  // The editor made at construction (null without a window layer), until the engine has laid
  // it out and attached it.
  std::unique_ptr<IGraphics> mEditorToAttach;

  ChunkBuffer mClipboard;
  int mClipboardProgram = -1;

  MidiInputQueue mMidiInputQueue;
  // Samples per millisecond and samples left until the next sub-block boundary.
  int mMsPeriod = 0;
  int mMsCountdown = 0;

 private:
  void WriteStartupBankSection();
  // The steps every file command shares: the dialog in its process-wide folder, nothing when it
  // is cancelled, the folder following the chosen file. The chosen path, or empty.
  std::string AskForCommandFile(IGraphics* editor, int folderKind, int action,
                                const char* extension, const std::string& defaultName);
  // "Do you really want...?" boxes: true unless the answer is No, or with yesOnly only on Yes.
  static bool Confirm(IGraphics* editor, const std::string& text, const char* caption,
                      bool yesOnly = false);
  std::string ExportRhythmDefaultName() const;
};
