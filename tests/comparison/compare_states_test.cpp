// Whole comparison runs: two states recorded from a fixture drive and a
// sandboxed registry, compared into a report checked byte for byte.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <map>
#include <memory>

#include "comparison/compare_states.h"
#include "recording/catalogue.h"
#include "recording/catalogue_lines.h"
#include "recording/record_state.h"
#include "services/io_error.h"
#include "shell/program_state.h"
#include "shell/settings.h"
#include "support/wine_fixture.h"

namespace {

const uint32_t Recorded = PackDosTime(1998, 12, 5, 14, 3, 6);
const uint32_t Changed = PackDosTime(1998, 12, 12, 10, 15, 0);

// Registry fixtures go through the raw API, which the sandbox redirects.
HKEY CreateKey(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS)
      << path;
  return key;
}

void SetValue(HKEY root, const std::string& path, const char* name, DWORD type,
              const void* data, DWORD size) {
  HKEY key = CreateKey(root, path);
  EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS)
      << path << " " << name;
  RegCloseKey(key);
}

void SetString(HKEY root, const std::string& path, const char* name, const std::string& text) {
  SetValue(root, path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void SetNumber(HKEY root, const std::string& path, const char* name, DWORD number) {
  SetValue(root, path, name, REG_DWORD, &number, sizeof number);
}

// The date text of a header line ("05/12/1998 à 14:03:07") is the time of
// the run; it becomes a fixed token.
bool ReplaceDateAtEnd(std::string& line) {
  constexpr size_t Length = 21;
  if (line.size() < Length) return false;
  const std::string tail = line.substr(line.size() - Length);
  const char* shape = "99/99/9999 à 99:99:99";
  for (size_t i = 0; i < Length; ++i) {
    bool digit = tail[i] >= '0' && tail[i] <= '9';
    if (shape[i] == '9' ? !digit : tail[i] != shape[i]) return false;
  }
  line.replace(line.size() - Length, Length, "<date>");
  return true;
}

class ComparisonRun : public testing::Test {
 protected:
  void SetUp() override {
    scratch_ = ScratchDirectory();
    driveDirectory_ = scratch_ + "p\\";
    MakeFixtureDirectory(driveDirectory_);
    drive_ = std::make_unique<MappedDrive>('P', driveDirectory_);
    MakeFixtureDirectory(driveDirectory_ + "PROG");

    // The program directory is reached through the recorded drive, and the
    // exclusion list names it by its other path: its block is then in the
    // catalogues, as the working directory the comparison passes over.
    Program = TProgramState{};
    Program.CommandLineMode = true;
    Program.ProgramDirectory = driveDirectory_ + "PROG\\";
    Program.RecordDrives = "P";
    Program.RecordTypes = "ACIR";
    Program.ExclusionText = "\\TEMP\\";
    BuildExclusionList(Program.ExclusionText);
    ASSERT_TRUE(SetCurrentDirectoryA("P:\\PROG"));
    // The state files are made beforehand, so that recording only rewrites
    // them: creating a file would change the date of its directory, whose
    // entry stands in the catalogue being written.
    for (const char* base : {"AAAAAA1", "AAAAAA2"})
      for (int n = 0; n <= 12; ++n) WriteFixtureFile(base + MemberSuffix(n), "", Recorded);
  }

  void TearDown() override { SetCurrentDirectoryA(scratch_.c_str()); }

  std::string P(const std::string& relative) const { return "P:\\" + relative; }

  void Write(const std::string& relative, const std::string& bytes, uint32_t time = Recorded) {
    WriteFixtureFile(P(relative), bytes, time);
  }

  void BuildMachine() {
    for (const char* dir : {"APPS", "APPS\\OLD", "APPS\\OLD\\DATA", "TEMP", "WINDOWS",
                            "WINDOWS\\SYSTEM"})
      MakeFixtureDirectory(P(dir));
    Write("AUTOEXEC.BAT", "@ECHO OFF\r\nPATH C:\\WINDOWS;C:\\DOS\r\n\r\nSET TEMP=C:\\TEMP\r\n");
    Write("CONFIG.SYS", "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nFILES=30\r\nBUFFERS=20\r\n");
    Write("REMOVED.TXT", "ancien\r\n");
    Write("APPS\\README.TXT", "Lisez-moi\r\n");
    Write("APPS\\OLD\\OLDAPP.EXE", std::string(2048, 'x'));
    Write("APPS\\OLD\\OLDAPP.HLP", std::string(700, 'h'));
    Write("APPS\\OLD\\DATA\\SAVE.DAT", "1");
    Write("TEMP\\A.TMP", "a");
    Write("WINDOWS\\WIN.INI",
          "[windows]\r\nload=\r\nrun=\r\nBeep=yes\r\n\r\n[Desktop]\r\nWallpaper=(None)\r\n");
    Write("WINDOWS\\SYSTEM.INI", "[boot]\r\nshell=Explorer.exe\r\n");
    Write("WINDOWS\\SYSTEM\\SHARED.DLL", std::string(4096, 's'),
          PackDosTime(1999, 3, 10, 9, 30, 0));
    Write("WINDOWS\\SYSTEM\\Mixed.dll", std::string(100, 'm'));

    SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\OldVendor\\OldApp", "Path", "C:\\OLDAPP");
    SetNumber(HKEY_LOCAL_MACHINE, "SOFTWARE\\OldVendor\\OldApp", "Flags", 2);
    SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostralec\\Pivalune", "Name", "Pivalune");
    SetNumber(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostralec\\Pivalune", "Version", 1);
    SetString(HKEY_USERS, ".DEFAULT\\Control Panel\\Desktop", "Wallpaper", "(None)");
  }

  // What an installation of an application does to the machine.
  void Install() {
    Write("AUTOEXEC.BAT",
          "@ECHO OFF\r\nPATH C:\\WINDOWS;C:\\DOS\r\nSET BLASTER=A220 I5 D1\r\n"
          "SET TEMP=C:\\TEMP\r\n",
          Changed);
    Write("CONFIG.SYS", "DEVICE=C:\\WINDOWS\\HIMEM.SYS\r\nFILES=40\r\nBUFFERS=20\r\n", Changed);
    ASSERT_TRUE(DeleteFileA(P("REMOVED.TXT").c_str()));
    Write("APPS\\README.TXT", "Lisez-moi, version 2\r\n", Changed);
    RemoveTree(P("APPS\\OLD"));
    MakeFixtureDirectory(P("NEWAPP"));
    MakeFixtureDirectory(P("NEWAPP\\DATA"));
    Write("NEWAPP\\NEWAPP.EXE", std::string(12345, 'n'), Changed);
    Write("NEWAPP\\NEWAPP-LISEZMOI.TXT", "Bienvenue\r\n", Changed);
    Write("NEWAPP\\DATA\\NEWAPP.DAT", "", Changed);
    Write("TEMP\\A.TMP", "changed", Changed);
    Write("TEMP\\B.TMP", "b", Changed);
    Write("WINDOWS\\APP.INI", "[app]\r\nrun=1\r\n", Changed);
    Write("WINDOWS\\WIN.INI",
          "[windows]\r\nload=\r\nrun=P:\\NEWAPP\\NEWAPP.EXE\r\nBeep=yes\r\n\r\n[Desktop]\r\n"
          "; ajouté par l'installation\r\nWallpaper=(None)\r\n",
          Changed);
    // An older copy over a newer one, and a name whose letter case alone changes.
    Write("WINDOWS\\SYSTEM\\SHARED.DLL", std::string(3072, 'o'), PackDosTime(1997, 6, 20, 8, 0, 0));
    ASSERT_TRUE(MoveFileA(P("WINDOWS\\SYSTEM\\Mixed.dll").c_str(),
                          P("WINDOWS\\SYSTEM\\MIXED.DLL").c_str()));
    Write("WINDOWS\\SYSTEM\\NEWLIB.DLL", std::string(512, 'l'), Changed);

    HKEY software = CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\OldVendor");
    EXPECT_EQ(RegDeleteKeyA(software, "OldApp"), ERROR_SUCCESS);
    RegCloseKey(software);
    SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostralec\\Pivalune", "Name", "Pivalune 98");
    SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ostralec\\Pivalune", "InstallDir", "P:\\NEWAPP");
    SetString(HKEY_LOCAL_MACHINE, "SOFTWARE\\NewApp", "", "P:\\NEWAPP\\NEWAPP.EXE");
    SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\NewApp", "Empty", REG_BINARY, "", 0);
    SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\NewApp", "Mask", REG_BINARY, "\x01\xAB\xFF", 3);
    SetNumber(HKEY_LOCAL_MACHINE, "SOFTWARE\\NewApp", "Count", 10);
  }

  // Creating and deleting entries changes a directory's date under Wine;
  // every directory of the drive gets a fixed one again, unless given.
  void SettleDirectoryDates(const std::map<std::string, uint32_t>& dates = {}) {
    SettleBelow("P:\\", dates);
  }

  void SettleBelow(const std::string& directory, const std::map<std::string, uint32_t>& dates) {
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((directory + "*").c_str(), &found);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << directory;
    do {
      std::string name = found.cFileName;
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name[0] == '.') continue;
      std::string path = directory + name;
      SettleBelow(path + "\\", dates);
      auto given = dates.find(path.substr(3));
      SetFixtureTime(path, given == dates.end() ? Recorded : given->second);
    } while (FindNextFileA(h, &found));
    FindClose(h);
  }

  void RecordBefore() {
    SettleDirectoryDates();
    RecordState("AAAAAA1");
  }

  void RecordAfter(const std::map<std::string, uint32_t>& dates = {}) {
    SettleDirectoryDates(dates);
    RecordState("AAAAAA2");
  }

  // Compares the two states in a mode; answers the report with the date
  // texts of its header replaced, after checking there are `headerDates`.
  std::string Compare(uint8_t mode, int headerDates) {
    EXPECT_TRUE(settings::Write(settings::Text::Pred, "AAAAAA1"));
    EXPECT_TRUE(settings::Write(settings::Text::Succ, "AAAAAA2"));
    Program.AnalysisMode = mode;
    Program.AnalysedAppName = "Appli";
    CompareStates();
    std::string reportName = mode <= 1 ? "AAAAAA2.PV1" : "AAAAAA2.PV2";
    EXPECT_EQ(settings::Read(settings::Text::Last), reportName);
    std::string text = ReadWholeFile(reportName), normalised;
    int replaced = 0, lineNumber = 0;
    for (size_t at = 0; at < text.size();) {
      size_t end = text.find("\r\n", at);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(at, end - at);
      if (lineNumber++ < 2 && ReplaceDateAtEnd(line)) ++replaced;
      normalised += line + text.substr(end, 2);
      at = end + 2;
    }
    EXPECT_EQ(replaced, headerDates);
    return normalised;
  }

  void ExpectReport(const std::string& report, const std::string& golden) {
    std::string path = scratch_ + golden;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
    CloseHandle(h);
    ExpectMatchesGolden(path, "comparison/golden/" + golden);
  }

  // The file of the member of a state titled `title` in its index.
  static std::string MemberFile(const std::string& base, const std::string& title) {
    std::string index = ReadWholeFile(base + ".000");
    if (size_t seal = index.find("\r\n*"); seal != std::string::npos)
      index.erase(seal + 2);  // the titles, without the seal
    int number = -1;  // line 3 describes member 1
    for (size_t at = 0, end; (end = index.find("\r\n", at)) != std::string::npos; at = end + 2) {
      if (index.substr(at, end - at) == title) return base + MemberSuffix(number);
      ++number;
    }
    ADD_FAILURE() << title << " is not in " << base;
    return "";
  }

  // Takes the seal off an index, as a version that did not seal wrote it.
  static void StripSeal(const std::string& base) {
    std::string index = ReadWholeFile(base + ".000");
    size_t seal = index.find("\r\n*");
    ASSERT_NE(seal, std::string::npos);
    WriteFixtureFile(base + ".000", index.substr(0, seal + 2), Recorded);
  }

  // A report with the block of the member titled `title` replaced by the
  // note that the old (or new) member cannot be read.
  static std::string WithUnreadableBlock(const std::string& report, const std::string& title,
                                         bool old) {
    const std::string heading = (title.rfind("Catalogue", 0) == 0 ? "\r\nModifications au "
                                                                   : "\r\nModifications dans ") +
                                title + "\r\n";
    size_t at = report.find(heading);
    if (at == std::string::npos) {
      ADD_FAILURE() << "no block " << title;
      return report;
    }
    size_t end = report.find("\r\n\r\n", at + heading.size());
    std::string note = "\r\n " + std::string(old ? "Ancien " : "Nouveau ") + title +
                       " illisible ou effac\xE9\r\n";
    return report.substr(0, at) + note + report.substr(end + 4);
  }

  // Replaces the first line of a state file that begins with `start`.
  static void EditLine(const std::string& file, const std::string& start, const std::string& line) {
    std::string text = ReadWholeFile(file);
    size_t at = text.compare(0, start.size(), start) == 0 ? 0 : text.find("\r\n" + start);
    ASSERT_NE(at, std::string::npos) << start << " not in " << file;
    if (at > 0) at += 2;
    text.replace(at, text.find("\r\n", at) - at, line);
    WriteFixtureFile(file, text, Recorded);
  }

  RegistrySandbox sandbox_;
  std::string scratch_, driveDirectory_;
  std::unique_ptr<MappedDrive> drive_;
};

struct ModeCase {
  uint8_t mode;
  int headerDates;
  const char* golden;
};

void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.golden; }

class ComparisonOfAnInstallation : public ComparisonRun,
                                   public testing::WithParamInterface<ModeCase> {};

// Everything an installation can do, compared in installation mode (start-up
// files with their unchanged lines) and in comparison mode (two header
// lines, changes only).
TEST_P(ComparisonOfAnInstallation, WritesTheReport) {
  BuildMachine();
  RecordBefore();
  Install();
  RecordAfter({{"APPS", Changed}});  // a directory whose date changed: "-" then "+"
  ExpectReport(Compare(GetParam().mode, GetParam().headerDates), GetParam().golden);

  ASSERT_EQ(Program.OlderVersions.size(), 1u);
  EXPECT_EQ(Program.OlderVersions[0], "P:\\WINDOWS\\SYSTEM\\SHARED.DLL       4096 10/03/1999 09:30");
}

INSTANTIATE_TEST_SUITE_P(Modes, ComparisonOfAnInstallation,
                         testing::Values(ModeCase{0, 1, "installation.PV1"},
                                         ModeCase{2, 2, "comparison.PV2"}),
                         [](const testing::TestParamInfo<ModeCase>& info) {
                           return "Mode" + std::to_string(info.param.mode);
                         });

TEST_F(ComparisonRun, IdenticalStatesGiveNoModificationInEveryBlock) {
  BuildMachine();
  RecordBefore();
  RecordAfter();
  Program.OlderVersions = {"left from an earlier run"};
  ExpectReport(Compare(2, 2), "identical.PV2");
  EXPECT_TRUE(Program.OlderVersions.empty());
}

// A state written by a version that did not seal its states is compared
// unchecked: a lost member, a damaged catalogue line and a snapshot of
// another system each end their own block while the run goes on.
TEST_F(ComparisonRun, DamagedOrMissingMembersOfAStateWithoutSeal) {
  BuildMachine();
  RecordBefore();
  Write("AAA.TXT", "nouveau", Changed);
  RecordAfter();
  StripSeal("AAAAAA1");
  ASSERT_TRUE(DeleteFileA(MemberFile("AAAAAA1", "P:\\CONFIG.SYS").c_str()));
  EditLine(MemberFile("AAAAAA1", "Catalogue de P:\\"), "README.TXT",
           "README.TXT\xF5" "11 629502051]32");
  EditLine(MemberFile("AAAAAA1", "Base de registres"), "BDR95", "BDR98");
  ExpectReport(Compare(4, 1), "damaged.PV2");
}

// A member that is not what its state recorded (cut short by a full disk
// or a crash, emptied, begun wrongly, a copy that failed) is never compared:
// its block says it could not be read, and nothing in it could be undone.
TEST_F(ComparisonRun, ADamagedMemberGivesOnlyTheUnreadableNote) {
  BuildMachine();
  RecordBefore();
  RecordAfter();
  const std::string identical = Compare(2, 2);
  ASSERT_NE(identical.find("Modifications au Catalogue de P:\\"), std::string::npos);

  // The lines of a file without its last ones, or with its first replaced.
  auto keep = [](size_t lines) {
    return [lines](std::string text) {
      size_t at = 0;
      for (size_t n = 0; n < lines && at != std::string::npos; ++n) {
        at = text.find("\r\n", at);
        if (at != std::string::npos) at += 2;
      }
      return at == std::string::npos ? text : text.substr(0, at);
    };
  };
  auto firstLine = [](const std::string& line) {
    return [line](std::string text) { return line + text.substr(text.find("\r\n")); };
  };
  struct Case {
    const char* what;
    const char* state;  // the state damaged
    const char* title;  // its member
    std::function<std::string(std::string)> damage;
    bool sealed;        // false: the seal is taken off the index first
  };
  const Case cases[] = {
      {"catalogue cut after its fourth line", "AAAAAA1", "Catalogue de P:\\", keep(4), true},
      {"catalogue cut after its tenth line", "AAAAAA1", "Catalogue de P:\\", keep(10), true},
      {"catalogue of 0 bytes", "AAAAAA1", "Catalogue de P:\\", keep(0), true},
      {"catalogue whose first line is wrong", "AAAAAA1", "Catalogue de P:\\", firstLine("*"), true},
      {"catalogue without seal whose first line is wrong", "AAAAAA1", "Catalogue de P:\\",
       firstLine("P:\\"), false},
      {"snapshot cut short", "AAAAAA1", "Base de registres", keep(3), true},
      {"snapshot of the after state cut short", "AAAAAA2", "Base de registres", keep(5), true},
      {"copy of the after state changed", "AAAAAA2", "P:\\AUTOEXEC.BAT", firstLine("@ECHO ON"), true},
      {"catalogue of the after state cut", "AAAAAA2", "Catalogue de P:\\", keep(7), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RecordBefore();
    RecordAfter();
    if (!c.sealed) StripSeal(c.state);
    const std::string member = MemberFile(c.state, c.title);
    WriteFixtureFile(member, c.damage(ReadWholeFile(member)), Recorded);
    const bool old = std::string(c.state) == "AAAAAA1";
    EXPECT_EQ(Compare(2, 2), WithUnreadableBlock(identical, c.title, old));
  }

  // A copy that failed while the after state was recorded (a file held
  // open without sharing): its block alone says so, the run goes on.
  RecordBefore();
  HANDLE locked = CreateFileA(P("WINDOWS\\WIN.INI").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  RecordAfter();
  CloseHandle(locked);
  EXPECT_EQ(Compare(2, 2), WithUnreadableBlock(identical, "P:\\WINDOWS\\WIN.INI", false));

  // A seal line lost from the index: no member of that state is trusted.
  RecordBefore();
  RecordAfter();
  std::string index = ReadWholeFile("AAAAAA1.000");
  size_t seal = index.find("\r\n*002 ");
  ASSERT_NE(seal, std::string::npos);
  index.erase(seal, index.find("\r\n", seal + 2) - seal);
  WriteFixtureFile("AAAAAA1.000", index, Recorded);
  std::string expected = identical;
  for (const char* title : {"Catalogue de P:\\", "P:\\AUTOEXEC.BAT", "P:\\CONFIG.SYS",
                            "P:\\WINDOWS\\SYSTEM.INI", "P:\\WINDOWS\\WIN.INI", "Base de registres"})
    expected = WithUnreadableBlock(expected, title, true);
  EXPECT_EQ(Compare(2, 2), expected);
}

// A member of the after state that cannot be read has its note; the run
// goes on with the next member and ends normally.
TEST_F(ComparisonRun, AnUnreadableNewMemberIsNotedAndTheRunGoesOn) {
  BuildMachine();
  RecordBefore();
  RecordAfter();
  ASSERT_TRUE(DeleteFileA(MemberFile("AAAAAA2", "P:\\WINDOWS\\WIN.INI").c_str()));
  std::string report = Compare(2, 2);
  EXPECT_NE(report.find("\r\n\r\n Nouveau P:\\WINDOWS\\WIN.INI illisible ou effac\xE9\r\n\r\n"
                        "Modifications dans Base de registres\r\n Aucune modification\r\n\r\n"),
            std::string::npos)
      << report;
}

// States, reports and logs written into the program's own directory date
// its entry anew: neither the directory nor its entry line is reported.
TEST_F(ComparisonRun, TheProgramsOwnDirectoryIsNeverReported) {
  BuildMachine();
  RecordBefore();
  WriteFixtureFile("ABCDEFG.PV2", "un rapport\r\n", Changed);
  RecordAfter({{"PROG", Changed}});
  const std::string report = Compare(2, 2);
  EXPECT_EQ(report.find("PROG"), std::string::npos) << report;
}

TEST_F(ComparisonRun, NothingIsWrittenWithoutBothIndexes) {
  Program.AnalysisMode = 2;
  Program.RecordDrives = "";
  Program.RecordTypes = "";
  RecordState("AAAAAA1");
  RecordState("AAAAAA2");
  struct Case {
    const char* pred;
    const char* succ;
  };
  for (Case c : {Case{"ZZZZZZZ", "AAAAAA2"}, Case{"AAAAAA1", "ZZZZZZZ"}, Case{"", ""}}) {
    settings::Write(settings::Text::Pred, c.pred);
    settings::Write(settings::Text::Succ, c.succ);
    settings::Write(settings::Text::Last, "KEEP.PV2");
    Program.OlderVersions = {"left from an earlier run"};
    CompareStates();
    EXPECT_EQ(GetFileAttributesA("AAAAAA2.PV2"), INVALID_FILE_ATTRIBUTES) << c.pred << c.succ;
    EXPECT_EQ(GetFileAttributesA("ZZZZZZZ.PV2"), INVALID_FILE_ATTRIBUTES) << c.pred << c.succ;
    EXPECT_EQ(settings::Read(settings::Text::Last), "KEEP.PV2");
    EXPECT_TRUE(Program.OlderVersions.empty());
  }
  // Both present: the report of two empty states.
  settings::Write(settings::Text::Pred, "AAAAAA1");
  settings::Write(settings::Text::Succ, "AAAAAA2");
  CompareStates();
  EXPECT_EQ(settings::Read(settings::Text::Last), "AAAAAA2.PV2");
}

}  // namespace
