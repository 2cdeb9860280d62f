// "Pivalune 98 - Comparer à un état enregistré": compares the machine as
// it is now with a state recorded earlier, recording it with that state's
// own drives, types and exclusions, and leaves a ".PV2" report.
#pragma once
#include <string>

#include "ui/wizard.h"

class TRapport;
class TAttention;
class TTransferer;

class TAssCompare : public TWizard {
 public:
  static constexpr const char* Title = "Pivalune 98 - Comparer à un état enregistré";
  static constexpr int HelpContextCompare = 50;

  // The archive dialog ("Archive"), the report viewer ("Rapport") and the
  // replaced-files warning are the program's long-lived windows.
  TAssCompare(HWND owner, TTransferer& archive, TRapport& viewer, TAttention& warning);

  Label Texte9;
  ListBox Liste;
  GroupBox BtnRadio;  // "L'état enregistré doit être"
  RadioButton Conserve, Efface;

 protected:
  void FormActivate() override;
  void BtnSuivantClick() override;
  void BtnConfigClick() override;

 private:
  void DefinePages();
  void ShowPageControls(bool list, bool keepOrDelete);
  void ListeClick();
  void Compare();

  TTransferer& archive_;
  TRapport& viewer_;
  TAttention& warning_;
  bool working_ = false;
};
