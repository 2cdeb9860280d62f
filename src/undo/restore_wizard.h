// "Pivalune 98 - Restaurer un état enregistré": brings the machine back to
// a state recorded earlier. It records the machine, compares it with the
// chosen state, and the undo run takes away what was added since and puts
// configuration lines and registry entries back.
#pragma once
#include <string>

#include "ui/wizard.h"

class TRapport;
class TReStart;
class TTransferer;

class TAssRestaure : public TWizard {
 public:
  static constexpr const char* Title = "Pivalune 98 - Restaurer un état enregistré";
  static constexpr int HelpContextRestore = 50;

  // The archive dialog ("Archive"), the report viewer ("Rapport") and the
  // restart prompt are the program's long-lived windows.
  TAssRestaure(HWND owner, TTransferer& archive, TRapport& viewer, TReStart& restart);

  Label Texte9;
  ListBox Liste;
  GroupBox RG;  // "L'état enregistré précédemment sera"
  RadioButton Conserve, Efface;

  // " le 05/12/1998 à 14:03:07 seront perdues.", from the chosen line.
  static std::string WarningTextOf(const std::string& line);

 protected:
  void FormActivate() override;
  void BtnSuivantClick() override;
  void BtnConfigClick() override;

 private:
  void DefineSteps();
  void ShowStepControls(bool list, bool keepOrDelete);
  void ListeClick();
  void TakeSelection();
  void Restore();

  TTransferer& archive_;
  TRapport& viewer_;
  TReStart& restart_;
  std::string chosenLine_, warning_;
  bool working_ = false;
};
