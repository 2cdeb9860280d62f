#include "ui/wait_window.h"

TWaitWindow::TWaitWindow(HWND owner) {
  if (!CreateForm(owner, "Pivalune 98 - Patientez", 423, 31, WS_POPUP | WS_CAPTION | WS_DLGFRAME))
    return;
  Attendre = AddPanel("", 0, 0, 423, 31);
}

void TWaitWindow::Show(const std::string& text) {
  if (!Created()) return;
  Attendre.SetText(text);
  ShowWindow(Handle(), SW_SHOWNA);
  SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
}

void TWaitWindow::Hide() {
  if (Created()) ShowWindow(Handle(), SW_HIDE);
}
