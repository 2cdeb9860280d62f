// The merge of two drive catalogues, over members held in memory and laid
// out as the catalogue scan writes them.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "comparison/catalogue_comparison.h"
#include "recording/catalogue_lines.h"
#include "support/wine_fixture.h"

namespace {

class CollectedLines : public LineSink {
 public:
  void WriteLine(std::string_view line) override {
    text.append(line);
    text += '\n';
  }
  std::string text;
};

const int32_t Dec1998 = static_cast<int32_t>(PackDosTime(1998, 12, 5, 14, 3, 6));

std::string File(const std::string& name, int32_t size, int32_t time = Dec1998) {
  return FormatCatalogueEntry(name, size, time, 32);
}
std::string Dir(const std::string& name, int32_t time = Dec1998) {
  return FormatCatalogueEntry(name, 0, time, 16);
}

std::string Member(const std::vector<std::string>& lines) {
  std::string text = "* \r\n";
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

struct Comparison {
  std::string block;
  std::vector<std::string> olderVersions;
};

Comparison Compare(const std::vector<std::string>& oldLines,
                   const std::vector<std::string>& newLines,
                   const std::string& workingDirectory = "C:\\PIVALUNE\\",
                   const std::string& excludedFragment = "\\RECYCLED\\") {
  std::istringstream oldMember(Member(oldLines)), newMember(Member(newLines));
  CollectedLines lines;
  report::Writer out(lines);
  Comparison result;
  CatalogueComparisonContext context;
  context.workingDirectory = workingDirectory;
  context.isExcluded = [excludedFragment](const std::string& line) {
    return line.find(excludedFragment) != std::string::npos;
  };
  context.olderVersions = &result.olderVersions;
  CompareCatalogues(oldMember, newMember, out, context);
  result.block = lines.text;
  return result;
}

TEST(CatalogueComparison, LastEntriesOfBothCataloguesTakePart) {
  Comparison c = Compare({"D:\\", File("A.TXT", 1), File("Z.TXT", 2)},
                         {"D:\\", File("A.TXT", 1), File("Y.TXT", 3)});
  EXPECT_EQ(c.block,
            "D:\\\n"
            "+Y.TXT               3 05/12/1998 14:03\n"
            "-Z.TXT               2 05/12/1998 14:03\n"
            " 2 modifications\n"
            "\n");
}

TEST(CatalogueComparison, WorkingDirectoryAndExcludedDirectoriesArePassedOver) {
  // The program directory's block holds the state files themselves; the
  // excluded blocks, the last one running to the end, change freely.
  const std::vector<std::string> before = {
      "D:\\",        Dir("CACHE"), Dir("DOS"), Dir("PROG"), Dir("WIN"), Dir("ZCACHE"),
      File("A.TXT", 1),
      "D:\\CACHE\\",  File("x.tmp", 1),
      "D:\\DOS\\",    File("EDIT.COM", 10),
      "D:\\PROG\\",   File("AAAAAA1.000", 80),
      "D:\\WIN\\",    File("WIN.INI", 10),
      "D:\\ZCACHE\\", File("z.tmp", 1)};
  const std::vector<std::string> after = {
      "D:\\",        Dir("CACHE"), Dir("DOS"), Dir("PROG"), Dir("WIN"), Dir("ZCACHE"),
      File("A.TXT", 1),
      "D:\\CACHE\\",  File("w.tmp", 9), File("x.tmp", 2),
      "D:\\DOS\\",    File("EDIT.COM", 10),
      "d:\\prog\\",   File("AAAAAA1.000", 80), File("AAAAAA2.000", 80),
      "D:\\WIN\\",    File("WIN.INI", 10),
      "D:\\ZCACHE\\", Dir("SUB"), File("z.tmp", 5)};
  EXPECT_EQ(Compare(before, after, "D:\\PROG\\", "CACHE\\").block, " Aucune modification\n\n");
  EXPECT_EQ(Compare(after, before, "D:\\PROG\\", "CACHE\\").block, " Aucune modification\n\n");
  // Without them, the same catalogues differ.
  EXPECT_NE(Compare(before, after).block, " Aucune modification\n\n");
}

TEST(CatalogueComparison, OlderCopiesAreFoundByTheirPackedTimesAsNumbers) {
  // A date of 2010 is a ten-digit number, one of 2009 nine digits.
  const int32_t June2009 = static_cast<int32_t>(PackDosTime(2009, 6, 1, 8, 0, 0));
  const int32_t June2010 = static_cast<int32_t>(PackDosTime(2010, 6, 1, 8, 0, 0));
  ASSERT_EQ(std::to_string(June2009).size(), 9u);
  ASSERT_EQ(std::to_string(June2010).size(), 10u);
  struct Case {
    int32_t before, after;
    bool older;
  };
  const Case cases[] = {{June2010, June2009, true},
                        {June2009, June2010, false},
                        {Dec1998, June2009, false},
                        {June2009, Dec1998, true}};
  for (const Case& c : cases) {
    Comparison r = Compare({"D:\\", "D:\\WIN\\", File("LIB.DLL", 100, c.before)},
                           {"D:\\", "D:\\WIN\\", File("LIB.DLL", 90, c.after)});
    if (c.older) {
      ASSERT_EQ(r.olderVersions.size(), 1u) << c.before << " " << c.after;
      EXPECT_EQ(r.olderVersions[0], "D:\\WIN\\" + CatalogueEntryDisplay(File("LIB.DLL", 100, c.before)));
    } else {
      EXPECT_TRUE(r.olderVersions.empty()) << c.before << " " << c.after;
    }
  }
}

TEST(CatalogueComparison, ChangedFileAndChangedAttributes) {
  Comparison c = Compare({"D:\\", File("A.TXT", 1), FormatCatalogueEntry("B.TXT", 7, Dec1998, 32)},
                         {"D:\\", File("A.TXT", 1), FormatCatalogueEntry("B.TXT", 7, Dec1998, 33)});
  // The displayed text does not show attributes: both lines look alike.
  EXPECT_EQ(c.block,
            "D:\\\n"
            " B.TXT               7 05/12/1998 14:03\n"
            ">B.TXT               7 05/12/1998 14:03\n"
            " 1 modification\n"
            "\n");
  EXPECT_TRUE(c.olderVersions.empty());
}

// The scan sorts with only a-z upper-cased: "AB_C" comes before "AB" ("_"
// is below "õ"), and "é.txt" after "f.txt". The merge follows that order.
TEST(CatalogueComparison, FollowsTheOrderOfTheScanForSignsAndAccents) {
  Comparison dirs = Compare({"D:\\", Dir("AB"), "D:\\AB\\", File("Y.TXT", 1)},
                            {"D:\\", Dir("AB_C"), Dir("AB"), "D:\\AB_C\\", File("X.TXT", 2),
                             "D:\\AB\\", File("Y.TXT", 1)});
  EXPECT_EQ(dirs.block,
            "D:\\\n"
            "+AB_C   REP\n"
            "D:\\AB_C\\\n"
            "+X.TXT               2 05/12/1998 14:03\n"
            " 2 modifications\n"
            "\n");
  Comparison gone = Compare({"D:\\", Dir("AB_C"), Dir("AB"), "D:\\AB_C\\", File("X.TXT", 2),
                             "D:\\AB\\", File("Y.TXT", 1)},
                            {"D:\\", Dir("AB"), "D:\\AB\\", File("Y.TXT", 1)});
  EXPECT_EQ(gone.block,
            "D:\\\n"
            "-AB_C   REP\n"
            "D:\\AB_C\\\n"
            "-X.TXT               2 05/12/1998 14:03\n"
            " 2 modifications\n"
            "\n");
  Comparison files = Compare({"D:\\", File("b.txt", 1), File("été.txt", 1)},
                             {"D:\\", File("b.txt", 1), File("f.txt", 1), File("été.txt", 1)});
  EXPECT_EQ(files.block,
            "D:\\\n"
            "+f.txt               1 05/12/1998 14:03\n"
            " 1 modification\n"
            "\n");
}

// A damaged entry line ends the block with the changes counted so far.
TEST(CatalogueComparison, DamagedLineInterruptsTheBlock) {
  const char* damaged[] = {
      "C.TXT1[629502051]32",        // no separator
      "C.TXTõ1 629502051]32",       // no "["
      "C.TXTõ1[629502051 32",       // no "]"
      "C.TXTõ1[629502051]3x",       // attributes not a number
      "C.TXTõ1[629502051]",         // no attributes
  };
  for (const char* line : damaged) {
    std::vector<std::string> before = {"D:\\", Dir("SUB"), File("A.TXT", 1), "D:\\SUB\\", line};
    std::vector<std::string> after = {"D:\\", Dir("SUB"), File("A.TXT", 1), File("B.TXT", 2),
                                      "D:\\SUB\\", File("C.TXT", 1)};
    const char* expected =
        "D:\\\n"
        "+B.TXT               2 05/12/1998 14:03\n"
        " Traitement interrompu: fichier défectueux ou mémoire insuffisante!\n"
        " 1 modification\n"
        "\n";
    EXPECT_EQ(Compare(before, after).block, expected) << line;
    std::swap(before.back(), after.back());
    EXPECT_EQ(Compare(before, after).block, expected) << line << " (after)";
  }
}

}  // namespace

namespace {

// Names the file system takes for one name are one entry: a change of
// letter case, accented capitals included, is no removal and addition, and
// a name holding the entry separator is read whole.
TEST(CatalogueComparison, NamesAreComparedAsTheFileSystemDoes) {
  Comparison c = Compare({"D:\\", Dir("données"), File("Opções.txt", 1), File("école.txt", 5),
                          "D:\\données\\", File("fiche.txt", 1)},
                         {"D:\\", Dir("DONNÉES"), File("Opções.txt", 2), File("École.txt", 6),
                          "D:\\DONNÉES\\", File("fiche.txt", 1)});
  EXPECT_EQ(c.block,
            "D:\\\n"
            " Opções.txt          1 05/12/1998 14:03\n"
            ">Opções.txt          2 05/12/1998 14:03\n"
            " école.txt           5 05/12/1998 14:03\n"
            ">École.txt           6 05/12/1998 14:03\n"
            " 2 modifications\n"
            "\n");
  // An accent the old folding took away is another name for the file system.
  EXPECT_EQ(Compare({"D:\\", File("cafe.txt", 1)}, {"D:\\", File("café.txt", 1)}).block,
            "D:\\\n"
            "-cafe.txt            1 05/12/1998 14:03\n"
            "+café.txt            1 05/12/1998 14:03\n"
            " 2 modifications\n"
            "\n");
}

// A catalogue whose lines are not in the order its writer keeps cannot be
// merged without taking files that are there for removed or added: the
// block ends as interrupted where the disorder shows.
TEST(CatalogueComparison, ACatalogueOutOfItsOrderInterruptsTheBlock) {
  const std::vector<std::string> good = {"D:\\", Dir("A"), Dir("B"), File("X.TXT", 1),
                                         File("Y.TXT", 1), "D:\\A\\", File("F", 1), "D:\\B\\"};
  const struct {
    const char* what;
    std::vector<std::string> lines;
  } cases[] = {
      {"files out of order", {"D:\\", Dir("A"), Dir("B"), File("Y.TXT", 1), File("X.TXT", 1),
                              "D:\\A\\", File("F", 1), "D:\\B\\"}},
      {"a directory entry after the files", {"D:\\", Dir("A"), File("X.TXT", 1), Dir("B"),
                                             File("Y.TXT", 1), "D:\\A\\", File("F", 1), "D:\\B\\"}},
      {"blocks out of order", {"D:\\", Dir("A"), Dir("B"), File("X.TXT", 1), File("Y.TXT", 1),
                               "D:\\B\\", "D:\\A\\", File("F", 1)}},
      {"an entry before any directory", {File("X.TXT", 1), "D:\\", Dir("A"), Dir("B"),
                                         File("Y.TXT", 1), "D:\\A\\", File("F", 1), "D:\\B\\"}},
      {"a directory line without its final backslash", {"D:\\", Dir("A"), Dir("B"),
                                                        File("X.TXT", 1), File("Y.TXT", 1),
                                                        "D:\\A", File("F", 1), "D:\\B\\"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool damagedIsNew : {false, true}) {
      std::string block = damagedIsNew ? Compare(good, c.lines).block : Compare(c.lines, good).block;
      EXPECT_NE(block.find(" Traitement interrompu: fichier défectueux ou mémoire insuffisante!\n"),
                std::string::npos)
          << block;
    }
  }
}

}  // namespace
