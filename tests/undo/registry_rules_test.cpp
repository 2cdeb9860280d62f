// The registry pass on its own: what cannot be stored, a damaged block, a
// section without lines.
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

// A block holding one line that does not parse (a malformed byte, a value
// without its key, a block cut before its count line) is not acted on: no
// key of it is deleted or written.
TEST_F(RegistryRules, NothingOfABlockWithAnOddLineIsDone) {
  const std::vector<std::string> good = {
      "-HKey_Current_User\\Software\\PvNever", "-\"B\"=\"2\"",
      "+HKey_Current_User\\Software\\PvFirst", "+\"A\"=\"1\""};
  const struct {
    const char* what;
    std::vector<std::string> odd;  // put before the count line
    bool counted;
  } cases[] = {
      {"a malformed byte", {"-HKey_Current_User\\Software\\PvBroken", "-\"Bad\"=hex:01,zz"}, true},
      {"a number of seven digits", {" HKey_Current_User\\Software\\PvFirst", "-\"N\"=dword:0000001"}, true},
      {"a line of no known form", {"+HKey_Current_User\\Software\\PvFirst", "?\"X\"=\"1\""}, true},
      {"a string without its closing quote", {" HKey_Current_User\\Software\\PvFirst", "+\"S\"=\"x"}, true},
      {"no count line", {}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetRegString(HKEY_CURRENT_USER, "Software\\PvFirst", "A", "1");
    std::vector<std::string> section = good;
    section.insert(section.end(), c.odd.begin(), c.odd.end());
    if (c.counted) section.push_back(" 7 modifications");
    EXPECT_EQ(RestoreRegistrySection(section),
              "\r\nMise à jour de la Base de registres\r\n"
              " Rien n'a été modifié : cette partie du rapport est incomplète ou défectueuse\r\n"
              " Aucune modification\r\n");
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\PvFirst"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\PvNever"));
  }
}

TEST_F(RegistryRules, ASectionWithOnlyItsCountLineWritesNothing) {
  EXPECT_EQ(RestoreRegistrySection({" Aucune modification"}), "");
}

}  // namespace
