// The names the undo makes: the short path of its questions, the undo log's
// name, and the report name it is given.
#include <gtest/gtest.h>

#include "undo/undo_run.h"

namespace {

TEST(ShortenPathForMessage, KeepsTwoLevelsAndTheLastPart) {
  struct Case {
    const char* path;
    const char* shown;
  };
  const Case cases[] = {
      // 27 characters: shown whole.
      {"C:\\PROGRAMMES\\APPLI\\FIC.DLL", "C:\\PROGRAMMES\\APPLI\\FIC.DLL"},
      // 28 characters: shortened, even though it grows.
      {"C:\\PROGRAMMES\\APPLIS\\FIC.DLL", "C:\\PROGRAMMES\\...\\FIC.DLL"},
      {"C:\\PROGRAM FILES\\VENDOR\\APP\\SUB\\FILE.DLL", "C:\\PROGRAM FILES\\...\\FILE.DLL"},
      // Levels go one at a time until 23 characters are reached: here one
      // level is enough and the next stays.
      {"C:\\A\\BBBBBBBBBBBBBBBBBBBB\\CC\\F.DLL", "C:\\A\\...\\CC\\F.DLL"},
      // Only two backslashes: nothing to drop, the marker is still put in.
      {"C:\\UN-NOM-DE-DOSSIER-LONG\\FICHIER.DLL", "C:\\UN-NOM-DE-DOSSIER-LONG\\...\\FICHIER.DLL"},
      // No second level at all: left as it is.
      {"C:\\UN-TRES-LONG-NOM-DE-FICHIER-SEUL.DLL", "C:\\UN-TRES-LONG-NOM-DE-FICHIER-SEUL.DLL"},
  };
  for (const auto& c : cases) EXPECT_EQ(ShortenPathForMessage(c.path), c.shown) << c.path;
}

TEST(UndoLogNameOf, TakesTheBaseNameOfTheReport) {
  EXPECT_EQ(UndoLogNameOf("ABCDEFG.PV1"), "ABCDEFG.PV3");
  EXPECT_EQ(UndoLogNameOf("ABCDEFG.PV2"), "ABCDEFG.PV3");
  EXPECT_EQ(UndoLogNameOf("ABCDEFG"), "ABCDEFG.PV3");
  // The base name ends at its own first dot, not at a dot of the directory.
  EXPECT_EQ(UndoLogNameOf("A:\\ABCDEFG.X.PV1"), "A:\\ABCDEFG.PV3");
  EXPECT_EQ(UndoLogNameOf("C:\\PV.DIR\\ABCDEFG.PV1"), "C:\\PV.DIR\\ABCDEFG.PV3");
}

}  // namespace
