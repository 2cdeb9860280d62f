// "Pivalune 98 - Configuration": what a recorded state holds (drives and
// system files), the directories left out of catalogues, and whether
// deleted files go to the recycle bin. Created once, shown modally again
// and again; every opening shows the program-wide state afresh, and OK
// changes that state and the registry together.
#pragma once
#include <array>
#include <utility>

#include "ui/form.h"

class TConfiguration : public TForm {
 public:
  static constexpr const char* Title = "Pivalune 98 - Configuration";
  static constexpr int HelpContextDialog = 80;
  static constexpr int HelpContextExclure = 90;

  explicit TConfiguration(HWND owner);

  GroupBox GroupeDisques;
  CheckBox uC, uD, uE, uF, uG, uH, uI, uJ, uK, uL;
  Panel PanelDisques;
  GroupBox GroupeFichiers;
  CheckBox fMsDos, fConfig, fAutoexec, fSystem, fWin, fIni, fRegistres;
  Panel PanelFichiers;
  Panel PanelExclure;
  Label LabelExclure;
  Edit editExclure;
  Panel PanelCorbeille;
  CheckBox cbCorbeille;
  Button btnOK, btnAnnuler, btnAide;
  Panel BarredEtat;

  // The drive boxes C to L, in that order.
  std::array<CheckBox*, 10> DriveBoxes();
  // The file boxes with their type letters, in the order the letters are
  // stored: M C A S W I R.
  std::array<std::pair<CheckBox*, char>, 7> FileBoxes();

 protected:
  void FormActivate() override;
  bool FormCloseQuery() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void btnOKClick();
  void btnAnnulerClick();
  void btnAideClick();

};
