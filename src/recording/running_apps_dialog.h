// "Pivalune 98 - Applications en cours": before an interactive recording,
// the other running applications, to be closed first. The list follows
// them every three seconds and the dialog closes itself when none is left.
#pragma once
#include <string>
#include <vector>

#include "ui/form.h"

class TAutresApps : public TForm {
 public:
  explicit TAutresApps(HWND owner);
  // Fills the list with the titles of the running applications; closes the
  // dialog when there is none.
  void Prepare();
  // The titles Prepare leaves out: the shell, the program, its help.
  static std::vector<std::string> RunningApplicationTitles();

  Label Label1, Label2, Label3;
  ListBox ListBox1;
  Button Continuer;

 protected:
  void FormShow() override;
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

 private:
  void ContinuerClick() { Close(mrOk); }
  void Timer1Timer() { Prepare(); }
};

// Installs the check RecordState runs before an interactive recording.
void UseRunningApplicationsDialog(TAutresApps& dialog);
