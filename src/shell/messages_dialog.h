// "Pivalune 98 - Messages": how often the program asks for confirmation
// (the confirmation level). Created once, shown modally again and again;
// every opening shows the current level, and OK changes it in the
// program-wide state and in the registry together.
#pragma once
#include "ui/form.h"

class TAvertissement : public TForm {
 public:
  static constexpr const char* Title = "Pivalune 98 - Messages";
  static constexpr int HelpContextDialog = 330;

  explicit TAvertissement(HWND owner);

  GroupBox GroupeConfirmer;
  RadioButton toujours, parfois, jamais;
  Panel PanelConfirmer;
  Button btnOK, btnAnnuler, btnAide;
  Panel BarredEtat;

 protected:
  void FormActivate() override;
  bool FormCloseQuery() override;

 private:
  void btnOKClick();
  void btnAnnulerClick();
  void btnAideClick();
};
