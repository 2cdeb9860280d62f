// The temporary-file cleaner driven as a user drives it: a fixture disk K:
// with files of every mask, hidden and system ones too, and a temporary
// directory of the test's own (the environment's TMP and TEMP).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "services/wait_message.h"
#include "shell/settings.h"
#include "support/gui_driver.h"
#include "support/wine_fixture.h"
#include "tools/cleaner.h"
#include "tools/cleaner_dialog.h"
#include "windows/scratch_program.h"

namespace {

// What the wait window was asked to show.
class RecordedWaitTexts : public WaitMessageDisplay {
 public:
  void Show(const std::string& text) override { texts.push_back(text); }
  void Hide() override {}
  std::vector<std::string> texts;
};

class CleanerTest : public ScratchProgramTest {
 protected:
  void SetUp() override {
    ScratchProgramTest::SetUp();
    machine_ = dir_ + "machine\\";
    temp_ = dir_ + "temporaire\\";
    for (const std::string& d : {machine_, machine_ + "SUB\\", machine_ + "DIVERS\\", temp_, temp_ + "SOUS\\"})
      MakeFixtureDirectory(d);
    const uint32_t date = PackDosTime(1998, 12, 5, 14, 3, 6);
    // Of every mask, hidden and system ones too; 0, 1, 4096 and 4097 bytes.
    WriteFixtureFile(machine_ + "lettre.bak", "", date);
    WriteFixtureFile(machine_ + "SUB\\cache.tmp", std::string(1, 'x'), date, FILE_ATTRIBUTE_HIDDEN);
    WriteFixtureFile(machine_ + "SUB\\vieux.old", std::string(4096, 'x'), date, FILE_ATTRIBUTE_SYSTEM);
    WriteFixtureFile(machine_ + "~~brouillon.doc", std::string(4097, 'x'), date);
    WriteFixtureFile(machine_ + "SUB\\copie.~ab", "ab", date, FILE_ATTRIBUTE_READONLY);
    WriteFixtureFile(machine_ + "garder.txt", "à garder", date);
    WriteFixtureFile(machine_ + "SUB\\garder.doc", "à garder", date);
    // Enough entries for the walk to last longer than the progress timer,
    // made by the host at once.
    RunHostCommand("cd \"" + UnixPathOf(machine_ + "DIVERS") + "\" && for i in $(seq 6000); do : > f$i.txt; done");
    WriteFixtureFile(temp_ + "a.dat", std::string(10, 'x'), date);
    WriteFixtureFile(temp_ + "SOUS\\b.dat", std::string(5000, 'x'), date, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    disk_ = std::make_unique<MappedDrive>('K', machine_);
    // The scratch directory's name holds a dot followed by more than three
    // characters, which the file search refuses in a path: the temporary
    // directory is reached through a drive of its own.
    tempDrive_ = std::make_unique<MappedDrive>('J', dir_);
    temp_ = "J:\\temporaire\\";
    Program.FixedDrives = "CK";
    Program.HelpAvailable = true;
    settings::Write(settings::Text::Temp, "K");
    SetTemporaryDirectory(temp_);
    SetWaitMessageDisplay(&waits_);
  }
  void TearDown() override {
    SetWaitMessageDisplay(nullptr);
    for (const char* name : {"TMP", "TEMP"}) SetEnvironmentVariableA(name, saved_[name].c_str());
    tempDrive_.reset();
    disk_.reset();
    ScratchProgramTest::TearDown();
  }
  void SetTemporaryDirectory(const std::string& directory) {
    for (const char* name : {"TMP", "TEMP"}) {
      char value[MAX_PATH] = {};
      if (!saved_.count(name)) saved_[name] = GetEnvironmentVariableA(name, value, MAX_PATH) ? value : "";
      SetEnvironmentVariableA(name, directory.c_str());
    }
  }
  // Opens the dialog, lets the script choose, presses OK and answers the
  // confirmation; answers the result message.
  std::string Clean(int answer, const std::function<void(TNettoyage&)>& choose = nullptr) {
    TNettoyage dialog(nullptr);
    std::string result;
    DriveModal([&] { return dialog.ShowModal(); }, TNettoyage::Title, [&](HWND) {
      if (choose) choose(dialog);
      Click(dialog.BitBtn1.Handle());
      question_ = AnswerMessageBox("Confirmation", answer);
      if (answer == IDYES) result = AnswerMessageBox("Information", IDOK, 60000);
    });
    return result;
  }

  std::string machine_, temp_, question_;
  std::unique_ptr<MappedDrive> disk_, tempDrive_;
  RecordedWaitTexts waits_;
  std::map<std::string, std::string> saved_;
};

}  // namespace

TEST(CleanerRules, BlocksMessagesAndMasks) {
  EXPECT_EQ(FreedBlocksOf(0), 0u);
  EXPECT_EQ(FreedBlocksOf(1), 1u);
  EXPECT_EQ(FreedBlocksOf(4096), 1u);
  EXPECT_EQ(FreedBlocksOf(4097), 2u);
  EXPECT_EQ(CleaningResultText(0, 0), "Aucun fichier n'a été supprimé.");
  EXPECT_EQ(CleaningResultText(1, 1), "1 fichier a été supprimé, ce qui a libéré au moins 4 Ko.");
  EXPECT_EQ(CleaningResultText(3, 5), "3 fichiers ont été supprimés, ce qui a libéré au moins 20 Ko.");
  for (const char* text : {"AB", ".TMP", "ABC.", "ABC"}) EXPECT_FALSE(MaskMayBeAdded(text)) << text;
  for (const char* text : {"A.B", "*.tmp", "~~*.*"}) EXPECT_TRUE(MaskMayBeAdded(text)) << text;
}

TEST_F(CleanerTest, TheTemporaryDirectoryAndEveryMaskAreCleaned) {
  const std::string result = Clean(IDYES);
  EXPECT_EQ(question_, "Etes-vous sûr que tous ces masques correspondent bien à des fichiers temporaires ?");
  // 7 files: 10 and 5000 bytes in the temporary directory (1 + 2 blocks),
  // then 0, 1, 4096, 4097 and 2 bytes (0 + 1 + 1 + 2 + 1 blocks).
  EXPECT_EQ(result, "7 fichiers ont été supprimés, ce qui a libéré au moins 32 Ko.");
  for (const std::string& gone : {temp_ + "a.dat", temp_ + "SOUS\\b.dat", machine_ + "lettre.bak",
                                  machine_ + "SUB\\cache.tmp", machine_ + "SUB\\vieux.old",
                                  machine_ + "~~brouillon.doc", machine_ + "SUB\\copie.~ab"})
    EXPECT_FALSE(PathExists(gone)) << gone;
  EXPECT_TRUE(PathExists(machine_ + "garder.txt"));
  EXPECT_TRUE(PathExists(machine_ + "SUB\\garder.doc"));
  EXPECT_TRUE(PathExists(temp_ + "SOUS\\")) << "directories stay";
  EXPECT_EQ(settings::Read(settings::Text::Temp), "K");
  // Each mask followed by "|", in the list's order.
  std::string masks = settings::Read(settings::Text::TempFiles);
  EXPECT_TRUE(masks.ends_with("|")) << masks;
  std::vector<std::string> stored;
  for (size_t from = 0, bar; (bar = masks.find('|', from)) != std::string::npos; from = bar + 1)
    stored.push_back(masks.substr(from, bar - from));
  std::sort(stored.begin(), stored.end());
  EXPECT_EQ(stored, (std::vector<std::string>{"*.bak", "*.old", "*.tmp", "*.~??", "~~*.*"}));
  EXPECT_EQ(settings::Read(settings::Number::TD), 1);
  const bool progress = std::any_of(waits_.texts.begin(), waits_.texts.end(), [](const std::string& t) {
    return t.starts_with(" Recherche de ") && t.find(" sur K:\\") != std::string::npos;
  });
  EXPECT_TRUE(progress) << "no progress text in the wait window";
}

// "Non" cleans nothing and keeps the settings as they were.
TEST_F(CleanerTest, NonChangesNothing) {
  const std::string result = Clean(IDNO, [](TNettoyage& dialog) {
    dialog.uK.SetChecked(false);
    dialog.TempDir.SetChecked(false);
  });
  EXPECT_EQ(result, "");
  EXPECT_EQ(settings::Read(settings::Text::Temp), "K");
  EXPECT_EQ(settings::Read(settings::Number::TD), 1);
  EXPECT_TRUE(PathExists(machine_ + "lettre.bak"));
  EXPECT_TRUE(PathExists(temp_ + "a.dat"));
}

// A mask is added only when it looks like one, and once.
TEST_F(CleanerTest, TheMaskRule) {
  TNettoyage dialog(nullptr);
  std::vector<std::pair<std::string, bool>> seen;
  int before = 0, afterNew = 0, afterSame = 0;
  DriveModal([&] { return dialog.ShowModal(); }, TNettoyage::Title, [&](HWND) {
    for (const char* text : {"AB", ".TMP", "ABC.", "ABC", "A.B"}) {
      SendMessageA(dialog.Masque.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
      seen.emplace_back(text, dialog.btnAjouter.Enabled());
    }
    before = dialog.Liste.Count();
    SendMessageA(dialog.Masque.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("*.swp"));
    SendMessageA(dialog.btnAjouter.Handle(), BM_CLICK, 0, 0);
    afterNew = dialog.Liste.Count();
    SendMessageA(dialog.Masque.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("*.TMP"));
    SendMessageA(dialog.btnAjouter.Handle(), BM_CLICK, 0, 0);
    afterSame = dialog.Liste.Count();
    Click(dialog.BitBtn2.Handle());
  });
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, bool>>{
                      {"AB", false}, {".TMP", false}, {"ABC.", false}, {"ABC", false}, {"A.B", true}}));
  EXPECT_EQ(before, 5);
  EXPECT_EQ(afterNew, 6);
  EXPECT_EQ(afterSame, 6) << "*.tmp is there already";
}

// A temporary directory that is a drive's root or the Windows directory is
// left whole, and the result says why; the masks still apply.
TEST_F(CleanerTest, ATemporaryDirectoryThatIsNoFolderOfItsOwnStaysWhole) {
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  const std::pair<std::string, std::string> cases[] = {
      {"K:\\", "Le répertoire temporaire K:\\ n'a pas été vidé : c'est la racine d'un disque."},
      {std::string(windows) + "\\", "Le répertoire temporaire " + std::string(windows) +
                                        "\\ n'a pas été vidé : c'est le répertoire de Windows."},
  };
  for (const auto& [temporary, why] : cases) {
    SetTemporaryDirectory(temporary);
    WriteFixtureFile(machine_ + "encore.tmp", "x", PackDosTime(1998, 12, 5, 14, 3, 6));
    const std::string result = Clean(IDYES);
    EXPECT_NE(result.find(why), std::string::npos) << result;
    EXPECT_TRUE(PathExists(machine_ + "garder.txt")) << temporary;
    EXPECT_FALSE(PathExists(machine_ + "encore.tmp")) << "the masks apply: " << temporary;
  }
}
