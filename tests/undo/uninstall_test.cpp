// The uninstall of an installation report over a small machine: added files
// removed, shared ones kept, protected ones to the recycle bin, directories
// removed, emptied or kept, start-up files only commented, profiles and the
// registry put back. The undo log is compared byte for byte.
#include <gtest/gtest.h>

#include "undo/undo_run.h"
#include "undo_fixture.h"

namespace {

const uint32_t Dated = PackDosTime(1998, 12, 5, 14, 3, 0);
const char* const SharedDlls = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

class UninstallScenario : public UndoTest {
 protected:
  void SetUp() override {
    UndoTest::SetUp();
    tree_ = dir_ + "tree\\";
    MakeFixtureDirectory(tree_);
    for (const char* d : {"APP", "DATA", "DATA\\SUB", "FULL", "FULL2", "FULL2\\KIDS", "NOPE",
                          "SYSTEM"})
      MakeFixtureDirectory(tree_ + d);
    const char* const files[] = {
        "KEEP.TXT",        "APP\\MYLIB.DLL",  "APP\\README.TXT",   "APP\\SHARED3.DLL",
        "APP\\SHARED1.DLL", "APP\\STRING.DLL", "APP\\BIN2.DLL",     "APP\\LOCKED.DAT",
        "APP\\USERDATA.TXT", "DATA\\DATA.BIN", "DATA\\SUB\\SUB.TXT", "FULL\\FULL.DAT",
        "FULL\\NOTES.TXT",  "FULL2\\X.TXT",    "FULL2\\KIDS\\K.TXT", "NOPE\\N.TXT",
        "SYSTEM\\OLD.DLL",  "SYSTEM\\USER32.DLL", "SYSTEM\\XUSER.DLL", "SYSTEM\\XXUSER.DLL"};
    for (const char* f : files) WriteFixtureFile(tree_ + f, std::string("contenu de ") + f, Dated);
    WriteFixtureFile(tree_ + "APP\\APP.EXE", NeExecutable({"MYLIB", "vbrun300"}), Dated);
    WriteFixtureFile(tree_ + "AUTOEXEC.BAT", Autoexec, Dated);
    WriteFixtureFile(tree_ + "SETTINGS.INI",
                     "[Options]\r\nMode=Expert\r\nExtra=yes\r\nAutre=1\r\n", Dated);
  }

  void TearDown() override {
    WriteProfileStringA("PvTest", nullptr, nullptr);
    UndoTest::TearDown();
  }

  static constexpr const char* Autoexec =
      "@echo off\r\nSET PATH=C:\\WINDOWS;C:\\APP\r\nprompt $p$g\r\n\r\nSET TEMP=C:\\TEMP\r\n";
  std::string tree_;
};

TEST_F(UninstallScenario, TakesTheInstallationBack) {
  RegistrySandbox registry;
  MappedDrive drive('U', tree_);

  // Reference counts of shared files, in each stored type; the directory of
  // a count that stays keeps its directory too.
  SetRegDword(HKEY_LOCAL_MACHINE, SharedDlls, "U:\\APP\\SHARED3.DLL", 3);
  const BYTE one[4] = {1, 0, 0, 0}, five[2] = {5, 0};
  SetRegValue(HKEY_LOCAL_MACHINE, SharedDlls, "U:\\APP\\SHARED1.DLL", REG_BINARY, one, 4);
  SetRegString(HKEY_LOCAL_MACHINE, SharedDlls, "U:\\APP\\STRING.DLL", "7");
  SetRegValue(HKEY_LOCAL_MACHINE, SharedDlls, "u:\\app\\bin2.dll", REG_BINARY, five, 2);
  SetRegDword(HKEY_LOCAL_MACHINE, SharedDlls, "NOSLASH.DLL", 4);
  SetRegString(HKEY_LOCAL_MACHINE, "Software\\MonAppli", "Version", "1.0");
  SetRegDword(HKEY_LOCAL_MACHINE, "Software\\MonAppli\\Options", "Mode", 2);

  // The installation's WIN.INI entries, in a section that Wine does not
  // map to the registry.
  WriteProfileStringA("PvTest", "Wallpaper", "NEW.BMP");
  WriteProfileStringA("PvTest", "Added", "1");
  WriteProfileStringA("PvTest", "Kept", "oui");

  const std::string longSection(90, 'S'), longKey(100, 'K'), longValue(250, 'v');
  WriteLines(dir_ + "INSTALL.PV1", {
      "* Installation de Mon Appli le 05/12/1998 à 14:03:07",
      "",
      "Modifications au Catalogue de U:\\",
      "U:\\",
      "+APP   REP",
      "+DATA   REP",
      "+FULL   REP",
      "+FULL2   REP",
      EntryLine(' ', "KEEP.TXT", 10),
      EntryLine('>', "KEEP.TXT", 20),
      "+NOPE   REP",
      EntryLine('-', "REMOVED.TXT", 10),
      // The system directory was only re-dated by the installation.
      "-SYSTEM   REP",
      "+SYSTEM   REP",
      "U:\\APP\\",
      EntryLine('+', "APP.EXE", 300),
      EntryLine('+', "BIN2.DLL", 20),
      EntryLine('+', "GHOST.DLL", 20),
      EntryLine('+', "LOCKED.DAT", 20),
      EntryLine('+', "MYLIB.DLL", 20),
      EntryLine('+', "README.TXT", 1234),
      EntryLine('+', "SHARED1.DLL", 20),
      EntryLine('+', "SHARED3.DLL", 20),
      EntryLine('+', "STRING.DLL", 20),
      "U:\\DATA\\",
      EntryLine('+', "DATA.BIN", 20),
      "+SUB   REP",
      "U:\\DATA\\SUB\\",
      EntryLine('+', "SUB.TXT", 20),
      "U:\\FULL\\",
      EntryLine('+', "FULL.DAT", 20),
      "U:\\SYSTEM\\",
      EntryLine('+', "USER32.DLL", 20),
      EntryLine('+', "XUSER.DLL", 20),
      EntryLine('+', "XXUSER.DLL", 20),
      " 25 modifications",
      "",
      "Modifications au Catalogue de C:\\",
      " Aucune modification",
      "",
      "Modifications dans U:\\AUTOEXEC.BAT",
      "=@ECHO OFF",
      "-SET PATH=C:\\WINDOWS",
      "+SET PATH=C:\\WINDOWS;C:\\APP",
      "=PROMPT $P$G",
      "+SET TEMP=C:\\TEMP",
      " 3 modifications",
      "",
      "Modifications dans C:\\WINDOWS\\WIN.INI",
      "[PvTest]",
      "+Added=1",
      "+Wallpaper=NEW.BMP",
      "-Wallpaper=OLD.BMP",
      " 3 modifications",
      "",
      "Modifications dans U:\\SETTINGS.INI",
      "[Options]",
      "+Extra=yes",
      "-Mode=Normal",
      "+Mode=Expert",
      "[" + longSection + "]",
      "-" + longKey + "=" + longValue,
      " 4 modifications",
      "",
      "Modifications dans Base de registres",
      "+HKey_Local_Machine\\Software\\MonAppli",
      "+\"Version\"=\"1.0\"",
      "+HKey_Local_Machine\\Software\\MonAppli\\Options",
      "+\"Mode\"=dword:00000002",
      " 4 modifications",
      "",
  });

  questions_.answer = [](const std::string& text) { return text.find("NOPE") == std::string::npos; };
  const std::set<std::string> trashBefore = TrashNames();
  HANDLE locked = CreateFileA((tree_ + "APP\\LOCKED.DAT").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  Run("INSTALL.PV1", "à l'installation de Mon Appli ", true, 2);
  CloseHandle(locked);
  const std::set<std::string> trashed = TrashNames();
  ForgetTrashedSince(trashBefore);

  ExpectLogMatchesGolden(dir_ + "INSTALL.PV3", "uninstall.PV3");
  EXPECT_FALSE(Exists(dir_ + "INSTALL.PV1")) << "the report is consumed";
  EXPECT_FALSE(Exists(dir_ + "prov.cat"));

  // Only what the report lists as added, and the unlisted files of the added
  // directories that the user let go, are gone.
  EXPECT_EQ(TreeOf(tree_), (std::set<std::string>{
                               "APP\\", "APP\\BIN2.DLL", "APP\\LOCKED.DAT", "APP\\SHARED3.DLL",
                               "APP\\USERDATA.TXT", "AUTOEXEC.BAT", "AUTOEXEC.NEW",
                               "FULL2\\", "FULL2\\KIDS\\", "FULL2\\KIDS\\K.TXT", "KEEP.TXT",
                               "NOPE\\", "NOPE\\N.TXT", "SETTINGS.INI", "SYSTEM\\",
                               "SYSTEM\\OLD.DLL"}));
  std::set<std::string> newInTrash;
  for (const auto& name : trashed)
    if (!trashBefore.count(name)) newInTrash.insert(name);
  EXPECT_EQ(newInTrash, (std::set<std::string>{"MYLIB.DLL", "NOTES.TXT", "SHARED1.DLL",
                                               "STRING.DLL", "USER32.DLL", "X.TXT",
                                               "XUSER.DLL"}));

  // Counts go down in the type they were stored in; a count that reaches 0,
  // or a count that is no number, goes.
  RegValue shared3 = GetRegValue(HKEY_LOCAL_MACHINE, SharedDlls, "U:\\APP\\SHARED3.DLL");
  EXPECT_EQ(shared3.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(shared3.data, Dword(2));
  RegValue bin2 = GetRegValue(HKEY_LOCAL_MACHINE, SharedDlls, "U:\\APP\\BIN2.DLL");
  EXPECT_EQ(bin2.type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(bin2.data, std::string("\x04\x00", 2));
  EXPECT_FALSE(GetRegValue(HKEY_LOCAL_MACHINE, SharedDlls, "U:\\APP\\SHARED1.DLL").present);
  EXPECT_FALSE(GetRegValue(HKEY_LOCAL_MACHINE, SharedDlls, "U:\\APP\\STRING.DLL").present);
  EXPECT_EQ(GetRegValue(HKEY_LOCAL_MACHINE, SharedDlls, "NOSLASH.DLL").data, Dword(4));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\MonAppli"));

  // AUTOEXEC.BAT is only commented in AUTOEXEC.NEW, and the user told so.
  EXPECT_EQ(ReadWholeFile(tree_ + "AUTOEXEC.BAT"), Autoexec);
  EXPECT_EQ(ReadWholeFile(tree_ + "AUTOEXEC.NEW"),
            "@ECHO OFF\r\n"
            "rem La ligne suivante avait été supprimée à l'installation\r\n"
            "SET PATH=C:\\WINDOWS\r\n"
            "rem La ligne suivante avait été ajoutée à l'installation\r\n"
            "rem SET PATH=C:\\WINDOWS;C:\\APP\r\n"
            "PROMPT $P$G\r\n"
            "rem La ligne suivante avait été ajoutée à l'installation\r\n"
            "rem SET TEMP=C:\\TEMP\r\n");
  EXPECT_EQ(questions_.asked,
            (std::vector<std::string>{
                "i Le fichier U:\\AUTOEXEC.BAT devrait être modifié. Le fichier U:\\AUTOEXEC.NEW "
                "contient les informations nécessaires pour vous aider.",
                "? Le répertoire U:\\NOPE n'est pas vide. Voulez-vous le supprimer tout de même?",
                "? Le répertoire U:\\FULL2 n'est pas vide. Voulez-vous le supprimer tout de même?",
                "? Le répertoire U:\\FULL n'est pas vide. Voulez-vous le supprimer tout de même?"}));
  EXPECT_TRUE(Program.StartupFilesChanged);
  EXPECT_TRUE(Program.WindowsIniChanged);

  // Profiles: old values back, added keys gone, a changed key keeps its
  // old value; long names and values go whole.
  char value[512];
  GetProfileStringA("PvTest", "Wallpaper", "?", value, sizeof value);
  EXPECT_STREQ(value, "OLD.BMP");
  GetProfileStringA("PvTest", "Added", "?", value, sizeof value);
  EXPECT_STREQ(value, "?");
  GetProfileStringA("PvTest", "Kept", "?", value, sizeof value);
  EXPECT_STREQ(value, "oui");
  const std::string ini = tree_ + "SETTINGS.INI";
  GetPrivateProfileStringA("Options", "Mode", "?", value, sizeof value, ini.c_str());
  EXPECT_STREQ(value, "Normal");
  GetPrivateProfileStringA("Options", "Extra", "?", value, sizeof value, ini.c_str());
  EXPECT_STREQ(value, "?");
  GetPrivateProfileStringA("Options", "Autre", "?", value, sizeof value, ini.c_str());
  EXPECT_STREQ(value, "1");
  GetPrivateProfileStringA(longSection.c_str(), longKey.c_str(), "?", value, sizeof value,
                           ini.c_str());
  EXPECT_EQ(value, longValue);
}

}  // namespace
