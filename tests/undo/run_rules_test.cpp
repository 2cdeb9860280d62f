// Rules of the undo run seen one at a time: when questions are asked, what
// may be removed, a damaged report, when the report goes, the header.
#include <gtest/gtest.h>

#include "services/wait_message.h"
#include "undo/undo_run.h"
#include "undo_fixture.h"

namespace {

const uint32_t Dated = PackDosTime(1998, 12, 5, 14, 3, 0);

const char* const InstallHeader = "* Installation de X le 05/12/1998 à 14:03:07";

TEST_F(UndoTest, QuestionsAreAskedOnlyAtTheirLevels) {
  const std::string deep = "PROGRAM FILES\\VENDOR\\APP\\SUB\\";
  struct Case {
    int level;
    std::vector<std::string> asked;
    bool moduleKept, directoryKept;
  };
  const std::string module =
      "? Le fichier Q:\\PROGRAM FILES\\...\\USER32.DLL est peut-être utilisé par d'autres "
      "applications. Voulez-vous le supprimer tout de même?";
  const std::string directory =
      "? Le répertoire Q:\\AJOUT n'est pas vide. Voulez-vous le supprimer tout de même?";
  const std::string notice =
      "i Le fichier Q:\\AUTOEXEC.BAT devrait être modifié. Le fichier Q:\\AUTOEXEC.NEW contient "
      "les informations nécessaires pour vous aider.";
  const Case cases[] = {{0, {}, false, false},
                        {1, {notice}, false, false},
                        {2, {notice, directory}, false, true},
                        {3, {module, notice, directory}, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE("level " + std::to_string(c.level));
    const std::string tree = dir_ + "tree" + std::to_string(c.level) + "\\";
    MakeFixtureDirectory(tree);
    for (size_t at = 0; (at = deep.find('\\', at + 1)) != std::string::npos;)
      MakeFixtureDirectory(tree + deep.substr(0, at));
    MakeFixtureDirectory(tree + "AJOUT");
    WriteFixtureFile(tree + deep + "USER32.DLL", "module", Dated);
    WriteFixtureFile(tree + "AJOUT\\GARDE.TXT", "du fichier de l'utilisateur", Dated);
    WriteFixtureFile(tree + "AUTOEXEC.BAT", "SET X=1\r\n", Dated);
    MappedDrive drive('Q', tree);
    RegistrySandbox registry;
    WriteLines(dir_ + "LEVELS.PV1", {InstallHeader, "",
                                     "Modifications au Catalogue de Q:\\", "Q:\\", "+AJOUT   REP",
                                     "Q:\\" + deep, EntryLine('+', "USER32.DLL", 6),
                                     " 2 modifications", "",
                                     "Modifications dans Q:\\AUTOEXEC.BAT", "+SET X=1",
                                     " 1 modification", ""});
    questions_.asked.clear();
    questions_.answer = [](const std::string&) { return false; };
    const std::set<std::string> trash = TrashNames();
    Run("LEVELS.PV1", "à l'installation de X ", true, c.level);
    ForgetTrashedSince(trash);
    EXPECT_EQ(questions_.asked, c.asked);
    EXPECT_EQ(Exists(tree + deep + "USER32.DLL"), c.moduleKept);
    EXPECT_EQ(Exists(tree + "AJOUT\\GARDE.TXT"), c.directoryKept);
    EXPECT_EQ(Exists(tree + "AJOUT"), c.directoryKept);
  }
}

// Files and directories beside the added ones, removed and changed entries
// the report names, and a directory that was only re-dated, all stay: in
// both modes, at the level that asks nothing before emptying a directory.
TEST_F(UndoTest, NothingTheReportDoesNotListAsAddedIsRemoved) {
  for (bool uninstall : {true, false}) {
    SCOPED_TRACE(uninstall ? "uninstall" : "restore");
    const std::string tree = dir_ + (uninstall ? "u\\" : "r\\");
    MakeFixtureDirectory(tree);
    for (const char* d : {"WINDOWS", "WINDOWS\\SYSTEM", "APP", "APP\\DATA"})
      MakeFixtureDirectory(tree + d);
    for (const char* f : {"AUTOEXEC.BAT", "ANCIEN.TXT", "CHANGE.TXT", "WINDOWS\\WIN.COM",
                          "WINDOWS\\SYSTEM\\GDI.EXE", "WINDOWS\\SYSTEM\\AJOUT.DLL",
                          "APP\\DATA\\AJOUT.DAT", "APP\\MIEN.DOC"})
      WriteFixtureFile(tree + f, f, Dated);
    MappedDrive drive('K', tree);
    RegistrySandbox registry;
    WriteLines(dir_ + "KEEP.PV1", {
        uninstall ? InstallHeader : "* Comparaison du 06/12/1998 à 10:00:00",
        "  par rapport au 01/12/1998 à 09:00:00",
        "",
        "Modifications au Catalogue de K:\\",
        "K:\\",
        "-APP   REP",
        "+APP   REP",
        EntryLine('-', "ANCIEN.TXT", 10),
        EntryLine(' ', "CHANGE.TXT", 10),
        EntryLine('>', "CHANGE.TXT", 11),
        "+WINDOWS   REP",
        "-WINDOWS   REP",
        "K:\\WINDOWS\\",
        "-SYSTEM   REP",
        "+SYSTEM   REP",
        "K:\\WINDOWS\\SYSTEM\\",
        EntryLine('+', "AJOUT.DLL", 9),
        "K:\\APP\\",
        "-DATA   REP",
        "+DATA   REP",
        "K:\\APP\\DATA\\",
        EntryLine('+', "AJOUT.DAT", 9),
        " 12 modifications",
        "",
    });
    questions_.asked.clear();
    const std::set<std::string> trash = TrashNames();
    Run("KEEP.PV1", "à l'installation de X ", uninstall, 1);
    ForgetTrashedSince(trash);
    EXPECT_EQ(TreeOf(tree), (std::set<std::string>{
                                "ANCIEN.TXT", "APP\\", "APP\\DATA\\", "APP\\MIEN.DOC",
                                "AUTOEXEC.BAT", "CHANGE.TXT", "WINDOWS\\", "WINDOWS\\SYSTEM\\",
                                "WINDOWS\\SYSTEM\\GDI.EXE", "WINDOWS\\WIN.COM"}));
    EXPECT_EQ(questions_.asked, std::vector<std::string>{});
    EXPECT_NE(ReadWholeFile(dir_ + "KEEP.PV3")
                  .find("Mise à jour des répertoires\r\n Aucune modification\r\n"),
              std::string::npos);
  }
}

// Names are taken from the entry columns: a blank or the letters REP or DIR
// inside a file name do not make it a directory, for the removal as for the
// scan of 16-bit executables.
TEST_F(UndoTest, AddedFileNamesComeFromTheEntryColumns) {
  const std::string tree = dir_ + "tree\\";
  MakeFixtureDirectory(tree);
  WriteFixtureFile(tree + "A REP.TXT", "texte", Dated);
  WriteFixtureFile(tree + "NE DIR.EXE", NeExecutable({"ODDLIB"}), Dated);
  WriteFixtureFile(tree + "ODDLIB.DLL", "module", Dated);
  WriteFixtureFile(tree + "UN NOM LONG DE FICHIER.TXT", "texte", Dated);
  MappedDrive drive('N', tree);
  RegistrySandbox registry;
  WriteLines(dir_ + "NAMES.PV1", {InstallHeader, "", "Modifications au Catalogue de N:\\", "N:\\",
                                  EntryLine('+', "A REP.TXT", 5), EntryLine('+', "NE DIR.EXE", 300),
                                  EntryLine('+', "ODDLIB.DLL", 6),
                                  EntryLine('+', "UN NOM LONG DE FICHIER.TXT", 5),
                                  " 4 modifications", ""});
  questions_.answer = [](const std::string&) { return false; };
  Run("NAMES.PV1", "à l'installation de X ", true, 3);
  EXPECT_EQ(questions_.asked,
            std::vector<std::string>{"? Le fichier N:\\ODDLIB.DLL est peut-être utilisé par "
                                     "d'autres applications. Voulez-vous le supprimer tout de "
                                     "même?"});
  EXPECT_EQ(LogWithFixedDate(dir_ + "NAMES.PV3"),
            "* Désinstallation de X le <date>\r\n"
            "\r\n"
            "Mise à jour du Catalogue de N:\\\r\n"
            "N:\\A REP.TXT effacé\r\n"
            "N:\\NE DIR.EXE effacé\r\n"
            "N:\\UN NOM LONG DE FICHIER.TXT effacé\r\n"
            " 3 fichiers effacés\r\n"
            "\r\n"
            "Mise à jour des répertoires\r\n"
            " Aucune modification\r\n");
  EXPECT_EQ(TreeOf(tree), std::set<std::string>{"ODDLIB.DLL"});
}

// A block holding a line no comparison writes is not trusted at all: none
// of its files goes, not even those listed before the odd line; the other
// blocks are taken back.
TEST_F(UndoTest, NothingOfABlockWithAnOddLineIsDone) {
  const std::string tree = dir_ + "tree\\";
  MakeFixtureDirectory(tree);
  MakeFixtureDirectory(tree + "AJOUT");
  WriteFixtureFile(tree + "PREMIER.TXT", "texte", Dated);
  WriteFixtureFile(tree + "APRES.TXT", "texte", Dated);
  WriteFixtureFile(tree + "AUTOEXEC.BAT", "SET X=1\r\n", Dated);
  MappedDrive drive('D', tree);
  RegistrySandbox registry;
  SetRegString(HKEY_CURRENT_USER, "Software\\PvDamaged", "A", "1");
  WriteLines(dir_ + "DAMAGED.PV1", {
      InstallHeader,
      "",
      "Modifications dans Base de registres",
      "+HKey_Current_User\\Software\\PvDamaged",
      "+\"A\"=\"1\"",
      " 2 modifications",
      "",
      "Modifications au Catalogue de D:\\",
      "D:\\",
      "+AJOUT   REP",
      EntryLine('+', "PREMIER.TXT", 5),
      "+ENTREE ABIMEE",
      EntryLine('+', "APRES.TXT", 5),
      " 4 modifications",
      "",
      "Modifications dans D:\\AUTOEXEC.BAT",
      "+SET X=1",
      " 1 modification",
      "",
  });
  Run("DAMAGED.PV1", "à l'installation de X ", true, 0);
  EXPECT_EQ(LogWithFixedDate(dir_ + "DAMAGED.PV3"),
            "* Désinstallation de X le <date>\r\n"
            "\r\n"
            "Mise à jour du Catalogue de D:\\\r\n"
            " Rien n'a été modifié : cette partie du rapport est incomplète ou défectueuse\r\n"
            "\r\n"
            "Mise à jour de D:\\AUTOEXEC.BAT\r\n"
            " 1 modification commentée dans le fichier\r\n"
            "\r\n"
            "Mise à jour des répertoires\r\n"
            " Aucune modification\r\n"
            "\r\n"
            "Mise à jour de la Base de registres\r\n"
            "-HKey_Current_User\\Software\\PvDamaged\r\n"
            "-\"A\"=\"1\"\r\n"
            " 2 modifications\r\n");
  EXPECT_EQ(TreeOf(tree), (std::set<std::string>{"AJOUT\\", "APRES.TXT", "AUTOEXEC.BAT",
                                                 "AUTOEXEC.NEW", "PREMIER.TXT"}));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\PvDamaged"));
}

// Until the registry pass has ended, the report is still there to be undone
// again if the run is cut short.
class WaitMessages : public WaitMessageDisplay {
 public:
  explicit WaitMessages(std::string report) : report_(std::move(report)) {}
  void Show(const std::string& text) override {
    shown.push_back(text + (Exists(report_) ? "" : " (report gone)"));
  }
  void Hide() override {}
  std::vector<std::string> shown;

 private:
  std::string report_;
};

TEST_F(UndoTest, TheReportIsDeletedOnlyWhenTheWholeRunHasEnded) {
  RegistrySandbox registry;
  SetRegString(HKEY_CURRENT_USER, "Software\\PvLast", "A", "1");
  WriteLines(dir_ + "LAST.PV1", {InstallHeader, "", "Modifications dans Base de registres",
                                 "+HKey_Current_User\\Software\\PvLast", "+\"A\"=\"1\"",
                                 " 2 modifications", ""});
  WaitMessages display(dir_ + "LAST.PV1");
  SetWaitMessageDisplay(&display);
  Run("LAST.PV1", "à l'installation de X ", true, 0);
  SetWaitMessageDisplay(nullptr);
  EXPECT_EQ(display.shown,
            (std::vector<std::string>{"Recherche des fichiers partagés (DLL,...)",
                                      "Mise à jour des fichiers en cours.",
                                      "Mise à jour de la Base de registres"}));
  EXPECT_FALSE(Exists(dir_ + "LAST.PV1"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\PvLast"));
}

TEST_F(UndoTest, TheHeaderTellsWhatIsTakenBack) {
  struct Case {
    const char* title;
    const char* header;
  };
  const Case cases[] = {
      {"à l'installation de Mon Appli ", "* Désinstallation de Mon Appli le <date>"},
      {"au lancement de Mon Appli ", "* Annulation de Mon Appli le <date>"},
      // A title that still holds its date loses the 30 characters from " le ".
      {"à l'installation de X le 05/12/1998 à 14:03:07 1234 ",
       "* Désinstallation de X le <date>"},
  };
  RegistrySandbox registry;
  for (const auto& c : cases) {
    WriteLines(dir_ + "EMPTY.PV1", {InstallHeader, ""});
    Run("EMPTY.PV1", c.title, true, 0);
    // A report without any section still gets the directory pass.
    EXPECT_EQ(LogWithFixedDate(dir_ + "EMPTY.PV3"),
              std::string(c.header) + "\r\n\r\nMise à jour des répertoires\r\n"
                                      " Aucune modification\r\n")
        << c.title;
  }
}

}  // namespace
