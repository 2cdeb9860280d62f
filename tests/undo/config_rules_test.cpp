// Configuration files on their own: when a restore may replace a start-up
// file, and which profile changes call for a restart.
#include <gtest/gtest.h>

#include "undo/undo_run.h"
#include "undo_fixture.h"

namespace {

const uint32_t Dated = PackDosTime(1998, 12, 5, 14, 3, 0);

TEST_F(UndoTest, ARestoreReplacesAStartupFileOnlyWithAWholeImageOfIt) {
  const std::string current = "[MENU]\r\nDEVICE=HIMEM.SYS\r\nFILES=40\r\n";
  const std::string notReplaced =
      "Mise à jour de T:\\CONFIG.SYS\r\n"
      " T:\\CONFIG.SYS n'a pas été remplacé : le rapport ne contient pas le fichier entier\r\n"
      " Aucune modification\r\n\r\n";
  struct Case {
    const char* what;
    std::vector<std::string> section;
    std::string log;
    std::string workFile;  // empty: no CONFIG.NEW is left
  };
  const Case cases[] = {
      {"no context lines", {"-FILES=30", "+FILES=40", " 2 modifications"}, notReplaced, ""},
      {"the file has changed since the report",
       {"=[MENU]", "=DEVICE=HIMEM.SYS", "-FILES=30", "+FILES=50", " 2 modifications"},
       notReplaced,
       ""},
      {"a line of the file missing from the report",
       {"=[MENU]", "-FILES=30", "+FILES=40", " 2 modifications"},
       notReplaced,
       ""},
      {"no change",
       {"=[MENU]", "=DEVICE=HIMEM.SYS", "=FILES=40", " Aucune modification"},
       "Mise à jour de T:\\CONFIG.SYS\r\n Aucune modification\r\n\r\n",
       ""},
      // A damaged line, or a block without its count line: nothing of the
      // block is done, and no work file is made.
      {"a damaged line",
       {"=[MENU]", "=DEVICE=HIMEM.SYS", "-FILES=30", std::string("+FILES=4\0", 9) + "0",
        " 2 modifications"},
       "Mise à jour de T:\\CONFIG.SYS\r\n"
       " Rien n'a été modifié : cette partie du rapport est incomplète ou défectueuse\r\n"
       " Aucune modification\r\n\r\n",
       ""},
      {"no count line", {"=[MENU]", "=DEVICE=HIMEM.SYS", "-FILES=30", "+FILES=40"},
       "Mise à jour de T:\\CONFIG.SYS\r\n"
       " Rien n'a été modifié : cette partie du rapport est incomplète ou défectueuse\r\n"
       " Aucune modification\r\n\r\n",
       ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string tree = dir_ + "t\\";
    RemoveTree(tree);
    MakeFixtureDirectory(tree);
    WriteFixtureFile(tree + "CONFIG.SYS", current, Dated);
    MappedDrive drive('T', tree);
    RegistrySandbox registry;
    std::vector<std::string> lines = {"* Comparaison du 06/12/1998 à 10:00:00",
                                      "  par rapport au 01/12/1998 à 09:00:00", "",
                                      "Modifications dans T:\\CONFIG.SYS"};
    lines.insert(lines.end(), c.section.begin(), c.section.end());
    lines.push_back("");
    WriteLines(dir_ + "START.PV2", lines);
    Run("START.PV2", "", false, 3);
    EXPECT_EQ(LogSections(dir_ + "START.PV3"), c.log);
    EXPECT_EQ(ReadWholeFile(tree + "CONFIG.SYS"), current);
    EXPECT_EQ(Exists(tree + "CONFIG.NEW"), !c.workFile.empty());
    if (!c.workFile.empty()) {
      EXPECT_EQ(ReadWholeFile(tree + "CONFIG.NEW"), c.workFile);
    }
    EXPECT_FALSE(Program.StartupFilesChanged);
    EXPECT_EQ(questions_.asked, std::vector<std::string>{});
  }
}

TEST_F(UndoTest, OnlyWinIniAndSystemIniCallForARestart) {
  struct Case {
    std::string header, file;  // file: where the entries are, "" for WIN.INI
    bool restart;
  };
  const Case cases[] = {
      {"C:\\WINDOWS\\WIN.INI", "", true},
      {"P:\\windows\\system.ini", "P:\\windows\\system.ini", true},
      {"P:\\APPLI.INI", "P:\\APPLI.INI", false},
      // Written in start-up form, MSDOS.SYS is still a profile.
      {"P:\\msdos.sys", "P:\\msdos.sys", false},
  };
  const std::string tree = dir_ + "p\\";
  MakeFixtureDirectory(tree);
  MakeFixtureDirectory(tree + "windows");
  MappedDrive drive('P', tree);
  RegistrySandbox registry;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.header);
    if (!c.file.empty())
      WriteFixtureFile(c.file, "[PvTest]\r\nCle=nouvelle\r\nAutre=1\r\n", Dated);
    else
      WriteProfileStringA("PvTest", "Cle", "nouvelle");
    WriteLines(dir_ + "PROFILE.PV2", {"* Comparaison du 06/12/1998 à 10:00:00",
                                      "  par rapport au 01/12/1998 à 09:00:00", "",
                                      "Modifications dans " + c.header, "[PvTest]",
                                      "-Cle=ancienne", "+Cle=nouvelle", " 2 modifications", ""});
    Run("PROFILE.PV2", "", false, 0);
    EXPECT_EQ(Program.WindowsIniChanged, c.restart);
    EXPECT_FALSE(Program.StartupFilesChanged);
    EXPECT_EQ(LogSections(dir_ + "PROFILE.PV3"),
              "Mise à jour de " + c.header +
                  "\r\n+[PvTest]Cle=ancienne\r\n-[PvTest]Cle=nouvelle\r\n 2 modifications\r\n\r\n");
    char value[64];
    if (c.file.empty()) {
      GetProfileStringA("PvTest", "Cle", "?", value, sizeof value);
      WriteProfileStringA("PvTest", nullptr, nullptr);
    } else {
      GetPrivateProfileStringA("PvTest", "Cle", "?", value, sizeof value, c.file.c_str());
    }
    EXPECT_STREQ(value, "ancienne");
  }
}

// A profile taken back is the file it was, byte for byte: a changed key
// keeps its place although the report may list its new line first, and a
// section that the report shows added goes with its last key, while one
// that keeps other keys stays.
TEST_F(UndoTest, AProfileRestoreGivesBackTheFileAsItWas) {
  struct Case {
    const char* what;
    bool windows;  // WIN.INI through the Windows profile, else a private file
  };
  const Case cases[] = {{"private file", false}, {"WIN.INI", true}};
  const std::string ini = dir_ + "atelier.ini";
  char windowsDirectory[MAX_PATH];
  GetWindowsDirectoryA(windowsDirectory, MAX_PATH);
  const std::string winIni = std::string(windowsDirectory) + "\\win.ini";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = c.windows ? winIni : ini;
    auto write = [&](const char* section, const char* key, const char* value) {
      if (c.windows) WriteProfileStringA(section, key, value);
      else WritePrivateProfileStringA(section, key, value, ini.c_str());
    };
    write("PvGeneral", "Couleur", "rouge");
    write("PvGeneral", "Taille", "12");
    write("PvReste", "Garde", "1");
    const std::string before = ReadWholeFile(file);
    // The installation.
    write("PvGeneral", "Couleur", "bleu");
    write("PvGeneral", "Ajout", "oui");
    write("PvReste", "Ajout", "2");
    write("PvNouveau", "Dossier", "C:\\APP");
    write("PvNouveau", "Version", "2.1");
    ASSERT_NE(ReadWholeFile(file), before);

    WriteLines(dir_ + "PROFILE.PV2",
               {"* Comparaison du 06/12/1998 à 10:00:00", "  par rapport au 01/12/1998 à 09:00:00",
                "", "Modifications dans " + file, "[PvGeneral]", "+Ajout=oui", "+Couleur=bleu",
                "-Couleur=rouge", "+[PvNouveau]", "+Dossier=C:\\APP", "+Version=2.1", "[PvReste]",
                "+Ajout=2", " 7 modifications", ""});
    Run("PROFILE.PV2", "", false, 0);
    EXPECT_EQ(ReadWholeFile(file), before);
    EXPECT_EQ(LogSections(dir_ + "PROFILE.PV3"),
              "Mise à jour de " + file +
                  "\r\n-[PvGeneral]Ajout=oui\r\n-[PvGeneral]Couleur=bleu\r\n"
                  "+[PvGeneral]Couleur=rouge\r\n-[PvNouveau]Dossier=C:\\APP\r\n"
                  "-[PvNouveau]Version=2.1\r\n-[PvNouveau]\r\n-[PvReste]Ajout=2\r\n"
                  " 7 modifications\r\n\r\n");
    for (const char* section : {"PvGeneral", "PvReste", "PvNouveau"}) write(section, nullptr, nullptr);
  }
}

}  // namespace
