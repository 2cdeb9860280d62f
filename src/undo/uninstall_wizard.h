// "Pivalune 98 - Désinstaller une application": removes an application in
// two halves, either of which may be skipped. First the application's own
// uninstaller, chosen from Windows' list of removable programs, watched
// when the user wants a report of what it removed; then the undo of the
// installation report Pivalune wrote when the application was installed.
#pragma once
#include <functional>
#include <string>

#include "ui/wizard.h"

class TRapport;
class TReStart;
class TTransferer;

// A line of the list of registered applications: the display name padded
// or cut to 100 characters, then the uninstall command.
std::string RegisteredApplicationLine(const std::string& displayName, const std::string& uninstallString);
constexpr size_t ApplicationNameWidth = 100;
// A line of the list of installation reports: the report's first line
// without its "* ", padded or cut to 70 characters, then the file name.
std::string InstallationReportLine(const std::string& firstLine, const std::string& fileName);
// The title the undo log is headed with: "à l'installation de X " from
// "Installation de X le 05/12/1998 à 14:03:07", "au lancement de X " from
// "Lancement de X le ...".
std::string UndoTitleOf(const std::string& description);

class TAssDesinst : public TWizard {
 public:
  static constexpr const char* Title = "Pivalune 98 - Désinstaller une application";
  static constexpr int HelpContextUninstall = 20;

  // The archive dialog ("Archive"), the report viewer ("Rapport") and the
  // restart prompt are the program's long-lived windows.
  TAssDesinst(HWND owner, TTransferer& archive, TRapport& viewer, TReStart& restart);

  Label Texte9;
  ListBox Liste;
  GroupBox BtnRadio;
  RadioButton AvecRapport, SansRapport;

  // What the wizard works on, as the steps set it.
  std::string ApplicationName, UninstallCommand, ReportFile, ReportTitle;
  bool ReportWanted = false, UninstallerFailed = false, ListingFailed = false;

  // Starts Windows' program-removal panel; tests put a recorder here.
  std::function<bool(const std::string& commandLine)> StartRemovalPanel;
  // The command line of that panel, in the system's own directory.
  static std::string RemovalPanelCommand();

 protected:
  void FormActivate() override;
  void BtnSuivantClick() override;
  void BtnPrecedentClick() override;
  void BtnConfigClick() override;

 private:
  void DefineSteps();
  void ShowStepControls(bool list, bool reportChoice);
  void ListeClick();
  void FillApplications();
  void FillInstallationReports();
  void ChooseApplication();
  void TakeReport();
  void RunUninstaller();
  void RunUndo();

  TTransferer& archive_;
  TRapport& viewer_;
  TReStart& restart_;
  char returnStep_ = 'B';
  bool working_ = false;
};
