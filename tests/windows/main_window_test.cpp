#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/main_window.h"
#include "shell/program_state.h"
#include "support/gui_driver.h"
#include "support/wine_fixture.h"
#include "ui/application.h"

namespace {

class MainWindow : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = Program;
    Program.ProgramDirectory = ScratchDirectory();
    Program.HelpAvailable = true;
  }
  void TearDown() override { Program = saved_; }

  void MakeFiles(int states, int reports) {
    for (int i = 0; i < states; ++i)
      WriteFixtureFile(Program.ProgramDirectory + "ETAT00" + std::to_string(i) + ".000", "* \r\n",
                       PackDosTime(1998, 12, 5, 14, 3, 6));
    for (int i = 0; i < reports; ++i)
      WriteFixtureFile(Program.ProgramDirectory + "RAPP00" + std::to_string(i) + (i % 2 ? ".PV2" : ".pv3"),
                       "* \r\n", PackDosTime(1998, 12, 5, 14, 3, 6));
  }

  TProgramState saved_;
};

// Runs the program's message loop while the script drives the window.
void WhileLooping(const std::function<void()>& script) {
  WhileModal([] { RunMessageLoop(); }, script);
}

}  // namespace

TEST_F(MainWindow, ButtonsShowTheirHintsAndTheBareWindowClearsThem) {
  Program.ConfirmLevel = 1;
  TPrincipal main({});
  ASSERT_TRUE(main.Created());
  const std::pair<const Button*, const char*> hints[] = {
      {&main.btnInstaller, " contrôle l'installation ou le lancement d'une application"},
      {&main.btnDesinstaller, " supprime une application installée"},
      {&main.btnEnregistrer, " enregistre l'état actuel des disques"},
      {&main.btnComparer, " compare l'état des disques à un état enregistré auparavant"},
      {&main.btnRestaurer, " restaure un état des disques enregistré auparavant"},
      {&main.btnConfiguration, " permet de sélectionner les fichiers à surveiller"},
      {&main.btnRapport, " montre le compte-rendu d'une opération"},
      {&main.btnArchivage, " permet d'archiver ou d'effacer les rapports de Pivalune"},
      {&main.BitBtn1, " recherche les fichiers en double sur les disques durs"},
      {&main.btnNettoyer, " supprime les fichiers temporaires laissés par certaines applications"},
      {&main.btnSecurite, " sauvegarde ou restaure la dernière version des fichiers-système"},
      {&main.btnQuitter, " termine cette session de Pivalune"},
  };
  std::vector<std::string> seen;
  std::string afterWindow, afterBar;
  main.Show();
  WhileLooping([&] {
    Sleep(300);  // the moves the system makes when the window appears
    for (const auto& [button, hint] : hints) {
      // A disabled button gets no mouse messages: the hint is the button's
      // own, looked up by the form from the control under the mouse.
      button->SetEnabled(true);
      MouseOver(button->Handle());
      seen.push_back(main.barredEtat.Text());
    }
    MouseOver(main.Handle());
    afterWindow = main.barredEtat.Text();
    MouseOver(main.btnQuitter.Handle());
    MouseOver(main.barredEtat.Handle());
    afterBar = main.barredEtat.Text();
    PostMessageA(main.Handle(), WM_CLOSE, 0, 0);
  });
  ASSERT_EQ(seen.size(), std::size(hints));
  for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], hints[i].second);
  EXPECT_EQ(afterWindow, "");
  EXPECT_EQ(afterBar, "");
}

TEST_F(MainWindow, CommandsWithoutTheirWindowYetAreDisabled) {
  TPrincipal main({});
  for (const Button* b : {&main.btnInstaller, &main.btnEnregistrer, &main.BitBtn1, &main.btnDesinstaller,
                          &main.btnComparer, &main.btnNettoyer, &main.btnSecurite, &main.btnRestaurer,
                          &main.btnArchivage, &main.btnConfiguration, &main.btnRapport})
    EXPECT_FALSE(b->Enabled()) << b->Text();
  EXPECT_TRUE(main.btnQuitter.Enabled());
  TPrincipalCommands dialogs;
  dialogs.configuration = dialogs.messages = dialogs.report = [](TForm*) {};
  TPrincipal withDialogs(dialogs);
  EXPECT_TRUE(withDialogs.btnConfiguration.Enabled());
  EXPECT_TRUE(withDialogs.btnRapport.Enabled());
}

// The id of the menu item of that text, in any of the main menu's lists.
UINT MenuItemId(HMENU bar, const std::string& text) {
  for (int i = 0; i < GetMenuItemCount(bar); ++i) {
    HMENU list = GetSubMenu(bar, i);
    for (int j = 0; list && j < GetMenuItemCount(list); ++j) {
      char item[128] = {};
      GetMenuStringA(list, j, item, sizeof item, MF_BYPOSITION);
      if (text == item) return GetMenuItemID(list, j);
    }
  }
  return 0;
}

TEST_F(MainWindow, ButtonAndMenuItemGiveTheSameCommand) {
  Program.ConfirmLevel = 1;
  std::vector<std::string> given;
  TPrincipalCommands commands;
  TPrincipal* mainWindow = nullptr;
  auto command = [&](const char* name) {
    return [&given, &mainWindow, name](TForm* caller) {
      given.push_back(std::string(name) + (caller == mainWindow ? "" : " (other caller)"));
    };
  };
  commands.install = command("install");
  commands.uninstall = command("uninstall");
  commands.record = command("record");
  commands.compare = command("compare");
  commands.restore = command("restore");
  commands.duplicates = command("duplicates");
  commands.cleaner = command("cleaner");
  commands.archive = command("archive");
  commands.backup = command("backup");
  TPrincipal main(commands);
  mainWindow = &main;
  ASSERT_TRUE(main.Created());
  main.Show();
  const HMENU bar = GetMenu(main.Handle());
  const std::pair<const Button*, const char*> pairs[] = {
      {&main.btnInstaller, "&Installer ou lancer..."},
      {&main.btnDesinstaller, "&Désinstaller ou nettoyer..."},
      {&main.btnEnregistrer, "&Enregistrer l'état des disques..."},
      {&main.btnComparer, "&Comparer à un état enregistré..."},
      {&main.btnRestaurer, "&Restaurer un état enregistré..."},
      {&main.BitBtn1, "Chercher les dou&blons..."},
      {&main.btnNettoyer, "&Nettoyer les fichiers temporaires..."},
      {&main.btnArchivage, "&Archivage..."},
      {&main.btnSecurite, "&Sauvegarder les fichiers-système..."},
  };
  for (const auto& [button, item] : pairs) {
    EXPECT_TRUE(button->Enabled()) << item;
    SendMessageA(button->Handle(), BM_CLICK, 0, 0);
    const UINT id = MenuItemId(bar, item);
    ASSERT_NE(id, 0u) << item;
    EXPECT_NE(GetMenuState(bar, id, MF_BYCOMMAND) & MF_GRAYED, static_cast<UINT>(MF_GRAYED)) << item;
    SendMessageA(main.Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
  }
  EXPECT_EQ(given, (std::vector<std::string>{"install", "install", "uninstall", "uninstall", "record", "record",
                                             "compare", "compare", "restore", "restore", "duplicates", "duplicates",
                                             "cleaner", "cleaner", "archive", "archive", "backup", "backup"}));
}

TEST_F(MainWindow, ReminderCountsFivePerStateAndOnePerReport) {
  struct Case { int states, reports, level; bool asks; };
  const Case cases[] = {
      {5, 6, 1, true},   // c = 31
      {2, 0, 3, false},  // c = 10: never
      {2, 1, 2, true},   // c = 11 above level 1
      {2, 1, 1, false},  // c = 11 at level 1
      {4, 1, 1, true},   // c = 21
  };
  for (const auto& c : cases) {
    SetUp();
    MakeFiles(c.states, c.reports);
    WriteFixtureFile(Program.ProgramDirectory + "NOTES.TXT", "", PackDosTime(1998, 1, 1, 0, 0, 0));
    Program.ConfirmLevel = c.level;
    EXPECT_EQ(ArchiveClutterCount(), 5 * c.states + c.reports);
    std::string asked;
    bool due = true;
    WhileModal([&] { due = ArchiveReminderDue(); },
               [&] { asked = AnswerMessageBox("Avertissement", IDYES, c.asks ? 5000 : 500); });
    EXPECT_EQ(!asked.empty(), c.asks) << c.states << " states, " << c.reports << " reports";
    EXPECT_EQ(due, c.asks);
    if (c.asks) {
      EXPECT_EQ(asked, "N'encombrez pas votre disque dur; archivez régulièrement les fichiers de "
                       "travail de Pivalune, ou effacez-les s'ils ne sont plus utiles. Souhaitez-vous "
                       "le faire maintenant?");
    }
    TearDown();
  }
}

TEST_F(MainWindow, ReminderAsksAtEveryActivation) {
  MakeFiles(5, 6);
  Program.ConfirmLevel = 3;
  int archives = 0;
  TPrincipalCommands commands;
  commands.archive = [&](TForm*) { ++archives; };
  TPrincipal main(commands);
  int asked = 0;
  bool askedAgainAtOnce = false;
  // Wine takes up to two seconds to take a box off an Xvfb display without
  // a window manager: each step waits for the box to be gone.
  auto answer = [&](int button) {
    bool shown = !AnswerMessageBox("Avertissement", button, 8000).empty();
    for (int i = 0; i < 400 && WaitForWindow("Avertissement", 0); ++i) Sleep(20);
    return shown;
  };
  WhileLooping([&] {
    // Asynchronous: the activation's question runs inside the window's
    // thread, and a synchronous call would wait for it to be answered.
    ShowWindowAsync(main.Handle(), SW_SHOWNORMAL);
    if (answer(IDYES)) ++asked;
    // Coming back from the box is no new activation.
    askedAgainAtOnce = !AnswerMessageBox("Avertissement", IDYES, 700).empty();
    Sleep(500);
    PostMessageA(main.Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    if (answer(IDYES)) ++asked;
    Sleep(1200);
    Program.ConfirmLevel = 1;
    PostMessageA(main.Handle(), WM_CLOSE, 0, 0);
    // Closing asks once more (c = 31 > 20).
    if (answer(IDNO)) ++asked;
  });
  EXPECT_EQ(asked, 3);
  EXPECT_FALSE(askedAgainAtOnce);
  EXPECT_EQ(archives, 2);
}

TEST_F(MainWindow, QuitQuestionOnlyAtLevelThree) {
  for (int level = 1; level <= 3; ++level) {
    Program.ConfirmLevel = level;
    TPrincipal main({});
    main.Show();
    std::string first;
    bool closedAfterCancel = false;
    WhileLooping([&] {
      PostMessageA(main.Handle(), WM_CLOSE, 0, 0);
      if (level < 3) return;  // closes without a word
      first = AnswerMessageBox("Confirmation", IDCANCEL);
      Sleep(200);
      closedAfterCancel = !IsWindowVisible(main.Handle());
      PostMessageA(main.Handle(), WM_CLOSE, 0, 0);
      AnswerMessageBox("Confirmation", IDOK);
    });
    EXPECT_EQ(first, level == 3 ? "Voulez-vous quitter Pivalune?" : "") << level;
    EXPECT_FALSE(closedAfterCancel);
    EXPECT_FALSE(IsWindowVisible(main.Handle()));
  }
}
