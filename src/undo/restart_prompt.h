// "Pivalune 98": after an undo that changed start-up or Windows files,
// restart Windows now (result 1) or later (result 2).
#pragma once
#include <functional>

#include "ui/form.h"

class TReStart : public TForm {
 public:
  explicit TReStart(HWND owner);

  Button Redmarrermaintenant, Attendre;
  Panel Panel1;
  Label Label1, Label2;

  // Asks Windows to restart the machine; tests put a recorder here.
  std::function<bool()> RestartWindows;

 protected:
  void FormActivate() override;

 private:
  void RedmarrermaintenantClick();
  void AttendreClick() { Close(2); }
  void TimerTimer() { Repaint(); }
  void Repaint();
};

// The restart request with the shutdown privilege that Windows NT asks for.
bool RequestWindowsRestart();

// The end of a wizard's undo run: when it changed a start-up file or
// WIN.INI, the prompt is shown in place of the wizard. True when the wizard
// is to close (nothing changed, or the user restarts later); false while
// Windows restarts the machine, the wizard staying on its last step.
bool WizardClosesAfterRestartPrompt(TForm* wizard, TReStart& prompt);
