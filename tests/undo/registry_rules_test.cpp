// The registry pass on its own: what cannot be stored, a damaged value line,
// a section without lines.
#include <gtest/gtest.h>

#include "undo/undo_run.h"
#include "undo_fixture.h"

namespace {

class RegistryRules : public UndoTest {
 protected:
  // A restore of a report holding only this registry section; the log
  // from the registry pass on.
  std::string RestoreRegistrySection(const std::vector<std::string>& section) {
    std::vector<std::string> lines = {"* Comparaison du 06/12/1998 à 10:00:00",
                                      "  par rapport au 01/12/1998 à 09:00:00", "",
                                      "Modifications dans Base de registres"};
    lines.insert(lines.end(), section.begin(), section.end());
    lines.push_back("");
    WriteLines(dir_ + "REGRULE.PV2", lines);
    Run("REGRULE.PV2", "", false, 0);
    std::string log = ReadWholeFile(dir_ + "REGRULE.PV3");
    const std::string directories = "Mise à jour des répertoires\r\n Aucune modification\r\n";
    size_t at = log.find(directories);
    return at == std::string::npos ? log : log.substr(at + directories.size());
  }
  RegistrySandbox registry_;
};

TEST_F(RegistryRules, AValueThatCannotBeStoredIsLoggedAndThePassGoesOn) {
  // Wine refuses value names beyond 16383 characters, as Windows does, on a
  // key that opens: the one store that fails after the key was found.
  const std::string tooLong(16400, 'N');
  SetRegString(HKEY_CURRENT_USER, "Software\\PvKey", "Other", "x");
  EXPECT_EQ(RestoreRegistrySection({
                " HKey_Current_User\\Software\\PvKey",
                "-\"" + tooLong + "\"=\"x\"",
                "-\"Good\"=\"y\"",
                " 2 modifications",
            }),
            "\r\nMise à jour de la Base de registres\r\n"
            " HKey_Current_User\\Software\\PvKey\r\n"
            " \"" + tooLong + "\"=\"x\" ajout impossible\r\n"
            "+\"Good\"=\"y\"\r\n"
            " 1 modification\r\n");
  EXPECT_EQ(GetRegValue(HKEY_CURRENT_USER, "Software\\PvKey", "Good").data, std::string("y", 2));
}

TEST_F(RegistryRules, AMalformedByteEndsThePassWithWhatWasDone) {
  SetRegString(HKEY_CURRENT_USER, "Software\\PvFirst", "A", "1");
  // Keys are worked from the last of the report to the first.
  EXPECT_EQ(RestoreRegistrySection({
                "-HKey_Current_User\\Software\\PvNever",
                "-\"B\"=\"2\"",
                "-HKey_Current_User\\Software\\PvBroken",
                "-\"Ok\"=dword:00000001",
                "-\"Bad\"=hex:01,zz",
                "+HKey_Current_User\\Software\\PvFirst",
                "+\"A\"=\"1\"",
                " 7 modifications",
            }),
            "\r\nMise à jour de la Base de registres\r\n"
            "-HKey_Current_User\\Software\\PvFirst\r\n"
            "-\"A\"=\"1\"\r\n"
            "+HKey_Current_User\\Software\\PvBroken\r\n"
            "+\"Ok\"=dword:00000001\r\n"
            " Traitement interrompu: fichier défectueux ou mémoire insuffisante!\r\n"
            " 4 modifications\r\n");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\PvNever"));
}

TEST_F(RegistryRules, ASectionWithOnlyItsCountLineWritesNothing) {
  EXPECT_EQ(RestoreRegistrySection({" Aucune modification"}), "");
}

}  // namespace
