// Drives the running program as a user watches an installation: the main
// window's "Installer", then the wizard from the file chooser to the report
// viewer, by messages sent to the program's windows from this second
// process. Prints each step, and at the end the report the viewer showed.
//   drive_install.exe <drive, e.g. a:> <program file> <report name>
// Exit code 0 once the wizard has closed after "Terminer".
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr const char* MainTitle = "Pivalune 98";
constexpr const char* WizardTitle = "Pivalune 98 - Installer ou lancer une application";
constexpr const char* ViewerTitle = "Pivalune 98 - Rapport";

std::string TextOf(HWND window) {
  std::vector<char> text(1 << 20);
  SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, 5000, nullptr);
  return text.data();
}

bool WaitUntil(const std::function<bool()>& condition, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (condition()) return true;
    Sleep(100);
  }
  return condition();
}

struct TopLevelSearch {
  const char* title;
  HWND found = nullptr;
};

BOOL CALLBACK FindCaptioned(HWND w, LPARAM param) {
  auto& s = *reinterpret_cast<TopLevelSearch*>(param);
  char title[256] = {};
  GetWindowTextA(w, title, sizeof title);
  // The splash screen, a bare popup, bears the main window's title too.
  const bool captioned = (GetWindowLongA(w, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
  if (!IsWindowVisible(w) || !captioned || std::strcmp(title, s.title) != 0) return TRUE;
  s.found = w;
  return FALSE;
}

// The visible window of that title with a caption: a window, a dialog or a
// message box.
HWND TopLevel(const char* title) {
  TopLevelSearch s{title};
  EnumWindows(FindCaptioned, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

struct ChildSearch {
  std::string text, cls;
  std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND w, LPARAM param) {
  auto& s = *reinterpret_cast<ChildSearch*>(param);
  char cls[64] = {};
  GetClassNameA(w, cls, sizeof cls);
  if (!s.cls.empty() ? _stricmp(cls, s.cls.c_str()) == 0 : TextOf(w) == s.text) s.found.push_back(w);
  return TRUE;
}

std::vector<HWND> Children(HWND parent, const std::string& text, const std::string& cls = "") {
  ChildSearch s{text, cls, {}};
  EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

HWND Child(HWND parent, const std::string& text) {
  auto found = Children(parent, text);
  return found.empty() ? nullptr : found.front();
}

void Notify(HWND control, WORD code) {
  SendMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
               reinterpret_cast<LPARAM>(control));
}

bool Fail(const std::string& what) {
  std::fprintf(stderr, "drive_install: %s\n", what.c_str());
  return false;
}

void Step(const std::string& what) {
  std::printf("-- %s\n", what.c_str());
  std::fflush(stdout);
}

// Clicks the button of that text once it is enabled.
bool Press(HWND window, const std::string& text, int seconds) {
  HWND button = nullptr;
  if (!WaitUntil([&] { return (button = Child(window, text)) && IsWindowEnabled(button); }, seconds))
    return Fail("no enabled button \"" + text + "\"");
  PostMessageA(button, BM_CLICK, 0, 0);
  Sleep(300);
  return true;
}

bool Choose(HWND list, bool combo, const std::string& item, int seconds) {
  LRESULT index = -1;
  if (!WaitUntil([&] {
        index = SendMessageA(list, combo ? CB_FINDSTRINGEXACT : LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(item.c_str()));
        return index >= 0;
      }, seconds))
    return Fail("no item " + item);
  SendMessageA(list, combo ? CB_SETCURSEL : LB_SETCURSEL, index, 0);
  Notify(list, combo ? CBN_SELCHANGE : LBN_SELCHANGE);
  return true;
}

bool Run(const std::string& drive, const std::string& file, const std::string& name) {
  Step("fenêtre principale");
  HWND main = nullptr;
  if (!WaitUntil([&] {
        // The warning of a missing help file comes first.
        if (HWND box = TopLevel("Avertissement")) PostMessageA(box, WM_COMMAND, IDOK, 0);
        return (main = TopLevel(MainTitle)) != nullptr;
      }, 60))
    return Fail("the main window did not come");
  Sleep(500);
  if (!Press(main, "Installer", 10)) return false;

  HWND wizard = nullptr;
  if (!WaitUntil([&] { return (wizard = TopLevel(WizardTitle)) != nullptr; }, 10)) return Fail("no wizard");
  Step("page A : " + drive + "\\" + file);
  auto combos = Children(wizard, "", "ComboBox");
  auto lists = Children(wizard, "", "ListBox");
  if (combos.empty() || lists.size() < 2) return Fail("no file chooser");
  if (!Choose(combos.front(), true, drive, 5) || !Choose(lists.front(), false, file, 5)) return false;
  if (!Press(wizard, "Suivant >", 5)) return false;

  Step("page B : " + name);
  auto edits = Children(wizard, "", "Edit");
  if (edits.empty()) return Fail("no name field");
  for (char c : name) SendMessageA(edits.front(), WM_CHAR, static_cast<unsigned char>(c), 1);
  if (!Press(wizard, "Suivant >", 5)) return false;
  Step("page C");
  if (!Press(wizard, "Suivant >", 5)) return false;

  Step("pages D et E : enregistrement, puis le programme lancé");
  if (!WaitUntil([&] { return Child(wizard, "Interrompre") != nullptr; }, 300)) return Fail("no page E");
  if (!Press(wizard, "Suivant >", 300)) return false;

  Step("pages G et H : comparaison");
  if (!WaitUntil([&] {
        if (HWND warning = TopLevel("Pivalune 98 - Avertissement")) PostMessageA(warning, WM_CLOSE, 0, 0);
        HWND finish = Child(wizard, "Terminer");
        return finish && IsWindowVisible(wizard);
      }, 300))
    return Fail("no page H");
  if (!Press(wizard, "Rapport", 5)) return false;

  HWND viewer = nullptr;
  if (!WaitUntil([&] { return (viewer = TopLevel(ViewerTitle)) != nullptr; }, 10)) return Fail("no report viewer");
  Sleep(500);
  auto memo = Children(viewer, "", "Edit");
  if (memo.empty()) return Fail("no report text");
  Step("rapport affiché");
  std::printf("%s\n", TextOf(memo.front()).c_str());
  PostMessageA(viewer, WM_CLOSE, 0, 0);
  if (!WaitUntil([&] { return IsWindowVisible(wizard) != 0; }, 10)) return Fail("the wizard did not come back");
  if (!Press(wizard, "Terminer", 5)) return false;
  if (!WaitUntil([&] { return !IsWindow(wizard) || !IsWindowVisible(wizard); }, 10))
    return Fail("the wizard did not close");
  Step("assistant fermé");
  // The program asks whether to quit, at the level of confirmation of a
  // new installation.
  PostMessageA(main, WM_CLOSE, 0, 0);
  HWND question = nullptr;
  if (WaitUntil([&] { return (question = TopLevel("Confirmation")) != nullptr; }, 10)) {
    PostMessageA(question, WM_COMMAND, IDOK, 0);
    Step("fin du programme");
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: drive_install <drive> <program file> <report name>\n");
    return 2;
  }
  return Run(argv[1], argv[2], argv[3]) ? 0 : 1;
}
