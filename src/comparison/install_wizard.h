// "Pivalune 98 - Installer ou lancer une application": the program's main
// use. The user chooses an installer or an application and names the
// report; the wizard records the machine, starts the program, waits until
// it and everything it started have ended, records again, compares, and
// leaves the ".PV1" report.
#pragma once
#include <windows.h>

#include <string>

#include "services/processes.h"
#include "ui/file_chooser.h"
#include "ui/wizard.h"

class TRapport;
class TAttention;

class TAssInst : public TWizard {
 public:
  static constexpr const char* Title = "Pivalune 98 - Installer ou lancer une application";
  static constexpr int HelpContextInstall = 10;

  // The report viewer (page H, "Rapport") and the replaced-files warning
  // are the program's long-lived windows.
  TAssInst(HWND owner, TRapport& viewer, TAttention& warning);

  // The file chooser.
  ComboBox DriveComboBox;
  ListBox DirectoryListBox, FileListBox;
  Label Label1, Label2, Label3;
  Label Texte9;
  Edit Nom;
  RadioButton Installation, Lancement;  // the group BtnRadio: 0 and 1

  // The full path of the file selected, "" when none.
  std::string SelectedFile() const;
  // The directory the chooser shows, ending with "\".
  const std::string& ChosenDirectory() const { return chooser_.Directory(); }
  // Shows that directory in the chooser (its drive selected).
  void ChooseDirectory(const std::string& directory);

 protected:
  void FormActivate() override;
  void BtnSuivantClick() override;
  void BtnAnnulerClick() override;
  void BtnConfigClick() override;

 private:
  void DefinePages();
  void ShowPageControls(bool chooser, bool nameAndMode);
  void FileListBoxChange();
  void NomChange();
  void TimerTimer();
  int SelectedMode() const { return Lancement.Checked() ? 1 : 0; }
  void SelectMode(int mode);

  void RecordAndLaunch();
  void Finish();

  TRapport& viewer_;
  TAttention& warning_;
  FileChooser chooser_;
  bool readyToRecord_ = false;
  bool interrupted_ = false;
  bool changingName_ = false;
  LaunchedProgram program_;
};
