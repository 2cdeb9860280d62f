// A second start of the program finds the first one, says so and brings the
// first one's main window forward, without a main window of its own. Both
// instances are the real program, started in a program directory of their
// own (with a help file, so that start-up asks nothing).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/wine_fixture.h"

namespace {

struct Found {
  DWORD pid = 0;
  std::string title, cls;
  HWND window = nullptr;
  int count = 0;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM param) {
  auto& f = *reinterpret_cast<Found*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char title[256] = {}, cls[64] = {};
  GetWindowTextA(window, title, sizeof title);
  GetClassNameA(window, cls, sizeof cls);
  // The splash screen, a bare popup, bears the main window's title too.
  const bool captioned = (GetWindowLongA(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
  if (!IsWindowVisible(window) || !captioned || (f.pid && pid != f.pid) || title != f.title ||
      (!f.cls.empty() && cls != f.cls))
    return TRUE;
  if (!f.window) f.window = window;
  ++f.count;
  return TRUE;
}

// The visible top-level windows of that title (of that process when pid
// is set), waited for until at least one is there.
Found WaitForTopLevel(const std::string& title, DWORD pid, const std::string& cls, int milliseconds) {
  Found f;
  for (int waited = 0; waited <= milliseconds; waited += 50) {
    f = Found{pid, title, cls};
    EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&f));
    if (f.window) break;
    Sleep(50);
  }
  return f;
}

BOOL CALLBACK CollectText(HWND window, LPARAM param) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  if (text[0]) *reinterpret_cast<std::string*>(param) += std::string(text) + "|";
  return TRUE;
}

class Instance {
 public:
  Instance(const std::string& program, const std::string& directory) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string command = "\"" + program + "\"";
    started_ = CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              directory.c_str(), &si, &pi_);
  }
  ~Instance() {
    if (!started_) return;
    if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi_.hProcess, 9);
    WaitForSingleObject(pi_.hProcess, 10000);
    CloseHandle(pi_.hThread);
    CloseHandle(pi_.hProcess);
  }
  bool Started() const { return started_; }
  DWORD Pid() const { return pi_.dwProcessId; }
  // The exit code, or STILL_ACTIVE when it has not ended in time.
  DWORD WaitForExit(int milliseconds) const {
    WaitForSingleObject(pi_.hProcess, milliseconds);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(pi_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION pi_{};
  bool started_ = false;
};

// The program copied into a program directory of its own, with a help file
// so that start-up asks nothing.
struct ProgramDirectory {
  ProgramDirectory() : dir(ScratchDirectory()), program(dir + "pivalune.exe") {
    copied = CopyFileA(PV_PROGRAM_EXE, program.c_str(), FALSE);
    WriteFixtureFile(dir + "PIVALUNE.HLP", "", PackDosTime(1998, 12, 5, 14, 3, 6));
  }
  std::string dir, program;
  bool copied = false;
};

// The main window of a started instance; the splash screen stays five
// seconds before it shows.
HWND MainWindowOf(const Instance& instance) {
  return WaitForTopLevel("Pivalune 98", instance.Pid(), "", 30000).window;
}

}  // namespace

TEST(SecondInstance, SaysTheProgramRunsAndBringsTheFirstForward) {
  const ProgramDirectory installed;
  ASSERT_TRUE(installed.copied);
  Instance first(installed.program, installed.dir);
  ASSERT_TRUE(first.Started());
  const HWND main = MainWindowOf(first);
  ASSERT_NE(main, nullptr);
  ShowWindow(main, SW_MINIMIZE);
  for (int i = 0; i < 100 && !IsIconic(main); ++i) Sleep(50);
  ASSERT_TRUE(IsIconic(main));

  Instance second(installed.program, installed.dir);
  ASSERT_TRUE(second.Started());
  Found box = WaitForTopLevel("Pivalune", second.Pid(), "#32770", 15000);
  ASSERT_NE(box.window, nullptr);
  std::string texts;
  EnumChildWindows(box.window, CollectText, reinterpret_cast<LPARAM>(&texts));
  EXPECT_NE(texts.find("Pivalune est déjà lancé.|"), std::string::npos) << texts;
  // The second instance has no main window of its own.
  EXPECT_EQ(WaitForTopLevel("Pivalune 98", second.Pid(), "", 0).count, 0);
  PostMessageA(box.window, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(second.WaitForExit(15000), 0u);

  for (int i = 0; i < 100 && IsIconic(main); ++i) Sleep(50);
  EXPECT_FALSE(IsIconic(main));
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_EQ(WaitForTopLevel("Pivalune 98", 0, "", 0).count, 1);
}

// Each command of the main window shows its window in place of the main
// window, which comes back when it is closed.
TEST(ProgramWindows, TheMainWindowsButtonsShowTheirWindowsInItsPlace) {
  const ProgramDirectory installed;
  ASSERT_TRUE(installed.copied);
  Instance instance(installed.program, installed.dir);
  ASSERT_TRUE(instance.Started());
  const HWND main = MainWindowOf(instance);
  ASSERT_NE(main, nullptr);
  struct Command {
    const char* button;
    const char* title;
    const char* close = "Annuler";
  };
  const Command commands[] = {
      {"Configurer", "Pivalune 98 - Configuration"},
      {"Installer", "Pivalune 98 - Installer ou lancer une application"},
      {"Enregistrer", "Pivalune 98 - Enregistrer l'état actuel"},
      {"Archiver", "Pivalune 98 - Archivage"},
      {"Désinstaller", "Pivalune 98 - Désinstaller une application"},
      {"Comparer", "Pivalune 98 - Comparer à un état enregistré"},
      {"Restaurer", "Pivalune 98 - Restaurer un état enregistré"},
      {"Nettoyer", "Pivalune 98 - Nettoyer"},
      {"Optimiser", "Pivalune 98 - Chercher les doublons", "Fermer"},
  };
  for (const auto& [caption, title, close] : commands) {
    HWND button = FindWindowExA(main, nullptr, "Button", caption);
    ASSERT_NE(button, nullptr) << caption;
    PostMessageA(button, BM_CLICK, 0, 0);
    Found dialog = WaitForTopLevel(title, instance.Pid(), "", 10000);
    ASSERT_NE(dialog.window, nullptr) << caption;
    EXPECT_FALSE(IsWindowVisible(main)) << caption;
    HWND cancel = FindWindowExA(dialog.window, nullptr, "Button", close);
    ASSERT_NE(cancel, nullptr) << caption;
    PostMessageA(cancel, BM_CLICK, 0, 0);
    for (int i = 0; i < 200 && !IsWindowVisible(main); ++i) Sleep(50);
    EXPECT_TRUE(IsWindowVisible(main)) << caption;
    EXPECT_FALSE(IsWindowVisible(dialog.window)) << caption;
  }
}
