// The record wizard driven as a user drives it: the machine is a small disk
// K:, the diskettes are folders or small tmpfs mounts linked as A:, the
// registry is the test's sandbox.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <regex>
#include <string>

#include "recording/catalogue_lines.h"
#include "recording/record_wizard.h"
#include "recording/state_index.h"
#include "services/files.h"
#include "services/io_error.h"
#include "shell/settings.h"
#include "support/diskette.h"
#include "support/gui_driver.h"
#include "support/wine_fixture.h"
#include "windows/scratch_program.h"

namespace {

// The base names of the states a directory holds.
std::vector<std::string> StatesIn(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((dir + "*.000").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return names;
  do names.push_back(std::string(data.cFileName).substr(0, 7));
  while (FindNextFileA(h, &data));
  FindClose(h);
  return names;
}

int FilesIn(const std::string& dir) {
  int n = 0;
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((dir + "*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do n += (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 0 : 1;
  while (FindNextFileA(h, &data));
  FindClose(h);
  return n;
}

// Every member the state's seal names is there, as the recording wrote it.
void ExpectWholeState(const std::string& dir, const std::string& base) {
  std::ifstream in(dir + base + ".000", std::ios::binary);
  ASSERT_TRUE(in) << "no index " << base << " in " << dir;
  const StateIndex index = ReadStateIndex(in);
  ASSERT_TRUE(index.sealed && !index.damaged) << dir << base;
  ASSERT_FALSE(index.seals.empty());
  for (const MemberSeal& seal : index.seals) {
    if (!seal.present) continue;
    uint64_t size = 0;
    uint32_t crc = 0;
    EXPECT_TRUE(FileSizeAndCrc32(dir + base + MemberSuffix(seal.number), size, crc)) << seal.number;
    EXPECT_EQ(size, seal.size) << seal.number;
    EXPECT_EQ(crc, seal.crc) << seal.number;
  }
}

class RecordWizardTest : public ScratchProgramTest {
 protected:
  void SetUp() override {
    ScratchProgramTest::SetUp();
    machine_ = dir_ + "machine\\";
    program_ = dir_ + "programme\\";
    const uint32_t old = PackDosTime(1998, 12, 5, 14, 3, 6);
    for (const char* sub : {"", "WINDOWS\\"}) MakeFixtureDirectory(machine_ + sub);
    // Two large profiles: their copies count for nothing in the size the
    // wizard compares with the diskette's room.
    WriteFixtureFile(machine_ + "WINDOWS\\WIN.INI", "[mail]\r\n" + std::string(40000, ';') + "\r\n", old);
    WriteFixtureFile(machine_ + "WINDOWS\\SYSTEM.INI", "[boot]\r\n" + std::string(40000, ';') + "\r\n", old,
                     FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    MakeFixtureDirectory(program_);
    Program.ProgramDirectory = program_;
    SetCurrentDirectoryA(program_.c_str());
    disk_ = std::make_unique<MappedDrive>('K', machine_);
    Program.FixedDrives = "CK";
    Program.RemovableDrives = "A";
    Program.Drives = "K";
    Program.Types = "I";
    Program.ExclusionText = "\\\\";
    wizard_ = std::make_unique<TAssEnreg>(nullptr);
    ASSERT_TRUE(wizard_->Created());
  }
  void TearDown() override {
    wizard_.reset();
    disk_.reset();
    ScratchProgramTest::TearDown();
  }

  int RunWizard(const std::function<void(HWND)>& script) {
    return DriveModal([&] { return wizard_->ShowModal(); }, TAssEnreg::Title, script);
  }
  std::string Text(int line) const { return wizard_->Texte[line - 1].Text(); }
  void Go(const Button& button, char step) {
    Click(button.Handle());
    WaitUntil([&] { return wizard_->Current == step; }, 5000);
  }
  // From step A to step C, then "Terminer" with that choice; answers the
  // message the recording ends with, if one comes.
  std::string RecordOn(const RadioButton& choice) {
    std::string message;
    RunWizard([&](HWND) {
      Go(wizard_->BtnSuivant, 'B');
      Go(wizard_->BtnSuivant, 'C');
      Click(choice.Handle());
      PostMessageA(wizard_->BtnSuivant.Handle(), BM_CLICK, 0, 0);
      WaitUntil([&] { return WaitForWindow("Erreur", 0) || !IsWindowVisible(wizard_->Handle()); }, 30000);
      if (WaitForWindow("Erreur", 0)) message = AnswerMessageBox("Erreur", IDOK, 1000);
    });
    return message;
  }

  std::string machine_, program_;
  std::unique_ptr<MappedDrive> disk_;
  std::unique_ptr<TAssEnreg> wizard_;
};

}  // namespace

TEST(FreeSpace, TheSentenceGroupsTheDigitsByThree) {
  EXPECT_EQ(FreeSpaceSentence(999, 'C'), " Il reste 999 Ko libres sur le disque C.");
  EXPECT_EQ(FreeSpaceSentence(123456, 'C'), " Il reste 123 456 Ko libres sur le disque C.");
  EXPECT_EQ(FreeSpaceSentence(1234567, 'D'), " Il reste 1 234 567 Ko libres sur le disque D.");
  EXPECT_EQ(FreeSpaceSentence(0, 'C'), " Il reste 0 Ko libres sur le disque C.");
  EXPECT_EQ(FreeSpaceSentence(1000, 'C'), " Il reste 1 000 Ko libres sur le disque C.");
  EXPECT_EQ(FreeSpaceSentence(1234567890, 'C'), " Il reste 1234 567 890 Ko libres sur le disque C.")
      << "never more than two blanks";
}

TEST_F(RecordWizardTest, TheFloppyButtonsFollowTheRemovableDrivesAndTheStorageLocation) {
  struct Case {
    const char* removable;
    const char* location;
    bool aEnabled, bEnabled;
    const char* checked;  // A, B or D (the hard disk)
  };
  const Case cases[] = {
      {"", "", false, false, "D"},
      {"", "A:\\", false, false, "A"},  // the choice stays, disabled: the recording checks it
      {"A", "A:\\", true, false, "A"},
      {"AB", "B:\\", true, true, "B"},
      {"AB", "", true, true, "D"},
  };
  for (const Case& c : cases) {
    Program.RemovableDrives = c.removable;
    Program.StorageLocation = c.location;
    bool aEnabled = false, bEnabled = false;
    std::string checked;
    RunWizard([&](HWND) {
      aEnabled = wizard_->DisquetteA.Enabled();
      bEnabled = wizard_->DisquetteB.Enabled();
      checked = std::string(IsChecked(wizard_->DisquetteA.Handle()) ? "A" : "") +
                (IsChecked(wizard_->DisquetteB.Handle()) ? "B" : "") + (IsChecked(wizard_->Disquedur.Handle()) ? "D" : "");
      Click(wizard_->BtnAnnuler.Handle());
    });
    EXPECT_EQ(aEnabled, c.aEnabled) << c.removable;
    EXPECT_EQ(bEnabled, c.bEnabled) << c.removable;
    EXPECT_EQ(checked, c.checked) << c.removable << " " << c.location;
  }
  EXPECT_TRUE(StatesIn(program_).empty()) << "Annuler records nothing";
}

TEST_F(RecordWizardTest, StepsAToCShowTheirTextsAndOnlyStepDRecords) {
  std::string a, b, c, forwardOnC, backAgain;
  bool previousOnA = true, configurationOnA = false, configurationOnB = true, groupOnB = true, groupOnC = false;
  bool recordedBeforeD = true;
  const int result = RunWizard([&](HWND) {
    a = Text(1) + "|" + Text(2) + "|" + Text(3) + "|" + Text(4) + "|" + Text(5) + "|" + Text(6);
    previousOnA = wizard_->BtnPrecedent.Enabled();
    configurationOnA = wizard_->BtnConfig.Visible();
    Go(wizard_->BtnSuivant, 'B');
    b = Text(1) + "|" + Text(2) + "|" + Text(3) + "|" + Text(4) + "|" + Text(5) + "|" + Text(6);
    configurationOnB = wizard_->BtnConfig.Visible();
    groupOnB = wizard_->EnregistrerSur.Visible();
    Go(wizard_->BtnSuivant, 'C');
    c = Text(1) + "|" + Text(2) + "|" + Text(3) + "|" + Text(4);
    forwardOnC = wizard_->BtnSuivant.Text();
    groupOnC = wizard_->EnregistrerSur.Visible() && wizard_->Disquedur.Visible();
    Go(wizard_->BtnPrecedent, 'B');
    backAgain = std::string(1, wizard_->Current) + wizard_->BtnSuivant.Text();
    Go(wizard_->BtnSuivant, 'C');
    recordedBeforeD = !StatesIn(program_).empty();
    Click(wizard_->Disquedur.Handle());
    Click(wizard_->BtnSuivant.Handle());
  });
  EXPECT_EQ(a, " Pivalune va enregistrer l'état actuel de votre système;|cela vous permettra de voir plus tard ce "
               "qui a été modifié,|et éventuellement d'annuler ces modifications.|| Cliquez sur \"Configuration\" si "
               "vous voulez changer|la liste des éléments à surveiller.");
  EXPECT_FALSE(previousOnA);
  EXPECT_TRUE(configurationOnA);
  EXPECT_TRUE(std::regex_match(b, std::regex(R"(\| Il reste [0-9]{1,4}( [0-9]{3}){0,2} Ko libres sur le disque C\.\|\|)"
                                             R"( Pivalune peut avoir besoin de plus de 2 Mo pour stocker\|ses fichiers temporaires\.\|)")))
      << b;
  EXPECT_FALSE(configurationOnB);
  EXPECT_FALSE(groupOnB);
  EXPECT_EQ(c, "| Où voulez-vous conserver les fichiers créés ?||");
  EXPECT_EQ(forwardOnC, "Terminer");
  EXPECT_TRUE(groupOnC);
  EXPECT_EQ(backAgain, "BSuivant >");
  EXPECT_FALSE(recordedBeforeD);
  EXPECT_EQ(result, mrOk);
  ASSERT_EQ(StatesIn(program_).size(), 1u);
}

TEST_F(RecordWizardTest, AStateOnTheHardDiskIsTheNextBeforeStateAndTheReference) {
  EXPECT_EQ(RecordOn(wizard_->Disquedur), "");
  const auto states = StatesIn(program_);
  ASSERT_EQ(states.size(), 1u);
  EXPECT_EQ(settings::Read(settings::Text::Pred), states[0]);
  EXPECT_EQ(settings::Read(settings::Text::Bat), states[0]);
  ExpectWholeState(program_, states[0]);
  EXPECT_EQ(Program.StorageLocation, "");
}

TEST_F(RecordWizardTest, AStateForADisketteIsMovedThere) {
  Diskette diskette('A', dir_);
  settings::Write(settings::Text::Pred, "AVANTXX");
  settings::Write(settings::Text::Bat, "REFEREN");
  EXPECT_EQ(RecordOn(wizard_->DisquetteA), "");
  EXPECT_TRUE(StatesIn(program_).empty());
  EXPECT_EQ(FilesIn(program_), 0) << "nothing of the state stays on the hard disk";
  const auto states = StatesIn(diskette.Folder());
  ASSERT_EQ(states.size(), 1u);
  ExpectWholeState(diskette.Folder(), states[0]);
  EXPECT_EQ(FilesIn(diskette.Folder()), 4) << "the index, the catalogue and two profiles";
  // The copy of SYSTEM.INI has its date and attributes, on the diskette too.
  std::ifstream in(diskette.Folder() + states[0] + ".000", std::ios::binary);
  const int member = ReadStateIndex(in).NumberOf("K:\\WINDOWS\\SYSTEM.INI");
  ASSERT_GT(member, 0);
  WIN32_FILE_ATTRIBUTE_DATA copy{}, original{};
  ASSERT_TRUE(GetFileAttributesExA((diskette.Folder() + states[0] + MemberSuffix(member)).c_str(),
                                   GetFileExInfoStandard, &copy));
  ASSERT_TRUE(GetFileAttributesExA((machine_ + "WINDOWS\\SYSTEM.INI").c_str(), GetFileExInfoStandard, &original));
  EXPECT_EQ(CompareFileTime(&copy.ftLastWriteTime, &original.ftLastWriteTime), 0);
  EXPECT_EQ(copy.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
            static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(settings::Read(settings::Text::Pred), "AVANTXX") << "a diskette's state is no before state";
  EXPECT_EQ(settings::Read(settings::Text::Bat), "REFEREN");
  EXPECT_EQ(Program.StorageLocation, "A:\\");
}

// Whatever goes wrong with the diskette, the user is told what, and the
// state stays whole on the hard disk with nothing of it on the diskette.
TEST_F(RecordWizardTest, ADisketteThatCannotTakeTheStateLeavesItOnTheHardDisk) {
  if (!Diskette::CanMount()) GTEST_SKIP() << "small diskettes are mounted as root";
  // A catalogue larger than the smallest diskette.
  MakeFixtureDirectory(machine_ + "DIVERS\\");
  for (int i = 0; i < 300; ++i)
    WriteFixtureFile(machine_ + "DIVERS\\fichier-" + std::to_string(i) + ".txt", "", PackDosTime(1998, 12, 5, 14, 3, 6));
  struct Case {
    const char* what;
    int kilobytes;
    bool protect, takeOut;
    std::string message;
  };
  const Case cases[] = {
      {"too small", 8, false, false, "La taille des fichiers est supérieure à l'espace libre sur la disquette."},
      {"full by the copies", 64, false, false, DiskErrorText(ERROR_DISK_FULL)},
      {"write-protected", 1024, true, false, DiskErrorText(ERROR_ACCESS_DENIED)},
      {"missing", 1024, false, true, DiskErrorText(ERROR_NOT_READY)},
  };
  for (const Case& c : cases) {
    Diskette diskette('A', dir_, c.kilobytes);
    ASSERT_TRUE(diskette.Mounted());
    if (c.protect) diskette.WriteProtect();
    if (c.takeOut) diskette.TakeOut();
    wizard_ = std::make_unique<TAssEnreg>(nullptr);
    EXPECT_EQ(RecordOn(wizard_->DisquetteA), c.message) << c.what;
    const auto states = StatesIn(program_);
    ASSERT_EQ(states.size(), 1u) << c.what;
    ExpectWholeState(program_, states[0]);
    if (!c.takeOut) {
      EXPECT_EQ(FilesIn(diskette.Folder()), 0) << c.what;
    }
    EXPECT_EQ(settings::Read(settings::Text::Pred), "") << c.what;
    for (const char* extension : {".000", ".001", ".002", ".003"}) DeleteFileForced(program_ + states[0] + extension);
  }
}
