// Drives the running program as a user does, by messages sent to its
// windows from this second process, and prints each step and the texts it
// read. Two scenarios:
//   drive_program.exe installer <drive, e.g. a:> <program file> <report name>
//                     [--first-run <program>] [--keep]
//     the main window's "Installer", then the wizard from the file chooser
//     to the report viewer; --first-run starts the installed application
//     once the installer has ended, before the after state is recorded;
//     --keep leaves the program running at the end.
//   drive_program.exe desinstaller <application> <report>
//     the main window's "Désinstaller": the application's own uninstaller
//     with a report, then the undo of the installation report <report>.
// Exit code 0 once the scenario has gone to its end.
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
constexpr const char* UninstallTitle = "Pivalune 98 - Désinstaller une application";

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
  std::fprintf(stderr, "drive_program: %s\n", what.c_str());
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

// The main window, once the splash screen and the warnings of start-up
// are gone.
HWND MainWindow() {
  HWND main = nullptr;
  WaitUntil([&] {
    // The warning of a missing help file comes first.
    if (HWND box = TopLevel("Avertissement")) PostMessageA(box, WM_COMMAND, IDOK, 0);
    return (main = TopLevel(MainTitle)) != nullptr;
  }, 60);
  return main;
}

// Starts a program and waits until it has ended.
bool RunToEnd(const std::string& program) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string command = "\"" + program + "\"";
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return Fail("cannot start " + program);
  WaitForSingleObject(pi.hProcess, 60000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

// The texts of the wizard's lines, as a user reads them.
std::string Texts(HWND wizard) {
  std::string texts;
  for (HWND label : Children(wizard, "", "Static"))
    if (IsWindowVisible(label) && !TextOf(label).empty()) texts += "   " + TextOf(label) + "\n";
  return texts;
}

// The program asks whether to quit at the highest level of confirmation.
void Quit(HWND main) {
  PostMessageA(main, WM_CLOSE, 0, 0);
  HWND question = nullptr;
  if (WaitUntil([&] { return (question = TopLevel("Confirmation")) != nullptr; }, 10)) {
    PostMessageA(question, WM_COMMAND, IDOK, 0);
    Step("fin du programme");
  }
}

bool Install(const std::string& drive, const std::string& file, const std::string& name,
             const std::string& firstRun, bool keep) {
  Step("fenêtre principale");
  HWND main = MainWindow();
  if (!main) return Fail("the main window did not come");
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
  if (!firstRun.empty()) {
    HWND next = nullptr;
    if (!WaitUntil([&] { return (next = Child(wizard, "Suivant >")) && IsWindowEnabled(next); }, 300))
      return Fail("the installation did not end");
    Step("premier lancement : " + firstRun);
    if (!RunToEnd(firstRun)) return false;
  }
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
  if (!keep) Quit(main);
  return true;
}

// A line of a list box of the program. Wine hands the text of another
// process's list over in UTF-16 only: it is read wide and turned into the
// program's CP1252.
std::string ListLine(HWND list, int index) {
  std::vector<wchar_t> wide(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, index, 0)) + 1);
  SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(wide.data()));
  std::vector<char> text(wide.size() * 2 + 1);
  WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, text.data(), static_cast<int>(text.size()), nullptr, nullptr);
  return text.data();
}

// The line of a list that holds the text, chosen as a click would.
bool ChooseLineWith(HWND list, const std::string& text, int seconds) {
  int index = -1;
  auto count = [&] { return static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0)); };
  if (!WaitUntil([&] {
        for (int i = 0; i < count() && index < 0; ++i)
          if (ListLine(list, i).find(text) != std::string::npos) index = i;
        return index >= 0;
      }, seconds)) {
    std::string lines;
    for (int i = 0; i < count(); ++i) lines += "\n  " + ListLine(list, i);
    return Fail("no line with " + text + " among " + std::to_string(count()) + ":" + lines);
  }
  SendMessageA(list, LB_SETCURSEL, index, 0);
  Notify(list, LBN_SELCHANGE);
  return true;
}

bool Uninstall(const std::string& application, const std::string& report) {
  Step("fenêtre principale");
  HWND main = MainWindow();
  if (!main) return Fail("the main window did not come");
  if (!Press(main, "Désinstaller", 10)) return false;
  HWND wizard = nullptr;
  if (!WaitUntil([&] { return (wizard = TopLevel(UninstallTitle)) != nullptr; }, 10)) return Fail("no wizard");
  auto lists = Children(wizard, "", "ListBox");
  if (lists.empty()) return Fail("no list");
  Step("étape A : " + application);
  if (!ChooseLineWith(lists.front(), application, 10)) return false;
  if (!Press(wizard, "Suivant >", 5)) return false;
  Step("étape B : avec un rapport de désinstallation");
  if (!Press(wizard, "Suivant >", 5)) return false;
  Step("étape C : le programme de désinstallation");
  if (!Press(wizard, "Suivant >", 5)) return false;
  if (!WaitUntil([&] {
        return Child(wizard, "a bien fonctionné.") || Child(wizard, "n'a pas fonctionné correctement.");
      }, 300))
    return Fail("no step D");
  Step("étape D");
  std::printf("%s", Texts(wizard).c_str());
  if (!Press(wizard, "Suivant >", 5)) return false;
  Step("étape E : " + report);
  if (!ChooseLineWith(lists.front(), report, 10)) return false;
  if (!Press(wizard, "Suivant >", 5)) return false;
  Step("étape F");
  std::printf("%s", Texts(wizard).c_str());
  if (!Press(wizard, "Suivant >", 5)) return false;
  if (!WaitUntil([&] { return Child(wizard, "Terminer") && IsWindowVisible(wizard); }, 300))
    return Fail("no step G");
  Step("étape G");
  std::printf("%s", Texts(wizard).c_str());
  if (!Press(wizard, "Terminer", 5)) return false;
  if (!WaitUntil([&] {
        // WIN.INI or a start-up file changed: wait with the restart.
        if (HWND prompt = TopLevel(MainTitle); prompt && Child(prompt, "&Attendre"))
          PostMessageA(Child(prompt, "&Attendre"), BM_CLICK, 0, 0);
        return !IsWindow(wizard) || !IsWindowVisible(wizard);
      }, 10))
    return Fail("the wizard did not close");
  Step("assistant fermé");
  Quit(main);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() >= 4 && args[0] == "installer") {
    std::string firstRun;
    bool keep = false;
    for (size_t i = 4; i < args.size(); ++i) {
      if (args[i] == "--first-run" && i + 1 < args.size()) firstRun = args[++i];
      else if (args[i] == "--keep") keep = true;
    }
    return Install(args[1], args[2], args[3], firstRun, keep) ? 0 : 1;
  }
  if (args.size() == 3 && args[0] == "desinstaller") return Uninstall(args[1], args[2]) ? 0 : 1;
  std::fprintf(stderr, "usage: drive_program installer <drive> <file> <name> [--first-run <program>] [--keep]\n"
                       "       drive_program desinstaller <application> <report>\n");
  return 2;
}
