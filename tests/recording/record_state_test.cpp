// Recording whole states on fixture drives, with a sandboxed registry so that
// the registry member is known to the byte.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>

#include "recording/catalogue.h"
#include "recording/catalogue_lines.h"
#include "recording/record_state.h"
#include "recording/state_files.h"
#include "services/files.h"
#include "services/io_error.h"
#include "services/text_lines.h"
#include "shell/program_state.h"
#include "support/wine_fixture.h"

namespace {

const char EmptySnapshot[] = "BDR95\r\n*\r\nyHKey_Local_Machine\r\nyHKey_Users\r\n";

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (ReadTextLine(in, line)) lines.push_back(line);
  return lines;
}

// The lines of an index up to its seal: the date, the header, the titles.
std::vector<std::string> MemberLines(const std::string& path) {
  std::vector<std::string> lines = ReadLines(path);
  auto seal = std::find_if(lines.begin() + (lines.empty() ? 0 : 1), lines.end(),
                           [](const std::string& l) { return !l.empty() && l[0] == '*'; });
  return std::vector<std::string>(lines.begin(), seal);
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsStateName(const std::string& name) {
  return name.size() == 7 &&
         name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ123456") == std::string::npos;
}

WIN32_FILE_ATTRIBUTE_DATA AttributesOf(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  EXPECT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) << path;
  return data;
}

// Member n of the state as a path in the program directory.
std::string Member(const std::string& base, int n) { return StateFileName(base + MemberSuffix(n)); }

class RecordStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = ScratchDirectory();
    prog_ = scratch_ + "prog\\";
    MakeFixtureDirectory(prog_);
    GetCurrentDirectoryA(MAX_PATH, previousDirectory_);
    ASSERT_TRUE(SetCurrentDirectoryA(prog_.c_str()));
    Program = TProgramState();
    Program.CommandLineMode = true;
    Program.ProgramDirectory = prog_;
    Program.ExclusionText = "\\\\";
    BuildExclusionList(Program.ExclusionText);
  }

  void TearDown() override {
    drives_.clear();
    SetCurrentDirectoryA(previousDirectory_);
    Program = TProgramState();
    SetRunningApplicationsCheck(nullptr);
  }

  // A fixture directory under the scratch folder, mapped as a drive.
  std::string Drive(char letter) {
    std::string dir = scratch_ + static_cast<char>(tolower(letter)) + "\\";
    MakeFixtureDirectory(dir);
    drives_.push_back(std::make_unique<MappedDrive>(letter, dir));
    return dir;
  }

  // Member k of the state copies the file its index line names: the same
  // bytes, the same date, the same attributes.
  void ExpectCopy(const std::string& base, int k, const std::string& sourceOnDrive,
                  const std::string& fixturePath) {
    SCOPED_TRACE(sourceOnDrive);
    std::vector<std::string> index = MemberLines(Member(base, 0));
    ASSERT_LT(static_cast<size_t>(k + 1), index.size());
    EXPECT_EQ(index[k + 1], sourceOnDrive);
    std::string copy = Member(base, k);
    ASSERT_TRUE(Exists(copy));
    EXPECT_EQ(ReadWholeFile(copy), ReadWholeFile(fixturePath));
    auto original = AttributesOf(fixturePath), copied = AttributesOf(copy);
    EXPECT_EQ(copied.dwFileAttributes, original.dwFileAttributes);
    EXPECT_EQ(CompareFileTime(&copied.ftLastWriteTime, &original.ftLastWriteTime), 0);
  }

  RegistrySandbox sandbox_;
  std::string scratch_, prog_;
  char previousDirectory_[MAX_PATH] = {};
  std::vector<std::unique_ptr<MappedDrive>> drives_;
};

const uint32_t Dos1998 = PackDosTime(1998, 12, 5, 14, 3, 6);
const uint32_t Dos1997 = PackDosTime(1997, 6, 30, 23, 59, 58);

}  // namespace

TEST_F(RecordStateTest, MembersFollowTheDrivesThenTheTypePassesThenTheRegistry) {
  std::string g = Drive('G');
  WriteFixtureFile(g + "MSDOS.SYS", "[Paths]\r\nWinDir=C:\\WINDOWS\r\n", Dos1997,
                   FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  WriteFixtureFile(g + "CONFIG.SYS", "DEVICE=HIMEM.SYS\r\n", Dos1998);
  WriteFixtureFile(g + "AUTOEXEC.BAT", "@ECHO OFF\r\n", Dos1998);
  WriteFixtureFile(g + "COMMAND.COM", std::string(700, 'c'), Dos1998);
  MakeFixtureDirectory(g + "OLD");
  WriteFixtureFile(g + "OLD\\AUTOEXEC.BAT", "PATH C:\\DOS\r\n", Dos1997);
  MakeFixtureDirectory(g + "WINDOWS");
  // Large enough that counting the copies would change the size total.
  WriteFixtureFile(g + "WINDOWS\\WIN.INI", "[windows]\r\n" + std::string(3000, ';'), Dos1998);
  WriteFixtureFile(g + "WINDOWS\\SYSTEM.INI", "[boot]\r\nshell=Explorer.exe\r\n", Dos1998,
                   FILE_ATTRIBUTE_READONLY);
  WriteFixtureFile(g + "WINDOWS\\CONTROL.INI", "[current]\r\n", Dos1997);
  MakeFixtureDirectory(g + "WINDOWS\\SYSTEM");
  WriteFixtureFile(g + "WINDOWS\\SYSTEM\\setup.ini", "[setup]\r\n", Dos1997);
  std::string h = Drive('H');
  WriteFixtureFile(h + "APP.INI", "[app]\r\n", Dos1998);
  WriteFixtureFile(h + "README.TXT", "texte\r\n", Dos1998);
  MakeFixtureDirectory(h + "CACHE.INI");  // a directory: its copy fails
  MakeFixtureDirectory(h + "DATA");
  WriteFixtureFile(h + "DATA\\prefs.ini", "[prefs]\r\n", Dos1997, FILE_ATTRIBUTE_HIDDEN);

  Program.RecordDrives = "GH";
  Program.RecordTypes = "MCAIWSR";
  Program.StateSizeTotal = 5;  // added to, never reset
  RecordState("ASYK3DD");

  std::vector<std::string> index = MemberLines("ASYK3DD.000");
  ASSERT_EQ(index.size(), 16u);
  // "* le dd/mm/yyyy à hh:nn:ss", today's date
  EXPECT_EQ(index[0].size(), 26u);
  EXPECT_EQ(index[0].substr(0, 15), "* " + RecordingDateText().substr(0, 13));
  EXPECT_EQ(std::vector<std::string>(index.begin() + 1, index.end()),
            (std::vector<std::string>{
                "{GH_MCAIWSR_\\\\}",
                "Catalogue de G:\\",
                "G:\\MSDOS.SYS",
                "G:\\CONFIG.SYS",
                "G:\\AUTOEXEC.BAT",
                "G:\\OLD\\AUTOEXEC.BAT",
                "G:\\WINDOWS\\CONTROL.INI",
                "G:\\WINDOWS\\SYSTEM.INI",
                "G:\\WINDOWS\\WIN.INI",
                "G:\\WINDOWS\\SYSTEM\\setup.ini",
                "Catalogue de H:\\",
                "H:\\CACHE.INI",
                "H:\\APP.INI",
                "H:\\DATA\\prefs.ini",
                "Base de registres",
            }));

  ExpectCopy("ASYK3DD", 2, "G:\\MSDOS.SYS", g + "MSDOS.SYS");
  const DWORD readOnlyHiddenSystem =
      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  EXPECT_EQ(AttributesOf("ASYK3DD.002").dwFileAttributes & readOnlyHiddenSystem,
            readOnlyHiddenSystem);
  ExpectCopy("ASYK3DD", 3, "G:\\CONFIG.SYS", g + "CONFIG.SYS");
  ExpectCopy("ASYK3DD", 4, "G:\\AUTOEXEC.BAT", g + "AUTOEXEC.BAT");
  ExpectCopy("ASYK3DD", 5, "G:\\OLD\\AUTOEXEC.BAT", g + "OLD\\AUTOEXEC.BAT");
  ExpectCopy("ASYK3DD", 6, "G:\\WINDOWS\\CONTROL.INI", g + "WINDOWS\\CONTROL.INI");
  ExpectCopy("ASYK3DD", 7, "G:\\WINDOWS\\SYSTEM.INI", g + "WINDOWS\\SYSTEM.INI");
  ExpectCopy("ASYK3DD", 8, "G:\\WINDOWS\\WIN.INI", g + "WINDOWS\\WIN.INI");
  ExpectCopy("ASYK3DD", 9, "G:\\WINDOWS\\SYSTEM\\setup.ini", g + "WINDOWS\\SYSTEM\\setup.ini");
  EXPECT_FALSE(Exists("ASYK3DD.011")) << "the failed copy keeps its number, without a file";
  ExpectCopy("ASYK3DD", 12, "H:\\APP.INI", h + "APP.INI");
  ExpectCopy("ASYK3DD", 13, "H:\\DATA\\prefs.ini", h + "DATA\\prefs.ini");
  EXPECT_FALSE(Exists("ASYK3DD.015"));

  // The seal after the titles: each member's size and CRC-32 as it stands
  // on the disk, the failed copy without a file.
  const std::vector<std::string> all = ReadLines("ASYK3DD.000");
  ASSERT_EQ(all.size(), 16u + 14u);
  for (int k = 1; k <= 14; ++k) {
    char expected[64];
    if (k == 11)
      std::snprintf(expected, sizeof expected, "*011 -");
    else
      std::snprintf(expected, sizeof expected, "*%03d %lld %08X", k,
                    static_cast<long long>(FileSizeOf(Member("ASYK3DD", k))),
                    FileCrc32(Member("ASYK3DD", k)));
    EXPECT_EQ(all[static_cast<size_t>(15 + k)], expected);
  }

  // The catalogues are whole drives; the registry member is the sandbox's.
  std::string catalogueG = ReadWholeFile("ASYK3DD.001");
  EXPECT_EQ(catalogueG.substr(0, 9), "* \r\nG:\\\r\n");
  EXPECT_NE(catalogueG.find("\r\nG:\\WINDOWS\\SYSTEM\\\r\nsetup.ini\xF5" "9["), std::string::npos);
  EXPECT_NE(catalogueG.find("\r\nCOMMAND.COM\xF5" "700["), std::string::npos);
  EXPECT_EQ(ReadWholeFile("ASYK3DD.010").substr(0, 9), "* \r\nH:\\\r\n");
  EXPECT_EQ(ReadWholeFile("ASYK3DD.014"), EmptySnapshot);

  // Sizes of the catalogues, the snapshot and the index only.
  uint32_t expected = 5;
  for (const char* name : {"ASYK3DD.000", "ASYK3DD.001", "ASYK3DD.010", "ASYK3DD.014"})
    expected += SizeUnits(static_cast<uint64_t>(FileSizeOf(name)));
  EXPECT_EQ(Program.StateSizeTotal, expected);

  // The sources are left as they were.
  EXPECT_EQ(AttributesOf(g + "MSDOS.SYS").dwFileAttributes & readOnlyHiddenSystem,
            readOnlyHiddenSystem);
}

TEST_F(RecordStateTest, WinAndSystemWithoutIniCopyEveryFileWhoseNameBeginsSo) {
  std::string g = Drive('G');
  WriteFixtureFile(g + "MYWIN.INI", "[my]\r\n", Dos1998);
  WriteFixtureFile(g + "WIN.TXT", "non\r\n", Dos1998);
  MakeFixtureDirectory(g + "OLD");
  WriteFixtureFile(g + "OLD\\WIN.INI.BAK", "[old]\r\n", Dos1997);
  WriteFixtureFile(g + "OLD\\SYSTEM.INI.SAV", "[boot]\r\n", Dos1997);
  MakeFixtureDirectory(g + "WINDOWS");
  WriteFixtureFile(g + "WINDOWS\\win.ini", "[windows]\r\n", Dos1998);
  WriteFixtureFile(g + "WINDOWS\\SYSTEM.INI", "[boot]\r\n", Dos1998);
  WriteFixtureFile(g + "WINDOWS\\CONTROL.INI", "[current]\r\n", Dos1998);
  WriteFixtureFile(g + "WINDOWS\\CONFIG.SYS", "FILES=40\r\n", Dos1998);

  // Held open without sharing while the state is recorded: it cannot be copied.
  HANDLE locked = CreateFileA((g + "WINDOWS\\SYSTEM.INI").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  Program.RecordDrives = "G";
  Program.RecordTypes = "SW";  // the passes keep their own order
  RecordState("BBBBBBB");
  CloseHandle(locked);

  EXPECT_EQ(MemberLines("BBBBBBB.000"),
            (std::vector<std::string>{
                ReadLines("BBBBBBB.000").at(0),
                "{G_SW_\\\\}",
                "Catalogue de G:\\",
                "G:\\OLD\\WIN.INI.BAK",
                "G:\\WINDOWS\\win.ini",
                "G:\\OLD\\SYSTEM.INI.SAV",
                "G:\\WINDOWS\\SYSTEM.INI",
            }));
  ExpectCopy("BBBBBBB", 2, "G:\\OLD\\WIN.INI.BAK", g + "OLD\\WIN.INI.BAK");
  ExpectCopy("BBBBBBB", 3, "G:\\WINDOWS\\win.ini", g + "WINDOWS\\win.ini");
  ExpectCopy("BBBBBBB", 4, "G:\\OLD\\SYSTEM.INI.SAV", g + "OLD\\SYSTEM.INI.SAV");
  EXPECT_FALSE(Exists("BBBBBBB.005")) << "the locked file has its line but no member";
  EXPECT_EQ(ReadWholeFile(g + "WINDOWS\\SYSTEM.INI"), "[boot]\r\n");
}

TEST_F(RecordStateTest, RegistryOnlyWithoutDrivesHasOneMember) {
  Program.RecordDrives = "";
  Program.RecordTypes = "R";
  Program.StateSizeTotal = 0;
  RecordState("CCCCCCC");

  std::vector<std::string> index = ReadLines("CCCCCCC.000");
  ASSERT_EQ(index.size(), 4u);
  EXPECT_EQ(index[1], "{_R_\\\\}");
  EXPECT_EQ(index[2], "Base de registres");
  EXPECT_EQ(index[3].substr(0, 5), "*001 ");
  EXPECT_EQ(ReadWholeFile("CCCCCCC.001"), EmptySnapshot);
  EXPECT_FALSE(Exists("CCCCCCC.002"));
  EXPECT_EQ(Program.StateSizeTotal, 2u);  // the index and the snapshot, one unit each
}

TEST_F(RecordStateTest, EmptySelectionStillWritesTheHeaderWithTheExclusionText) {
  Program.RecordDrives = "";
  Program.RecordTypes = "MCA";
  // The exclusions the recording applies, whatever the setting says; "_"
  // may stand in them.
  Program.ExclusionText = "\\\\";
  BuildExclusionList("C:\\TEMP;_x_");
  RecordState("DDDDDDD");
  std::vector<std::string> index = ReadLines("DDDDDDD.000");
  ASSERT_EQ(index.size(), 2u);
  EXPECT_EQ(index[1], "{_MCA_C:\\TEMP;_x_}");
  EXPECT_FALSE(Exists("DDDDDDD.001"));
}

// A recording that fails half-way (here its catalogue cannot be made, as on
// a full disk) leaves nothing a reader could take for a state: no
// index, no member under either name. What a crashed recording left behind
// goes at the next recording.
TEST_F(RecordStateTest, ARecordingIsAllOrNothing) {
  std::string g = Drive('G');
  WriteFixtureFile(g + "WIN.INI", "[windows]\r\n", Dos1998);
  WriteFixtureFile("~AAAAAA2.IDX", "* le 01/01/2000 \xE0 00:00:00\r\n", Dos1998);
  WriteFixtureFile("~AAAAAA2.001", "* \r\n", Dos1998);
  MakeFixtureDirectory("~FFFFFFF.001");  // member 1 cannot be created
  Program.RecordDrives = "G";
  Program.RecordTypes = "W";
  EXPECT_THROW(RecordState("FFFFFFF"), IoError);
  RemoveDirectoryA("~FFFFFFF.001");

  std::vector<std::string> left;
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA("*", &found);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..") left.push_back(name);
  } while (FindNextFileA(h, &found));
  FindClose(h);
  EXPECT_EQ(left, std::vector<std::string>{}) << "files left by a failed recording";
  EXPECT_EQ(ReadWholeFile(g + "WIN.INI"), "[windows]\r\n");
}

TEST_F(RecordStateTest, RunningApplicationsAreCheckedOnlyOutsideTheCommandLine) {
  static void* checkedFor;
  static int checks;
  checkedFor = nullptr;
  checks = 0;
  SetRunningApplicationsCheck([](void* caller) {
    checkedFor = caller;
    ++checks;
  });
  int window = 0;
  Program.RecordDrives = "";
  Program.RecordTypes = "";
  RecordState("EEEEEEE", &window);
  EXPECT_EQ(checks, 0);
  Program.CommandLineMode = false;
  RecordState("EEEEEEE", &window);
  EXPECT_EQ(checks, 1);
  EXPECT_EQ(checkedFor, &window);
}

TEST_F(RecordStateTest, StatesRecordedBackToBackNeverShareAName) {
  Program.RecordDrives = "";
  Program.RecordTypes = "";
  std::string first = NewStateName();
  RecordState(first);
  std::string second = NewStateName();
  RecordState(second);
  EXPECT_TRUE(IsStateName(first)) << first;
  EXPECT_TRUE(IsStateName(second)) << second;
  EXPECT_NE(first, second);
  EXPECT_TRUE(Exists(first + ".000"));
  EXPECT_TRUE(Exists(second + ".000"));
}

TEST_F(RecordStateTest, NewStateNameAvoidsTheNameOfAReport) {
  for (const char* extension : {".PV1", ".PV2", ".PV3"}) {
    SCOPED_TRACE(extension);
    std::string taken = NewStateName();
    WriteFixtureFile(taken + extension, "rapport\r\n", Dos1998);
    std::string next = NewStateName();
    EXPECT_TRUE(IsStateName(next)) << next;
    EXPECT_NE(next, taken);
  }
}
