#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "recording/catalogue.h"
#include "recording/catalogue_lines.h"
#include "services/text_file.h"
#include "shell/program_state.h"
#include "support/wine_fixture.h"

namespace {

using Strings = std::vector<std::string>;

class ProgramStateGuard : public testing::Test {
 protected:
  void SetUp() override { saved_ = Program; }
  void TearDown() override { Program = saved_; }

 private:
  TProgramState saved_;
};

using ExclusionList = ProgramStateGuard;
using CatalogueScan = ProgramStateGuard;

Strings LinesOf(const std::string& text) {
  Strings lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

Strings AjouteEach(const Strings& strings) {
  TMaStringList list;
  for (const auto& s : strings) list.Ajoute(s);
  return list.Strings();
}

const char Sep = EntrySeparator;
std::string Entry(const std::string& name, const std::string& rest = "0[629502051]32") {
  return name + Sep + rest;
}

}  // namespace

TEST_F(ExclusionList, BuiltFromTheTextThenTheThreeFixedEntries) {
  Program.ProgramDirectory = "C:\\Program Files\\Pivalune\\";
  BuildExclusionList("C:\\TEMP;;\\CACHE\\");
  EXPECT_EQ(Program.ExclusionList, (Strings{"C:\\TEMP", "\\CACHE\\", "C:\\PROGRAM FILES\\PIVALUNE\\",
                                            "\\RECYCLED\\", "\\SYSBCKUP\\"}));

  // Upper-cased as the system does, accented letters included; blanks stay.
  BuildExclusionList(";c:\\données\\; tmp ;");
  EXPECT_EQ(Program.ExclusionList, (Strings{"C:\\DONNÉES\\", " TMP ", "C:\\PROGRAM FILES\\PIVALUNE\\",
                                            "\\RECYCLED\\", "\\SYSBCKUP\\"}));
}

TEST_F(ExclusionList, FragmentsAreFoundAnywhereInTheUpperCasedPath) {
  Program.ProgramDirectory = "C:\\PIVALUNE\\";
  struct Case {
    const char* text;
    const char* directory;
    bool excluded;
  };
  const Case cases[] = {
      {"\\\\", "C:\\", false},
      {"\\\\", "C:\\WINDOWS\\TEMP\\", false},
      {"\\\\", "C:\\PIVALUNE\\", true},           // the program directory, always
      {"\\\\", "c:\\pivalune\\states\\", true},
      {"\\\\", "D:\\Recycled\\", true},
      {"\\\\", "C:\\WINDOWS\\SYSBCKUP\\", true},
      {"\\\\", "C:\\RECYCLED.OLD\\", false},
      {"\\TEMP\\", "C:\\TEMP\\", true},
      {"\\TEMP\\", "c:\\windows\\temp\\", true},
      {"\\TEMP\\", "C:\\TEMPORAIRE\\", false},
      {"C:\\TEMP", "C:\\TEMPORAIRE\\", true},
      {"C:\\TEMP", "D:\\TEMP\\", false},
      {"c:\\données\\", "C:\\Données\\Images\\", true},
      {"c:\\données\\", "C:\\DONNEES\\", false},  // not the comparisons' folding
  };
  for (const auto& c : cases) {
    BuildExclusionList(c.text);
    EXPECT_EQ(IsExcluded(c.directory), c.excluded) << c.text << " / " << c.directory;
  }
}

TEST(TMaStringList, AjouteInsertsAtTheSortedPlaceBeforeEqualStrings) {
  EXPECT_EQ(AjouteEach({"b", "A", "a", "C", "B"}), (Strings{"a", "A", "B", "b", "C"}));
  // "õ" ranks above letters, digits and signs; small accented letters rank
  // as their capitals, as the file system takes them.
  EXPECT_EQ(AjouteEach({Entry("ABC"), Entry("ABCD"), Entry("ABC.TXT"), Entry("été"),
                        Entry("Zoo"), Entry("ete"), Entry("_x"), Entry("a")}),
            (Strings{Entry("ABC.TXT"), Entry("ABCD"), Entry("ABC"), Entry("a"), Entry("ete"),
                     Entry("Zoo"), Entry("_x"), Entry("été")}));
}

TEST(TMaStringList, SortAsAjouteGivesTheOrderOfAjouteOneByOne) {
  const Strings table = {
      Entry("readme.txt", "10[629502051]32"), Entry("README.TXT", "10[629502051]32"),
      Entry("ReadMe.txt", "10[629502051]32"), Entry("ABC"), Entry("ABCD"), Entry("ABC.TXT"),
      Entry("abc"), Entry("Ab"), Entry("été"), Entry("ETE"), Entry("Été"), Entry("_x"),
      Entry("a"), Entry("Z"), Entry("[1]"), Entry("~"), Entry("õ"), Entry("x", "2[1]32"),
      Entry("X", "10[1]32"), "", "A", "a",
  };
  // Every rotation of the listing order, forwards and backwards.
  for (int reversed = 0; reversed < 2; ++reversed) {
    for (size_t shift = 0; shift < table.size(); ++shift) {
      Strings listing = table;
      if (reversed) std::reverse(listing.begin(), listing.end());
      std::rotate(listing.begin(), listing.begin() + shift, listing.end());
      Strings sorted = listing;
      TMaStringList::SortAsAjoute(sorted);
      EXPECT_EQ(sorted, AjouteEach(listing)) << "rotation " << shift << " reversed " << reversed;
    }
  }
  // Equal keys come out in reverse listing order.
  Strings equal = {Entry("readme.txt"), Entry("README.TXT"), Entry("ReadMe.txt")};
  TMaStringList::SortAsAjoute(equal);
  EXPECT_EQ(equal, (Strings{Entry("ReadMe.txt"), Entry("README.TXT"), Entry("readme.txt")}));
}

namespace {

constexpr uint32_t T1 = ((18u << 9 | 12u << 5 | 5u) << 16) | (14u << 11 | 3u << 5 | 3u);

// A small drive: nested directories, names whose raw and case-blind orders
// differ, special attributes, excluded and dot directories.
void BuildFixtureDrive(const std::string& d) {
  const uint32_t t2 = PackDosTime(1997, 7, 14, 9, 30, 0);
  const uint32_t t3 = PackDosTime(1995, 8, 24, 0, 0, 0);
  const uint32_t t4 = PackDosTime(2001, 1, 31, 23, 59, 58);
  const DWORD A = FILE_ATTRIBUTE_ARCHIVE, R = FILE_ATTRIBUTE_READONLY,
              H = FILE_ATTRIBUTE_HIDDEN, S = FILE_ATTRIBUTE_SYSTEM;
  for (const char* dir :
       {"JEUX", "JEUX\\SAVE", "WINDOWS", "WINDOWS\\SYSTEM", "WINDOWS\\TEMP", "WINDOWS\\SYSBCKUP",
        "apps", "apps\\deep", "apps\\deep\\deeper", "apps_old", "Zeta", "RECYCLED", "PIVALUNE", ".config",
        ".config\\sub", "Configurações"})
    MakeFixtureDirectory(d + dir);

  WriteFixtureFile(d + "AUTOEXEC.BAT", std::string(1234, 'a'), T1);
  WriteFixtureFile(d + "AUTOEXEC", "", t3);
  WriteFixtureFile(d + "CONFIG.SYS", "DEVICE=HIMEM.SYS\r\n", t2);
  WriteFixtureFile(d + "IO.SYS", std::string(300, 'i'), t3, R | H | S);
  WriteFixtureFile(d + "MSDOS.SYS", std::string(1700, 'm'), t3, R | H | S | A);
  WriteFixtureFile(d + "_x", "x", t4);
  WriteFixtureFile(d + "a", "aa", t4, R);
  WriteFixtureFile(d + "empty.txt", "", t2);
  WriteFixtureFile(d + ".profile", "p", t2);
  WriteFixtureFile(d + "JEUX\\b.txt", "bb", t2);
  WriteFixtureFile(d + "JEUX\\A.TXT", "AAA", t2);
  WriteFixtureFile(d + "JEUX\\SAVE\\partie1.sav", std::string(4096, 's'), t4);
  WriteFixtureFile(d + "WINDOWS\\WIN.INI", "[windows]\r\n", T1);
  WriteFixtureFile(d + "WINDOWS\\SYSTEM.INI", "[boot]\r\n", T1, R | A);
  WriteFixtureFile(d + "WINDOWS\\été.txt", "e", t2);
  WriteFixtureFile(d + "WINDOWS\\Eve.txt", "e", t2);
  WriteFixtureFile(d + "WINDOWS\\zoo.txt", "z", t2);
  WriteFixtureFile(d + "WINDOWS\\SYSTEM\\vmm32.vxd", std::string(777, 'v'), t3, S | H);
  WriteFixtureFile(d + "WINDOWS\\SYSTEM\\SHELL.DLL", std::string(50, 'd'), t3);
  WriteFixtureFile(d + "WINDOWS\\TEMP\\~wrs0001.tmp", "t", t4);
  WriteFixtureFile(d + "WINDOWS\\SYSBCKUP\\SHELL.DLL", "d", t3);
  WriteFixtureFile(d + "apps\\tool.exe", std::string(10, 't'), t2);
  WriteFixtureFile(d + "apps\\deep\\deeper\\x.dat", "", t4);
  // "apps_old" lists before "apps" ("_" is below "õ"), and so does its block.
  WriteFixtureFile(d + "apps_old\\tool.exe", std::string(9, 't'), t3);
  WriteFixtureFile(d + "RECYCLED\\INFO2", "r", t4, H);
  // The entry separator "õ" inside names: the directory is walked whole.
  WriteFixtureFile(d + "Configurações\\Opções.txt", "o", t2);
  WriteFixtureFile(d + "PIVALUNE\\PIVALUNE.EXE", "exe", t2);
  WriteFixtureFile(d + "PIVALUNE\\ASYK3DD.000", "* \r\n", T1);
  WriteFixtureFile(d + ".config\\settings", "s", t2);
  WriteFixtureFile(d + ".config\\sub\\more", "s", t2);

  SetFileAttributesA((d + "WINDOWS\\SYSBCKUP").c_str(), H);
  // Directory dates last, deepest first: every new entry touches its parent.
  const std::pair<const char*, uint32_t> dates[] = {
      {"JEUX\\SAVE", t4},    {"JEUX", T1},         {"WINDOWS\\SYSTEM", t3},
      {"WINDOWS\\TEMP", t4}, {"WINDOWS\\SYSBCKUP", t3}, {"WINDOWS", t2},
      {"apps\\deep\\deeper", t4}, {"apps\\deep", t4}, {"apps", t2}, {"apps_old", t3},
      {"Zeta", t3},          {"RECYCLED", t4},     {"PIVALUNE", T1},
      {".config\\sub", t2},  {".config", t2},      {"Configurações", t2},
  };
  for (const auto& [dir, time] : dates) SetFixtureTime(d + dir, time);
}

}  // namespace

TEST_F(CatalogueScan, GoldenCatalogueOfAFixtureDrive) {
  std::string scratch = ScratchDirectory();
  std::string drive = scratch + "drive\\";
  MakeFixtureDirectory(drive);
  BuildFixtureDrive(drive);
  MappedDrive k('K', drive);
  Program.ProgramDirectory = "K:\\PIVALUNE\\";
  BuildExclusionList("\\TEMP\\;\\\\");

  {
    TextFileWriter member(scratch + "catalogue.txt");
    member.WriteLine("* ");
    CatalogueDirectory(k.Root(), "*.*", member, true);
    member.Close();
  }
  ExpectMatchesGolden(scratch + "catalogue.txt", "recording/golden/catalogue_k.txt");

  // One directory without its sub-directories' blocks, as "prov.cat" is.
  {
    TextFileWriter listing(scratch + "jeux.txt");
    CatalogueDirectory("K:\\JEUX\\", "*.*", listing, false);
    listing.Close();
  }
  ExpectMatchesGolden(scratch + "jeux.txt", "recording/golden/catalogue_k_jeux.txt");

  // Another mask selects the files only; every sub-directory is still
  // listed and visited. A mask over 8 characters is cut.
  {
    TextFileWriter listing(scratch + "sys.txt");
    CatalogueDirectory("K:\\", "*.SYS", listing, true);
    CatalogueDirectory("K:\\", "AUTOEXEC.BAT", listing, false);
    listing.Close();
  }
  ExpectMatchesGolden(scratch + "sys.txt", "recording/golden/catalogue_k_mask.txt");
}

TEST_F(CatalogueScan, ExcludedOrVanishedDirectoryGivesNoLineOrNoEntries) {
  std::string scratch = ScratchDirectory();
  Program.ProgramDirectory = "C:\\PIVALUNE\\";
  BuildExclusionList("\\\\");
  {
    TextFileWriter out(scratch + "out.txt");
    CatalogueDirectory("C:\\PIVALUNE\\", "*.*", out, true);   // excluded: nothing at all
    CatalogueDirectory(scratch + "gone\\", "*.*", out, true);  // its line, no entries
    out.Close();
  }
  EXPECT_EQ(ReadWholeFile(scratch + "out.txt"), scratch + "gone\\\r\n");
}

TEST_F(CatalogueScan, DirectoriesBeyondTheClassicPathLengthAreListed) {
  std::string scratch = ScratchDirectory();
  std::string drive = scratch + "long\\";
  MakeFixtureDirectory(drive);
  // The fixture's own clean-up goes through the short-path functions.
  struct RemovedByHost {
    std::string unixPath;
    ~RemovedByHost() { RunHostCommand("/bin/rm -rf \"" + unixPath + "\""); }
  } removed{UnixPathOf(drive)};
  MappedDrive l('L', drive);
  Program.ProgramDirectory = "C:\\PIVALUNE\\";
  BuildExclusionList("\\\\");

  // "L:\" and twelve levels of 21 characters: the directory takes 255
  // characters, so every listing pattern in it is longer than that.
  std::string deep = "L:\\";
  for (int level = 0; level < 12; ++level) {
    deep += "niveau_" + std::to_string(10 + level) + "_abcdefghij\\";
    std::wstring wide(deep.begin(), deep.end());
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + wide).c_str(), nullptr)) << deep.size();
  }
  ASSERT_EQ(deep.size(), 255u);
  std::string deeper = deep + "encore_plus_bas\\";
  std::wstring wideDeeper(deeper.begin(), deeper.end());
  ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + wideDeeper).c_str(), nullptr));
  for (const std::string& file : {deep + "fin.txt", deeper + "plus.txt"}) {
    std::wstring wide(file.begin(), file.end());
    HANDLE h = CreateFileW((L"\\\\?\\" + wide).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_ARCHIVE, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << file;
    CloseHandle(h);
  }

  {
    TextFileWriter out(scratch + "out.txt");
    CatalogueDirectory("L:\\", "*.*", out, true);
    out.Close();
  }
  Strings lines = LinesOf(ReadWholeFile(scratch + "out.txt"));
  auto at = [&](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) - lines.begin();
  };
  auto startsAt = [&](const std::string& prefix) {
    return std::find_if(lines.begin(), lines.end(),
                        [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }) -
           lines.begin();
  };
  ASSERT_LT(at(deep), static_cast<long long>(lines.size()));
  EXPECT_EQ(startsAt(std::string("encore_plus_bas") + Sep), at(deep) + 1);
  EXPECT_EQ(startsAt(std::string("fin.txt") + Sep), at(deep) + 2);
  ASSERT_LT(at(deeper), static_cast<long long>(lines.size()));
  EXPECT_EQ(startsAt(std::string("plus.txt") + Sep), at(deeper) + 1);
  EXPECT_EQ(lines.size(), 14u + 13 + 2);  // directory lines, sub-directory entries, files
}
