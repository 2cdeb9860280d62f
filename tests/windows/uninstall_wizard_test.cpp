// The uninstall wizard driven as a user drives it: applications registered
// in the test's registry sandbox, whose uninstall command is a helper
// program that hands its work to a second process; installation reports
// written by the engines from a real recording of the test's machine.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "services/registered_applications.h"
#include "undo/uninstall_wizard.h"
#include "windows/wizard_fixture.h"

namespace {

constexpr const char* Uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

void Register(HKEY root, const std::string& key, const std::vector<std::pair<std::string, std::string>>& strings,
              DWORD systemComponent = 0) {
  HKEY h = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, (Uninstall + key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
            ERROR_SUCCESS);
  for (const auto& [name, text] : strings)
    RegSetValueExA(h, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
  if (systemComponent)
    RegSetValueExA(h, "SystemComponent", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&systemComponent), 4);
  RegCloseKey(h);
}

// The helper program built beside this test executable.
std::string EchoArgsProgram() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string self = path;
  return self.substr(0, self.rfind('\\') + 1) + "echo_args.exe";
}

class UninstallWizardTest : public WizardTest {
 protected:
  void SetUp() override {
    WizardTest::SetUp();
    // An uninstaller that starts a second process and ends at once; the
    // second one writes its file half a second later.
    uninstaller_ = machine_ + "OUTILS\\desinst.exe";
    MakeFixtureDirectory(machine_ + "OUTILS\\");
    ASSERT_TRUE(CopyFileA(EchoArgsProgram().c_str(), uninstaller_.c_str(), FALSE));
    wizard_ = std::make_unique<TAssDesinst>(nullptr, *archive_, *viewer_, *restart_);
    wizard_->StartRemovalPanel = [this](const std::string& command) {
      panels_.push_back(command);
      return true;
    };
    ASSERT_TRUE(wizard_->Created());
  }
  void TearDown() override {
    wizard_.reset();
    WizardTest::TearDown();
  }
  int Run(const std::function<void(HWND)>& script) { return Drive(*wizard_, TAssDesinst::Title, script); }
  bool Go(const Button& button, char step, int milliseconds = 5000) {
    return WizardTest::Go(*wizard_, button, step, milliseconds);
  }
  std::string Text(int line) const { return WizardTest::Text(*wizard_, line); }
  std::string Texts() const {
    std::string all;
    for (int i = 1; i <= 6; ++i) all += Text(i) + "|";
    return all + wizard_->Texte9.Text();
  }

  std::string uninstaller_;
  std::unique_ptr<TAssDesinst> wizard_;
  std::vector<std::string> panels_;
};

}  // namespace

TEST(UninstallLines, NamesCommandsReportsAndTitles) {
  EXPECT_EQ(RegisteredApplicationLine("Jeu", "C:\\JEU\\DESINST.EXE /X"),
            "Jeu" + std::string(97, ' ') + "C:\\JEU\\DESINST.EXE /X");
  EXPECT_EQ(RegisteredApplicationLine(std::string(120, 'n'), "x.exe"), std::string(100, 'n') + "x.exe");
  EXPECT_EQ(InstallationReportLine("* Installation de Jeu le 05/12/1998 à 14:03:07", "ASYK3DD.PV1"),
            "Installation de Jeu le 05/12/1998 à 14:03:07" + std::string(26, ' ') + "ASYK3DD.PV1");
  const std::pair<const char*, const char*> titles[] = {
      {"Installation de Jeu le 05/12/1998 à 14:03:07", "à l'installation de Jeu "},
      {"Lancement de Mon Jeu le 05/12/1998 à 14:03:07", "au lancement de Mon Jeu "},
      // A name that holds "le " keeps it: the date is what is cut.
      {"Installation de Table Le Jeu le 05/12/1998 à 14:03:07", "à l'installation de Table Le Jeu "},
  };
  for (const auto& [description, title] : titles) EXPECT_EQ(UndoTitleOf(description), title) << description;
}

TEST_F(UninstallWizardTest, TheListIsWhatWindowsListsForRemoval) {
  Register(HKEY_LOCAL_MACHINE, "Jeu", {{"DisplayName", "Jeu"}, {"UninstallString", "\"" + uninstaller_ + "\""}});
  Register(HKEY_CURRENT_USER, "Perso", {{"DisplayName", "Outil personnel"}, {"UninstallString", "perso.exe /x"}});
  Register(HKEY_LOCAL_MACHINE, "Pilote", {{"DisplayName", "Pilote caché"}, {"UninstallString", "p.exe"}}, 1);
  Register(HKEY_LOCAL_MACHINE, "KB1", {{"DisplayName", "Mise à jour"}, {"UninstallString", "u.exe"},
                                       {"ParentKeyName", "Jeu"}});
  Register(HKEY_LOCAL_MACHINE, "SansCommande", {{"DisplayName", "Sans commande"}});
  Register(HKEY_LOCAL_MACHINE, "SansNom", {{"UninstallString", "s.exe"}});
  std::vector<std::string> names;
  for (const auto& application : ListRegisteredApplications()) names.push_back(application.displayName);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Jeu", "Outil personnel"}));

  std::vector<std::string> lines;
  bool nextOnA = false;
  std::string a;
  Run([&](HWND) {
    a = Texts();
    nextOnA = wizard_->BtnSuivant.Enabled();
    for (int i = 0; i < wizard_->Liste.Count(); ++i) lines.push_back(wizard_->Liste.Item(i));
    Click(wizard_->BtnAnnuler.Handle());
  });
  EXPECT_EQ(a, " Sélectionnez l'application que vous souhaitez supprimer,|si elle figure dans la liste ci-dessous.|||||"
               " Sinon, passez directement à l'étape suivante.");
  EXPECT_TRUE(nextOnA);
  EXPECT_EQ(lines, (std::vector<std::string>{RegisteredApplicationLine("Jeu", "\"" + uninstaller_ + "\""),
                                             RegisteredApplicationLine("Outil personnel", "perso.exe /x")}));
}

// Nothing chosen from Windows' list: on to the installation reports, and
// back from there to step B; "Suivant >" waits for a report to be chosen.
TEST_F(UninstallWizardTest, NothingSelectedGoesToTheReportListAndBack) {
  const std::string report = InstallGame();
  std::string b, e, backTo;
  bool nextOnE = true, nextAfterClick = false;
  int reports = 0;
  Run([&](HWND) {
    Go(wizard_->BtnSuivant, 'B');
    b = Texts();
    Go(wizard_->BtnSuivant, 'E');
    e = Texts();
    nextOnE = wizard_->BtnSuivant.Enabled();
    reports = wizard_->Liste.Count();
    ChooseLineWith(wizard_->Liste, report);
    nextAfterClick = wizard_->BtnSuivant.Enabled();
    Go(wizard_->BtnPrecedent, 'B');
    backTo = std::string(1, wizard_->Current) + std::to_string(wizard_->Liste.Count());
    Click(wizard_->BtnAnnuler.Handle());
  });
  EXPECT_EQ(b, " Vous n'avez sélectionné aucune application dans|la liste proposée par Windows.||"
               " Continuez pour voir la liste des applications dont|l'installation a été contrôlée par Pivalune.||");
  EXPECT_EQ(e, " Sélectionnez le rapport d'installation de Pivalune pour|l'application à supprimer.|||||"
               " Cliquez sur \"Archive\" pour récupérer un fichier sur disquette.");
  EXPECT_EQ(reports, 1);
  EXPECT_FALSE(nextOnE);
  EXPECT_TRUE(nextAfterClick);
  EXPECT_EQ(backTo, "B0") << "back on step B, the report list emptied";
}

// A name of more than 100 characters is cut, and its command still found
// after the 100th. Without a report, "Rapport" is not offered and Last
// stays; the wizard waits for the second process the uninstaller started.
TEST_F(UninstallWizardTest, TheUninstallerRunsWithoutAReport) {
  const std::string name = "Application au nom très long " + std::string(90, 'x');
  Register(HKEY_LOCAL_MACHINE, "Longue",
           {{"DisplayName", name}, {"UninstallString", "\"" + uninstaller_ + "\" --handover retire.txt"}});
  settings::Write(settings::Text::Last, "AVANT.PV1");
  std::string b, c, d;
  bool rapportOnD = true, ranBeforeD = false;
  Run([&](HWND) {
    ChooseLineWith(wizard_->Liste, "Application au nom");
    Go(wizard_->BtnSuivant, 'B');
    b = Text(1) + "|" + Text(2) + "|" + Text(4);
    Click(wizard_->SansRapport.Handle());
    Go(wizard_->BtnSuivant, 'C');
    c = Texts() + "|" + (wizard_->BtnConfig.Visible() ? "Configuration" : "");
    Go(wizard_->BtnSuivant, 'D', 30000);
    ranBeforeD = GetFileAttributesA((machine_ + "OUTILS\\retire.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
    d = Text(1) + "|" + Text(2) + "|" + Text(3) + "|" + Text(4);
    rapportOnD = wizard_->BtnConfig.Visible();
    Click(wizard_->BtnAnnuler.Handle());
  });
  EXPECT_EQ(b, " Vous avez choisi de supprimer|" + name.substr(0, 100) + "| Pivalune peut vous fournir un rapport de "
               "désinstallation.");
  EXPECT_EQ(wizard_->UninstallCommand, "\"" + uninstaller_ + "\" --handover retire.txt");
  EXPECT_EQ(c, "||| Attention !  Quand vous cliquerez sur \"Suivant\",|" + name.substr(0, 100) +
                   "|sera définitivement effacé.||");
  EXPECT_TRUE(ranBeforeD) << "step D came before the uninstaller's second process ended";
  EXPECT_EQ(d, " Le programme de désinstallation fourni avec|" + name.substr(0, 100) + "|a bien fonctionné.|");
  EXPECT_FALSE(rapportOnD);
  EXPECT_EQ(settings::Read(settings::Text::Last), "AVANT.PV1");
}

TEST_F(UninstallWizardTest, AnUninstallerThatCannotStartIsSaid) {
  Register(HKEY_LOCAL_MACHINE, "Absent", {{"DisplayName", "Absent"}, {"UninstallString", "K:\\NULLEPART\\absent.exe"}});
  std::string d;
  Run([&](HWND) {
    ChooseLineWith(wizard_->Liste, "Absent");
    Go(wizard_->BtnSuivant, 'B');
    Click(wizard_->SansRapport.Handle());
    Go(wizard_->BtnSuivant, 'C');
    Go(wizard_->BtnSuivant, 'D', 30000);
    d = Text(3);
    Click(wizard_->BtnAnnuler.Handle());
  });
  EXPECT_EQ(d, "n'a pas fonctionné correctement.");
  EXPECT_TRUE(wizard_->UninstallerFailed);
}

// With a report: the machine recorded before and after the uninstaller,
// the report of what it did, and no state left. Then the installation
// report's undo takes away what the installation added, and, WIN.INI
// changed, the restart prompt comes; "Attendre" closes the wizard.
TEST_F(UninstallWizardTest, BothHalvesWithAReport) {
  const std::string report = InstallGame();
  Register(HKEY_LOCAL_MACHINE, "Jeu",
           {{"DisplayName", "Jeu"}, {"UninstallString", "\"" + uninstaller_ + "\" --handover retire.txt"}});
  std::string d, f, g, prompt;
  bool rapportOnD = false, rapportOnG = false;
  const int result = Run([&](HWND) {
    ChooseLineWith(wizard_->Liste, "Jeu");
    Go(wizard_->BtnSuivant, 'B');
    Go(wizard_->BtnSuivant, 'C');
    if (!Go(wizard_->BtnSuivant, 'D', 60000)) return;
    d = Texts();
    rapportOnD = wizard_->BtnConfig.Visible() && wizard_->BtnConfig.Text() == "Rapport";
    Go(wizard_->BtnSuivant, 'E');
    ChooseLineWith(wizard_->Liste, report);
    Go(wizard_->BtnSuivant, 'F');
    f = Texts();
    if (!Go(wizard_->BtnSuivant, 'G', 60000)) return;
    g = Texts();
    rapportOnG = wizard_->BtnConfig.Visible() && wizard_->BtnSuivant.Text() == "Terminer";
    Click(wizard_->BtnSuivant.Handle());
    HWND box = WaitForWindow("Pivalune 98", 5000);
    if (!box) return;
    prompt = "shown";
    Click(restart_->Attendre.Handle());
  });
  EXPECT_EQ(d, " Le programme de désinstallation fourni avec|Jeu|a bien fonctionné.| Cliquez sur \"Rapport\" pour voir ce "
               "qui a été|effectivement supprimé.|| Si l'installation a été faite avec Pivalune, continuez pour "
               "terminer le nettoyage de votre disque dur.");
  EXPECT_TRUE(rapportOnD);
  EXPECT_EQ(f, "||| En cliquant sur \"Suivant\", tous les fichiers créés|à l'installation de Jeu |seront détruits.|");
  EXPECT_EQ(g, " La désinstallation est terminée.||| Cliquez sur \"Rapport\" pour voir ce qui a été effacé.|||");
  EXPECT_TRUE(rapportOnG);
  EXPECT_EQ(prompt, "shown") << "WIN.INI changed: the restart prompt";
  EXPECT_EQ(result, mrOk);
  EXPECT_EQ(restarts_, 0);

  // The uninstall report: what the uninstaller did, in mode 4.
  const std::string log = report.substr(0, report.size() - 1) + "3";
  EXPECT_EQ(settings::Read(settings::Text::Last), log);
  EXPECT_EQ(settings::Read(settings::Text::Des), "Jeu");
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((program_ + "*.PV2").c_str(), &found);
  ASSERT_NE(h, INVALID_HANDLE_VALUE) << "no uninstall report";
  FindClose(h);
  const std::string uninstallReport = ReadWholeFile(program_ + found.cFileName);
  EXPECT_TRUE(uninstallReport.starts_with("* Suppression de Jeu le ")) << uninstallReport;
  EXPECT_NE(uninstallReport.find("\r\n+retire.txt "), std::string::npos) << uninstallReport;
  EXPECT_TRUE(FindFirstFileA((program_ + "*.000").c_str(), &found) == INVALID_HANDLE_VALUE) << "a state was left";

  // The undo: the game's files, its section and its key are gone.
  EXPECT_FALSE(GetFileAttributesA((machine_ + "JEU\\jeu.exe").c_str()) != INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(GetFileAttributesA((machine_ + "JEU\\niveaux.dat").c_str()) != INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(ReadWholeFile(machine_ + "WINDOWS\\WIN.INI").find("[Jeu]"), std::string::npos);
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Jeu", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_TRUE(GetFileAttributesA((program_ + log).c_str()) != INVALID_FILE_ATTRIBUTES) << "no undo log";
  EXPECT_FALSE(GetFileAttributesA((program_ + report).c_str()) != INVALID_FILE_ATTRIBUTES) << "the report stays";
}

// The program cannot remove itself: Windows' removal panel is started from
// the system directory instead, and "Terminer" ends the program.
TEST_F(UninstallWizardTest, PivaluneIsRemovedByWindowsOwnPanel) {
  Register(HKEY_LOCAL_MACHINE, "Pivalune", {{"DisplayName", "Pivalune 98"}, {"UninstallString", uninstaller_}});
  std::string b, x;
  Run([&](HWND) {
    ChooseLineWith(wizard_->Liste, "Pivalune 98");
    Go(wizard_->BtnSuivant, 'B');
    b = Texts();
    Go(wizard_->BtnSuivant, 'X');
    x = Texts() + "|" + wizard_->BtnSuivant.Text();
    Click(wizard_->BtnSuivant.Handle());
  });
  MSG msg;
  const bool quit = PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
  EXPECT_EQ(b, "| Vous avez demandé la suppression de Pivalune.|| Une application ne peut évidemment pas être effacée|"
               "pendant qu'elle fonctionne. Pivalune va donc lancer|l'outil de Windows 95 qui effectuera cette "
               "opération.| Déplacez les fenêtres si elles se chevauchent.");
  EXPECT_EQ(x, " Dans \"Propriétés pour Ajout/Suppression de programmes\",|sélectionnez Pivalune dans la liste "
               "déroulante.|| Vous cliquerez ensuite sur le bouton \"Ajouter/Supprimer...\"||| Mais il faut d'abord "
               "refermer Pivalune en cliquant sur \"Terminer\".|Terminer");
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  EXPECT_EQ(panels_, std::vector<std::string>{std::string(system) + "\\rundll32.exe shell32.dll,Control_RunDLL appwiz.cpl,"});
  EXPECT_TRUE(quit) << "the program ends";
  EXPECT_FALSE(GetFileAttributesA((machine_ + "OUTILS\\retire.txt").c_str()) != INVALID_FILE_ATTRIBUTES);
}
