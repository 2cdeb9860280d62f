// The archive dialog driven as a user drives it: states and reports of the
// program directory, diskettes linked as A: (folders, or small tmpfs mounts
// when a diskette must be full, write-protected or missing).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "comparison/archive_dialog.h"
#include "recording/catalogue_lines.h"
#include "services/io_error.h"
#include "shell/settings.h"
#include "support/diskette.h"
#include "support/gui_driver.h"
#include "support/wine_fixture.h"
#include "windows/scratch_program.h"

namespace {

using Strings = std::vector<std::string>;

constexpr const char* StateFirstLine = "* le 05/12/1998 à 14:03:07";

Strings FilesIn(const std::string& dir) {
  Strings names;
  WIN32_FIND_DATAA data;
  HANDLE h = FindFirstFileA((dir + "*").c_str(), &data);
  if (h == INVALID_HANDLE_VALUE) return names;
  do
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
  while (FindNextFileA(h, &data));
  FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

Strings StateFiles(const std::string& base, int members) {
  Strings names;
  for (int n = 0; n <= members; ++n) names.push_back(base + MemberSuffix(n));
  return names;
}

class ArchiveDialogTest : public ScratchProgramTest {
 protected:
  void SetUp() override {
    ScratchProgramTest::SetUp();
    program_ = dir_ + "programme\\";
    MakeFixtureDirectory(program_);
    Program.ProgramDirectory = program_;
    SetCurrentDirectoryA(program_.c_str());
    Program.RemovableDrives = "A";
    Program.ConfirmLevel = 3;
    dialog_ = std::make_unique<TTransferer>(nullptr);
    ASSERT_TRUE(dialog_->Created());
  }
  void TearDown() override {
    dialog_.reset();
    ScratchProgramTest::TearDown();
  }

  // A state of an index and `members` members, recorded on 5 December 1998.
  void WriteState(const std::string& dir, const std::string& base, int members) {
    std::string index = std::string(StateFirstLine) + "\r\n{C_MCAIWSR_\\\\}\r\n";
    for (int n = 1; n <= members; ++n) index += "C:\\WINDOWS\\F" + std::to_string(n) + ".INI\r\n";
    WriteFixtureFile(dir + base + ".000", index, PackDosTime(1998, 12, 5, 14, 3, 8));
    for (int n = 1; n <= members; ++n)
      WriteFixtureFile(dir + base + MemberSuffix(n), "[membre]\r\n" + std::string(1000 * n, ';'),
                       PackDosTime(1998, 12, 5, 14, 3, 8));
  }
  void WriteReport(const std::string& dir, const std::string& name, const std::string& title) {
    WriteFixtureFile(dir + name, "* " + title + "\r\n Aucune modification\r\n", PackDosTime(1998, 12, 5, 14, 3, 8));
  }

  int RunDialog(const std::function<void(HWND)>& script) {
    return DriveModal([&] { return dialog_->ShowModal(); }, TTransferer::Title, script);
  }
  Strings Lines() const {
    Strings lines;
    for (int i = 0; i < dialog_->Liste.Count(); ++i) lines.push_back(dialog_->Liste.Item(i));
    return lines;
  }
  // Selects the lines of these files, and only them.
  void SelectFiles(const Strings& names) {
    for (int i = 0; i < dialog_->Liste.Count(); ++i) {
      const std::string line = dialog_->Liste.Item(i);
      const bool wanted = std::find(names.begin(), names.end(), line.substr(ArchiveTitleWidth)) != names.end();
      SendMessageA(dialog_->Liste.Handle(), LB_SETSEL, wanted, i);
    }
  }
  std::string Checked(const RadioButton& a, const RadioButton& b, const RadioButton& c) const {
    return std::string(IsChecked(a.Handle()) ? "A" : "") + (IsChecked(b.Handle()) ? "B" : "") +
           (IsChecked(c.Handle()) ? "C" : "");
  }
  // What the dialog shows and holds of its two places.
  std::string Places() const {
    return "De " + Checked(dialog_->DeA, dialog_->DeB, dialog_->DeC) + " [" + Program.StorageLocation + "] Vers " +
           Checked(dialog_->VersA, dialog_->VersB, dialog_->VersC) + " [" + dialog_->Destination + "]";
  }
  void ClickAndWait(const Control& c) {
    SendMessageTimeoutA(c.Handle(), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, nullptr);
  }
  // Runs the operation on the files with OK; answers the message that
  // comes, if one does.
  std::string Operate(const RadioButton& operation, const Strings& names, int answer = IDOK) {
    std::string message;
    RunDialog([&](HWND) {
      ClickAndWait(operation);
      SelectFiles(names);
      PostMessageA(dialog_->btnOK.Handle(), BM_CLICK, 0, 0);
      WaitUntil([&] {
        return WaitForWindow("Erreur", 0) || WaitForWindow("Confirmation", 0) ||
               !IsWindowVisible(dialog_->Handle());
      }, 20000);
      for (const char* title : {"Erreur", "Confirmation"})
        if (WaitForWindow(title, 0)) message = AnswerMessageBox(title, answer, 1000);
      // After "Non" the dialog stays open for another choice. The click is
      // sent, not posted: one left waiting would close the next opening.
      if (answer == IDNO) ClickAndWait(dialog_->btnAnnuler);
    });
    return message;
  }

  std::string program_;
  std::unique_ptr<TTransferer> dialog_;
};

}  // namespace

TEST(ArchiveList, StatesAreTitledAsStatesAndReportsByTheirFirstLine) {
  const std::string state = "Etat des disques le 05/12/1998 à 14:03:07";
  EXPECT_EQ(ArchiveListLine("ASYK3DD.000", StateFirstLine), state + std::string(70 - state.size(), ' ') + "ASYK3DD.000");
  const std::string report = "Installation de Mon Jeu le 05/12/1998 à 14:03:07";
  EXPECT_EQ(ArchiveListLine("ASYK3DD.PV1", "* " + report), report + std::string(70 - report.size(), ' ') + "ASYK3DD.PV1");
  EXPECT_EQ(ArchiveListLine("LONG.PV2", "* " + std::string(80, 'x')), std::string(70, 'x') + "LONG.PV2");
}

TEST_F(ArchiveDialogTest, TheListHoldsStatesReportsAndLogsWhateverTheCaseOfTheirExtension) {
  WriteState(program_, "ASYK3DD", 2);
  WriteReport(program_, "ASYK3DE.PV1", "Installation de Mon Jeu le 05/12/1998 à 14:03:07");
  WriteReport(program_, "bcdefgh.pv2", "Comparaison le 06/12/1998 à 10:00:00");
  WriteReport(program_, "ASYK3DF.PV3", "Désinstallation de Mon Jeu le 07/12/1998 à 09:00:00");
  WriteReport(program_, "NOTES.TXT", "pas un rapport");
  WriteReport(program_, "~ASYK3DG.IDX", "un état inachevé");
  Strings lines;
  RunDialog([&](HWND) {
    lines = Lines();
    Click(dialog_->btnAnnuler.Handle());
  });
  EXPECT_EQ(lines, (Strings{ArchiveListLine("bcdefgh.pv2", "* Comparaison le 06/12/1998 à 10:00:00"),
                            ArchiveListLine("ASYK3DF.PV3", "* Désinstallation de Mon Jeu le 07/12/1998 à 09:00:00"),
                            ArchiveListLine("ASYK3DD.000", StateFirstLine),
                            ArchiveListLine("ASYK3DE.PV1", "* Installation de Mon Jeu le 05/12/1998 à 14:03:07")}));
}

TEST_F(ArchiveDialogTest, TheDriveButtonsFollowTheRemovableDrives) {
  struct Case {
    const char* removable;
    const char* first;
    const char* second;
    const char* captionA;
    const char* captionB;
    bool aEnabled, bEnabled;
  };
  const Case cases[] = {
      {"", "?:\\", "?:\\", "Lecteur A", "Lecteur B", false, false},
      {"A", "A:\\", "A:\\", "Lecteur A", "Lecteur B", true, false},
      {"AB", "A:\\", "B:\\", "Lecteur A", "Lecteur B", true, true},
      {"BF", "B:\\", "F:\\", "Lecteur B", "Lecteur F", true, true},
  };
  for (const Case& c : cases) {
    Program.RemovableDrives = c.removable;
    dialog_ = std::make_unique<TTransferer>(nullptr);
    std::string captions, places;
    bool deA = false, deB = false, versA = false, versB = false;
    RunDialog([&](HWND) {
      captions = dialog_->DeA.Text() + "|" + dialog_->DeB.Text() + "|" + dialog_->VersA.Text() + "|" +
                 dialog_->VersB.Text();
      deA = dialog_->DeA.Enabled(), deB = dialog_->DeB.Enabled();
      versA = dialog_->VersA.Enabled(), versB = dialog_->VersB.Enabled();
      places = Places();
      Click(dialog_->btnAnnuler.Handle());
    });
    EXPECT_EQ(dialog_->FirstRoot, c.first) << c.removable;
    EXPECT_EQ(dialog_->SecondRoot, c.second) << c.removable;
    EXPECT_EQ(captions, std::string(c.captionA) + "|" + c.captionB + "|" + c.captionA + "|" + c.captionB);
    EXPECT_EQ(deA, c.aEnabled) << c.removable;
    EXPECT_EQ(versA, c.aEnabled) << c.removable;
    EXPECT_EQ(deB, c.bEnabled) << c.removable;
    EXPECT_EQ(versB, c.bEnabled) << c.removable;
    // Without a diskette drive the destination is still the first root, "?:\".
    EXPECT_EQ(places, std::string("De C [] Vers A [") + c.first + "]");
  }
}

// Source and destination are never the same place; deleting has no
// destination.
TEST_F(ArchiveDialogTest, SourceAndDestinationAreNeverTheSamePlace) {
  Program.RemovableDrives = "AB";
  dialog_ = std::make_unique<TTransferer>(nullptr);
  Strings seen;
  bool versEnabledOnDelete = true, versEnabledAgain = false;
  RunDialog([&](HWND) {
    seen.push_back(Places());
    ClickAndWait(dialog_->DeA);  // the destination was A: it becomes the hard disk
    seen.push_back(Places());
    ClickAndWait(dialog_->VersB);
    seen.push_back(Places());
    ClickAndWait(dialog_->VersA);  // the source was A: it becomes the hard disk
    seen.push_back(Places());
    ClickAndWait(dialog_->VersC);  // the source was the hard disk: it becomes A
    seen.push_back(Places());
    ClickAndWait(dialog_->DeC);  // the destination was the hard disk: it becomes A
    seen.push_back(Places());
    ClickAndWait(dialog_->Supprimer);
    versEnabledOnDelete = dialog_->VersA.Enabled() || dialog_->VersC.Enabled() || dialog_->Vers.Enabled();
    seen.push_back(Places());
    ClickAndWait(dialog_->Deplacer);
    versEnabledAgain = dialog_->VersA.Enabled() && dialog_->VersB.Enabled() && dialog_->VersC.Enabled();
    seen.push_back(Places());
    Click(dialog_->btnAnnuler.Handle());
  });
  EXPECT_EQ(seen, (Strings{"De C [] Vers A [A:\\]", "De A [A:\\] Vers C []", "De A [A:\\] Vers B [B:\\]",
                           "De C [] Vers A [A:\\]", "De A [A:\\] Vers C []", "De C [] Vers A [A:\\]",
                           "De C [] Vers  [A:\\]", "De C [] Vers A [A:\\]"}));
  EXPECT_FALSE(versEnabledOnDelete);
  EXPECT_TRUE(versEnabledAgain);
  EXPECT_EQ(dialog_->OperationChosen, TTransferer::OperationMove);
}

TEST_F(ArchiveDialogTest, CopyMoveAndDeleteStatesAndReportsBetweenTheHardDiskAndADiskette) {
  Diskette diskette('A', dir_);
  WriteState(program_, "ASYK3DD", 5);
  WriteState(program_, "BBBBBBB", 1);
  WriteReport(program_, "ASYK3DE.PV1", "Installation de Mon Jeu le 05/12/1998 à 14:03:07");
  WriteReport(program_, "ASYK3DF.PV3", "Désinstallation de Mon Jeu le 06/12/1998 à 14:03:07");
  settings::Write(settings::Text::Pred, "ASYK3DD");
  settings::Write(settings::Text::Succ, "BBBBBBB");
  settings::Write(settings::Text::Last, "ASYK3DE.PV1");

  // Copy a state and a report: both sides hold them.
  EXPECT_EQ(Operate(dialog_->Copier, {"BBBBBBB.000", "ASYK3DE.PV1"}), "");
  EXPECT_EQ(FilesIn(diskette.Folder()), (Strings{"ASYK3DE.PV1", "BBBBBBB.000", "BBBBBBB.001"}));
  EXPECT_EQ(FilesIn(program_).size(), 10u);
  EXPECT_EQ(settings::Read(settings::Text::Pred), "");
  EXPECT_EQ(settings::Read(settings::Text::Succ), "");
  EXPECT_EQ(settings::Read(settings::Text::Last), "");

  // Move a state of an index and five members, and a log: all seven go.
  settings::Write(settings::Text::Last, "ASYK3DF.PV3");
  EXPECT_EQ(Operate(dialog_->Deplacer, {"ASYK3DD.000", "ASYK3DF.PV3"}), "");
  EXPECT_EQ(settings::Read(settings::Text::Last), "");
  Strings expected = StateFiles("ASYK3DD", 5);
  for (const char* name : {"ASYK3DE.PV1", "ASYK3DF.PV3", "BBBBBBB.000", "BBBBBBB.001"}) expected.push_back(name);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FilesIn(diskette.Folder()), expected);
  EXPECT_EQ(FilesIn(program_), (Strings{"ASYK3DE.PV1", "BBBBBBB.000", "BBBBBBB.001"}));
  EXPECT_EQ(ReadWholeFile(diskette.Folder() + "ASYK3DD.005"), "[membre]\r\n" + std::string(5000, ';'));

  // Back from the diskette, as a copy: the state stays there too.
  RunDialog([&](HWND) {
    ClickAndWait(dialog_->DeA);
    SelectFiles({"ASYK3DD.000"});
    Click(dialog_->btnOK.Handle());
  });
  EXPECT_EQ(FilesIn(program_).size(), 9u);
  EXPECT_EQ(FilesIn(diskette.Folder()).size(), 10u);
  EXPECT_EQ(Program.StorageLocation, "A:\\") << "the source stays the storage location";

  // Deleting asks first at level 3, and "Non" keeps everything.
  EXPECT_EQ(Operate(dialog_->Supprimer, {"ASYK3DD.000", "ASYK3DE.PV1"}, IDNO),
            "Voulez-vous réellement effacer les fichiers sélectionnés ?");
  EXPECT_EQ(FilesIn(program_).size(), 9u);
  EXPECT_EQ(Operate(dialog_->Supprimer, {"ASYK3DD.000", "ASYK3DE.PV1"}, IDYES),
            "Voulez-vous réellement effacer les fichiers sélectionnés ?");
  EXPECT_EQ(FilesIn(program_), (Strings{"BBBBBBB.000", "BBBBBBB.001"}));
  // At level 1 nothing is asked.
  Program.ConfirmLevel = 1;
  EXPECT_EQ(Operate(dialog_->Supprimer, {"BBBBBBB.000"}), "");
  EXPECT_TRUE(FilesIn(program_).empty());
  EXPECT_EQ(FilesIn(diskette.Folder()).size(), 10u) << "deleting from the hard disk leaves the diskette";
}

TEST_F(ArchiveDialogTest, OkWithoutASelectionSaysSoAndStaysOpen) {
  WriteReport(program_, "ASYK3DE.PV1", "Installation de Mon Jeu le 05/12/1998 à 14:03:07");
  std::string message;
  bool openAfter = false;
  RunDialog([&](HWND) {
    Click(dialog_->btnOK.Handle());
    message = AnswerMessageBox("Erreur", IDOK);
    Sleep(300);
    openAfter = IsWindowVisible(dialog_->Handle()) != 0;
    Click(dialog_->btnAnnuler.Handle());
  });
  EXPECT_EQ(message, "Aucun fichier n'est sélectionné !");
  EXPECT_TRUE(openAfter);
}

// A diskette full half-way, write-protected or not in its drive: the disk
// error of each, the state whole on the hard disk and nothing on the
// diskette.
TEST_F(ArchiveDialogTest, AMoveThatFailsLeavesTheStateWholeOnTheHardDisk) {
  if (!Diskette::CanMount()) GTEST_SKIP() << "small diskettes are mounted as root";
  struct Case {
    const char* what;
    int kilobytes;
    bool protect, takeOut;
    int code;
  };
  const Case cases[] = {
      {"full", 8, false, false, ERROR_DISK_FULL},
      {"write-protected", 1024, true, false, ERROR_ACCESS_DENIED},
      {"missing", 1024, false, true, ERROR_NOT_READY},
  };
  WriteState(program_, "ASYK3DD", 5);
  const Strings before = FilesIn(program_);
  for (const Case& c : cases) {
    Diskette diskette('A', dir_, c.kilobytes);
    ASSERT_TRUE(diskette.Mounted());
    if (c.protect) diskette.WriteProtect();
    if (c.takeOut) diskette.TakeOut();
    EXPECT_EQ(Operate(dialog_->Deplacer, {"ASYK3DD.000"}), DiskErrorText(c.code)) << c.what;
    EXPECT_EQ(FilesIn(program_), before) << c.what;
    EXPECT_EQ(ReadWholeFile(program_ + "ASYK3DD.005"), "[membre]\r\n" + std::string(5000, ';')) << c.what;
    if (!c.takeOut) {
      EXPECT_TRUE(FilesIn(diskette.Folder()).empty()) << c.what;
    }
  }
}
