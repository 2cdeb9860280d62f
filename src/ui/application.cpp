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
    case WM_WINDOWPOSCHANGING: {
      // Another instance restores this window to bring the program
      // forward: the window itself stays hidden (showing and hiding the
      // owner of every window would hide them too) and hands the
      // activation on.
      auto* position = reinterpret_cast<WINDOWPOS*>(lParam);
      if (position->flags & SWP_SHOWWINDOW) {
        position->flags &= ~SWP_SHOWWINDOW;
        PostMessageA(h, WmBringForward, 0, 0);
      }
      return 0;
    }
    case WmBringForward:
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
