#include "ui/messages.h"

#include "services/io_error.h"
#include "shell/program_state.h"
#include "ui/form.h"

namespace {

const char* TitleOf(MessageKind kind) {
  switch (kind) {
    case MessageKind::Warning: return "Avertissement";
    case MessageKind::Error: return "Erreur";
    case MessageKind::Information: return "Information";
    default: return "Confirmation";
  }
}

UINT StyleOf(MessageKind kind, MessageButtons buttons) {
  UINT icon = kind == MessageKind::Warning ? MB_ICONWARNING
              : kind == MessageKind::Error ? MB_ICONERROR
              : kind == MessageKind::Information ? MB_ICONINFORMATION
                                                 : MB_ICONQUESTION;
  UINT set = buttons == MessageButtons::Ok ? MB_OK : buttons == MessageButtons::OkCancel ? MB_OKCANCEL : MB_YESNO;
  return icon | set;
}

int OpenMessageBoxes = 0;
DWORD MessageBoxClosedAt = 0;
bool AnyMessageBoxClosed = false;

}  // namespace

bool ReturningFromMessageBox() {
  // Wine activates the owner again while the box is being destroyed, before
  // MessageBoxA returns; Windows may post it just after.
  return OpenMessageBoxes > 0 || (AnyMessageBoxClosed && GetTickCount() - MessageBoxClosedAt < 1000);
}

int ShowMessageBox(const std::string& text, MessageKind kind, MessageButtons buttons, int) {
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  HWND owner = GetActiveWindow();
  ++OpenMessageBoxes;
  int answer = MessageBoxA(owner, text.c_str(), TitleOf(kind), StyleOf(kind, buttons) | MB_TASKMODAL);
  --OpenMessageBoxes;
  MessageBoxClosedAt = GetTickCount();
  AnyMessageBoxClosed = true;
  SetCursor(previous);
  return answer;
}

void ShowDiskError(int code) {
  ShowMessageBox(DiskErrorText(code), MessageKind::Error, MessageButtons::Ok);
}

int ShowDialogInstead(TForm* caller, TForm& dialog) {
  if (!caller) return dialog.ShowModal();
  caller->Hide();
  int result = dialog.ShowModal();
  caller->Show();
  BringWindowToTop(caller->Handle());
  return result;
}

std::string HelpFileName() { return Program.ProgramDirectory + "PIVALUNE.HLP"; }

void ShowHelp(HWND window, int context) {
  if (!Program.HelpAvailable) return;
  WinHelpA(window, HelpFileName().c_str(), HELP_CONTEXT, static_cast<ULONG_PTR>(context));
}
