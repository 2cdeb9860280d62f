// The undo never removes what the installation did not add: duplicate keys
// of a profile, a copy of WIN.INI, names that differ only in case, shared
// files named in other ways, files too large or too deep for the classic
// functions, and a run cut short and started again.
#include <gtest/gtest.h>

#include <stdexcept>

#include "comparison/compare_states.h"
#include "recording/catalogue.h"
#include "recording/record_state.h"
#include "services/files.h"
#include "shell/settings.h"
#include "undo/profile_restore.h"
#include "undo/undo_run.h"
#include "undo_fixture.h"

namespace {

const uint32_t Dated = PackDosTime(1998, 12, 5, 14, 3, 0);
const char* const SharedDlls = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const char* const InstallHeader = "* Installation de X le 05/12/1998 à 14:03:07";
const char* const RestoreHeader[] = {"* Comparaison du 06/12/1998 à 10:00:00",
                                     "  par rapport au 01/12/1998 à 09:00:00"};

// A report of one block, in restore form (two header lines).
void WriteRestoreReport(const std::string& path, const std::vector<std::string>& block) {
  std::vector<std::string> lines = {RestoreHeader[0], RestoreHeader[1], ""};
  lines.insert(lines.end(), block.begin(), block.end());
  lines.push_back("");
  WriteLines(path, lines);
}

// SYSTEM.INI holds two lines of one key; the installation adds a third and
// removes one elsewhere. Taking it back must touch exactly those lines:
// the profile functions would reach only the first "device=" of the section.
TEST_F(UndoTest, AProfileLineIsTakenBackExactlyWhateverItsKey) {
  const std::string tree = dir_ + "w\\";
  MakeFixtureDirectory(tree);
  const std::string before =
      "; écrit à la main\r\n"
      "[boot]\r\nshell=Explorer.exe\r\n"
      "[386Enh]   ; pilotes virtuels\r\ndevice=a.386\r\ndevice=b.386\r\n"
      "\r\n[Drivers]\r\nwave=mmdrv.dll\r\n";
  const std::string installed =
      "; écrit à la main\r\n"
      "[boot]\r\nshell=Explorer.exe\r\n"
      "[386Enh]   ; pilotes virtuels\r\ndevice=a.386\r\ndevice=b.386\r\ndevice=x.386\r\n"
      "\r\n[Drivers]\r\n";
  WriteFixtureFile(tree + "SYSTEM.INI", installed, Dated);
  MappedDrive drive('W', tree);
  RegistrySandbox registry;
  WriteRestoreReport(dir_ + "DEVICE.PV2", {"Modifications dans W:\\SYSTEM.INI",
                                           "[386Enh]   ; pilotes virtuels", "+device=x.386",
                                           "[Drivers]", "-wave=mmdrv.dll", " 2 modifications"});
  Run("DEVICE.PV2", "", false, 0);
  EXPECT_EQ(ReadWholeFile(tree + "SYSTEM.INI"), before);
  EXPECT_EQ(LogSections(dir_ + "DEVICE.PV3"),
            "Mise à jour de W:\\SYSTEM.INI\r\n"
            "-[386Enh]device=x.386\r\n"
            "+[Drivers]wave=mmdrv.dll\r\n"
            " 2 modifications\r\n\r\n");
  EXPECT_TRUE(Program.WindowsIniChanged);

  // Run again on a report of the same changes: nothing is there to take
  // back, and no other line is touched.
  WriteRestoreReport(dir_ + "AGAIN.PV2", {"Modifications dans W:\\SYSTEM.INI",
                                          "[386Enh]   ; pilotes virtuels", "+device=x.386",
                                          "[Drivers]", "-wave=mmdrv.dll", " 2 modifications"});
  Run("AGAIN.PV2", "", false, 0);
  EXPECT_EQ(ReadWholeFile(tree + "SYSTEM.INI"), before);
  EXPECT_EQ(LogSections(dir_ + "AGAIN.PV3"),
            "Mise à jour de W:\\SYSTEM.INI\r\n"
            " [386Enh]device=x.386 n'y est plus\r\n"
            " [Drivers]wave=mmdrv.dll y est déjà\r\n"
            " Aucune modification\r\n\r\n");
}

// A section the installation added goes with its lines; one that was there
// before, empty, and only got lines stays, and so does a section holding a
// line the report does not name.
TEST_F(UndoTest, OnlyASectionTheReportShowsAddedIsTakenAway) {
  const std::string tree = dir_ + "s\\";
  MakeFixtureDirectory(tree);
  WriteFixtureFile(tree + "APP.INI",
                   "[Vide]\r\nCle=1\r\n[Ajout]\r\nA=1\r\n[Autre]\r\nB=1\r\nC=2\r\n", Dated);
  MappedDrive drive('S', tree);
  RegistrySandbox registry;
  WriteRestoreReport(dir_ + "SECTIONS.PV2",
                     {"Modifications dans S:\\APP.INI", "+[Ajout]", "+A=1", "+[Autre]", "+B=1",
                      "[Vide]", "+Cle=1", " 5 modifications"});
  Run("SECTIONS.PV2", "", false, 0);
  EXPECT_EQ(ReadWholeFile(tree + "APP.INI"), "[Vide]\r\n[Autre]\r\nC=2\r\n");
  EXPECT_EQ(LogSections(dir_ + "SECTIONS.PV3"),
            "Mise à jour de S:\\APP.INI\r\n"
            "-[Ajout]A=1\r\n-[Ajout]\r\n"
            "-[Autre]B=1\r\n [Autre] n'est pas vide\r\n"
            "-[Vide]Cle=1\r\n"
            " 4 modifications\r\n\r\n");
}

// A copy of WIN.INI (type W copies every file whose name begins so) is put
// back as itself: the live WIN.INI is not written.
TEST_F(UndoTest, ACopyOfWinIniIsRestoredAsItselfNotIntoWinIni) {
  const std::string winIni = WindowsIniPath();
  const std::string live = ReadWholeFile(winIni);
  const std::string tree = dir_ + "b\\";
  MakeFixtureDirectory(tree);
  WriteFixtureFile(tree + "WIN.INI.BAK", "[PvSauve]\r\nCle=nouvelle\r\n", Dated);
  MappedDrive drive('B', tree);
  RegistrySandbox registry;
  WriteRestoreReport(dir_ + "BACKUP.PV2", {"Modifications dans B:\\WIN.INI.BAK", "[PvSauve]",
                                           "+Cle=nouvelle", "-Cle=ancienne", " 2 modifications"});
  Run("BACKUP.PV2", "", false, 0);
  EXPECT_EQ(ReadWholeFile(tree + "WIN.INI.BAK"), "[PvSauve]\r\nCle=ancienne\r\n");
  EXPECT_EQ(ReadWholeFile(winIni), live);
  char value[32];
  GetProfileStringA("PvSauve", "Cle", "?", value, sizeof value);
  EXPECT_STREQ(value, "?");
  EXPECT_FALSE(Program.WindowsIniChanged);
}

// Two states recorded around renames that change only letter case, accented
// capitals included, and a file whose name holds the entry separator "õ":
// the comparison reports no file removed and added, and the restore
// deletes nothing but what was added.
TEST_F(UndoTest, ARenameByCaseIsNoRemovalAndAddition) {
  const std::string tree = dir_ + "e\\";
  MakeFixtureDirectory(tree);
  MakeFixtureDirectory(tree + "données");
  WriteFixtureFile(tree + "école.txt", "la seule copie", Dated);
  WriteFixtureFile(tree + "données\\fiche.txt", "fiche", Dated);
  WriteFixtureFile(tree + "Op", "un fichier nommé Op", Dated);
  SetFixtureTime(tree + "données", Dated);
  MappedDrive drive('E', tree);
  RegistrySandbox registry;
  Program.RecordDrives = "E";
  Program.RecordTypes = "";
  Program.CommandLineMode = true;
  BuildExclusionList("\\\\");
  RecordState("AAAAAA1");
  // Renamed on the host: Wine takes the two names for one and renames nothing.
  auto renameOnHost = [&](const char8_t* from, const char8_t* to) {
    const std::string dir = UnixPathOf(tree);
    return RunHostCommand("/bin/mv '" + dir + "/" + reinterpret_cast<const char*>(from) + "' '" +
                          dir + "/" + reinterpret_cast<const char*>(to) + "'");
  };
  ASSERT_EQ(renameOnHost(u8"école.txt", u8"École.txt"), 0);
  ASSERT_EQ(renameOnHost(u8"données", u8"DONNÉES"), 0);
  WriteFixtureFile(tree + "Opções.txt", "ajouté", Dated);
  SetFixtureTime(tree + "DONNÉES", Dated);
  RecordState("AAAAAA2");
  settings::Write(settings::Text::Pred, "AAAAAA1");
  settings::Write(settings::Text::Succ, "AAAAAA2");
  Program.AnalysisMode = 3;
  CompareStates();
  const std::string report = ReadWholeFile("AAAAAA2.PV2");
  EXPECT_EQ(report.find("cole"), std::string::npos) << report;
  EXPECT_EQ(report.find("ONN"), std::string::npos) << report;
  EXPECT_NE(report.find("\r\n+Opções.txt "), std::string::npos) << report;

  Run("AAAAAA2.PV2", "", false, 0);
  EXPECT_EQ(TreeOf(tree), (std::set<std::string>{"DONNÉES\\", "DONNÉES\\fiche.txt", "Op",
                                                 "École.txt"}));
  EXPECT_EQ(ReadWholeFile(tree + "École.txt"), "la seule copie");
}

// Shared files are kept whatever way SharedDLLs names them: after a name
// too long for the old enumeration, by their short path, and a module whose
// name is in small letters is asked about.
TEST_F(UndoTest, SharedFilesAreKnownHoweverTheyAreNamed) {
  const std::string tree = dir_ + "h\\";
  MakeFixtureDirectory(tree);
  MakeFixtureDirectory(tree + "Fichiers communs");
  WriteFixtureFile(tree + "Fichiers communs\\Bibliothèque partagée.dll", "dll", Dated);
  WriteFixtureFile(tree + "APRES.DLL", "dll", Dated);
  WriteFixtureFile(tree + "user32.dll", "dll", Dated);
  MappedDrive drive('H', tree);
  RegistrySandbox registry;
  char shortPath[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameA("H:\\Fichiers communs\\Bibliothèque partagée.dll", shortPath,
                              MAX_PATH),
            0u);
  ASSERT_NE(std::string(shortPath), "H:\\Fichiers communs\\Bibliothèque partagée.dll");
  // Enumerated before the others: the old name buffer stopped there.
  SetRegDword(HKEY_LOCAL_MACHINE, SharedDlls, "H:\\" + std::string(300, 'A') + ".DLL", 1);
  SetRegDword(HKEY_LOCAL_MACHINE, SharedDlls, "H:\\APRES.DLL", 2);
  SetRegDword(HKEY_LOCAL_MACHINE, SharedDlls, shortPath, 2);
  WriteLines(dir_ + "SHARED.PV1",
             {InstallHeader, "", "Modifications au Catalogue de H:\\", "H:\\",
              EntryLine('+', "APRES.DLL", 3), EntryLine('+', "user32.dll", 3),
              "H:\\Fichiers communs\\", EntryLine('+', "Bibliothèque partagée.dll", 3),
              " 3 modifications", ""});
  questions_.answer = [](const std::string&) { return false; };
  Run("SHARED.PV1", "à l'installation de X ", true, 3);
  EXPECT_TRUE(Exists(tree + "APRES.DLL"));
  EXPECT_TRUE(Exists(tree + "Fichiers communs\\Bibliothèque partagée.dll"));
  EXPECT_TRUE(Exists(tree + "user32.dll"));
  EXPECT_EQ(GetRegValue(HKEY_LOCAL_MACHINE, SharedDlls, "H:\\APRES.DLL").data, Dword(1));
  EXPECT_EQ(GetRegValue(HKEY_LOCAL_MACHINE, SharedDlls, shortPath).data, Dword(1));
  EXPECT_EQ(questions_.asked,
            std::vector<std::string>{"? Le fichier H:\\user32.dll est peut-être utilisé par "
                                     "d'autres applications. Voulez-vous le supprimer tout de même?"});
}

// A file of 3 GB (sparse on the host) keeps its true size in the catalogue
// and is named whole by the report; a file deeper than MAX_PATH is removed
// like any other.
TEST_F(UndoTest, LargeFilesAndLongPathsAreRemoved) {
  const std::string tree = dir_ + "l\\";
  MakeFixtureDirectory(tree);
  struct RemovedByHost {
    std::string unixPath;
    ~RemovedByHost() { RunHostCommand("/bin/rm -rf \"" + unixPath + "\""); }
  } removed{UnixPathOf(tree)};
  ASSERT_EQ(RunHostCommand("/usr/bin/truncate -s 3G \"" + UnixPathOf(tree) + "/GRAND.BIN\""), 0);
  MappedDrive drive('L', tree);
  std::string deep = "L:\\";
  for (int level = 0; level < 6; ++level) deep += std::string(48, static_cast<char>('a' + level)) + "\\";
  for (size_t at = 3; (at = deep.find('\\', at + 1)) != std::string::npos;)
    ASSERT_TRUE(CreateDirectoryW(WideName(deep.substr(0, at)).c_str(), nullptr));
  const std::string deepFile = deep + "profond.txt";
  ASSERT_GT(deepFile.size(), static_cast<size_t>(MAX_PATH));
  HANDLE h = CreateFileW(WideName(deepFile).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
  RegistrySandbox registry;
  Program.RecordDrives = "L";
  Program.RecordTypes = "";
  Program.CommandLineMode = true;
  BuildExclusionList("\\\\");
  RecordState("AAAAAA1");
  EXPECT_NE(ReadWholeFile("AAAAAA1.001").find("\r\nGRAND.BIN\xF5" "3221225472["), std::string::npos);

  WriteRestoreReport(dir_ + "BIG.PV2", {"Modifications au Catalogue de L:\\", "L:\\",
                                        EntryLine('+', "GRAND.BIN", 3221225472L), deep,
                                        EntryLine('+', "profond.txt", 0), " 2 modifications"});
  Run("BIG.PV2", "", false, 0);
  EXPECT_FALSE(Exists(tree + "GRAND.BIN"));
  EXPECT_FALSE(FileExists(deepFile));
  EXPECT_TRUE(DirectoryExists(deep));  // not added: it stays
}

// Questions that end the run as a crash would, after the first removal.
struct Crash : std::runtime_error {
  Crash() : std::runtime_error("crash") {}
};

// The log tells what was done up to the moment a run stops; started again,
// the run lowers no shared count a second time and says it resumes.
TEST_F(UndoTest, AnInterruptedRunStartedAgainRepeatsNothing) {
  const std::string tree = dir_ + "i\\";
  MakeFixtureDirectory(tree);
  for (const char* f : {"A.DLL", "B.EXE", "USER.EXE", "C.TXT"}) WriteFixtureFile(tree + f, f, Dated);
  MappedDrive drive('I', tree);
  RegistrySandbox registry;
  SetRegDword(HKEY_LOCAL_MACHINE, SharedDlls, "I:\\A.DLL", 3);
  WriteLines(dir_ + "CUT.PV1", {InstallHeader, "", "Modifications au Catalogue de I:\\", "I:\\",
                                EntryLine('+', "A.DLL", 5), EntryLine('+', "B.EXE", 5),
                                EntryLine('+', "USER.EXE", 8), EntryLine('+', "C.TXT", 5),
                                " 4 modifications", ""});
  std::string logAtTheCrash;
  questions_.answer = [&](const std::string&) -> bool {
    logAtTheCrash = ReadWholeFile(dir_ + "CUT.PV3");
    throw Crash();
  };
  EXPECT_THROW(Run("CUT.PV1", "à l'installation de X ", true, 3), Crash);
  EXPECT_NE(logAtTheCrash.find("I:\\A.DLL partagé avec d'autres applications\r\n"
                               "I:\\B.EXE effacé\r\n"),
            std::string::npos)
      << "each line is on the disk before the next step: " << logAtTheCrash;
  EXPECT_EQ(GetRegValue(HKEY_LOCAL_MACHINE, SharedDlls, "I:\\A.DLL").data, Dword(2));
  ASSERT_TRUE(Exists(dir_ + "CUT.PV1"));

  questions_.answer = [](const std::string&) { return true; };
  Run("CUT.PV1", "à l'installation de X ", true, 3);
  EXPECT_EQ(GetRegValue(HKEY_LOCAL_MACHINE, SharedDlls, "I:\\A.DLL").data, Dword(2))
      << "the count was lowered once";
  EXPECT_EQ(TreeOf(tree), std::set<std::string>{"A.DLL"});
  const std::string log = LogWithFixedDate(dir_ + "CUT.PV3");
  EXPECT_NE(log.find("\r\n Reprise d'une mise à jour interrompue : ce qui a déjà été fait n'est "
                     "pas refait.\r\n\r\nMise à jour du Catalogue de I:\\\r\n"
                     "I:\\A.DLL partagé avec d'autres applications\r\n"
                     "I:\\USER.EXE transféré dans la corbeille\r\n"
                     "I:\\C.TXT effacé\r\n 2 fichiers effacés\r\n"),
            std::string::npos)
      << log;
  EXPECT_FALSE(Exists(dir_ + "CUT.PV1"));
}

}  // namespace
