#include "shell/startup.h"

#include <windows.h>

#include "comparison/compare_states.h"
#include "recording/catalogue.h"
#include "recording/record_state.h"
#include "recording/state_files.h"
#include "services/wait_message.h"
#include "undo/registry_restore.h"
#include "undo/undo_run.h"
#include "services/files.h"
#include "services/io_error.h"
#include "shell/program_state.h"
#include "shell/settings.h"

namespace {

std::string ProgramDirectoryOf() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir = path;
  return dir.substr(0, dir.rfind('\\') + 1);
}

std::string UpperFirst(const std::string& text, size_t count) {
  std::string part = text.substr(0, count);
  CharUpperBuffA(part.data(), static_cast<DWORD>(part.size()));
  return part;
}

std::string Upper(const std::string& text) { return UpperFirst(text, std::string::npos); }

// 1, 5 or 9 for the switches of `table`, another number for anything else.
size_t SwitchPosition(const std::string& word, const char* table) {
  if (word.empty()) return 0;
  size_t at = std::string(table).find(word);
  return at == std::string::npos ? 0 : at + 1;
}

// Appends each letter of `value` that `allowed` holds and `letters` does not
// yet hold, up to 10 letters.
void AppendLetters(std::string& letters, const std::string& value, const std::string& allowed) {
  for (char c : value)
    if (letters.size() < 10 && allowed.find(c) != std::string::npos &&
        letters.find(c) == std::string::npos)
      letters += c;
}

void UseConfiguredSelection() {
  Program.RecordDrives = Program.Drives;
  Program.RecordTypes = Program.Types;
  BuildExclusionList(Program.ExclusionText);
}

void RecordReference() {
  std::string name = NewStateName();
  RecordState(name);
  settings::Write(settings::Text::Bat, name);
}

void ApplyRecordingOption(const std::string& parameter) {
  if (parameter.size() < 2) return;
  size_t colon = parameter.find(':');
  if (colon == std::string::npos) return;
  std::string value = Upper(parameter.substr(colon + 1));
  switch (SwitchPosition(UpperFirst(parameter, 4), "/DIS/FIC/EXC")) {
    case 1:
      Program.RecordDrives.clear();
      AppendLetters(Program.RecordDrives, value, Program.FixedDrives);
      break;
    case 5:
      Program.RecordTypes.clear();
      AppendLetters(Program.RecordTypes, value, "MCAIWSR");
      break;
    case 9:
      BuildExclusionList(value);
      break;
  }
}

void RecordCommand(const std::vector<std::string>& parameters, const std::string& reference) {
  DeleteStateFiles(reference);
  settings::Write(settings::Text::Bat, "");
  UseConfiguredSelection();
  for (size_t i = 1; i < parameters.size() && i <= 3; ++i) ApplyRecordingOption(parameters[i]);
  RecordReference();
}

// Records the machine as the after state of a comparison with `reference`.
std::string RecordAndCompare(const std::string& reference, uint8_t analysisMode) {
  settings::Write(settings::Text::Pred, reference);
  ReadStateHeader(reference);
  std::string name = NewStateName();
  RecordState(name);
  ShowWaitMessage("Préparation de l'analyse.");
  settings::Write(settings::Text::Succ, name);
  Program.AnalysisMode = analysisMode;
  CompareStates();
  return name;
}

void CompareCommand(const std::vector<std::string>& parameters, const std::string& reference) {
  bool makeReference = parameters.size() > 1 && UpperFirst(parameters[1], 4) == "/ACT";
  if (reference.size() != 7) {
    if (makeReference) {
      UseConfiguredSelection();
      RecordReference();
    }
    return;
  }
  std::string name = RecordAndCompare(reference, 2);
  if (makeReference) {
    DeleteStateFiles(reference);
    settings::Write(settings::Text::Bat, name);
  } else {
    DeleteStateFiles(name);
  }
  settings::Write(settings::Text::Last, name + ".PV2");
}

// The restore compares as the restore wizard does (mode 3), so that the
// start-up file blocks carry the unchanged lines the rebuild needs.
void RestoreCommand(const std::string& reference) {
  if (reference.size() < 6) return;
  Program.UninstallMode = false;
  std::string name = RecordAndCompare(reference, 3);
  DeleteStateFiles(name);
  UndoRun(name + ".PV2", "");
  settings::Write(settings::Text::Last, name + ".PV3");
}

// "/REG" and a report's name: its registry scripts beside it.
void ScriptsCommand(const std::vector<std::string>& parameters) {
  if (parameters.size() < 2 || parameters[1].empty()) return;
  if (!FileExists(parameters[1])) throw IoError(ERROR_FILE_NOT_FOUND, "no report " + parameters[1]);
  if (!WriteRegistryScriptsOfReport(parameters[1]))
    throw IoError(ERROR_READ_FAULT, "no registry scripts of " + parameters[1]);
}

}  // namespace

std::string DrivesOfType(char first, char last, unsigned type) {
  std::string letters;
  for (char letter = first; letter <= last && letters.size() < 10; ++letter) {
    char root[] = {letter, ':', '\\', '\0'};
    if (GetDriveTypeA(root) == type) letters += letter;
  }
  return letters;
}

void InitialiseProgram(bool interactive) {
  Program.ProgramDirectory = ProgramDirectoryOf();
  Program.HelpAvailable =
      GetFileAttributesA((Program.ProgramDirectory + "PIVALUNE.HLP").c_str()) != INVALID_FILE_ATTRIBUTES;
  Program.RemovableDrives = DrivesOfType('A', 'Z', DRIVE_REMOVABLE);
  Program.FixedDrives = DrivesOfType('C', 'L', DRIVE_FIXED);
  SetCurrentDirectoryA(Program.ProgramDirectory.c_str());
  settings::LoadGeneralSettings();
  if (interactive) Program.ConfirmLevel = settings::Read(settings::Number::Code);
}

void ResumeInterruptedAnalysis(const std::string& installationName) {
  SetCurrentDirectoryA(Program.ProgramDirectory.c_str());
  settings::Write(settings::Text::Error, "");
  const std::string before = settings::Read(settings::Text::Pred);
  ReadStateHeader(before);
  const std::string after = NewStateName();
  RecordState(after);
  ShowWaitMessage("Préparation de l'analyse.");
  settings::Write(settings::Text::Succ, after);
  Program.UninstallMode = true;
  // What was interrupted is the analysis of an installation: its report is
  // an installation report, which the uninstall wizard lists.
  Program.AnalysisMode = 0;
  Program.AnalysedAppName = installationName;
  CompareStates();
  DeleteStateFiles(before);
  settings::Write(settings::Text::Pred, "");
  DeleteStateFiles(after);
  settings::Write(settings::Text::Succ, "");
}

void RunCommandLineMode(const std::vector<std::string>& parameters) {
  Program.CommandLineMode = true;
  Program.ConfirmLevel = 0;
  struct HideAtEnd {
    ~HideAtEnd() { HideWaitMessage(); }
  } hideAtEnd;
  if (parameters.empty() || parameters[0].size() < 4) return;
  const std::string reference = settings::Read(settings::Text::Bat);
  switch (SwitchPosition(UpperFirst(parameters[0], 4), "/ENR/COM/RES/REG")) {
    case 1: RecordCommand(parameters, reference); break;
    case 5: CompareCommand(parameters, reference); break;
    case 9: RestoreCommand(reference); break;
    case 13: ScriptsCommand(parameters); break;
    default: break;
  }
}
