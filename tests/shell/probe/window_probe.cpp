// Exit code 0 when this process can create a top-level window, 1 when it
// cannot: the command-line tests check with it that a process started
// without DISPLAY has no display to show anything on.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  HWND window = CreateWindowExA(0, "STATIC", "probe", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!window) return 1;
  DestroyWindow(window);
  return 0;
}
