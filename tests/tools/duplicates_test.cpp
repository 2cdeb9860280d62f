// The search for duplicate files on a fixture drive K:, and the texts of the
// finder's list.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "services/files.h"
#include "shell/program_state.h"
#include "support/wine_fixture.h"
#include "tools/duplicates.h"
#include "ui/tab_list_box.h"
#include "windows/scratch_program.h"

namespace {

using Strings = std::vector<std::string>;

// CRC-32 as the program computes it, and four bytes that give a message
// any CRC wanted: the CRC of four bytes X processed from state S is that
// of four zero bytes processed from S ^ X, and four zero-byte steps can be
// undone (each table entry has a top byte of its own).
std::array<uint32_t, 256> CrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[i] = c;
  }
  return table;
}

uint32_t State(const std::string& bytes) {
  static const auto table = CrcTable();
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : bytes) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
  return c;
}

std::string WithCrcOf(const std::string& prefix, const std::string& model) {
  static const auto table = CrcTable();
  std::array<uint8_t, 256> inverse{};
  for (int i = 0; i < 256; ++i) inverse[table[i] >> 24] = static_cast<uint8_t>(i);
  uint32_t wanted = State(model);  // the register before its final inversion
  for (int step = 0; step < 4; ++step) {
    const uint8_t j = inverse[wanted >> 24];
    wanted = ((wanted ^ table[j]) << 8) | j;
  }
  const uint32_t x = State(prefix) ^ wanted;
  std::string forged = prefix;
  for (int i = 0; i < 4; ++i) forged += static_cast<char>((x >> (8 * i)) & 0xFF);
  return forged;
}

class DuplicatesTest : public ScratchProgramTest {
 protected:
  void SetUp() override {
    ScratchProgramTest::SetUp();
    machine_ = dir_ + "machine\\";
    program_ = dir_ + "programme\\";
    MakeFixtureDirectory(machine_);
    MakeFixtureDirectory(program_);
    SetCurrentDirectoryA(program_.c_str());
    Program.ProgramDirectory = program_;
    Program.Drives = "K";
    Program.ExclusionText = "\\\\";
    drive_ = std::make_unique<MappedDrive>('K', machine_);
  }
  void TearDown() override {
    drive_.reset();
    ScratchProgramTest::TearDown();
  }
  void File(const std::string& path, const std::string& bytes, int day = 5) {
    const size_t slash = path.rfind('\\');
    if (slash != std::string::npos) CreateDirectoryA((machine_ + path.substr(0, slash)).c_str(), nullptr);
    WriteFixtureFile(machine_ + path, bytes, PackDosTime(1998, 12, day, 14, 3, 6));
  }
  // The series found, each as the paths of its files.
  std::vector<Strings> Search(bool sameName, Strings* unreadable = nullptr) {
    SameNameOnly = sameName;
    Strings series;
    FindDuplicateSeries(series, unreadable);
    std::vector<Strings> paths;
    for (const std::string& text : series) {
      EXPECT_FALSE(text.empty() || text.front() == '|' || text.back() == '|') << text;
      Strings files;
      for (const std::string& part : SeriesParts(text)) files.push_back(PartPath(part));
      paths.push_back(files);
    }
    EXPECT_FALSE(GetFileAttributesA((program_ + "prov.dat").c_str()) != INVALID_FILE_ATTRIBUTES);
    return paths;
  }

  std::string machine_, program_;
  std::unique_ptr<MappedDrive> drive_;
};

}  // namespace

TEST_F(DuplicatesTest, SeriesHoldFilesOfTheSameBytes) {
  File("vide1.txt", "");
  File("A\\vide2.dat", "");
  File("A\\copie.doc", "contenu commun");
  File("B\\copie.doc", "contenu commun");
  File("C\\autre.doc", "contenu commun");
  File("seul.txt", "contenu de même taille");  // no twin
  File("B\\diff.doc", "contenu COMMUN");         // same size, other bytes
  const std::vector<Strings> series = Search(false);
  EXPECT_EQ(series, (std::vector<Strings>{{"K:\\A\\copie.doc", "K:\\B\\copie.doc", "K:\\C\\autre.doc"},
                                          {"K:\\A\\vide2.dat", "K:\\vide1.txt"}}))
      << "all empty files one series; three copies one series of three";
}

// Two A.DLL with a B.DLL of the same size between them in the sorted list
// are one series all the same.
TEST_F(DuplicatesTest, SameNameModeGroupsByTheWholeKey) {
  File("X\\A.DLL", "bibliothèque", 1);
  File("Y\\B.DLL", "bibliothèque", 2);
  File("Z\\A.DLL", "bibliothèque", 3);
  EXPECT_EQ(Search(true), (std::vector<Strings>{{"K:\\X\\A.DLL", "K:\\Z\\A.DLL"}}));
  EXPECT_EQ(Search(false).size(), 1u);
  EXPECT_EQ(Search(false)[0].size(), 3u);
}

TEST_F(DuplicatesTest, TheSameCrcIsNotTheSameContents) {
  const std::string first = WithCrcOf("premier contenu", "premier contenu....");
  const std::string second = WithCrcOf("second  contenu", "premier contenu....");
  File("un.bin", first);
  File("deux.bin", second);
  ASSERT_EQ(first.size(), second.size());
  ASSERT_NE(first, second);
  ASSERT_EQ(FileCrc32(machine_ + "un.bin"), FileCrc32(machine_ + "deux.bin")) << "the test's forged CRC";
  EXPECT_TRUE(Search(false).empty());
}

// Files that cannot be read are never copies of each other: they are told
// apart.
TEST_F(DuplicatesTest, UnreadableFilesAreNoSeries) {
  File("ferme1.dat", "verrouillé");
  File("ferme2.dat", "verrouillé");
  File("ouvert.dat", "verrouillé");
  std::vector<HANDLE> locks;
  for (const char* name : {"ferme1.dat", "ferme2.dat"})
    locks.push_back(CreateFileA((machine_ + name).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  Strings unreadable;
  const std::vector<Strings> series = Search(false, &unreadable);
  for (HANDLE h : locks) CloseHandle(h);
  EXPECT_TRUE(series.empty());
  EXPECT_EQ(unreadable, (Strings{"K:\\ferme1.dat", "K:\\ferme2.dat"}));
}

TEST(DuplicateTexts, TheListLineShowsTheWholeSize) {
  EXPECT_EQ(SeriesListLine("K:\\A\\copie.doc\xF5" "14[629502051]32"), "K:\\A\\copie.doc\t      14 05/12/1998 14:03");
  EXPECT_EQ(SeriesListLine("K:\\gros.iso\xF5" "4700000000[629502051]32"), "K:\\gros.iso\t4700000000 05/12/1998 14:03");
  EXPECT_EQ(JoinSeries(SeriesParts("|a\xF5" "1[0]0||b\xF5" "1[0]0|")), "a\xF5" "1[0]0|b\xF5" "1[0]0");
}

TEST(TabPercentages, TextsAndTheirErrors) {
  EXPECT_EQ(TTabListBox::ParseTabPercentages("10 20 30"), (std::array<int, 10>{10, 20, 30}));
  EXPECT_EQ(TTabListBox::ParseTabPercentages(" 29, 34, 39, 44 "), (std::array<int, 10>{29, 34, 39, 44}));
  EXPECT_EQ(TTabListBox::ParseTabPercentages("0, 10"), (std::array<int, 10>{0, 10}));
  EXPECT_THROW(TTabListBox::ParseTabPercentages("10 20,30"), EConvertError);
  try {
    TTabListBox::ParseTabPercentages("50, 40");
    ADD_FAILURE();
  } catch (const EOrderException& e) {
    EXPECT_STREQ(e.what(), " Les valeurs de TabPercentages doivent être en ordre croissant");
  }
  try {
    TTabListBox::ParseTabPercentages("10, 250");
    ADD_FAILURE();
  } catch (const EOrderException& e) {
    EXPECT_STREQ(e.what(), "Les valeurs de TabPercentages doivent être comprises entre 0 and 200");
  }
  TTabListBox list;
  list.SetTabPercentages("29, 34, 39, 44");
  EXPECT_EQ(list.TabPercentages(), "29, 34, 39, 44");
  EXPECT_THROW(list.SetTabPercentages("x"), EConvertError);
  EXPECT_EQ(list.TabPercentages(), "29, 34, 39, 44") << "bad text leaves the stops";
  list.SetTabPercentages("0, 10");
  EXPECT_EQ(list.TabPercentages(), "0, 10");
  EXPECT_TRUE(list.TabStops().empty()) << "the list box's own spacing";
}
