// The dialogs that close an operation or precede a recording.
#include <gtest/gtest.h>

#include <algorithm>

#include "recording/running_apps_dialog.h"
#include "shell/program_state.h"
#include "support/gui_driver.h"
#include "ui/application.h"
#include "undo/replaced_files_warning.h"
#include "undo/restart_prompt.h"

namespace {

// Another program with one visible window of that title.
class ForeignApplication {
 public:
  explicit ForeignApplication(const std::string& title) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string exe = self;
    exe = exe.substr(0, exe.rfind('\\') + 1) + "titled_window.exe";
    std::string cmd = "\"" + exe + "\" " + title;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    started_ = CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_);
    for (int i = 0; started_ && i < 100 && !Listed(title); ++i) Sleep(50);
  }
  ~ForeignApplication() { Kill(); }
  void Kill() {
    if (!started_) return;
    TerminateProcess(pi_.hProcess, 0);
    WaitForSingleObject(pi_.hProcess, 5000);
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
    started_ = false;
  }
  bool started() const { return started_; }

 private:
  // Its window exists and is shown: created is not enough to be listed.
  static bool Listed(const std::string& title) {
    HWND window = FindWindowA("PvTitledWindow", title.c_str());
    return window && IsWindowVisible(window);
  }
  PROCESS_INFORMATION pi_{};
  bool started_ = false;
};

bool Contains(const std::vector<std::string>& list, const std::string& s) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

}  // namespace

TEST(RunningApplications, ListsOtherProgramsButNeitherTheShellNorPivaluneNorItsHelp) {
  ASSERT_TRUE(CreateApplicationWindow());
  {
    TAutresApps dialog(nullptr);
    TAttention ownWindow(nullptr);  // a visible window of the program itself
    ownWindow.Show();
    ForeignApplication editor("Bloc-notes de test");
    ForeignApplication shell("Program Manager");
    ForeignApplication help("Aide de Pivalune");
    ASSERT_TRUE(editor.started() && shell.started() && help.started());
    std::vector<std::string> titles = TAutresApps::RunningApplicationTitles();
    EXPECT_TRUE(Contains(titles, "Bloc-notes de test"));
    for (const char* left : {"Program Manager", "Aide de Pivalune", "Pivalune", "Pivalune 98 - Avertissement"})
      EXPECT_FALSE(Contains(titles, left)) << left;
    dialog.Prepare();
    EXPECT_EQ(dialog.ListBox1.Count(), static_cast<int>(titles.size()));
  }
  DestroyApplicationWindow();
}

TEST(RunningApplications, DialogClosesByItselfOnceTheLastApplicationIsGone) {
  ASSERT_TRUE(CreateApplicationWindow());
  struct AppWindow { ~AppWindow() { DestroyApplicationWindow(); } } appWindow;
  TAutresApps dialog(nullptr);
  ForeignApplication editor("Calculatrice de test");
  ASSERT_TRUE(editor.started());
  dialog.Prepare();
  ASSERT_GT(dialog.ListBox1.Count(), 0);
  bool otherWindows = false;
  int result = 0;
  DWORD start = GetTickCount();
  WhileModal([&] { result = dialog.ShowModal(); },
             [&] {
               HWND w = WaitForWindow("Pivalune 98 - Applications en cours");
               if (!w) return;
               EXPECT_EQ(TextOf(FindControl(w, "Les applications suivantes sont en cours d'exécution :")),
                         "Les applications suivantes sont en cours d'exécution :");
               editor.Kill();
               // The three-second refresh must close it; if other programs of
               // the prefix keep it open, say so and close it.
               Sleep(4500);
               if (IsWindowVisible(w)) {
                 otherWindows = true;
                 Click(FindControl(w, "Continuer"));
               }
             });
  std::string listed;
  for (const auto& title : TAutresApps::RunningApplicationTitles()) listed += "[" + title + "] ";
  EXPECT_FALSE(otherWindows) << "still listed: " << listed;
  EXPECT_EQ(result, mrOk);
  EXPECT_LT(GetTickCount() - start, 9000u);
}

TEST(ReplacedFilesWarning, TitleIsSingularForOneFileAndPluralOtherwise) {
  struct Case { std::vector<std::string> lines; const char* title; };
  const Case cases[] = {
      {{"C:\\WINDOWS\\SYSTEM\\MFC42.DLL      995 328 05/12/1998 14:03"}, "ATTENTION! Le fichier suivant a été remplacé"},
      {{"C:\\A\\X.DLL", "C:\\B\\Y.DLL"}, "ATTENTION! Les fichiers suivants ont été remplacés"},
  };
  for (const auto& c : cases) {
    TAttention warning(nullptr);
    warning.SetLines(c.lines);
    std::string title, list;
    WhileModal([&] { warning.ShowModal(); },
               [&] {
                 HWND w = WaitForWindow("Pivalune 98 - Avertissement");
                 if (!w) return;
                 Sleep(100);
                 title = warning.Label1.Text();
                 list = warning.Liste.Text();
                 Click(FindControl(w, "OK"));
               });
    EXPECT_EQ(title, c.title);
    EXPECT_EQ(list.substr(0, c.lines[0].size()), c.lines[0]);
  }
}

TEST(RestartPrompt, WaitingEndsWithTwoAndRestartingAsksWindowsAndEndsWithOne) {
  TReStart prompt(nullptr);
  int restarts = 0;
  prompt.RestartWindows = [&] { ++restarts; return true; };
  int result = 0;
  WhileModal([&] { result = prompt.ShowModal(); },
             [&] { Click(FindControl(WaitForWindow("Pivalune 98"), "&Attendre")); });
  EXPECT_EQ(result, 2);
  EXPECT_EQ(restarts, 0);

  std::string first, second;
  WhileModal([&] { result = prompt.ShowModal(); },
             [&] { Click(FindControl(WaitForWindow("Pivalune 98"), "&Redémarrer maintenant")); });
  EXPECT_EQ(result, 1);
  EXPECT_EQ(restarts, 1);
  EXPECT_EQ(prompt.Label1.Text(), " Veuillez patienter quelques instants.");
  EXPECT_EQ(prompt.Label2.Text(),
            " Pivalune referme toutes les applications avant de faire redémarrer l'ordinateur.");
  EXPECT_FALSE(prompt.Redmarrermaintenant.Visible());
}
