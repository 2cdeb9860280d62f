// The restore of a recorded state from a comparison report: added files
// deleted outright, start-up files rebuilt only from a whole image,
// MSDOS.SYS and profiles entry by entry, the registry deleted and written
// back. The undo log is compared byte for byte.
#include <gtest/gtest.h>

#include "undo/undo_run.h"
#include "undo_fixture.h"

namespace {

const uint32_t Dated = PackDosTime(1998, 12, 5, 14, 3, 0);

class RestoreScenario : public UndoTest {
 protected:
  void SetUp() override {
    UndoTest::SetUp();
    tree_ = dir_ + "tree\\";
    for (const char* d : {"", "ADDDIR", "DOS", "WINDOWS"}) MakeFixtureDirectory(tree_ + d);
    for (const char* f : {"NEW.TXT", "USER32.DLL", "CHG.TXT", "ADDDIR\\USER.DAT"})
      WriteFixtureFile(tree_ + f, std::string("contenu de ") + f, Dated);
    WriteFixtureFile(tree_ + "CONFIG.SYS", Config, Dated);
    WriteFixtureFile(tree_ + "AUTOEXEC.BAT", Autoexec, Dated);
    WriteFixtureFile(tree_ + "DOS\\CONFIG.SYS", DosConfig, Dated);
    WriteFixtureFile(tree_ + "MSDOS.SYS", Msdos, Dated,
                     FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    WriteFixtureFile(tree_ + "WINDOWS\\system.ini", "[boot]\r\nshell=autre.exe\r\n", Dated);
  }

  static constexpr const char* Config =
      "[common]\r\nDEVICE=C:\\WINDOWS\\HIMEM.SYS\r\ndevice=c:\\app\\app.sys\r\n\r\nFILES=40\r\n";
  static constexpr const char* Autoexec = "@echo off\r\nSET A=2\r\n";
  static constexpr const char* DosConfig = "FILES=30\r\nBUFFERS=20\r\n";
  static constexpr const char* Msdos =
      "[Paths]\r\nWinDir=C:\\WINDOWS\r\nHostWinBootDrv=C\r\n[Options]\r\nBootGUI=0\r\n"
      "Logo=0\r\nBootMulti=1\r\nNetwork=1\r\n;xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\r\n";
  std::string tree_;
};

TEST_F(RestoreScenario, PutsTheRecordedStateBack) {
  RegistrySandbox registry;
  MappedDrive drive('R', tree_);
  SetRegString(HKEY_CURRENT_USER, "Software\\PvAdded", "Name", "v");
  SetRegString(HKEY_CURRENT_USER, "Software\\PvAdded\\Sub", "", "défaut");
  SetRegString(HKEY_LOCAL_MACHINE, "Software\\PvChanged", "Ver", "2.0");
  SetRegDword(HKEY_LOCAL_MACHINE, "Software\\PvChanged", "New", 1);
  SetRegString(HKEY_LOCAL_MACHINE, "Software\\PvChanged", "Stays", "oui");

  WriteLines(dir_ + "RSTABCD.PV2", {
      "* Comparaison du 06/12/1998 à 10:00:00",
      "  par rapport au 01/12/1998 à 09:00:00",
      "",
      "Modifications au Catalogue de R:\\",
      "R:\\",
      "+ADDDIR   REP",
      EntryLine(' ', "CHG.TXT", 10),
      EntryLine('>', "CHG.TXT", 20),
      EntryLine('-', "GONE.TXT", 10),
      EntryLine('+', "NEW.TXT", 20),
      EntryLine('+', "USER32.DLL", 20),
      " 5 modifications",
      "",
      "Modifications dans R:\\CONFIG.SYS",
      "=[COMMON]",
      "=DEVICE=C:\\WINDOWS\\HIMEM.SYS",
      "+DEVICE=C:\\APP\\APP.SYS",
      "-FILES=30",
      "+FILES=40",
      " 3 modifications",
      "",
      // A comparison report (no context lines) does not hold the whole file.
      "Modifications dans r:\\autoexec.bat",
      "-SET A=1",
      "+SET A=2",
      " 2 modifications",
      "",
      "Modifications dans R:\\DOS\\CONFIG.SYS",
      "=FILES=30",
      "=BUFFERS=20",
      " Aucune modification",
      "",
      // MSDOS.SYS in start-up form: a changed entry's two lines need not
      // stand together.
      "Modifications dans R:\\MSDOS.SYS",
      "=[PATHS]",
      "=WINDIR=C:\\WINDOWS",
      "=HOSTWINBOOTDRV=C",
      "=[OPTIONS]",
      "-BOOTGUI=1",
      "-LOGO=1",
      "+BOOTGUI=0",
      "+LOGO=0",
      "=BOOTMULTI=1",
      "+NETWORK=1",
      "=;XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX",
      " 5 modifications",
      "",
      "Modifications dans r:\\windows\\system.ini",
      "[boot]",
      "-shell=Explorer.exe",
      "+shell=autre.exe",
      " 2 modifications",
      "",
      "Modifications dans Base de registres",
      "+HKey_Current_User\\Software\\PvAdded",
      "+\"Name\"=\"v\"",
      "+HKey_Current_User\\Software\\PvAdded\\Sub",
      "+@=\"défaut\"",
      "-HKey_Local_Machine\\Software\\PvRemoved",
      "-\"Text\"=\"Bonjour\"",
      "-\"Count\"=dword:0000002a",
      "-\"Blob\"=hex:01,ab,FF",
      "-\"Empty\"=hex:",
      "-@=\"Défaut\"",
      "+\"NotWritten\"=\"x\"",
      " HKey_Local_Machine\\Software\\PvChanged",
      "-\"Ver\"=\"1.0\"",
      "+\"Ver\"=\"2.0\"",
      "+\"New\"=dword:00000001",
      "+\"Missing\"=\"x\"",
      " HKey_Current_Config\\Software\\PvX",
      "-\"A\"=\"1\"",
      "+HKey_Nowhere\\Software\\PvX",
      "+\"B\"=\"2\"",
      "-HKey_Dyn_Data\\PvY",
      "-\"C\"=\"3\"",
      "-HKEY_USERS\\.DEFAULT\\Software\\PvUser",
      "-\"D\"=\"4\"",
      " 19 modifications",
      "",
  });

  const std::set<std::string> trashBefore = TrashNames();
  // Confirmation level 3: only the non-empty directory is asked about, as
  // a restore protects no module.
  Run("RSTABCD..PV2", "", false, 3);
  EXPECT_EQ(TrashNames(), trashBefore) << "a restore deletes outright";

  ExpectLogMatchesGolden(dir_ + "RSTABCD.PV3", "restore.PV3");
  EXPECT_FALSE(Exists(dir_ + "RSTABCD.PV2"));
  EXPECT_EQ(questions_.asked,
            (std::vector<std::string>{"? Le répertoire R:\\ADDDIR n'est pas vide. Voulez-vous le "
                                      "supprimer tout de même?"}));
  EXPECT_TRUE(Program.StartupFilesChanged);
  EXPECT_TRUE(Program.WindowsIniChanged);

  EXPECT_EQ(TreeOf(tree_), (std::set<std::string>{"AUTOEXEC.BAT", "CHG.TXT", "CONFIG.SYS",
                                                  "DOS\\", "DOS\\CONFIG.SYS", "MSDOS.SYS",
                                                  "WINDOWS\\", "WINDOWS\\system.ini"}));
  EXPECT_EQ(ReadWholeFile(tree_ + "CONFIG.SYS"),
            "[COMMON]\r\n"
            "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\n"
            "rem  La ligne suivante a été annulée\r\n"
            "rem : DEVICE=C:\\APP\\APP.SYS\r\n"
            "rem  La ligne suivante a été rétablie\r\n"
            "FILES=30\r\n"
            "rem  La ligne suivante a été annulée\r\n"
            "rem : FILES=40\r\n");
  EXPECT_EQ(ReadWholeFile(tree_ + "AUTOEXEC.BAT"), Autoexec);
  EXPECT_EQ(ReadWholeFile(tree_ + "DOS\\CONFIG.SYS"), DosConfig);

  // MSDOS.SYS: both changed entries back, the added one gone, the rest of
  // the file and its attributes as they were.
  const std::string msdos = tree_ + "MSDOS.SYS";
  EXPECT_EQ(GetFileAttributesA(msdos.c_str()) & 7u, 7u) << "read-only, hidden and system";
  char value[256];
  const std::pair<const char*, const char*> options[] = {
      {"BootGUI", "1"}, {"Logo", "1"}, {"BootMulti", "1"}, {"Network", "?"}};
  for (const auto& [key, expected] : options) {
    GetPrivateProfileStringA("Options", key, "?", value, sizeof value, msdos.c_str());
    EXPECT_STREQ(value, expected) << key;
  }
  GetPrivateProfileStringA("Paths", "WinDir", "?", value, sizeof value, msdos.c_str());
  EXPECT_STREQ(value, "C:\\WINDOWS");
  // On disk, not only in the profile functions' cache.
  const std::string onDisk = ReadWholeFile(msdos);
  EXPECT_NE(onDisk.find("[Options]\r\nBootGUI=1\r\nLogo=1\r\nBootMulti=1\r\n;xxxxxxxxxx"),
            std::string::npos)
      << onDisk;
  EXPECT_EQ(onDisk.find("Network"), std::string::npos);
  GetPrivateProfileStringA("boot", "shell", "?", value, sizeof value,
                           (tree_ + "WINDOWS\\system.ini").c_str());
  EXPECT_STREQ(value, "Explorer.exe");

  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\PvAdded"));
  const std::string removed = "Software\\PvRemoved";
  struct Expected {
    const char* name;
    DWORD type;
    std::string data;
  };
  const Expected values[] = {{"Text", REG_SZ, std::string("Bonjour", 8)},
                             {"Count", REG_DWORD, Dword(42)},
                             {"Blob", REG_BINARY, "\x01\xab\xff"},
                             {"Empty", REG_BINARY, ""},
                             {"", REG_SZ, std::string("Défaut", 7)}};
  for (const auto& v : values) {
    RegValue got = GetRegValue(HKEY_LOCAL_MACHINE, removed, v.name);
    EXPECT_TRUE(got.present) << v.name;
    EXPECT_EQ(got.type, v.type) << v.name;
    EXPECT_EQ(got.data, v.data) << v.name;
  }
  EXPECT_FALSE(GetRegValue(HKEY_LOCAL_MACHINE, removed, "NotWritten").present);
  EXPECT_EQ(GetRegValue(HKEY_LOCAL_MACHINE, "Software\\PvChanged", "Ver").data,
            std::string("1.0", 4));
  EXPECT_FALSE(GetRegValue(HKEY_LOCAL_MACHINE, "Software\\PvChanged", "New").present);
  EXPECT_TRUE(GetRegValue(HKEY_LOCAL_MACHINE, "Software\\PvChanged", "Stays").present);
  EXPECT_EQ(GetRegValue(HKEY_USERS, ".DEFAULT\\Software\\PvUser", "D").data, std::string("4", 2));
}

}  // namespace
