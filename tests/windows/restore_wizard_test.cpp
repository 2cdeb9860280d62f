// The restore wizard driven as a user drives it: the test's machine of two
// disks and its registry sandbox are changed after a recording, and the
// restore must give them back as they were.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "recording/catalogue_lines.h"
#include "support/diskette.h"
#include "undo/restore_wizard.h"
#include "windows/wizard_fixture.h"

namespace {

// Every entry under a directory: files with their size, date, attributes
// and contents; directories by name only (a directory in which entries were
// made and deleted is dated anew, and no undo dates it back).
void Picture(const std::string& dir, const std::string& relative, std::map<std::string, std::string>& picture) {
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((dir + relative + "*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      picture[relative + name + "\\"] = "directory";
      Picture(dir, relative + name + "\\", picture);
    } else {
      picture[relative + name] = std::to_string(found.nFileSizeLow) + " " +
                                 std::to_string(found.ftLastWriteTime.dwLowDateTime) + " " +
                                 std::to_string(found.dwFileAttributes) + " " + ReadWholeFile(dir + relative + name);
    }
  } while (FindNextFileA(h, &found));
  FindClose(h);
}

// A key with its values and sub-keys, as text.
void Dump(HKEY root, const std::string& path, std::string& out) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  out += "[" + path + "]\n";
  for (DWORD i = 0;; ++i) {
    char name[256];
    BYTE data[1024];
    DWORD nameLength = sizeof name, dataLength = sizeof data, type = 0;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS) break;
    out += std::string(name) + "=" + std::to_string(type) + ":" +
           std::string(reinterpret_cast<char*>(data), dataLength) + "\n";
  }
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    Dump(root, path + "\\" + name, out);
  }
  RegCloseKey(key);
}

class RestoreWizardTest : public WizardTest {
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
    wizard_ = std::make_unique<TAssRestaure>(nullptr, *archive_, *viewer_, *restart_);
    ASSERT_TRUE(wizard_->Created());
  }
  int Run(const std::function<void(HWND)>& script) { return Drive(*wizard_, TAssRestaure::Title, script); }
  bool Go(const Button& button, char step, int milliseconds = 5000) {
    return WizardTest::Go(*wizard_, button, step, milliseconds);
  }
  std::string Texts() const {
    std::string all;
    for (int i = 1; i <= 6; ++i) all += WizardTest::Text(*wizard_, i) + "|";
    return all;
  }
  // The machine as the restore must give it back: WIN.INI, which the
  // restore rewrites on purpose, by its contents and attributes only.
  std::map<std::string, std::string> Machine() const {
    std::map<std::string, std::string> picture;
    Picture(machine_, "", picture);
    Picture(second_, "", picture);
    picture["WINDOWS\\WIN.INI"] = ReadWholeFile(machine_ + "WINDOWS\\WIN.INI");
    return picture;
  }
  std::string Registry() const {
    std::string text;
    Dump(HKEY_LOCAL_MACHINE, "Software", text);
    return text;
  }
  bool StateExists(const std::string& base) const {
    return GetFileAttributesA((program_ + base + ".000").c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  std::unique_ptr<TAssRestaure> wizard_;
};

}  // namespace

TEST(RestoreWarning, NamesTheDateOfTheState) {
  const std::string line = StateLabel("* le 05/12/1998 à 14:03:07", LabelCaptionRecorded, "ASYK3DD.000");
  EXPECT_EQ(TAssRestaure::WarningTextOf(line), "le 05/12/1998 à 14:03:07 seront perdues.");
}

// What was added since the state goes, what was changed comes back; with
// WIN.INI changed the restart prompt is offered, and "Attendre" closes the
// wizard. The state stays, or goes when the user says so.
TEST_F(RestoreWizardTest, TheMachineGoesBackToTheChosenState) {
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Atelier", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  RegSetValueExA(key, "Couleur", 0, REG_SZ, reinterpret_cast<const BYTE*>("rouge"), 6);
  RegCloseKey(key);
  const std::map<std::string, std::string> machine = Machine();
  const std::string registry = Registry();
  const std::string chosen = RecordMachine("KL", "WR");
  Program.Drives = "K";
  Program.Types = "";

  // What happened since.
  MakeFixtureDirectory(machine_ + "JEU\\");
  WriteFixtureFile(machine_ + "JEU\\jeu.exe", "MZ jeu", PackDosTime(2001, 3, 4, 10, 0, 0));
  WriteFixtureFile(second_ + "nouveau.txt", "nouveau", PackDosTime(2001, 3, 4, 10, 0, 0));
  WritePrivateProfileStringA("Jeu", "Dossier", "K:\\JEU", (machine_ + "WINDOWS\\WIN.INI").c_str());
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Atelier", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  RegSetValueExA(key, "Couleur", 0, REG_SZ, reinterpret_cast<const BYTE*>("bleu"), 5);
  RegCloseKey(key);
  RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Jeu", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  RegCloseKey(key);
  ASSERT_NE(Machine(), machine);

  std::string a, b, c, warning;
  bool nextBefore = true, prompt = false;
  const int result = Run([&](HWND) {
    a = Texts();
    nextBefore = wizard_->BtnSuivant.Enabled();
    ChooseLineWith(wizard_->Liste, chosen + ".000");
    warning = TAssRestaure::WarningTextOf(wizard_->Liste.Item(wizard_->Liste.Selected()));
    Go(wizard_->BtnSuivant, 'B');
    b = Texts() + (wizard_->RG.Visible() ? "RG" : "");
    if (!Go(wizard_->BtnSuivant, 'C', 60000)) return;
    c = Texts() + wizard_->BtnSuivant.Text() + "|" + wizard_->BtnConfig.Text();
    Click(wizard_->BtnSuivant.Handle());
    prompt = WaitForWindow("Pivalune 98", 5000) != nullptr;
    Click(restart_->Attendre.Handle());
  });
  EXPECT_EQ(a, " Choisissez l'état enregistré qui doit être restauré;|cliquez sur \"Archive\" pour récupérer un état "
               "sur|sur disquette.||||");
  EXPECT_FALSE(nextBefore);
  EXPECT_TRUE(warning.starts_with("le ") && warning.ends_with(" seront perdues.") && warning.size() == 40) << warning;
  EXPECT_EQ(b, "|| Cliquez sur \"Suivant\" pour lancer la restauration.|| Toutes les modifications survenues depuis|" +
                   warning + "|RG");
  EXPECT_EQ(c, "||||Cliquez sur \"Rapport\" pour voir ce qui a été modifié.||Terminer|Rapport");
  EXPECT_TRUE(prompt) << "WIN.INI changed: the restart prompt";
  EXPECT_EQ(result, mrOk);
  EXPECT_EQ(restarts_, 0);

  EXPECT_EQ(Machine(), machine);
  EXPECT_EQ(Registry(), registry);
  const std::string now = settings::Read(settings::Text::Succ);
  EXPECT_EQ(settings::Read(settings::Text::Pred), chosen);
  EXPECT_EQ(settings::Read(settings::Text::Last), now + ".PV3");
  EXPECT_NE(GetFileAttributesA((program_ + now + ".PV3").c_str()), INVALID_FILE_ATTRIBUTES) << "no undo log";
  EXPECT_FALSE(StateExists(now));
  EXPECT_TRUE(StateExists(chosen)) << "conservé sur le disque dur";

  // Once more, nothing to take back; the state deleted this time.
  NewWizard();
  Run([&](HWND) {
    ChooseLineWith(wizard_->Liste, chosen + ".000");
    Go(wizard_->BtnSuivant, 'B');
    Click(wizard_->Efface.Handle());
    if (!Go(wizard_->BtnSuivant, 'C', 60000)) return;
    Click(wizard_->BtnSuivant.Handle());
  });
  EXPECT_FALSE(StateExists(chosen)) << "effacé du disque dur";
  EXPECT_EQ(Machine(), machine);
}

// A state fetched from a diskette through "Archive" is in the list as soon
// as the archive dialog closes.
TEST_F(RestoreWizardTest, AStateFetchedThroughArchiveIsListedAtOnce) {
  Diskette diskette('A', dir_);
  const std::string state = RecordMachine("L", "");
  for (const char* suffix : {".000", ".001"})
    ASSERT_TRUE(MoveFileA((program_ + state + suffix).c_str(), (diskette.Folder() + state + suffix).c_str()));
  int before = -1, after = -1;
  bool nextAfter = true;
  Run([&](HWND) {
    before = wizard_->Liste.Count();
    Click(wizard_->BtnConfig.Handle());
    HWND dialog = WaitForWindow(TTransferer::Title, 5000);
    if (!dialog) return;
    SendMessageTimeoutA(archive_->DeA.Handle(), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, nullptr);
    ChooseLineWith(archive_->Liste, state + ".000");
    SendMessageA(archive_->Liste.Handle(), LB_SETSEL, TRUE, 0);
    Click(archive_->btnOK.Handle());
    WaitUntil([&] { return IsWindowVisible(wizard_->Handle()) && wizard_->Liste.Count() > 0; }, 10000);
    after = wizard_->Liste.Count();
    nextAfter = wizard_->BtnSuivant.Enabled();
    Click(wizard_->BtnAnnuler.Handle());
  });
  EXPECT_EQ(before, 0);
  EXPECT_EQ(after, 1);
  EXPECT_FALSE(nextAfter);
  EXPECT_TRUE(StateExists(state)) << "copied back to the hard disk";
}
