#include <gtest/gtest.h>

#include "services/folding.h"
#include "services/io_error.h"

TEST(Folding, FoldUpperTurnsLettersAndTheFifteenAccentsIntoCapitals) {
  EXPECT_EQ(FoldUpper("abc xyz àâéèêëîïôöùûüÿç"), "ABC XYZ AAEEEEIIOOUUUYC");
  EXPECT_EQ(FoldUpper("ÀÉ æ ñ õ 1_~"), "ÀÉ æ ñ õ 1_~");  // everything else stays
}

TEST(Folding, CompareFoldedOrdersFoldedBytesAndPrefixesFirst) {
  struct Case { const char* a; const char* b; int expected; };
  const Case cases[] = {
      {"abc", "ABC", 0},   {"été", "ETE", 0},   {"ab", "abc", -1}, {"abc", "ab", 1},
      {"A", "b", -1},      {"b", "A", 1},       {"", "", 0},       {"Z", "[", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(CompareFolded(c.a, c.b), c.expected) << c.a << " / " << c.b;
}

TEST(Folding, PosFoldedIsOneBasedAndZeroWhenAbsent) {
  EXPECT_EQ(PosFolded("win.ini", "C:\\WINDOWS\\WIN.INI"), 12);
  EXPECT_EQ(PosFolded("ç", "garçon"), 4);
  EXPECT_EQ(PosFolded("x", "abc"), 0);
  EXPECT_EQ(PosFolded("", "abc"), 0);
}

TEST(Folding, DiskErrorTexts) {
  EXPECT_EQ(DiskErrorText(2), "Le document est introuvable.");
  EXPECT_EQ(DiskErrorText(5), "L'accès au disque est refusé.");
  EXPECT_EQ(DiskErrorText(39), DiskErrorText(112));
  EXPECT_EQ(DiskErrorText(112), "Il n'y a plus de place sur le disque.");
  EXPECT_EQ(DiskErrorText(21), "Insérez une disquette dans le lecteur.");
  EXPECT_EQ(DiskErrorText(1234), "Erreur de lecture ou écriture sur disque.");
}
