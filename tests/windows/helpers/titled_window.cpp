// A foreign application for the tests: one visible top-level window with
// the title given on the command line, until it is closed or killed.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = [](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
    if (m == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(h, m, w, l);
  };
  wc.hInstance = instance;
  wc.lpszClassName = "PvTitledWindow";
  RegisterClassA(&wc);
  HWND h = CreateWindowA("PvTitledWindow", commandLine, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                         100, nullptr, nullptr, instance, nullptr);
  if (!h) return 1;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}
