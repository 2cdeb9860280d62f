// The duplicate finder driven as a user drives it, on a fixture disk K:.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/gui_driver.h"
#include "support/wine_fixture.h"
#include "tools/duplicates.h"
#include "tools/duplicates_dialog.h"
#include "windows/scratch_program.h"

namespace {

using Strings = std::vector<std::string>;

class DuplicatesDialogTest : public ScratchProgramTest {
 protected:
  void SetUp() override {
    ScratchProgramTest::SetUp();
    machine_ = dir_ + "machine\\";
    program_ = dir_ + "programme\\";
    MakeFixtureDirectory(machine_);
    MakeFixtureDirectory(program_);
    Program.ProgramDirectory = program_;
    SetCurrentDirectoryA(program_.c_str());
    disk_ = std::make_unique<MappedDrive>('K', machine_);
    Program.Drives = "K";
    Program.ExclusionText = "\\\\";
    Program.UseRecycleBin = false;
    Program.HelpAvailable = true;
    dialog_ = std::make_unique<TDoublons>(nullptr);
    ASSERT_TRUE(dialog_->Created());
  }
  void TearDown() override {
    dialog_.reset();
    disk_.reset();
    ScratchProgramTest::TearDown();
  }
  void File(const std::string& path, const std::string& bytes) {
    const size_t slash = path.rfind('\\');
    if (slash != std::string::npos) CreateDirectoryA((machine_ + path.substr(0, slash)).c_str(), nullptr);
    WriteFixtureFile(machine_ + path, bytes, PackDosTime(1998, 12, 5, 14, 3, 6));
  }
  int Run(const std::function<void(HWND)>& script) {
    return DriveModal([&] { return dialog_->ShowModal(); }, TDoublons::Title, script);
  }
  // "Chercher", with the check box as given; waits for the result.
  void Search(bool sameName) {
    CheckBox(dialog_->CB1).SetChecked(sameName);
    SendMessageTimeoutA(dialog_->BitBtn2.Handle(), BM_CLICK, 0, 0, SMTO_NORMAL, 30000, nullptr);
  }
  Strings Lines() const {
    Strings lines;
    for (int i = 0; i < dialog_->Liste.Count(); ++i) lines.push_back(dialog_->Liste.Item(i));
    return lines;
  }
  // Selects the lines of these paths and presses "Supprimer"; answers every
  // question with `answer` and every warning with OK; answers the texts.
  Strings Delete(const Strings& paths, int answer = IDYES) {
    for (int i = 0; i < dialog_->Liste.Count(); ++i) {
      const std::string path = dialog_->Liste.Item(i).substr(0, dialog_->Liste.Item(i).find('\t'));
      const bool wanted = std::find(paths.begin(), paths.end(), path) != paths.end();
      SendMessageA(dialog_->Liste.Handle(), LB_SETSEL, wanted, i);
    }
    SendMessageA(dialog_->Handle(), WM_COMMAND, MAKEWPARAM(dialog_->Liste.Id(), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(dialog_->Liste.Handle()));
    if (!dialog_->btnSupprimer.Enabled()) return {"Supprimer disabled"};
    Click(dialog_->btnSupprimer.Handle());
    return AnswerMessageBoxesUntilIdle(dialog_->Handle(), {{"Confirmation", answer}, {"Avertissement", IDOK}});
  }

  std::string machine_, program_;
  std::unique_ptr<MappedDrive> disk_;
  std::unique_ptr<TDoublons> dialog_;
};

}  // namespace

TEST_F(DuplicatesDialogTest, NothingToFind) {
  File("seul.txt", "seul");
  std::string opening, result;
  int minimum = -1, maximum = -1;
  bool supprimer = true;
  Run([&](HWND) {
    opening = dialog_->Label3.Text() + "|" + dialog_->Label4.Text() + "|" + dialog_->Label5.Text();
    Search(false);
    result = dialog_->Label1.Text();
    minimum = dialog_->SpinEdit1.Minimum();
    maximum = dialog_->SpinEdit1.Maximum();
    supprimer = dialog_->btnSupprimer.Enabled();
    Click(dialog_->BitBtn1.Handle());
  });
  EXPECT_EQ(opening, "En cliquant sur le bouton \"Chercher\", les disques et répertoires définis|dans la "
                     "Configuration seront analysés pour trouver les fichiers dupliqués.|La recherche peut durer "
                     "plusieurs minutes.");
  EXPECT_EQ(result, "Aucune série de doublons n'a été trouvée.");
  EXPECT_EQ(minimum, 0);
  EXPECT_EQ(maximum, 0);
  EXPECT_FALSE(supprimer);
}

// Series one at a time; deleting down to one file ends a series and shows
// the first that is left; the files that could not be read are said.
TEST_F(DuplicatesDialogTest, SeriesAreShownAndDeletedDownToOneFile) {
  File("A\\copie.doc", "contenu commun");
  File("B\\copie.doc", "contenu commun");
  File("C\\copie.doc", "contenu commun");
  File("Z\\zeta1.txt", "autre contenu, deux fois");
  File("Z\\zeta2.txt", "autre contenu, deux fois");
  File("Y\\ferme1.dat", "fermé à clé");
  File("Y\\ferme2.dat", "fermé à clé");
  HANDLE locks[2];
  for (int i = 0; i < 2; ++i)
    locks[i] = CreateFileA((machine_ + "Y\\ferme" + std::to_string(i + 1) + ".dat").c_str(), GENERIC_READ, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  std::string found, explanation, afterFirst, afterSecond;
  Strings first, second, asked1, linesAfter1, asked2, linesAfter2;
  int value = -1, maximum = -1, maximumAfter = -1;
  Run([&](HWND) {
    Search(false);
    for (HANDLE h : locks) CloseHandle(h);
    found = dialog_->Label1.Text();
    explanation = dialog_->Label3.Text();
    value = dialog_->SpinEdit1.Value();
    maximum = dialog_->SpinEdit1.Maximum();
    first = Lines();
    dialog_->SpinEdit1.SetValue(2);
    second = Lines();
    dialog_->SpinEdit1.SetValue(1);
    asked1 = Delete({"K:\\B\\copie.doc"});
    linesAfter1 = Lines();
    afterFirst = dialog_->Label1.Text();
    asked2 = Delete({"K:\\C\\copie.doc"});
    linesAfter2 = Lines();
    afterSecond = dialog_->Label1.Text();
    maximumAfter = dialog_->SpinEdit1.Maximum();
    Click(dialog_->BitBtn1.Handle());
  });
  EXPECT_EQ(found, "2 séries de doublons ont été trouvées.\n2 fichiers n'ont pas pu être lus : ils n'ont pas été "
                   "comparés.");
  EXPECT_EQ(explanation, "Avant d'effacer un fichier, assurez-vous que toutes les");
  EXPECT_EQ(value, 1);
  EXPECT_EQ(maximum, 2);
  EXPECT_EQ(first, (Strings{"K:\\A\\copie.doc\t      14 05/12/1998 14:03", "K:\\B\\copie.doc\t      14 05/12/1998 14:03",
                            "K:\\C\\copie.doc\t      14 05/12/1998 14:03"}));
  EXPECT_EQ(second, (Strings{"K:\\Z\\zeta1.txt\t      24 05/12/1998 14:03", "K:\\Z\\zeta2.txt\t      24 05/12/1998 14:03"}));
  EXPECT_EQ(asked1, Strings{"Etes-vous sûr de vouloir effacer K:\\B\\copie.doc ?"});
  EXPECT_EQ(linesAfter1.size(), 2u);
  EXPECT_EQ(afterFirst, "Il reste 2 séries de doublons.");
  EXPECT_FALSE(PathExists(machine_ + "B\\copie.doc"));
  // The series has one file left: it is over, and the first series left is shown.
  EXPECT_EQ(asked2, Strings{"Etes-vous sûr de vouloir effacer K:\\C\\copie.doc ?"});
  EXPECT_EQ(linesAfter2, second);
  EXPECT_EQ(afterSecond, "Il reste une série de doublons.");
  EXPECT_EQ(maximumAfter, 1);
  ASSERT_EQ(dialog_->Series.size(), 1u);
  EXPECT_FALSE(dialog_->Series[0].starts_with("|") || dialog_->Series[0].ends_with("|")) << dialog_->Series[0];
  EXPECT_TRUE(PathExists(machine_ + "A\\copie.doc"));
}

// A file goes only while another file of the series still holds the same
// bytes: all lines selected leave one file, and a copy changed since the
// search is no copy any more.
TEST_F(DuplicatesDialogTest, AFileNeverLosesItsLastCopy) {
  File("A\\un.dat", "les mêmes octets");
  File("B\\un.dat", "les mêmes octets");
  File("C\\un.dat", "les mêmes octets");
  Strings askedAll, askedChanged;
  Run([&](HWND) {
    Search(true);
    askedAll = Delete({"K:\\A\\un.dat", "K:\\B\\un.dat", "K:\\C\\un.dat"});
    Click(dialog_->BitBtn1.Handle());
  });
  EXPECT_EQ(askedAll, (Strings{"Etes-vous sûr de vouloir effacer K:\\C\\un.dat ?",
                               "Etes-vous sûr de vouloir effacer K:\\B\\un.dat ?",
                               "K:\\A\\un.dat n'a plus de doublon identique : il n'est pas effacé."}));
  EXPECT_TRUE(PathExists(machine_ + "A\\un.dat"));
  EXPECT_FALSE(PathExists(machine_ + "B\\un.dat"));

  File("D\\deux.dat", "encore les mêmes");
  File("E\\deux.dat", "encore les mêmes");
  Run([&](HWND) {
    Search(true);
    File("E\\deux.dat", "encore LES mêmes");  // changed since the search
    askedChanged = Delete({"K:\\D\\deux.dat"});
    Click(dialog_->BitBtn1.Handle());
  });
  EXPECT_EQ(askedChanged, Strings{"K:\\D\\deux.dat n'a plus de doublon identique : il n'est pas effacé."});
  EXPECT_TRUE(PathExists(machine_ + "D\\deux.dat"));
}
