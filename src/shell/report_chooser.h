// The dialog that lists the reports and undo logs of the program directory
// by their titles and lets the user pick the one to open. Created once at
// start-up; the list is made anew each time the dialog is shown.
#pragma once
#include <string>
#include <string_view>

#include "ui/form.h"

// One line of the list: the title (the first line of the report without its
// "* ") padded with blanks or cut to 65 characters, then the file name, which
// therefore always starts at character 66.
std::string ChooserLine(std::string_view firstLine, std::string_view fileName);
constexpr size_t ChooserTitleWidth = 65;

class TChoisir : public TForm {
 public:
  static constexpr const char* Title = "Pivalune 98 - Ouvrir un rapport";
  static constexpr int HelpContextChooser = 130;

  explicit TChoisir(HWND owner);
  ~TChoisir() override;

  ListBox Liste;
  Button btnOuvrir, btnAnnuler, btnAide;
  Panel BarredEtat;

  // The file name picked last; kept as it was when the dialog is cancelled.
  std::string ChosenReport;

 protected:
  void FormShow() override;
  void FormActivate() override;

 private:
  void btnOuvrirClick();
  void btnAnnulerClick();
  void btnAideClick();
  void ListeDblClick();
  void FillList();

  HFONT listFont_ = nullptr;
  bool fillPending_ = false;
};
