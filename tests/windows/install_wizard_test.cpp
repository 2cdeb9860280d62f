// The install/launch wizard driven as a user drives it, with real
// installers built by makensis: the machine is a small disk K:, the
// diskette A: holds the installers, the registry is the test's sandbox.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "comparison/install_wizard.h"
#include "comparison/report_viewer.h"
#include "shell/report_chooser.h"
#include "shell/settings.h"
#include "shell/windows.h"
#include "support/gui_driver.h"
#include "support/wine_fixture.h"
#include "undo/replaced_files_warning.h"
#include "windows/scratch_program.h"

namespace {

constexpr const char* WarningTitle = "Pivalune 98 - Avertissement";
constexpr const char* FinishedText = " L'installation est terminée. Cliquez sur \"Rapport\"";

std::string Installer(const std::string& name) {
  std::string path = std::string("Z:") + PV_INSTALLERS_DIR + "/" + name;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Every state file, report and undo log the program directory holds.
std::vector<std::string> StateFilesIn(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((dir + "*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
  } while (FindNextFileA(h, &data));
  FindClose(h);
  return names;
}

class InstallWizardTest : public ScratchProgramTest {
 protected:
  void SetUp() override {
    ScratchProgramTest::SetUp();
    machine_ = dir_ + "machine\\";
    diskette_ = dir_ + "diskette\\";
    program_ = dir_ + "programme\\";
    const uint32_t old = PackDosTime(1998, 12, 5, 14, 3, 6);
    for (const char* sub : {"", "WINDOWS\\", "WINDOWS\\SYSTEM\\"}) MakeFixtureDirectory(machine_ + sub);
    WriteFixtureFile(machine_ + "WINDOWS\\WIN.INI", "[mail]\r\nMAPI=1\r\n", old);
    WriteFixtureFile(machine_ + "WINDOWS\\SYSTEM\\commun.dll", "MZ commun 2.0", old);
    MakeFixtureDirectory(diskette_);
    MakeFixtureDirectory(program_);
    for (const char* name : {"sablier-setup.exe", "relais-setup.exe", "relais-suite.exe"})
      ASSERT_TRUE(CopyFileA(Installer(name).c_str(), (diskette_ + name).c_str(), FALSE)) << name;
    // The program directory is not on the recorded disk: what the wizard
    // writes there is no part of the report.
    Program.ProgramDirectory = program_;
    SetCurrentDirectoryA(program_.c_str());
    disk_ = std::make_unique<MappedDrive>('K', machine_);
    floppy_ = std::make_unique<MappedDrive>('A', diskette_);
    Program.FixedDrives = "CK";
    Program.RemovableDrives = "A";
    Program.Drives = "K";
    Program.Types = "IR";
    Program.ExclusionText = "\\\\";
    // The installers write the registry the wizard records.
    SetEnvironmentVariableA("PV_TEST_HKLM",
                            ("Software\\PivaluneTests\\" + std::to_string(GetCurrentProcessId()) + "\\HKLM").c_str());
    chooser_ = std::make_unique<TChoisir>(nullptr);
    viewer_ = std::make_unique<TRapport>(nullptr, *chooser_);
    warning_ = std::make_unique<TAttention>(nullptr);
    wizard_ = std::make_unique<TAssInst>(nullptr, *viewer_, *warning_);
    ASSERT_TRUE(wizard_->Created());
  }
  void TearDown() override {
    // A second program still waiting is let go, so that it ends.
    if (FileExists(diskette_ + "suite-lancee.txt"))
      WriteFixtureFile(diskette_ + "continuer.txt", "", PackDosTime(1998, 12, 5, 14, 3, 6));
    WaitUntil([&] { return !FileExists(diskette_ + "suite-lancee.txt") ||
                           FileExists(machine_ + "Relais\\suite.txt"); }, 10000);
    wizard_.reset();
    warning_.reset();
    viewer_.reset();
    chooser_.reset();
    SetEnvironmentVariableA("PV_TEST_HKLM", nullptr);
    floppy_.reset();
    disk_.reset();
    ScratchProgramTest::TearDown();
  }

  int RunWizard(const std::function<void(HWND)>& script) {
    return DriveModal([&] { return wizard_->ShowModal(); }, TAssInst::Title, script);
  }
  std::string Text(int line) const { return wizard_->Texte[line - 1].Text(); }
  bool Enabled(const Control& c) const { return IsWindowEnabled(c.Handle()) != 0; }
  bool Visible(const Control& c) const { return IsWindowVisible(c.Handle()) != 0; }

  // Page A: the program chosen on a drive, in a directory of it.
  void ChooseProgram(const std::string& drive, const std::string& file) {
    std::string drives;
    for (int i = 0; i < wizard_->DriveComboBox.Count(); ++i) drives += wizard_->DriveComboBox.Item(i) + ";";
    ASSERT_TRUE(ChooseItem(wizard_->DriveComboBox.Handle(), drive)) << drive << " not in " << drives;
    ASSERT_TRUE(ChooseItem(wizard_->FileListBox.Handle(), file)) << file;
  }
  // Page A: a directory reached through the directory list, from the root.
  void OpenDirectory(const std::string& drive, const std::string& path) {
    ASSERT_TRUE(ChooseItem(wizard_->DriveComboBox.Handle(), drive));
    for (size_t from = 3, to; (to = path.find('\\', from)) != std::string::npos; from = to + 1) {
      const std::string name = "[" + path.substr(from, to - from) + "]";
      ASSERT_TRUE(ChooseItem(wizard_->DirectoryListBox.Handle(), name)) << name;
      DoubleClickItem(wizard_->DirectoryListBox.Handle());
    }
    ASSERT_EQ(wizard_->ChosenDirectory(), path);
  }
  // Pages A to E: the program started under that name, the before state recorded.
  void StartProgram(const std::string& file, const std::string& name) {
    ChooseProgram("a:", file);
    Click(wizard_->BtnSuivant.Handle());
    ASSERT_EQ(wizard_->Current, 'B');
    TypeText(wizard_->Nom.Handle(), name);
    Click(wizard_->BtnSuivant.Handle());
    ASSERT_TRUE(WaitUntil([&] { return wizard_->Current == 'C'; }, 2000));
    Click(wizard_->BtnSuivant.Handle());
    ASSERT_TRUE(WaitUntil([&] { return wizard_->Current == 'E'; }, 30000));
  }
  bool SuivantEnabledWithin(int milliseconds) {
    return WaitUntil([&] { return Enabled(wizard_->BtnSuivant); }, milliseconds);
  }
  std::string Report() const { return ReadWholeFile(program_ + settings::Read(settings::Text::Last)); }
  void ExpectNoStateLeft() const {
    for (const std::string& name : StateFilesIn(program_))
      EXPECT_TRUE(name.ends_with(".PV1")) << "left in the program directory: " << name;
  }

  std::string machine_, diskette_, program_;
  std::unique_ptr<MappedDrive> disk_, floppy_;
  std::unique_ptr<TChoisir> chooser_;
  std::unique_ptr<TRapport> viewer_;
  std::unique_ptr<TAttention> warning_;
  std::unique_ptr<TAssInst> wizard_;
};

TEST_F(InstallWizardTest, AnInstallationFromPageAToHLeavesItsReportAndNothingElse) {
  std::string pageA, pageC2, pageE9, afterEnd4, warning, pageH1, rapport, viewerText;
  bool suivantBeforeChoice = true, previousOnA = true, chooserHiddenOnB = false, suivantOnB = true;
  bool installation = false, errorWhileRunning = false;
  const int result = RunWizard([&](HWND) {
    pageA = Text(1) + "|" + Text(2);
    suivantBeforeChoice = Enabled(wizard_->BtnSuivant);
    previousOnA = Enabled(wizard_->BtnPrecedent);
    ChooseProgram("a:", "sablier-setup.exe");
    pageA += "|" + wizard_->Texte9.Text();
    Click(wizard_->BtnSuivant.Handle());
    chooserHiddenOnB = !Visible(wizard_->FileListBox) && Visible(wizard_->Nom);
    suivantOnB = Enabled(wizard_->BtnSuivant);
    installation = IsChecked(wizard_->Installation.Handle());
    TypeText(wizard_->Nom.Handle(), "sablier");
    Click(wizard_->BtnSuivant.Handle());
    pageC2 = Text(2);
    Click(wizard_->BtnSuivant.Handle());
    if (!WaitUntil([&] { return wizard_->Current == 'E'; }, 30000)) return;
    pageE9 = wizard_->Texte9.Text();
    errorWhileRunning = settings::Read(settings::Text::Error) == "Sablier";
    if (!SuivantEnabledWithin(30000)) return;
    afterEnd4 = Text(1) + "|" + Text(4) + "|" + Text(5) + "|" + Text(6);
    Click(wizard_->BtnSuivant.Handle());
    // The older library: the warning comes before page H.
    HWND box = WaitForWindow(WarningTitle, 30000);
    if (!box) return;
    warning = wizard_->Current == 'H' ? "after H" : warning_->Liste.Text();
    Click(warning_->BtnOK.Handle());
    if (!WaitUntil([&] { return wizard_->Current == 'H' && IsWindowVisible(wizard_->Handle()); }, 5000)) return;
    pageH1 = Text(1) + "|" + TextOf(wizard_->BtnSuivant.Handle());
    rapport = TextOf(wizard_->BtnConfig.Handle());
    Click(wizard_->BtnConfig.Handle());
    HWND shown = WaitForWindow(TRapport::Title, 5000);
    if (!shown) return;
    SendMessageTimeoutA(shown, WM_NULL, 0, 0, SMTO_NORMAL, 2000, nullptr);
    viewerText = viewer_->Memo.Text();
    PostMessageA(shown, WM_CLOSE, 0, 0);
    if (!WaitUntil([&] { return IsWindowVisible(wizard_->Handle()) != 0; }, 5000)) return;
    Click(wizard_->BtnSuivant.Handle());
  });

  EXPECT_EQ(pageA, " Choisissez un disque et un répertoire, puis le fichier|que vous voulez lancer.|"
                   "A:\\sablier-setup.exe");
  EXPECT_FALSE(suivantBeforeChoice);
  EXPECT_FALSE(previousOnA);
  EXPECT_TRUE(chooserHiddenOnB);
  EXPECT_FALSE(suivantOnB) << "the name is empty";
  EXPECT_TRUE(installation) << "a program on a diskette installs";
  EXPECT_EQ(pageC2, "à surveiller, cliquez sur \"Configuration\".");
  EXPECT_EQ(pageE9, "Si le programme se bloque, cliquez sur \"Interrompre\".");
  EXPECT_TRUE(errorWhileRunning) << "the analysis under way is noted";
  EXPECT_EQ(afterEnd4, "| En lançant d'abord l'application installée,|vous pouvez inclure dans le rapport "
                       "les éléments|créés ou modifiés à la première utilisation.");
  EXPECT_NE(warning.find("commun.dll"), std::string::npos) << warning;
  EXPECT_EQ(pageH1, std::string(FinishedText) + "|Terminer");
  EXPECT_EQ(rapport, "Rapport");
  EXPECT_EQ(result, mrOk);

  // What the installer did, all of it.
  const std::string report = Report();
  EXPECT_TRUE(report.starts_with("* Installation de Sablier le ")) << report;
  for (const char* line : {"\r\n+Sablier ", "\r\nK:\\Sablier\\\r\n", "\r\n+sablier.exe ", "\r\n+niveaux.dat ",
                           "\r\n>commun.dll ", "\r\n+[Sablier]\r\n", "\r\n+Dossier=K:\\Sablier\r\n",
                           "\r\n+HKey_Local_Machine\\Software\\Sablier\r\n", "\r\n+\"Version\"=\"1.0\"\r\n"})
    EXPECT_NE(report.find(line), std::string::npos) << "no " << line << " in\n" << report;
  EXPECT_EQ(viewerText, report.substr(0, viewerText.size())) << "Rapport shows the new report";
  EXPECT_FALSE(viewerText.empty());
  EXPECT_EQ(settings::Read(settings::Text::Pred), "");
  EXPECT_EQ(settings::Read(settings::Text::Succ), "");
  EXPECT_EQ(settings::Read(settings::Text::Error), "");
  EXPECT_TRUE(settings::Read(settings::Text::Last).ends_with(".PV1"));
  ExpectNoStateLeft();
}

// A setup that starts the real installer and ends at once: the wizard waits
// for the second program too, and the report holds what it wrote.
TEST_F(InstallWizardTest, SuivantWaitsForWhatTheProgramStarted) {
  bool enabledWhileSecondRuns = true, enabledAfter = false;
  RunWizard([&](HWND) {
    StartProgram("relais-setup.exe", "relais");
    if (!WaitUntil([&] { return FileExists(diskette_ + "suite-lancee.txt"); }, 20000)) return;
    // The first program has ended by now; the timer has looked more than once.
    Sleep(2500);
    enabledWhileSecondRuns = Enabled(wizard_->BtnSuivant);
    WriteFixtureFile(diskette_ + "continuer.txt", "", PackDosTime(1998, 12, 5, 14, 3, 6));
    enabledAfter = SuivantEnabledWithin(20000);
    if (!enabledAfter) return;
    Click(wizard_->BtnSuivant.Handle());
    if (!WaitUntil([&] { return wizard_->Current == 'H'; }, 30000)) return;
    Click(wizard_->BtnSuivant.Handle());
  });
  EXPECT_FALSE(enabledWhileSecondRuns);
  EXPECT_TRUE(enabledAfter);
  const std::string report = Report();
  for (const char* line : {"\r\n+relais.txt ", "\r\n+suite.txt ", "\r\n+HKey_Local_Machine\\Software\\Relais\r\n"})
    EXPECT_NE(report.find(line), std::string::npos) << "no " << line << " in\n" << report;
  ExpectNoStateLeft();
}

// "Interrompre" leaves the analysis to resume: the name in Error, the
// before state on disk; the next start offers to resume and "Oui" writes
// the installation's report.
TEST_F(InstallWizardTest, InterrompreLeavesTheAnalysisToResume) {
  std::string pageF, annuler;
  bool suivantOnF = true;
  RunWizard([&](HWND) {
    StartProgram("relais-setup.exe", "relais");
    Click(wizard_->BtnAnnuler.Handle());
    if (!WaitUntil([&] { return wizard_->Current == 'F'; }, 5000)) return;
    pageF = Text(1) + "|" + Text(2) + "|" + Text(4) + "|" + Text(5) + "|" + Text(6);
    suivantOnF = Enabled(wizard_->BtnSuivant);
    annuler = TextOf(wizard_->BtnAnnuler.Handle());
    Click(wizard_->BtnAnnuler.Handle());
  });
  EXPECT_EQ(pageF, " Vous avez interrompu l'analyse, sans doute parce que|le programme lancé s'était bloqué.|"
                   "Quittez Pivalune, installez normalement votre application,|puis relancez Pivalune et "
                   "suivez les indications qui|apparaîtront à l'écran.");
  EXPECT_FALSE(suivantOnF);
  EXPECT_EQ(annuler, "Annuler");
  EXPECT_EQ(settings::Read(settings::Text::Error), "Relais");
  const std::string before = settings::Read(settings::Text::Pred);
  ASSERT_EQ(before.size(), 7u);
  EXPECT_TRUE(FileExists(program_ + before + ".000"));

  // The installation goes on without the program and ends.
  WriteFixtureFile(diskette_ + "continuer.txt", "", PackDosTime(1998, 12, 5, 14, 3, 6));
  ASSERT_TRUE(WaitUntil([&] { return FileExists(machine_ + "Relais\\suite.txt"); }, 20000));
  Sleep(500);

  std::string question;
  bool resumed = false;
  WhileModal([&] { resumed = OfferResumption(); },
             [&] { question = AnswerMessageBox("Information", IDYES); });
  EXPECT_EQ(question, "Si vous avez terminé l'installation de Relais, souhaitez-vous que Pivalune reprenne "
                      "l'analyse là où elle s'est interrompue?");
  EXPECT_TRUE(resumed);
  const std::string report = Report();
  EXPECT_TRUE(report.starts_with("* Installation de Relais le ")) << report;
  EXPECT_NE(report.find("\r\n+suite.txt "), std::string::npos) << report;
  EXPECT_EQ(settings::Read(settings::Text::Error), "");
  EXPECT_EQ(settings::Read(settings::Text::Pred), "");
  ExpectNoStateLeft();
}

// Page A and B: the mode follows the program's drive, the name its rule.
TEST_F(InstallWizardTest, TheModeFollowsTheDriveAndTheNameTakesCapitals) {
  WriteFixtureFile(program_ + "JEU.EXE", "MZ", PackDosTime(1998, 12, 5, 14, 3, 6));
  WriteFixtureFile(program_ + "LISEZMOI.TXT", "", PackDosTime(1998, 12, 5, 14, 3, 6));
  WriteFixtureFile(program_ + "DEMARRE.BAT", "", PackDosTime(1998, 12, 5, 14, 3, 6));
  bool fromDiskette = false, fromC = false, suivantEmpty = true, suivantTyped = false;
  std::string name, listed;
  DWORD caret = 0;
  RunWizard([&](HWND) {
    ChooseProgram("a:", "sablier-setup.exe");
    Click(wizard_->BtnSuivant.Handle());
    fromDiskette = IsChecked(wizard_->Installation.Handle()) && !IsChecked(wizard_->Lancement.Handle());
    Click(wizard_->BtnPrecedent.Handle());
    OpenDirectory("c:", program_);
    for (int i = 0; i < wizard_->FileListBox.Count(); ++i) listed += wizard_->FileListBox.Item(i) + ";";
    ASSERT_TRUE(ChooseItem(wizard_->FileListBox.Handle(), "JEU.EXE"));
    Click(wizard_->BtnSuivant.Handle());
    fromC = IsChecked(wizard_->Lancement.Handle()) && !IsChecked(wizard_->Installation.Handle());
    suivantEmpty = Enabled(wizard_->BtnSuivant);
    TypeText(wizard_->Nom.Handle(), "mon jeu-test.final");
    name = wizard_->Nom.Text();
    SendMessageA(wizard_->Nom.Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
    suivantTyped = Enabled(wizard_->BtnSuivant);
    Click(wizard_->BtnAnnuler.Handle());
  });
  EXPECT_TRUE(fromDiskette);
  EXPECT_TRUE(fromC);
  EXPECT_EQ(listed, "DEMARRE.BAT;JEU.EXE;") << "only programs are listed";
  EXPECT_FALSE(suivantEmpty);
  EXPECT_EQ(name, "Mon Jeu-Test.Final");
  EXPECT_EQ(caret, 18u);
  EXPECT_TRUE(suivantTyped);
  // Closed before page D: nothing was recorded.
  EXPECT_EQ(settings::Read(settings::Text::Pred), "");
  EXPECT_EQ(StateFilesIn(program_).size(), 3u);
}

}  // namespace
