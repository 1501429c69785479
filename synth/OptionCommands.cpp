// The program and bank commands of the editor's menus, the program clipboard and program
// selection.
#include <string>
#include <string_view>

#include "editor/IGraphics.h"
#include "synth/DialogFolders.h"
#include "synth/Synth.h"

namespace {

constexpr char kErrorCaption[] = "Error";
constexpr char kCannotLoad[] = "Cannot load file!";
constexpr char kCannotSave[] = "Cannot save file!";

constexpr char kProgramExtension[] = "fxp";
constexpr char kBankExtension[] = "fxb";
constexpr char kMidiExtension[] = "mid";
constexpr char kDefaultBankName[] = "Rhythmoria";

// Characters no file system of our users accepts in a name.
std::string SafeFileName(std::string name) {
  constexpr std::string_view kUnsafe = "<>:\"/\\|?*";
  for (char& c : name) {
    if (kUnsafe.find(c) != std::string_view::npos) c = '_';
  }
  return name;
}

void ShowError(IGraphics* editor, const char* text) {
  editor->ShowMessageBox(text, kErrorCaption, Synth::kBoxOk);
}

}  // namespace

bool Synth::Confirm(IGraphics* editor, const std::string& text, const char* caption, bool yesOnly) {
  const int answer = editor->ShowMessageBox(text.c_str(), caption, kBoxYesNo);
  return yesOnly ? answer == kAnswerYes : answer != kAnswerNo;
}

std::string Synth::AskForCommandFile(IGraphics* editor, int folderKind, int action,
                                     const char* extension, const std::string& defaultName) {
  std::string folder = DialogFolders::Get(folderKind, mProgramFolder);
  std::string fileName = action == IGraphics::kFileSave ? defaultName : std::string();
  editor->AskForFile(&fileName, action, &folder, extension);
  if (!fileName.empty()) DialogFolders::FollowFile(folderKind, fileName);
  return fileName;
}

std::string Synth::ExportRhythmDefaultName() const {
  const int slot = EditedRhythmSlot();
  if (RhythmSlotModified(slot)) return "user_" + std::to_string(slot + 1);
  return FactoryRhythmName(slot);
}

void Synth::RunOptionCommand(IGraphics* editor, int code) {
  // Commands without a dialog or a box.
  switch (code) {
    case kCmdCopyProgram:
      CopyProgram();
      return;
    case kCmdMidiThru:
      ToggleMidiThru();
      return;
    case kCmdIgnoreProgramChange:
      ToggleIgnoreProgramChange();
      return;
    default:
      break;
  }
  // Without a window there is nobody to ask: like a cancelled dialog.
  if (!editor) return;

  const std::string programName = GetProgramName(GetCurrentProgram());
  switch (code) {
    case kCmdPasteProgram:
      // Greyed in the menu while empty; a stray call changes nothing and asks nothing.
      if (!HasCopiedProgram()) return;
      if (Confirm(editor, "Do you really want to overwrite the current program?",
                  "Paste Program")) {
        PasteProgram();
      }
      return;
    case kCmdInitProgram:
      if (Confirm(editor, "Do you really want to initialize the current program?",
                  "Initialize Program")) {
        InitDefaults();
      }
      return;
    case kCmdLoadProgram: {
      const std::string path = AskForCommandFile(editor, DialogFolders::kPrograms,
                                                 IGraphics::kFileOpen, kProgramExtension, "");
      if (!path.empty() && !LoadProgramFile(path)) ShowError(editor, kCannotLoad);
      return;
    }
    case kCmdSaveProgram: {
      const std::string path =
          AskForCommandFile(editor, DialogFolders::kPrograms, IGraphics::kFileSave,
                            kProgramExtension, SafeFileName(programName));
      if (path.empty()) return;
      ModifyCurrentPreset();
      if (!SaveProgramFile(path)) ShowError(editor, kCannotSave);
      return;
    }
    case kCmdLoadBank: {
      const std::string path = AskForCommandFile(editor, DialogFolders::kPrograms,
                                                 IGraphics::kFileOpen, kBankExtension, "");
      if (!path.empty() && !LoadBankFile(path)) ShowError(editor, kCannotLoad);
      return;
    }
    case kCmdSaveBank: {
      const std::string path =
          AskForCommandFile(editor, DialogFolders::kPrograms, IGraphics::kFileSave, kBankExtension,
                            SafeFileName(kDefaultBankName));
      if (path.empty()) return;
      ModifyCurrentPreset();
      if (!SaveBankFile(path)) ShowError(editor, kCannotSave);
      return;
    }
    case kCmdSelectStartupBank: {
      const std::string path = AskForCommandFile(editor, DialogFolders::kStartupBank,
                                                 IGraphics::kFileOpen, kBankExtension, "");
      if (!path.empty()) SetStartupBank(path);
      return;
    }
    case kCmdLoadStartupBank:
      // Greyed in the menu while no start-up bank is selected.
      if (mStartupBankPath.empty()) return;
      if (Confirm(editor,
                  "The Startup Bank is:\n" + mStartupBankPath +
                      "\n\nDo you really want to reload all programs?",
                  "Load Startup Bank") &&
          !LoadBankFile(mStartupBankPath)) {
        ShowError(editor, kCannotLoad);
      }
      return;
    case kCmdUnselectStartupBank:
      if (mStartupBankPath.empty()) return;
      if (Confirm(editor,
                  "The Startup Bank is:\n" + mStartupBankPath +
                      "\n\nDo you really want to unselect it?",
                  "Unselect Startup Bank")) {
        ClearStartupBank();
      }
      return;
    case kCmdDefaultProgramFolder: {
      // A save dialog is the one that lets the user pick a folder by naming any file in it.
      const std::string path = AskForCommandFile(
          editor, DialogFolders::kPrograms, IGraphics::kFileSave, " ", "[file name is ignored]");
      const std::string folder = DialogFolders::FolderOf(path);
      if (!folder.empty()) SetProgramFolder(folder);
      return;
    }
    case kCmdReloadConfiguration:
      if (Confirm(editor,
                  "The INI configuration file is:\n" + mIniPath +
                      "\n\nDo you really want to reload it?",
                  "Reload Configuration", true) &&
          !ReadConfiguration()) {
        editor->ShowMessageBox("The INI file does not exist.", "Problem with INI File", kBoxOk);
      }
      return;
    case kCmdSaveConfiguration:
      if (Confirm(editor,
                  "The INI configuration file is:\n" + mIniPath +
                      "\n\nDo you really want to overwrite it?",
                  "Save Configuration", true)) {
        WriteConfiguration(ConfigItem::All);
      }
      return;
    case kCmdImportRhythm:
    case kCmdImportRhythmAsTriplets: {
      const std::string path = AskForCommandFile(editor, DialogFolders::kMidiFiles,
                                                 IGraphics::kFileOpen, kMidiExtension, "");
      if (!path.empty() && !ImportRhythmFile(path, code == kCmdImportRhythmAsTriplets)) {
        ShowError(editor, kCannotLoad);
      }
      return;
    }
    case kCmdExportRhythmType0:
    case kCmdExportRhythmType1:
    case kCmdExportAllType0:
    case kCmdExportAllType1: {
      const bool allPlaying = code == kCmdExportAllType0 || code == kCmdExportAllType1;
      const bool type1 = code == kCmdExportRhythmType1 || code == kCmdExportAllType1;
      const std::string name = allPlaying ? programName : ExportRhythmDefaultName();
      const std::string path =
          AskForCommandFile(editor, DialogFolders::kMidiFiles, IGraphics::kFileSave, kMidiExtension,
                            SafeFileName(name));
      // The export stores the live state into the current program first.
      if (!path.empty() && !ExportRhythmFile(path, type1, allPlaying)) {
        ShowError(editor, kCannotSave);
      }
      return;
    }
    case kCmdCheckForUpdate:
      CheckForUpdate(editor);
      return;
    default:
      return;
  }
}

void Synth::CopyProgram() {
  ScopedLock lock(mMutex);
  mClipboardProgram = GetCurrentProgram();
  mClipboard.Clear();
  SerializeState(mClipboard);
}

void Synth::PasteProgram() {
  ScopedLock lock(mMutex);
  if (mClipboard.Size() == 0) return;
  // A copy: renaming the current slot may free the text a name pointer would point into.
  const std::string name = GetProgramName(mClipboardProgram);
  if (UnserializeState(mClipboard, 0) < 0) return;
  ModifyCurrentPreset(name.c_str());
  SyncEditorToParams();
  ReportAllParamsToHost();
}

void Synth::SelectProgram(int programIdx) {
  if (programIdx < 0 || programIdx >= NPrograms()) return;
  ScopedLock lock(mMutex);
  ModifyCurrentPreset();
  RestoreProgram(programIdx);
  ReportProgramChangeToHost();
  ReportAllParamsToHost();
}
