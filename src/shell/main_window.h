// The main window: twelve buttons with pictures, the menu, the status bar.
#pragma once
#include <functional>

#include "ui/form.h"

// c = 5 per state (".000") and 1 per report (".pv?") in the program
// directory; over 20, or over 10 above level 1, asks whether to archive.
int ArchiveClutterCount();
bool ArchiveReminderDue();

// The windows the main window opens; each is set by the shell once that
// window exists. A command without its window stays disabled.
struct TPrincipalCommands {
  std::function<void(TForm*)> install, uninstall, record, compare, restore, duplicates, cleaner, backup, configuration,
      messages, report, archive, about;
};

class TPrincipal : public TForm {
 public:
  static constexpr const char* Title = "Pivalune 98";

  explicit TPrincipal(TPrincipalCommands commands);
  // Asks once more for the reminder when the window is closed for good.
  void FormDestroyQuery();

  Button btnInstaller, btnEnregistrer, btnConfiguration, BitBtn1;
  Button btnDesinstaller, btnComparer, btnRapport, btnNettoyer;
  Button btnSecurite, btnRestaurer, btnArchivage, btnQuitter;
  Panel barredEtat;

 protected:
  void FormActivate() override;
  bool FormCloseQuery() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void BuildMenu();
  void MenuInstallerClick();
  void MenuDesinstallerClick();
  void MenuEnregistrerClick();
  void MenuComparerClick();
  void MenuRestaurerClick();
  void MenuDoublonsClick();
  void MenuSauvegarderClick();
  void MenuNettoyerClick();
  void MenuConfigurationClick();
  void MenuMessagesClick();
  void MenuRapportClick();
  void MenuArchivageClick();
  void MenuAideClick();
  void MenuAProposClick();
  void btnQuitterClick();

  TPrincipalCommands commands_;
  HMENU menu_ = nullptr;
  bool closing_ = false;
};
