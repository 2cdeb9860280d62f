// The system-file backup driven as a user drives it: source files on a
// fixture disk K:, the archives on a diskette in A:, the index in the
// program directory.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "services/files.h"
#include "services/version_info.h"
#include "shell/settings.h"
#include "support/diskette.h"
#include "support/gui_driver.h"
#include "support/wine_fixture.h"
#include "tools/backup_dialog.h"
#include "tools/backup_index.h"
#include "tools/zip_archiver.h"
#include "windows/scratch_program.h"

namespace {

using Strings = std::vector<std::string>;

std::string WindowsPathOfHost(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return "Z:" + path;
}

std::string Bytes(const std::string& path) {
  std::string bytes;
  ReadFileBytes(path, bytes);
  return bytes;
}

class BackupDialogTest : public ScratchProgramTest {
 protected:
  void SetUp() override {
    ScratchProgramTest::SetUp();
    // The libraries are found as beside the installed program.
    SetDllDirectoryA(WindowsPathOfHost(PV_BIN_DIR).c_str());
    machine_ = dir_ + "systeme\\";
    MakeFixtureDirectory(machine_);
    disk_ = std::make_unique<MappedDrive>('K', machine_);
    Program.HelpAvailable = true;
  }
  void TearDown() override {
    dialog_.reset();
    diskette_.reset();
    disk_.reset();
    SetDllDirectoryA(nullptr);
    ScratchProgramTest::TearDown();
  }
  // A diskette in A: (of that many kilobytes, 0: as large as the disk).
  bool InsertDiskette(int kilobytes = 0) {
    diskette_ = kilobytes ? std::make_unique<Diskette>('A', dir_, kilobytes) : std::make_unique<Diskette>('A', dir_);
    return !kilobytes || diskette_->Mounted();
  }
  void Source(const std::string& name, const std::string& bytes, uint32_t date = PackDosTime(1998, 12, 5, 14, 3, 6)) {
    WriteFixtureFile(machine_ + name, bytes, date);
  }
  void Open() {
    dialog_ = std::make_unique<TSecurite>(nullptr);
    ASSERT_TRUE(dialog_->Created());
  }
  int Run(const std::function<void(HWND)>& script) {
    return DriveModal([&] { return dialog_->ShowModal(); }, TSecurite::Title, script);
  }
  // On the dialog's thread: shows the source disk with every type of file
  // and selects that file.
  void ChooseSource(const std::string& name) {
    SendMessageTimeoutA(dialog_->Filtre1.Handle(), CB_SETCURSEL, 5, 0, SMTO_NORMAL, 5000, nullptr);
    SendMessageTimeoutA(dialog_->Handle(), WM_COMMAND, MAKEWPARAM(dialog_->Filtre1.Id(), CBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(dialog_->Filtre1.Handle()), SMTO_NORMAL, 5000, nullptr);
    ChooseItem(dialog_->Disque1.Handle(), "K:");
    ChooseItem(dialog_->Fichier1.Handle(), name);
  }
  // Presses a button and waits for its handler to end (no box expected).
  void Press(const Button& button) {
    SendMessageTimeoutA(button.Handle(), BM_CLICK, 0, 0, SMTO_NORMAL, 60000, nullptr);
  }
  // Presses a button and answers the boxes it opens; gives their texts.
  Strings PressAndAnswer(const Button& button, int answer) {
    Click(button.Handle());
    return AnswerMessageBoxesUntilIdle(dialog_->Handle(),
                                       {{"Confirmation", answer}, {"Erreur", IDOK}, {"Avertissement", IDOK}});
  }
  std::string Indicators() const {
    std::string shown;
    for (const TLED* led : {&dialog_->LEDV1, &dialog_->LEDL1, &dialog_->LEDD1, &dialog_->LEDT1, &dialog_->LEDV2,
                            &dialog_->LEDL2, &dialog_->LEDD2, &dialog_->LEDT2}) {
      const char colour = led->LEDColor() == lcGreen ? 'g' : led->LEDColor() == lcRed ? 'r' : '?';
      shown += led->LEDOn() ? static_cast<char>(colour - 32) : colour;
    }
    return shown.substr(0, 4) + "|" + shown.substr(4);
  }
  std::string Values(int side) const {
    const TSecurite& d = *dialog_;
    return side == 1 ? d.Version1.Text() + "|" + d.Langue1.Text() + "|" + d.Date1.Text() + "|" + d.Taille1.Text()
                     : d.Version2.Text() + "|" + d.Langue2.Text() + "|" + d.Date2.Text() + "|" + d.Taille2.Text();
  }
  std::string Index() const { return Bytes(dir_ + "SECUINFO.PVL"); }
  // The entries of an archive and their sizes, as the component lists them.
  Strings EntriesOf(const std::string& archive) const {
    TZipArchiver zip(nullptr);
    zip.SetArchiveName(archive);
    Strings entries;
    for (const ArchiveEntry& e : zip.ArchiveEntries) entries.push_back(e.FileName + " " + std::to_string(e.UncompressedSize));
    return entries;
  }

  std::string machine_;
  std::unique_ptr<MappedDrive> disk_;
  std::unique_ptr<Diskette> diskette_;
  std::unique_ptr<TSecurite> dialog_;
};

std::string Golden(const std::string& name) {
  return Bytes(std::string(PV_TESTS_DIR) + "\\windows\\golden\\" + name);
}

}  // namespace

// The first save makes PVLN0001.ZIP and record 0; saving again, once the
// file has grown, replaces its entry in the same archive and overwrites its
// record; the counter stays.
TEST_F(BackupDialogTest, SavingTwiceKeepsOneCopyInTheFirstArchive) {
  ASSERT_TRUE(InsertDiskette());
  Source("SYSTEME.INI", "[boot]\r\nshell=Explorer.exe\r\n");
  std::string before, afterFirst, copyFirst, indicatorsFirst, indicatorsChanged, afterSecond, archives;
  Open();
  Run([&](HWND) {
    ChooseSource("SYSTEME.INI");
    before = dialog_->Label9.Text() + dialog_->Label10.Text() + "|" + Values(2) + "|" + Indicators();
    Press(dialog_->btnArchiver);
    afterFirst = dialog_->Label9.Text() + dialog_->Label10.Text();
    copyFirst = Values(2);
    indicatorsFirst = Indicators();
    // Newer and larger than its copy.
    Source("SYSTEME.INI", "[boot]\r\nshell=Explorer.exe\r\n[386Enh]\r\n", PackDosTime(1999, 1, 2, 10, 0, 0));
    ChooseItem(dialog_->Fichier1.Handle(), "SYSTEME.INI");
    indicatorsChanged = Indicators();
    Press(dialog_->btnArchiver);
    afterSecond = dialog_->Label10.Text() + "|" + Values(2);
    for (int i = 0; i < dialog_->Fichier2.Count(); ++i) archives += dialog_->Fichier2.Item(i) + " ";
    Click(dialog_->btnFermer.Handle());
  });
  EXPECT_EQ(before, "non archivé|?|?|?|?|gggg|gggg");
  EXPECT_EQ(afterFirst, "archivé dans PVLN0001.ZIP");
  EXPECT_EQ(copyFirst, "?|?|05/12/1998 14:03:06 |28 octets");
  // Equal dates and sizes: both green and lit; no version, no language.
  EXPECT_EQ(indicatorsFirst, "ggGG|ggGG");
  // The source is newer and larger: green on its side, red on the copy's.
  EXPECT_EQ(indicatorsChanged, "ggGG|ggRR");
  EXPECT_EQ(afterSecond, "PVLN0001.ZIP|?|?|02/01/1999 10:00:00 |38 octets");
  EXPECT_EQ(archives, "PVLN0001.ZIP ");
  EXPECT_EQ(EntriesOf("A:\\PVLN0001.ZIP"), Strings{"SYSTEME.INI 38"});
  EXPECT_EQ(Index(), Golden("SECUINFO.PVL"));
  EXPECT_EQ(settings::Read(settings::Number::SecNum), 1);
  EXPECT_EQ(settings::Read(settings::Text::SecDir), "A:\\");
  EXPECT_TRUE(GetFileAttributesA("A:\\PVLN0001.ZIP") & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(Exists("~~pv.tmp"));
}

// What a library says about itself, a midnight time written out, and the
// language and version indicators.
TEST_F(BackupDialogTest, VersionLanguageAndMidnight) {
  ASSERT_TRUE(InsertDiskette());
  ASSERT_TRUE(CopyFileA(WindowsPathOfHost(PV_VERSIONED_DLL).c_str(), (machine_ + "ESSAI.DLL").c_str(), FALSE));
  Source("MINUIT.SYS", "DEVICE=HIMEM.SYS\r\n", PackDosTime(1998, 12, 5, 0, 0, 0));
  std::string versioned, midnight, savedIndicators;
  Open();
  Run([&](HWND) {
    ChooseSource("ESSAI.DLL");
    versioned = dialog_->Version1.Text() + "|" + dialog_->Langue1.Text();
    Press(dialog_->btnArchiver);
    savedIndicators = Indicators() + "|" + dialog_->Version2.Text();
    ChooseItem(dialog_->Fichier1.Handle(), "MINUIT.SYS");
    midnight = dialog_->Date1.Text();
    Click(dialog_->btnFermer.Handle());
  });
  EXPECT_EQ(versioned, "4.10.0.1998|" + LanguageName(0x040C));
  EXPECT_NE(LanguageName(0x040C), "");
  // Same version, same language, same date and size: all lit and green
  // (the language is compared with the user's only when the two differ).
  EXPECT_EQ(savedIndicators, "GGGG|GGGG|4.10.0.1998");
  EXPECT_EQ(midnight, "05/12/1998 00:00:00");
}

// A restore puts the copy back; one refused because the file is in use
// leaves the file as it was and says why.
TEST_F(BackupDialogTest, RestorePutsTheCopyBackUnlessTheFileIsInUse) {
  ASSERT_TRUE(InsertDiskette());
  const std::string original = "[windows]\r\nload=\r\n";
  Source("WIN.INI", original);
  Strings asked, refused;
  std::string inUse;
  Open();
  Run([&](HWND) {
    ChooseSource("WIN.INI");
    Press(dialog_->btnArchiver);
    Source("WIN.INI", "[windows]\r\nload=intrus.exe\r\n");
    ChooseItem(dialog_->ListBox1.Handle(), "WIN.INI");
    asked = PressAndAnswer(dialog_->btnRestaurer, IDYES);
    Source("WIN.INI", "changé encore");
    HANDLE lock = CreateFileA((machine_ + "WIN.INI").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ChooseItem(dialog_->ListBox1.Handle(), "WIN.INI");
    refused = PressAndAnswer(dialog_->btnRestaurer, IDYES);
    CloseHandle(lock);
    inUse = Bytes(machine_ + "WIN.INI");
    Click(dialog_->btnFermer.Handle());
  });
  EXPECT_EQ(asked, Strings{"Voulez-vous vraiment remplacer le fichier K:\\WIN.INI par celui qui se trouve dans "
                           "l'archive ?"});
  ASSERT_EQ(refused.size(), 2u);
  EXPECT_EQ(refused[1],
            "Le fichier n'a pas pu être restauré : il est peut-être utilisé actuellement par une autre application ; si "
            "l'erreur persiste, quittez Windows et restaurez-le avec un utilitaire tel que PKZip.");
  EXPECT_EQ(inUse, "changé encore");
}

// Dragging a file onto the archive's list saves it; dragging the copy back
// onto the file list restores it.
TEST_F(BackupDialogTest, DragAndDropSavesAndRestores) {
  ASSERT_TRUE(InsertDiskette());
  Source("PILOTE.DRV", "pilote d'origine");
  Strings asked;
  Open();
  auto drag = [&](const ListBox& from, const ListBox& to) {
    RECT item;
    SendMessageTimeoutA(from.Handle(), LB_GETITEMRECT, from.Selected(), reinterpret_cast<LPARAM>(&item), SMTO_NORMAL,
                        2000, nullptr);
    RECT target;
    GetWindowRect(to.Handle(), &target);
    POINT drop{(target.left + target.right) / 2, (target.top + target.bottom) / 2};
    ScreenToClient(from.Handle(), &drop);
    const LPARAM start = MAKELPARAM(item.left + 4, item.top + 2);
    PostMessageA(from.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, start);
    PostMessageA(from.Handle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(drop.x, drop.y));
    PostMessageA(from.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(drop.x, drop.y));
  };
  Run([&](HWND) {
    ChooseSource("PILOTE.DRV");
    drag(dialog_->Fichier1, dialog_->ListBox1);
    WaitUntil([&] { return dialog_->ListBox1.Count() == 1; }, 20000);
    Source("PILOTE.DRV", "pilote remplacé");
    ChooseItem(dialog_->ListBox1.Handle(), "PILOTE.DRV");
    drag(dialog_->ListBox1, dialog_->Fichier1);
    asked = AnswerMessageBoxesUntilIdle(dialog_->Handle(), {{"Confirmation", IDYES}});
    Click(dialog_->btnFermer.Handle());
  });
  EXPECT_EQ(EntriesOf("A:\\PVLN0001.ZIP"), Strings{"PILOTE.DRV 16"});
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_EQ(Bytes(machine_ + "PILOTE.DRV"), "pilote d'origine");
  EXPECT_EQ(dialog_->DragSource, 0);
}

// A file whose copy no longer fits on the diskette keeps its old copy and
// its record: the new copy never replaces the old one half-written.
TEST_F(BackupDialogTest, AFullDisketteKeepsTheOldCopyAndItsRecord) {
  if (!Diskette::CanMount()) GTEST_SKIP() << "a small diskette needs root";
  ASSERT_TRUE(InsertDiskette(64));
  Source("DRIVER.VXD", "petit");
  std::string noise(200 * 1024, '\0');
  uint32_t x = 12345;
  for (char& c : noise) c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
  Strings asked;
  std::string archiveBefore, indexBefore;
  Open();
  Run([&](HWND) {
    ChooseSource("DRIVER.VXD");
    Press(dialog_->btnArchiver);
    archiveBefore = Bytes("A:\\PVLN0001.ZIP");
    indexBefore = Index();
    Source("DRIVER.VXD", noise);
    ChooseItem(dialog_->Fichier1.Handle(), "DRIVER.VXD");
    asked = PressAndAnswer(dialog_->btnArchiver, IDOK);
    Click(dialog_->btnFermer.Handle());
  });
  EXPECT_EQ(asked, Strings{"Il n'y a pas assez de place sur le disque A."});
  EXPECT_FALSE(archiveBefore.empty());
  EXPECT_EQ(Bytes("A:\\PVLN0001.ZIP"), archiveBefore);
  EXPECT_EQ(Index(), indexBefore);
  EXPECT_EQ(EntriesOf("A:\\PVLN0001.ZIP"), Strings{"DRIVER.VXD 5"});
}

// A name longer than the index holds is not saved, and the user is told.
TEST_F(BackupDialogTest, ANameLongerThanTwentyCharactersIsNotSaved) {
  ASSERT_TRUE(InsertDiskette());
  Source("UN-NOM-BIEN-TROP-LONG.DLL", "contenu");
  Strings asked;
  Open();
  Run([&](HWND) {
    ChooseSource("UN-NOM-BIEN-TROP-LONG.DLL");
    asked = PressAndAnswer(dialog_->btnArchiver, IDOK);
    Click(dialog_->btnFermer.Handle());
  });
  EXPECT_EQ(asked, Strings{"Le nom UN-NOM-BIEN-TROP-LONG.DLL a plus de 20 caractères : ce fichier ne peut pas être "
                           "sauvegardé."});
  EXPECT_FALSE(FileExists("A:\\PVLN0001.ZIP"));
  EXPECT_EQ(Index(), "");
  EXPECT_EQ(settings::Read(settings::Number::SecNum), 0);
}

// The compressed size is measured in the program directory, so a file can
// be saved from a write-protected diskette even when the user last browsed
// to it.
TEST_F(BackupDialogTest, AFileOnAWriteProtectedDisketteCanBeSaved) {
  if (!Diskette::CanMount()) GTEST_SKIP() << "a write-protected diskette needs root";
  ASSERT_TRUE(InsertDiskette());
  Diskette source('B', dir_, 256);
  ASSERT_TRUE(source.Mounted());
  WriteFixtureFile(source.Folder() + "CONFIG.SYS", "FILES=40\r\n", PackDosTime(1998, 12, 5, 14, 3, 6));
  source.WriteProtect();
  std::string saved;
  Open();
  Run([&](HWND) {
    ChooseItem(dialog_->Disque1.Handle(), "B:");
    SendMessageTimeoutA(dialog_->Filtre1.Handle(), CB_SETCURSEL, 5, 0, SMTO_NORMAL, 5000, nullptr);
    SendMessageTimeoutA(dialog_->Handle(), WM_COMMAND, MAKEWPARAM(dialog_->Filtre1.Id(), CBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(dialog_->Filtre1.Handle()), SMTO_NORMAL, 5000, nullptr);
    ChooseItem(dialog_->Fichier1.Handle(), "CONFIG.SYS");
    Press(dialog_->btnArchiver);
    saved = dialog_->Label9.Text() + dialog_->Label10.Text();
    Click(dialog_->btnFermer.Handle());
  });
  EXPECT_EQ(saved, "archivé dans PVLN0001.ZIP");
  EXPECT_EQ(EntriesOf("A:\\PVLN0001.ZIP"), Strings{"CONFIG.SYS 10"});
}

// With no diskette in the drive the dialog asks for one before it opens,
// again after OK; Cancel closes it.
TEST_F(BackupDialogTest, ADriveWithoutDisketteAsksForOneAndCancelCloses) {
  ASSERT_TRUE(InsertDiskette());
  diskette_->TakeOut();
  Strings asked;
  int result = -1;
  Open();
  WhileModal([&] { result = dialog_->ShowModal(); },
             [&] {
               for (int answer : {IDOK, IDCANCEL}) asked.push_back(AnswerMessageBox("Erreur", answer, 10000));
             });
  EXPECT_EQ(asked, (Strings{"Mettez un disque dans le lecteur A", "Mettez un disque dans le lecteur A"}));
  EXPECT_EQ(result, mrCancel);
  EXPECT_EQ(settings::Read(settings::Text::SecDir), "A");
}

// A file that is in no archive: "non archivé", question marks, all
// indicators unlit.
TEST_F(BackupDialogTest, AFileInNoArchiveShowsNothingOnTheCopySide) {
  ASSERT_TRUE(InsertDiskette());
  Source("SAUVE.DLL", "une");
  Source("AUTRE.DLL", "autre");
  std::string other;
  Open();
  Run([&](HWND) {
    ChooseSource("SAUVE.DLL");
    Press(dialog_->btnArchiver);
    ChooseItem(dialog_->Fichier1.Handle(), "AUTRE.DLL");
    other = dialog_->Label9.Text() + "|" + dialog_->Label10.Text() + "|" + Values(2) + "|" + Indicators() + "|" +
            std::to_string(dialog_->ListBox1.Selected());
    Click(dialog_->btnFermer.Handle());
  });
  EXPECT_EQ(other, "non archivé||?|?|?|?|gggg|gggg|-1");
}
