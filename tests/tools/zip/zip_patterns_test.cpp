// How the libraries match patterns and names, apart from any archive.
#include <gtest/gtest.h>

#include <string>

#include "tools/zip/zip_patterns.h"

namespace {

TEST(ZipPatternsTest, WildcardsIgnoreCaseAccentedLettersToo) {
  struct Case {
    const char *pattern, *name;
    bool matches;
  };
  const Case cases[] = {
      {"*.txt", "LISEZMOI.TXT", true},  {"?.txt", "ab.txt", false},     {"*.*", "README", true},
      {"PV*.ZIP", "pvln0001.zip", true}, {"ÉTÉ.TXT", "été.txt", true},   {"*a*b*c", "xaybzc", true},
      {"*a*b*c", "xaybz", false},        {"foo.dll", "foo.dl", false},   {"*", "", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(zip::WildcardMatch(c.pattern, c.name), c.matches) << c.pattern << " / " << c.name;
}

TEST(ZipPatternsTest, StoredPathsLoseTheirDriveAndEveryStepOutside) {
  EXPECT_EQ(zip::StoredPath("C:\\WINDOWS\\SYSTEM\\FOO.DLL"), "WINDOWS/SYSTEM/FOO.DLL");
  EXPECT_EQ(zip::StoredPath("\\\\serveur\\partage\\dossier\\a.txt"), "dossier/a.txt");
  EXPECT_EQ(zip::StoredPath("..\\..\\haut\\.\\a.txt"), "haut/a.txt");
  EXPECT_EQ(zip::StoredPath("sous\\a.txt"), "sous/a.txt");
}

TEST(ZipPatternsTest, UnsafeNamesAreThoseThatLeaveTheTarget) {
  for (const char* unsafe : {"../a.txt", "a/../../b.txt", "..\\a.txt", "C:/a.txt", "C:a.txt", "/a.txt", "\\a.txt", ""})
    EXPECT_TRUE(zip::IsUnsafeEntryName(unsafe)) << unsafe;
  for (const char* safe : {"a.txt", "sous/a.txt", "a..b.txt", ".cache/a"})
    EXPECT_FALSE(zip::IsUnsafeEntryName(safe)) << safe;
  EXPECT_EQ(zip::TargetPathOf("sous/dossier/a?b.txt", true), "sous\\dossier\\a_b.txt");
  EXPECT_EQ(zip::TargetPathOf("sous/dossier/a.txt", false), "a.txt");
}

}  // namespace
