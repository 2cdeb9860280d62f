#include "support/gui_driver.h"

#include <algorithm>

namespace {

struct Search {
  std::string title;
  HWND found = nullptr;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM param) {
  auto& s = *reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  if (TextOf(window) == s.title) {
    s.found = window;
    return FALSE;
  }
  return TRUE;
}

struct ChildSearch {
  std::string text, cls;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
  auto& s = *reinterpret_cast<ChildSearch*>(param);
  char cls[64] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (!s.cls.empty() && _stricmp(cls, s.cls.c_str()) == 0) s.found.push_back(window);
  if (s.cls.empty() && TextOf(window) == s.text) s.found.push_back(window);
  return TRUE;
}

}  // namespace

std::string TextOf(HWND window) {
  char text[4096] = {};
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 2000, nullptr);
  return text;
}

HWND WaitForWindow(const std::string& title, int milliseconds) {
  for (int waited = 0; waited <= milliseconds; waited += 20) {
    Search s{title};
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&s));
    if (s.found) return s.found;
    Sleep(20);
  }
  return nullptr;
}

HWND FindControl(HWND parent, const std::string& text) {
  ChildSearch s{text, "", {}};
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&s));
  return s.found.empty() ? nullptr : s.found.front();
}

std::vector<HWND> ControlsOfClass(HWND parent, const std::string& cls) {
  ChildSearch s{"", cls, {}};
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

void Click(HWND button) {
  // Posted, so that a handler that opens a message box does not hold this
  // thread, which has to answer it; the window's own thread presses and
  // releases the button as a mouse click would.
  PostMessageA(button, BM_CLICK, 0, 0);
  Sleep(50);
}

void MouseOver(HWND control) {
  PostMessageA(control, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
  Sleep(100);
}

std::string MessageBoxText(HWND box) {
  for (HWND s : ControlsOfClass(box, "Static")) {
    std::string text = TextOf(s);
    if (!text.empty()) return text;
  }
  return "";
}

std::string AnswerMessageBox(const std::string& title, int button, int milliseconds) {
  HWND box = WaitForWindow(title, milliseconds);
  if (!box) return "";
  std::string text = MessageBoxText(box);
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  return text;
}

void WhileModal(const std::function<void()>& modal, const std::function<void()>& script) {
  std::thread driver(script);
  modal();
  driver.join();
}

void EndWindow(HWND window) {
  for (int i = 0; i < 250 && IsWindowVisible(window); ++i) Sleep(20);
  if (IsWindowVisible(window)) PostMessageA(window, WM_CLOSE, 0, 0);
}

int DriveModal(const std::function<int()>& showModal, const std::string& title,
               const std::function<void(HWND)>& script) {
  int result = -1;
  WhileModal([&] { result = showModal(); },
             [&] {
               HWND w = WaitForWindow(title);
               if (!w) return;
               // The first message the window answers comes after its
               // activation: its controls hold what it shows by then.
               SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_NORMAL, 2000, nullptr);
               script(w);
               EndWindow(w);
             });
  return result;
}

bool IsChecked(HWND box) {
  DWORD_PTR state = 0;
  SendMessageTimeoutA(box, BM_GETCHECK, 0, 0, SMTO_NORMAL, 2000, &state);
  return state == BST_CHECKED;
}

POINT CentreOf(HWND dialog, HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  POINT p{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ScreenToClient(dialog, &p);
  return p;
}

// Wine may lose the move of a warped pointer behind an older one, so the
// pointer is nudged again every so often; the bar is set to "?" first so
// that an older hint can never pass for the one asked for.
std::string HintAt(HWND dialog, HWND bar, POINT client, const std::string& expected) {
  SendMessageTimeoutA(bar, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("?"), SMTO_NORMAL, 2000, nullptr);
  ClientToScreen(dialog, &client);
  std::string text;
  for (int waited = 0; waited <= 2000; waited += 10) {
    if (waited % 200 == 0) SetCursorPos(client.x + (waited / 200) % 2, client.y);
    text = TextOf(bar);
    if (text == expected) break;
    Sleep(10);
  }
  return text;
}

namespace {
std::string ClassName(HWND window) {
  char cls[64] = {};
  GetClassNameA(window, cls, sizeof cls);
  return cls;
}

void Notify(HWND control, WORD code) {
  SendMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
               reinterpret_cast<LPARAM>(control));
}
}  // namespace

bool ChooseItem(HWND list, const std::string& item) {
  const bool combo = _stricmp(ClassName(list).c_str(), "ComboBox") == 0;
  const LRESULT index = SendMessageA(list, combo ? CB_FINDSTRINGEXACT : LB_FINDSTRINGEXACT,
                                     static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(item.c_str()));
  if (index < 0) return false;
  SendMessageA(list, combo ? CB_SETCURSEL : LB_SETCURSEL, index, 0);
  Notify(list, combo ? CBN_SELCHANGE : LBN_SELCHANGE);
  return true;
}

void DoubleClickItem(HWND list) { Notify(list, LBN_DBLCLK); }

void TypeText(HWND edit, const std::string& text) {
  for (char c : text) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
}

bool WaitUntil(const std::function<bool()>& condition, int milliseconds) {
  for (int waited = 0; waited <= milliseconds; waited += 50) {
    if (condition()) return true;
    Sleep(50);
  }
  return condition();
}
