// "Pivalune 98 - Avertissement": the files an installation or a change
// replaced by an older version (the older-version list of the comparison).
#pragma once
#include <string>
#include <vector>

#include "ui/form.h"

class TAttention : public TForm {
 public:
  explicit TAttention(HWND owner);
  // The lines shown; set before ShowModal.
  void SetLines(const std::vector<std::string>& lines);

  Label Label1, Label3, Label4;
  Memo Liste;
  Button BtnOK, BtnAide, BtnImprimer;

 protected:
  void FormActivate() override;

 private:
  void BtnOKClick() { Close(mrOk); }
  void BtnAideClick();
  void BtnImprimerClick();
  std::vector<std::string> lines_;
  HFONT fixedFont_ = nullptr;
};
