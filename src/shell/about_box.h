// "A propos de Pivalune 98": the program's picture, its name and what it is
// for, and an OK button.
#pragma once
#include "ui/form.h"

class TAPropos : public TForm {
 public:
  static constexpr const char* Title = "A propos de Pivalune 98";
  explicit TAPropos(HWND owner);

  Control Image;
  Label Label1, Label2;
  Button btnOK;

 private:
  void btnOKClick() { Close(mrOk); }
};
