// The compare wizard driven as a user drives it, on the test's machine of
// two disks K: and L: and its registry sandbox.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comparison/compare_wizard.h"
#include "recording/catalogue_lines.h"
#include "windows/wizard_fixture.h"

namespace {

class CompareWizardTest : public WizardTest {
 protected:
  void SetUp() override {
    WizardTest::SetUp();
    NewWizard();
  }
  void TearDown() override {
    wizard_.reset();
    WizardTest::TearDown();
  }
  void NewWizard() {
    wizard_ = std::make_unique<TAssCompare>(nullptr, *archive_, *viewer_, *warning_);
    ASSERT_TRUE(wizard_->Created());
  }
  int Run(const std::function<void(HWND)>& script) { return Drive(*wizard_, TAssCompare::Title, script); }
  bool Go(const Button& button, char step, int milliseconds = 5000) {
    return WizardTest::Go(*wizard_, button, step, milliseconds);
  }
  std::string Texts() const {
    std::string all;
    for (int i = 1; i <= 6; ++i) all += WizardTest::Text(*wizard_, i) + "|";
    return all;
  }
  bool StateExists(const std::string& base) const {
    return GetFileAttributesA((program_ + base + ".000").c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  std::unique_ptr<TAssCompare> wizard_;
};

}  // namespace

TEST_F(CompareWizardTest, EachStateIsListedByItsDateAndSuivantWaitsForAChoice) {
  WriteFixtureFile(program_ + "ASYK3DD.000", "* le 05/12/1998 à 14:03:07\r\n{K_W_\\\\}\r\nCatalogue de K:\\\r\n",
                   PackDosTime(1998, 12, 5, 14, 3, 8));
  std::vector<std::string> lines;
  std::string a, archive;
  bool nextBefore = true, nextAfter = false, previous = true;
  Run([&](HWND) {
    a = Texts();
    archive = wizard_->BtnConfig.Visible() ? wizard_->BtnConfig.Text() : "";
    for (int i = 0; i < wizard_->Liste.Count(); ++i) lines.push_back(wizard_->Liste.Item(i));
    nextBefore = wizard_->BtnSuivant.Enabled();
    previous = wizard_->BtnPrecedent.Enabled() || !wizard_->BtnPrecedent.Visible();
    ChooseLineWith(wizard_->Liste, "ASYK3DD");
    nextAfter = wizard_->BtnSuivant.Enabled();
    Click(wizard_->BtnAnnuler.Handle());
  });
  const std::string title = "Etat enregistré le 05/12/1998 à 14:03:07";
  EXPECT_EQ(lines, std::vector<std::string>{title + std::string(70 - title.size(), ' ') + "ASYK3DD.000"});
  EXPECT_EQ(a, " Choisissez l'état auquel doit être comparé l'état|actuel; cliquez sur \"Archive\" pour récupérer un "
               "état|sur disquette.||||");
  EXPECT_EQ(archive, "Archive");
  EXPECT_FALSE(nextBefore);
  EXPECT_FALSE(previous);
  EXPECT_TRUE(nextAfter);
}

// The machine is recorded with the drives, types and exclusions of the
// chosen state, whatever the configuration says; the report is that of the
// after state, which is deleted; the chosen state stays or goes.
TEST_F(CompareWizardTest, TheMachineIsRecordedAsTheChosenStateWas) {
  const std::string chosen = RecordMachine("KL", "MCAIWSR");
  Program.Drives = "K";
  Program.Types = "W";
  WriteFixtureFile(second_ + "nouveau.txt", "nouveau", PackDosTime(2001, 3, 4, 10, 0, 0));
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Nouvelle", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  RegCloseKey(key);
  std::string b, c, d, rapport;
  const int result = Run([&](HWND) {
    ChooseLineWith(wizard_->Liste, chosen + ".000");
    Go(wizard_->BtnSuivant, 'B');
    b = Texts() + (wizard_->Conserve.Visible() && IsChecked(wizard_->Conserve.Handle()) ? "conservé" : "");
    Go(wizard_->BtnSuivant, 'C');
    c = Texts();
    if (!Go(wizard_->BtnSuivant, 'D', 60000)) return;
    d = Texts() + wizard_->BtnSuivant.Text() + (wizard_->BtnAnnuler.Visible() ? "|Annuler" : "");
    rapport = wizard_->BtnConfig.Visible() ? wizard_->BtnConfig.Text() : "";
    Click(wizard_->BtnSuivant.Handle());
  });
  EXPECT_EQ(b, "| A la fin de la comparaison, que voulez-vous faire|de l'état enregistré précédemment ?||||conservé");
  EXPECT_EQ(c, "||Cliquez sur \"Suivant\" pour lancer la comparaison.||||");
  EXPECT_EQ(d, "||||Cliquez sur \"Rapport\" pour voir ce qui a été modifié.||Terminer");
  EXPECT_EQ(rapport, "Rapport");
  EXPECT_EQ(result, mrOk);

  const std::string after = settings::Read(settings::Text::Succ);
  EXPECT_EQ(settings::Read(settings::Text::Pred), chosen);
  EXPECT_EQ(settings::Read(settings::Text::Last), after + ".PV2");
  EXPECT_FALSE(StateExists(after)) << "the after state is deleted";
  EXPECT_TRUE(StateExists(chosen)) << "conservé sur le disque dur.";
  const std::string report = ReadWholeFile(program_ + after + ".PV2");
  for (const char* line : {"Modifications au Catalogue de L:\\\r\n", "\r\n+nouveau.txt ",
                           "\r\n+HKey_Local_Machine\\Software\\Nouvelle\r\n"})
    EXPECT_NE(report.find(line), std::string::npos) << "no " << line << " in\n" << report;

  // Again, the chosen state deleted this time.
  NewWizard();
  Run([&](HWND) {
    ChooseLineWith(wizard_->Liste, chosen + ".000");
    Go(wizard_->BtnSuivant, 'B');
    Click(wizard_->Efface.Handle());
    Go(wizard_->BtnSuivant, 'C');
    if (!Go(wizard_->BtnSuivant, 'D', 60000)) return;
    Click(wizard_->BtnSuivant.Handle());
  });
  EXPECT_FALSE(StateExists(chosen)) << "effacé du disque dur.";
  EXPECT_EQ(CountFiles(program_ + "*.0??"), 0) << "no member of a state is left";
}
