#include "windows/wizard_fixture.h"

#include "comparison/compare_states.h"
#include "recording/catalogue.h"
#include "recording/record_state.h"
#include "recording/state_files.h"

void WizardTest::SetUp() {
  ScratchProgramTest::SetUp();
  machine_ = dir_ + "machine\\";
  second_ = dir_ + "second\\";
  program_ = dir_ + "programme\\";
  const uint32_t old = PackDosTime(1998, 12, 5, 14, 3, 6);
  for (const char* sub : {"", "WINDOWS\\", "WINDOWS\\SYSTEM\\"}) MakeFixtureDirectory(machine_ + sub);
  WriteFixtureFile(machine_ + "WINDOWS\\WIN.INI", "[mail]\r\nMAPI=1\r\n", old);
  WriteFixtureFile(machine_ + "WINDOWS\\SYSTEM.INI", "[boot]\r\nshell=Explorer.exe\r\n", old);
  WriteFixtureFile(machine_ + "AUTOEXEC.BAT", "@ECHO OFF\r\n", old);
  WriteFixtureFile(machine_ + "WINDOWS\\SYSTEM\\commun.dll", "MZ commun", old);
  MakeFixtureDirectory(second_);
  WriteFixtureFile(second_ + "donnees.txt", "des données", old);
  MakeFixtureDirectory(program_);
  Program.ProgramDirectory = program_;
  SetCurrentDirectoryA(program_.c_str());
  k_ = std::make_unique<MappedDrive>('K', machine_);
  l_ = std::make_unique<MappedDrive>('L', second_);
  Program.FixedDrives = "CKL";
  Program.RemovableDrives = "A";
  Program.Drives = "K";
  Program.Types = "W";
  Program.ExclusionText = "\\\\";
  Program.ConfirmLevel = 1;
  Program.UseRecycleBin = false;
  chooser_ = std::make_unique<TChoisir>(nullptr);
  viewer_ = std::make_unique<TRapport>(nullptr, *chooser_);
  warning_ = std::make_unique<TAttention>(nullptr);
  restart_ = std::make_unique<TReStart>(nullptr);
  restart_->RestartWindows = [this] { return ++restarts_ > 0; };
  archive_ = std::make_unique<TTransferer>(nullptr);
}

void WizardTest::TearDown() {
  archive_.reset();
  restart_.reset();
  warning_.reset();
  viewer_.reset();
  chooser_.reset();
  l_.reset();
  k_.reset();
  ScratchProgramTest::TearDown();
}

std::string WizardTest::RecordMachine(const std::string& drives, const std::string& types) {
  Program.RecordDrives = drives;
  Program.RecordTypes = types;
  BuildExclusionList(Program.ExclusionText);
  const std::string name = NewStateName();
  RecordState(name);
  return name;
}

std::string WizardTest::InstallGame() {
  const std::string before = RecordMachine("K", "WR");
  MakeFixtureDirectory(machine_ + "JEU\\");
  WriteFixtureFile(machine_ + "JEU\\jeu.exe", "MZ jeu", PackDosTime(2001, 3, 4, 10, 0, 0));
  WriteFixtureFile(machine_ + "JEU\\niveaux.dat", "0123456789", PackDosTime(2001, 3, 4, 10, 0, 0));
  WritePrivateProfileStringA("Jeu", "Dossier", "K:\\JEU", (machine_ + "WINDOWS\\WIN.INI").c_str());
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Jeu", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("1.0"), 4);
  RegCloseKey(key);
  const std::string after = RecordMachine("K", "WR");
  settings::Write(settings::Text::Pred, before);
  settings::Write(settings::Text::Succ, after);
  Program.AnalysisMode = 0;
  Program.AnalysedAppName = "Jeu";
  CompareStates();
  DeleteStateFiles(before);
  DeleteStateFiles(after);
  settings::Write(settings::Text::Pred, "");
  settings::Write(settings::Text::Succ, "");
  return after + ".PV1";
}

int WizardTest::Drive(TWizard& wizard, const std::string& title, const std::function<void(HWND)>& script) {
  return DriveModal([&] { return wizard.ShowModal(); }, title, script);
}

bool WizardTest::Go(TWizard& wizard, const Button& button, char step, int milliseconds) {
  Click(button.Handle());
  return WaitUntil([&] { return wizard.Current == step; }, milliseconds);
}

bool WizardTest::ChooseLineWith(const ListBox& list, const std::string& text) {
  for (int i = 0; i < list.Count(); ++i) {
    if (list.Item(i).find(text) == std::string::npos) continue;
    SendMessageA(list.Handle(), LB_SETCURSEL, i, 0);
    SendMessageA(GetParent(list.Handle()), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list.Handle()), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list.Handle()));
    return true;
  }
  return false;
}

int WizardTest::CountFiles(const std::string& pattern) {
  int n = 0;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA(pattern.c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do n += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
  while (FindNextFileA(h, &found));
  FindClose(h);
  return n;
}
