// "Pivalune 98 - Chercher les doublons": looks through the configured
// drives for series of files whose contents are the same, shows them one
// series at a time, and deletes the copies the user selects.
#pragma once
#include <string>
#include <vector>

#include "ui/form.h"
#include "ui/tab_list_box.h"

class TDoublons : public TForm {
 public:
  static constexpr const char* Title = "Pivalune 98 - Chercher les doublons";
  static constexpr int HelpContextDuplicates = 360;
  static constexpr int ListWidth = 1600;  // the width the list scrolls over

  explicit TDoublons(HWND owner);
  ~TDoublons() override;

  Label Label3, Label4, Label5, Label1, LabelSerie;
  CheckBox CB1;
  SpinEdit SpinEdit1;
  TTabListBox Liste;
  Button BitBtn2, btnSupprimer, BitBtn3, BitBtn4, BitBtn1;
  Panel BarredEtat;

  // The series of the last search; the files that could not be read.
  std::vector<std::string> Series, Unreadable;

 protected:
  void FormActivate() override;

 private:
  void BitBtn2Click();
  void btnSupprimerClick();
  void BitBtn3Click();
  void BitBtn4Click();
  void BitBtn1Click() { Close(mrOk); }
  void SpinEdit1Change();
  void ListeClick();
  void ShowSeries(int n);
  void SetExplanation(const char* first, const char* second, const char* third);
  bool MayDelete(const std::string& path, const std::vector<std::string>& paths);
  bool DeleteCopy(const std::string& path);

  HFONT listFont_ = nullptr;
};
