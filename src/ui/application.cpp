#include "ui/application.h"

namespace {

HWND AppWindow = nullptr;
HWND MainWindow = nullptr;
constexpr UINT WmBringForward = WM_APP + 1;

void BringProgramForward() {
  if (!MainWindow) return;
  if (IsIconic(MainWindow)) ShowWindow(MainWindow, SW_RESTORE);
  // While a dialog is shown in place of the main window, that dialog.
  HWND target = GetLastActivePopup(MainWindow);
  if (!IsWindowVisible(target)) target = MainWindow;
  if (IsWindowVisible(target)) {
    BringWindowToTop(target);
    SetForegroundWindow(target);
  }
}

LRESULT CALLBACK ApplicationProc(HWND h, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SHOWWINDOW:
      // Another instance restored this window: it stays hidden and hands
      // the activation on.
      if (wParam) PostMessageA(h, WmBringForward, 0, 0);
      return 0;
    case WmBringForward:
      ShowWindow(h, SW_HIDE);
      BringProgramForward();
      return 0;
  }
  return DefWindowProcA(h, message, wParam, lParam);
}

}  // namespace

bool CreateApplicationWindow() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = ApplicationProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = ApplicationClassName;
  RegisterClassA(&wc);
  AppWindow = CreateWindowExA(WS_EX_TOOLWINDOW, ApplicationClassName, ApplicationTitle, WS_POPUP, 0, 0,
                              0, 0, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  return AppWindow != nullptr;
}

void SetApplicationMainWindow(HWND main) { MainWindow = main; }
HWND ApplicationWindow() { return AppWindow; }

void DestroyApplicationWindow() {
  if (AppWindow) DestroyWindow(AppWindow);
  AppWindow = nullptr;
  MainWindow = nullptr;
}
