#include "undo/restart_prompt.h"

#include "shell/program_state.h"
#include "ui/messages.h"

namespace {
constexpr UINT_PTR Timer = 1;
constexpr const char* FirstText = "  Certains fichiers-système de Windows ont été modifiés.";
constexpr const char* SecondText =
    "  Il est nécessaire de faire redémarrer l'ordinateur pour prendre en compte les nouveaux paramètres.";
}  // namespace

bool RequestWindowsRestart() {
  // Windows 95 and 98 restart without any privilege; NT needs this one.
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid))
      AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
    CloseHandle(token);
  }
  return ExitWindowsEx(EWX_REBOOT, 0) != 0;
}

TReStart::TReStart(HWND owner) : RestartWindows(RequestWindowsRestart) {
  // The second text takes two lines at Wine's fonts.
  if (!CreateForm(owner, "Pivalune 98", 520, 136, WS_CAPTION, WS_EX_TOPMOST)) return;
  Panel1 = AddPanel("", 8, 8, 504, 72);
  Label1 = AddLabel(FirstText, 14, 14, 492, 18);
  Label2 = AddLabel(SecondText, 14, 38, 492, 36);
  Redmarrermaintenant = AddButton("&Redémarrer maintenant", 110, 94, 150, 28,
                                  [this] { RedmarrermaintenantClick(); }, "", true);
  Attendre = AddButton("&Attendre", 280, 94, 120, 28, [this] { AttendreClick(); });
}

void TReStart::FormActivate() {
  Label1.SetText(FirstText);
  Label2.SetText(SecondText);
  Redmarrermaintenant.SetVisible(true);
  Attendre.SetVisible(true);
}

void TReStart::RedmarrermaintenantClick() {
  Label1.SetText(" Veuillez patienter quelques instants.");
  Label2.SetText(" Pivalune referme toutes les applications avant de faire redémarrer l'ordinateur.");
  Redmarrermaintenant.SetVisible(false);
  Attendre.SetVisible(false);
  StartTimer(Timer, 1000, [this] { TimerTimer(); });
  Repaint();
  if (RestartWindows) RestartWindows();
  Close(1);
}

void TReStart::Repaint() {
  RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

bool WizardClosesAfterRestartPrompt(TForm* wizard, TReStart& prompt) {
  if (!Program.StartupFilesChanged && !Program.WindowsIniChanged) return true;
  return ShowDialogInstead(wizard, prompt) == 2;
}
