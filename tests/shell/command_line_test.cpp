// The command-line mode, run as a user runs it: the real program, copied
// into a program directory of its own, started without DISPLAY so that it
// has no display at all, with its settings in the prefix's own registry key.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <map>

#include "services/text_lines.h"
#include "shell/settings.h"
#include "support/wine_fixture.h"

namespace {

constexpr const char* SettingsSubKey = "Software\\Ostralec\\Pivalune";

std::string HostFile(const char* unixPath) {
  std::string path = std::string("Z:") + unixPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs a Windows program of the prefix with its arguments (split at blanks;
// "" stands for an empty argument) from `directory`, and answers its exit
// code (124 when it had to be stopped).
//
// Under Wine, leaving DISPLAY out of the environment block of CreateProcess
// is not enough: a Wine child takes its Unix environment, and so the X
// display, from its parent's, the block only makes its Windows environment.
// The program is therefore started by a fresh loader from a host shell,
// with DISPLAY removed from the Unix environment.
int RunChild(const std::string& program, const std::string& arguments, bool withDisplay,
             const std::string& directory) {
  std::string command = "cd " + ShellQuoted(UnixPathOf(directory)) + " && timeout 50 " +
                        (withDisplay ? "" : "env -u DISPLAY ") + "/usr/lib/wine/wine64 " +
                        ShellQuoted(program);
  size_t at = 0;
  while (at < arguments.size()) {
    size_t blank = arguments.find(' ', at);
    std::string word = arguments.substr(at, blank == std::string::npos ? blank : blank - at);
    command += " " + ShellQuoted(word == "\"\"" ? "" : word);
    at = blank == std::string::npos ? arguments.size() : blank + 1;
  }
  return RunHostCommand(command + " </dev/null");
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (ReadTextLine(in, line)) lines.push_back(line);
  return lines;
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Every value under the settings key: name -> type and bytes.
std::map<std::string, std::string> AllSettings() {
  std::map<std::string, std::string> values;
  HKEY key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsSubKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
    return values;
  for (DWORD i = 0;; ++i) {
    char name[256];
    BYTE data[512];
    DWORD nameLength = sizeof name, size = sizeof data, type = 0;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
      break;
    values[name] = std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), size);
  }
  RegCloseKey(key);
  return values;
}

bool IsStateName(const std::string& name) {
  return name.size() == 7 &&
         name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ123456") == std::string::npos;
}

const uint32_t FixtureTime = PackDosTime(1998, 12, 5, 14, 3, 6);

}  // namespace

// Everything below relies on this: a program started so has no display,
// while the same start with DISPLAY can open windows.
TEST(DisplayLessChild, CannotCreateAWindowWhileOneWithTheDisplayCan) {
  char display[256] = "";
  ASSERT_GT(GetEnvironmentVariableA("DISPLAY", display, sizeof display), 0u)
      << "the tests run with a display (Xvfb)";
  const std::string probe = HostFile(PV_WINDOW_PROBE_EXE);
  const std::string here = ScratchDirectory();
  EXPECT_EQ(RunChild(probe, "", true, here), 0) << "with DISPLAY=" << display;
  EXPECT_EQ(RunChild(probe, "", false, here), 1);
}

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    scratch_ = ScratchDirectory();
    prog_ = scratch_ + "prog\\";
    disk_ = scratch_ + "disk\\";
    MakeFixtureDirectory(prog_);
    MakeFixtureDirectory(disk_);
    ASSERT_TRUE(CopyFileA(HostFile(PV_PROGRAM_EXE).c_str(), (prog_ + "pivalune.exe").c_str(), FALSE));
    MakeFixtureDirectory(disk_ + "SUB");
    WriteFixtureFile(disk_ + "APP.INI", "[app]\r\nkey=1\r\n", FixtureTime);
    WriteFixtureFile(disk_ + "README.TXT", "lisez-moi\r\n", FixtureTime);
    WriteFixtureFile(disk_ + "SUB\\sub.ini", "[sub]\r\n", FixtureTime);
    WriteFixtureFile(disk_ + "SUB\\NOTE.TXT", "note\r\n", FixtureTime);
    SetFixtureTime(disk_ + "SUB", FixtureTime);
    drive_ = std::make_unique<MappedDrive>('G', disk_);
    RegDeleteTreeA(HKEY_CURRENT_USER, SettingsSubKey);
    // Small and quick: the fixture drive and its .INI files, no registry.
    settings::Write(settings::Text::Drives, "G");
    settings::Write(settings::Text::Type, "I");
    settings::Write(settings::Text::Exclude, "\\NOWHERE\\");
  }

  void TearDown() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, SettingsSubKey);
    drive_.reset();
  }

  // Started from the scratch directory: the program must make its own
  // directory current.
  int Run(const std::string& arguments) {
    return RunChild(prog_ + "pivalune.exe", arguments, false, scratch_);
  }

  // The files of the program directory but the program, sorted.
  std::vector<std::string> ProgramFiles() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((prog_ + "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
      std::string name = fd.cFileName;
      if (name != "." && name != ".." && name != "pivalune.exe") names.push_back(name);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
  }

  // The lines of a state's index before its seal: date, header, titles.
  std::vector<std::string> Index(const std::string& state) const {
    std::vector<std::string> lines = ReadLines(prog_ + state + ".000");
    auto seal = std::find_if(lines.begin() + (lines.empty() ? 0 : 1), lines.end(),
                             [](const std::string& l) { return !l.empty() && l[0] == '*'; });
    return std::vector<std::string>(lines.begin(), seal);
  }

  std::string Setting(settings::Text value) const { return settings::Read(value); }

  // A reference recorded by the program itself.
  std::string RecordReference() {
    EXPECT_EQ(Run("/ENR"), 0);
    std::string reference = Setting(settings::Text::Bat);
    EXPECT_TRUE(IsStateName(reference)) << reference;
    return reference;
  }

  void ChangeTheDisk() {
    WriteFixtureFile(disk_ + "NEW.TXT", "nouveau\r\n", PackDosTime(1999, 1, 2, 10, 0, 0));
    WriteFixtureFile(disk_ + "APP.INI", "[app]\r\nkey=2\r\n", PackDosTime(1999, 1, 2, 10, 0, 0));
  }

  std::string scratch_, prog_, disk_;
  std::unique_ptr<MappedDrive> drive_;
};

TEST_F(CommandLine, EnrInLowerCaseRecordsTheConfiguredSelectionAfterDeletingTheReference) {
  for (const char* suffix : {".000", ".001", ".002"})
    WriteFixtureFile(prog_ + "ABCDEFG" + suffix, "old\r\n", FixtureTime);
  settings::Write(settings::Text::Bat, "ABCDEFG");

  ASSERT_EQ(Run("/enr"), 0);

  std::string name = Setting(settings::Text::Bat);
  ASSERT_TRUE(IsStateName(name)) << name;
  EXPECT_EQ(ProgramFiles(), (std::vector<std::string>{name + ".000", name + ".001",
                                                      name + ".002", name + ".003"}));
  std::vector<std::string> index = Index(name);
  ASSERT_EQ(index.size(), 5u);
  EXPECT_EQ(index[0].substr(0, 5), "* le ");
  EXPECT_EQ(index[1], "{G_I_\\NOWHERE\\}");
  EXPECT_EQ(index[2], "Catalogue de G:\\");
  EXPECT_EQ(index[3], "G:\\APP.INI");
  EXPECT_EQ(index[4], "G:\\SUB\\sub.ini");
  // The catalogue holds the whole drive; the program directory is elsewhere.
  std::vector<std::string> catalogue = ReadLines(prog_ + name + ".001");
  EXPECT_NE(std::find(catalogue.begin(), catalogue.end(), "G:\\SUB\\"), catalogue.end());
  EXPECT_EQ(ReadWholeFile(prog_ + name + ".002"), "[app]\r\nkey=1\r\n");
}

TEST_F(CommandLine, EnrOptionsChooseTheDrivesAndTypesOfThisRecording) {
  struct Case {
    const char* arguments;
    const char* header;
    std::vector<std::string> members;  // index lines after the header
  } cases[] = {
      // Z is no fixed drive, X no type letter; the value is upper-cased.
      {"/ENR /DIS:gZ /FIC:rX", "{G_R_\\NOWHERE\\}", {"Catalogue de G:\\", "Base de registres"}},
      // Without ":" a parameter is ignored: the configured drive stays.
      {"/ENR /DIS /FIC:a", "{G_A_\\NOWHERE\\}", {"Catalogue de G:\\"}},
      // Letters are taken once each, in the order given.
      {"/Enr /fic:iAi /dis:GGG", "{G_IA_\\NOWHERE\\}",
       {"Catalogue de G:\\", "G:\\APP.INI", "G:\\SUB\\sub.ini"}},
      // No drive and no registry: the fallback of the start-up is not applied.
      {"/ENR /DIS: /FIC:", "{__\\NOWHERE\\}", {}},
      {"/ENR /FIC:A /DIS:", "{_A_\\NOWHERE\\}", {}},
      // Only parameters 2 to 4 count.
      {"/ENR /FIC:A /FIC:M /FIC:C /FIC:I", "{G_C_\\NOWHERE\\}", {"Catalogue de G:\\"}},
      // The first four characters name the switch.
      {"/ENREGISTRER /FICHIERS:I", "{G_I_\\NOWHERE\\}",
       {"Catalogue de G:\\", "G:\\APP.INI", "G:\\SUB\\sub.ini"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    ASSERT_EQ(Run(c.arguments), 0);
    std::string name = Setting(settings::Text::Bat);
    ASSERT_TRUE(IsStateName(name)) << name;
    std::vector<std::string> index = Index(name);
    ASSERT_GE(index.size(), 2u);
    EXPECT_EQ(index[1], c.header);
    EXPECT_EQ(std::vector<std::string>(index.begin() + 2, index.end()), c.members);
    EXPECT_EQ(ProgramFiles().size(), 1 + c.members.size());  // the previous one is gone
    EXPECT_EQ(Setting(settings::Text::Drives), "G");          // the settings stay
    EXPECT_EQ(Setting(settings::Text::Type), "I");
  }
}

// The exclusions a reference is recorded with stand in its header, so that
// every later recording against it leaves out the same directories: what it
// left out is never reported, and never undone.
TEST_F(CommandLine, EnrExclusionValueServesThisRunAndStaysWithTheReference) {
  ASSERT_EQ(Run("/ENR /exc:\\sub\\;\\Other"), 0);

  std::string name = Setting(settings::Text::Bat);
  std::vector<std::string> index = Index(name);
  ASSERT_EQ(index.size(), 4u);
  EXPECT_EQ(index[1], "{G_I_\\SUB\\;\\OTHER}");  // the exclusions applied
  EXPECT_EQ(index[3], "G:\\APP.INI");            // nothing copied from the excluded folder
  std::vector<std::string> catalogue = ReadLines(prog_ + name + ".001");
  EXPECT_EQ(std::find(catalogue.begin(), catalogue.end(), "G:\\SUB\\"), catalogue.end());
  EXPECT_TRUE(std::any_of(catalogue.begin(), catalogue.end(),
                          [](const std::string& line) { return line.rfind("SUB\xF5", 0) == 0; }))
      << "the excluded folder keeps its entry line";
  EXPECT_EQ(Setting(settings::Text::Exclude), "\\NOWHERE\\");

  // Files the user puts in the excluded folder after the reference are no
  // installation's: neither /COM nor /RES may touch them.
  WriteFixtureFile(disk_ + "SUB\\DONNEES.DAT", "les données de l'utilisateur", FixtureTime);
  MakeFixtureDirectory(disk_ + "SUB\\ARCHIVES");
  WriteFixtureFile(disk_ + "SUB\\ARCHIVES\\1998.DAT", "archives", FixtureTime);
  WriteFixtureFile(disk_ + "AJOUT.TXT", "ajouté", FixtureTime);
  ASSERT_EQ(Run("/COM"), 0);
  std::string report = ReadWholeFile(prog_ + Setting(settings::Text::Last));
  EXPECT_NE(report.find("+AJOUT.TXT"), std::string::npos) << report;
  EXPECT_EQ(report.find("SUB"), std::string::npos) << report;
  ASSERT_EQ(Run("/RES"), 0);
  EXPECT_FALSE(Exists(disk_ + "AJOUT.TXT"));
  EXPECT_EQ(ReadWholeFile(disk_ + "SUB\\DONNEES.DAT"), "les données de l'utilisateur");
  EXPECT_EQ(ReadWholeFile(disk_ + "SUB\\ARCHIVES\\1998.DAT"), "archives");
  EXPECT_EQ(Setting(settings::Text::Bat), name);

  // The next reference uses the setting again.
  ASSERT_EQ(Run("/ENR"), 0);
  EXPECT_EQ(Index(Setting(settings::Text::Bat))[1], "{G_I_\\NOWHERE\\}");
}

TEST_F(CommandLine, ComWithoutReferenceDoesNothingAndComActThenRecordsAFirstOne) {
  settings::Write(settings::Text::Last, "OLDNAME.PV2");
  for (const char* bat : {"", "x", "ABCDEF", "ABCDEFGH"}) {
    SCOPED_TRACE(bat);
    settings::Write(settings::Text::Bat, bat);
    auto before = AllSettings();
    ASSERT_EQ(Run("/COM"), 0);
    EXPECT_EQ(AllSettings(), before);
    EXPECT_TRUE(ProgramFiles().empty());
  }

  settings::Write(settings::Text::Bat, "");
  ASSERT_EQ(Run("/com /act"), 0);
  std::string name = Setting(settings::Text::Bat);
  ASSERT_TRUE(IsStateName(name)) << name;
  EXPECT_EQ(ProgramFiles(), (std::vector<std::string>{name + ".000", name + ".001",
                                                      name + ".002", name + ".003"}));
  EXPECT_EQ(Index(name)[1], "{G_I_\\NOWHERE\\}");
  EXPECT_EQ(Setting(settings::Text::Last), "OLDNAME.PV2");  // no comparison was made
  EXPECT_EQ(Setting(settings::Text::Pred), "");
}

TEST_F(CommandLine, ComComparesWithTheReferenceAndKeepsIt) {
  std::string reference = RecordReference();
  ChangeTheDisk();

  ASSERT_EQ(Run("/COM"), 0);

  std::string after = Setting(settings::Text::Succ);
  ASSERT_TRUE(IsStateName(after)) << after;
  EXPECT_NE(after, reference);
  EXPECT_EQ(Setting(settings::Text::Pred), reference);
  EXPECT_EQ(Setting(settings::Text::Bat), reference);
  EXPECT_EQ(Setting(settings::Text::Last), after + ".PV2");
  // The after state is gone, the reference and the report stay.
  // Sorted as the listing is: a later state's name is not always greater
  // (its last letters may have turned from digits to letters).
  std::vector<std::string> expected{reference + ".000", reference + ".001", reference + ".002", reference + ".003",
                                    after + ".PV2"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(ProgramFiles(), expected);
  std::vector<std::string> report = ReadLines(prog_ + after + ".PV2");
  EXPECT_TRUE(std::any_of(report.begin(), report.end(),
                          [](const std::string& line) { return line.rfind("+NEW.TXT", 0) == 0; }));
  EXPECT_TRUE(std::any_of(report.begin(), report.end(),
                          [](const std::string& line) { return line.find("key=2") != std::string::npos; }));

  // A second comparison with the same reference gets a report of its own.
  ASSERT_EQ(Run("/COM"), 0);
  std::string second = Setting(settings::Text::Succ);
  EXPECT_NE(second, after);
  EXPECT_TRUE(Exists(prog_ + after + ".PV2"));
  EXPECT_TRUE(Exists(prog_ + second + ".PV2"));
  EXPECT_EQ(Setting(settings::Text::Bat), reference);
}

TEST_F(CommandLine, ComActMakesTheNewStateTheReference) {
  std::string reference = RecordReference();
  ChangeTheDisk();

  ASSERT_EQ(Run("/COM /ACTUALISER"), 0);

  std::string after = Setting(settings::Text::Bat);
  ASSERT_TRUE(IsStateName(after)) << after;
  EXPECT_NE(after, reference);
  EXPECT_EQ(Setting(settings::Text::Pred), reference);
  EXPECT_EQ(Setting(settings::Text::Succ), after);
  EXPECT_EQ(Setting(settings::Text::Last), after + ".PV2");
  EXPECT_EQ(ProgramFiles(),
            (std::vector<std::string>{after + ".000", after + ".001", after + ".002",
                                      after + ".003", after + ".PV2"}));
  // The new reference is the changed disk.
  EXPECT_EQ(ReadWholeFile(prog_ + after + ".002"), "[app]\r\nkey=2\r\n");
}

TEST_F(CommandLine, ComWithAReferenceWhoseFilesAreGoneEndsWithAnError) {
  settings::Write(settings::Text::Bat, "ABCDEFG");
  EXPECT_EQ(Run("/COM"), 2);
  // What was written before the failure stays.
  EXPECT_EQ(Setting(settings::Text::Pred), "ABCDEFG");
  EXPECT_EQ(Setting(settings::Text::Bat), "ABCDEFG");
  EXPECT_EQ(Setting(settings::Text::Last), "");
  EXPECT_TRUE(ProgramFiles().empty());
}

TEST_F(CommandLine, UnknownOrShortFirstParameterDoesNothing) {
  WriteFixtureFile(prog_ + "ABCDEFG.000", "* le 05/12/1998 à 14:03:06\r\n{G_I_\\\\}\r\n",
                   FixtureTime);
  settings::Write(settings::Text::Bat, "ABCDEFG");
  settings::Write(settings::Text::Pred, "PREDXYZ");
  auto before = AllSettings();
  for (const char* arguments : {"/EN", "/en /DIS:G", "/XYZ", "ENR/", "R/CO", "/CO", "\"\"",
                                "/ACT", "/DIS:G /ENR", "-ENR"}) {
    SCOPED_TRACE(arguments);
    EXPECT_EQ(Run(arguments), 0);
    EXPECT_EQ(AllSettings(), before);
    EXPECT_EQ(ProgramFiles(), std::vector<std::string>{"ABCDEFG.000"});
  }
}
