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
  // Hidden before the next one is looked for: a box being closed still has
  // its title and would be answered twice.
  for (int i = 0; i < 250 && IsWindow(box) && IsWindowVisible(box); ++i) Sleep(20);
  return text;
}

void WhileModal(const std::function<void()>& modal, const std::function<void()>& script) {
  std::thread driver(script);
  modal();
  driver.join();
}

namespace {

struct OwnedSearch {
  HWND owner;
  DWORD thread;
  std::vector<std::string> titles;
  HWND found = nullptr;
};

BOOL CALLBACK FindOwnedBox(HWND window, LPARAM param) {
  auto& s = *reinterpret_cast<OwnedSearch*>(param);
  if (window == s.owner || !IsWindowVisible(window) || GetWindowThreadProcessId(window, nullptr) != s.thread) return TRUE;
  char cls[16] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (std::string(cls) != "#32770") return TRUE;
  if (!s.titles.empty() && std::find(s.titles.begin(), s.titles.end(), TextOf(window)) == s.titles.end()) return TRUE;
  s.found = window;
  return FALSE;
}

// A visible dialog box of the thread of `owner` (of one of these titles, or
// any when none are given), waited for up to `milliseconds`. Boxes are found
// by their thread: a box opened with no owner belongs to no window.
HWND WaitForOwnedBox(HWND owner, const std::vector<std::string>& titles, int milliseconds) {
  for (int waited = 0; waited <= milliseconds; waited += 20) {
    OwnedSearch s{owner, GetWindowThreadProcessId(owner, nullptr), titles};
    EnumWindows(FindOwnedBox, reinterpret_cast<LPARAM>(&s));
    if (s.found) return s.found;
    Sleep(20);
  }
  return nullptr;
}

}  // namespace

std::vector<std::string> AnswerMessageBoxesUntilIdle(HWND window, const std::vector<std::pair<std::string, int>>& answers) {
  std::vector<std::string> titles;
  for (const auto& [title, button] : answers) titles.push_back(title);
  std::vector<std::string> texts;
  HWND box = WaitForOwnedBox(window, titles, 5000);
  while (box) {
    const std::string title = TextOf(box);
    texts.push_back(MessageBoxText(box));
    int button = IDOK;
    for (const auto& [t, b] : answers)
      if (t == title) button = b;
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    for (int i = 0; i < 1000 && IsWindow(box) && IsWindowVisible(box); ++i) Sleep(10);
    // The window's thread answers once it waits for messages again: in the
    // next box or back in its own loop, however long the work between took.
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, nullptr);
    box = WaitForOwnedBox(window, titles, 500);
  }
  return texts;
}

void EndWindow(HWND window) {
  for (int i = 0; i < 250 && IsWindowVisible(window); ++i) Sleep(20);
  if (!IsWindowVisible(window)) return;
  // A box a failed script left unanswered would hold the window's loop.
  while (HWND box = WaitForOwnedBox(window, {}, 0)) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    for (int i = 0; i < 250 && IsWindow(box) && IsWindowVisible(box); ++i) Sleep(20);
    if (IsWindow(box) && IsWindowVisible(box)) break;
  }
  PostMessageA(window, WM_CLOSE, 0, 0);
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
