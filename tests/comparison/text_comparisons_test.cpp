// The comparisons of copied start-up files, profiles and registry snapshots,
// over members held in memory. The expected blocks are the report lines
// joined by "\n"; the members are given with CRLF line ends, as recorded.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "comparison/registry_comparison.h"
#include "comparison/text_comparisons.h"
#include "services/io_error.h"

namespace {

class CollectedLines : public LineSink {
 public:
  void WriteLine(std::string_view line) override {
    text.append(line);
    text += '\n';
  }
  std::string text;
};

std::string Member(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

using Comparison = void (*)(std::istream&, std::istream&, report::Writer&);

// The registry comparison without exclusions.
void CompareSnapshots(std::istream& oldMember, std::istream& newMember, report::Writer& out) {
  CompareRegistry(oldMember, newMember, out);
}

std::string Block(Comparison compare, const std::string& oldText, const std::string& newText) {
  std::istringstream oldMember(oldText), newMember(newText);
  CollectedLines lines;
  report::Writer out(lines);
  compare(oldMember, newMember, out);
  return lines.text;
}

std::string StartupBlock(uint8_t mode, const std::vector<std::string>& oldLines,
                         const std::vector<std::string>& newLines) {
  std::istringstream oldMember(Member(oldLines)), newMember(Member(newLines));
  CollectedLines lines;
  report::Writer out(lines);
  CompareStartupFiles(oldMember, newMember, out, mode);
  return lines.text;
}

// ---- start-up files -------------------------------------------------------

const std::vector<std::string> Autoexec = {
    "@ECHO OFF", "PATH C:\\WINDOWS;C:\\DOS", "", "SET TEMP=C:\\TEMP", "C:\\DOS\\MOUSE.COM"};
const std::vector<std::string> AutoexecWithBlaster = {
    "@ECHO OFF", "PATH C:\\WINDOWS;C:\\DOS", "", "SET BLASTER=A220 I5 D1",
    "SET TEMP=C:\\TEMP", "C:\\DOS\\MOUSE.COM"};

struct StartupCase {
  const char* what;
  uint8_t mode;
  std::vector<std::string> oldLines, newLines;
  const char* expected;
};

void PrintTo(const StartupCase& c, std::ostream* os) { *os << c.what; }

class StartupFiles : public testing::TestWithParam<StartupCase> {};

TEST_P(StartupFiles, WritesTheBlock) {
  const StartupCase& c = GetParam();
  EXPECT_EQ(StartupBlock(c.mode, c.oldLines, c.newLines), c.expected) << c.what;
}

const StartupCase StartupCases[] = {
    {"line inserted, installation: every new line in order, the empty line left out", 0,
     Autoexec, AutoexecWithBlaster,
     "=@ECHO OFF\n"
     "=PATH C:\\WINDOWS;C:\\DOS\n"
     "+SET BLASTER=A220 I5 D1\n"
     "=SET TEMP=C:\\TEMP\n"
     "=C:\\DOS\\MOUSE.COM\n"
     " 1 modification\n"
     "\n"},
    {"line inserted, comparison: the change only", 2, Autoexec, AutoexecWithBlaster,
     "+SET BLASTER=A220 I5 D1\n"
     " 1 modification\n"
     "\n"},
    {"restore comparison carries the context too", 3, Autoexec, AutoexecWithBlaster,
     "=@ECHO OFF\n"
     "=PATH C:\\WINDOWS;C:\\DOS\n"
     "+SET BLASTER=A220 I5 D1\n"
     "=SET TEMP=C:\\TEMP\n"
     "=C:\\DOS\\MOUSE.COM\n"
     " 1 modification\n"
     "\n"},
    {"uninstall analysis has no context", 4, Autoexec, AutoexecWithBlaster,
     "+SET BLASTER=A220 I5 D1\n"
     " 1 modification\n"
     "\n"},
    {"a changed line: the removal stands where the old line was", 0,
     {"DEVICE=C:\\WINDOWS\\HIMEM.SYS", "FILES=30", "BUFFERS=20"},
     {"DEVICE=C:\\WINDOWS\\HIMEM.SYS", "FILES=40", "BUFFERS=20"},
     "=DEVICE=C:\\WINDOWS\\HIMEM.SYS\n"
     "-FILES=30\n"
     "+FILES=40\n"
     "=BUFFERS=20\n"
     " 2 modifications\n"
     "\n"},
    {"letter case and folded accents make no difference; lines are written folded", 0,
     {"rem Démarrage de l'ordinateur", "set path=c:\\windows"},
     {"REM DEMARRAGE DE L'ORDINATEUR", "SET PATH=C:\\WINDOWS"},
     "=REM DEMARRAGE DE L'ORDINATEUR\n"
     "=SET PATH=C:\\WINDOWS\n"
     " Aucune modification\n"
     "\n"},
    {"unfolded capitals with accents do differ", 2, {"REM É"}, {"REM E"},
     "-REM É\n"
     "+REM E\n"
     " 2 modifications\n"
     "\n"},
    {"a label is a boundary: a line is not matched across it", 0,
     {"SET A=1", ":SUITE", "SET B=2"}, {"SET B=2", ":SUITE", "SET A=1"},
     "-SET A=1\n"
     "+SET B=2\n"
     "=:SUITE\n"
     "-SET B=2\n"
     "+SET A=1\n"
     " 4 modifications\n"
     "\n"},
    {"an anchor inserted before a shared anchor", 0, {":WIN", "WIN"},
     {":DOS", "VER", ":WIN", "WIN"},
     "+:DOS\n"
     "+VER\n"
     "=:WIN\n"
     "=WIN\n"
     " 2 modifications\n"
     "\n"},
    {"sections of MSDOS.SYS: a changed option and an added one", 2,
     {"[Paths]", "WinDir=C:\\WINDOWS", "WinBootDir=C:\\WINDOWS", "[Options]", "BootGUI=1"},
     {"[Paths]", "WinDir=C:\\WINDOWS", "WinBootDir=C:\\WINDOWS", "[Options]", "BootGUI=0",
      "Logo=0"},
     "-BOOTGUI=1\n"
     "+BOOTGUI=0\n"
     "+LOGO=0\n"
     " 3 modifications\n"
     "\n"},
    {"a section removed with its lines", 3, {"[Paths]", "A=1", "[Options]", "B=2"},
     {"[Paths]", "A=1"},
     "=[PATHS]\n"
     "=A=1\n"
     "-[OPTIONS]\n"
     "-B=2\n"
     " 2 modifications\n"
     "\n"},
    {"both files empty", 0, {}, {""}, " Aucune modification\n\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, StartupFiles, testing::ValuesIn(StartupCases),
                         [](const testing::TestParamInfo<StartupCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

// ---- profiles -------------------------------------------------------------

struct TextCase {
  const char* what;
  std::vector<std::string> oldLines, newLines;
  const char* expected;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.what; }

class Profiles : public testing::TestWithParam<TextCase> {};

TEST_P(Profiles, WritesTheBlock) {
  const TextCase& c = GetParam();
  EXPECT_EQ(Block(CompareProfiles, Member(c.oldLines), Member(c.newLines)), c.expected) << c.what;
}

const std::vector<std::string> WinIni = {
    "[windows]", "load=", "run=", "Beep=yes", "", "[Desktop]", "Wallpaper=(None)",
    "TileWallpaper=0", "[Fonts]"};

const TextCase ProfileCases[] = {
    {"a value changed in [windows], a comment added elsewhere", WinIni,
     {"[windows]", "load=", "run=C:\\APPLI\\APPLI.EXE", "Beep=yes", "", "[Desktop]",
      "; ajouté par l'installation", "Wallpaper=(None)", "TileWallpaper=0", "[Fonts]"},
     "[windows]\n"
     "-run=\n"
     "+run=C:\\APPLI\\APPLI.EXE\n"
     " 2 modifications\n"
     "\n"},
    {"lines moved inside a section, a line repeated, letter case changed", WinIni,
     {"[windows]", "Beep=yes", "LOAD=", "run=", "load=", "[Desktop]", "TileWallpaper=0",
      "Wallpaper=(None)", "[Fonts]"},
     " Aucune modification\n\n"},
    {"changes in two sections: each section line once, in order", WinIni,
     {"[windows]", "load=", "run=", "Beep=no", "[Desktop]", "Wallpaper=nuages.bmp",
      "TileWallpaper=0", "[Fonts]", "Arial (TrueType)=ARIAL.TTF"},
     "[Desktop]\n"
     "-Wallpaper=(None)\n"
     "+Wallpaper=nuages.bmp\n"
     "[Fonts]\n"
     "+Arial (TrueType)=ARIAL.TTF\n"
     "[windows]\n"
     "+Beep=no\n"
     "-Beep=yes\n"
     " 5 modifications\n"
     "\n"},
    {"a section removed: its section line marked, then its lines", {"[a]", "x=1", "[b]", "y=2"},
     {"[a]", "x=1"},
     "-[b]\n"
     "-y=2\n"
     " 2 modifications\n"
     "\n"},
    // An added section is told from one that was there, empty, before: the
    // undo may take away only the first.
    {"sections added, one of them empty, and one that was there empty", {"[a]", "[b]"},
     {"[a]", "x=1", "[b]", "[c]", "[d]", "z=3"},
     "[a]\n"
     "+x=1\n"
     "+[c]\n"
     "+[d]\n"
     "+z=3\n"
     " 4 modifications\n"
     "\n"},
    {"a section line that changed its comment is another section", {"[386Enh] ; old", "a=1"},
     {"[386Enh] ; new", "a=1"},
     "+[386Enh] ; new\n"
     "+a=1\n"
     "-[386Enh] ; old\n"
     "-a=1\n"
     " 4 modifications\n"
     "\n"},
    // Lines before the first section have no section part: they come first,
    // whatever they begin with, keep their double quotes whole, and never
    // give an empty section line inside the block.
    {"lines before the first section", {"junk=1", "[boot]", "shell=Explorer.exe"},
     {"~early=1", "junk=2", "title=\"Mon PC\"", "[boot]", "shell=Explorer.exe",
      "drivers=mmsystem.dll"},
     "-junk=1\n"
     "+junk=2\n"
     "+title=\"Mon PC\"\n"
     "+~early=1\n"
     "[boot]\n"
     "+drivers=mmsystem.dll\n"
     " 5 modifications\n"
     "\n"},
    {"a line with a double quote inside a section is kept whole", {"[386Enh]", "a=1"},
     {"[386Enh]", "a=1", "label=\"x\" y"},
     "[386Enh]\n"
     "+label=\"x\" y\n"
     " 1 modification\n"
     "\n"},
    {"a \":\" line opens a section like \"[\"", {":label", "a=1"}, {":label", "a=2"},
     ":label\n"
     "-a=1\n"
     "+a=2\n"
     " 2 modifications\n"
     "\n"},
    {"a new file", {}, {"[mci]", "cdaudio=mcicda.drv"},
     "+[mci]\n"
     "+cdaudio=mcicda.drv\n"
     " 2 modifications\n"
     "\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, Profiles, testing::ValuesIn(ProfileCases),
                         [](const testing::TestParamInfo<TextCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

// ---- registry -------------------------------------------------------------

const std::vector<std::string> Snapshot = {
    "BDR95",
    "yHKey_Local_Machine",
    "xSOFTWARE",
    "wOld",
    "SPath=C:\\OLD",
    "WFlags=00000002",
    "wOstralec",
    "vPivalune",
    "SName=Pivalune",
    "WCount=00000001",
    "yHKey_Users",
    "x.DEFAULT",
    "SLast=1",
};

// The snapshot with `edit` applied: lines replaced (index, text), removed
// (text empty) or inserted before an index (negative index - 1).
std::vector<std::string> Edited(std::vector<std::string> lines,
                                const std::vector<std::pair<int, std::string>>& edits) {
  for (auto it = edits.rbegin(); it != edits.rend(); ++it) {
    auto [at, text] = *it;
    if (at < 0) lines.insert(lines.begin() + (-at - 1), text);
    else if (text.empty()) lines.erase(lines.begin() + at);
    else lines[at] = text;
  }
  return lines;
}

class Registry : public testing::TestWithParam<TextCase> {};

TEST_P(Registry, WritesTheBlock) {
  const TextCase& c = GetParam();
  EXPECT_EQ(Block(CompareSnapshots, Member(c.oldLines), Member(c.newLines)), c.expected) << c.what;
}

const TextCase RegistryCases[] = {
    {"identical snapshots", Snapshot, Snapshot, " Aucune modification\n\n"},
    {"a value added to an existing key", Snapshot, Edited(Snapshot, {{-10, "SVersion=98"}}),
     " HKey_Local_Machine\\SOFTWARE\\Ostralec\\Pivalune\n"
     "+\"Version\"=\"98\"\n"
     " 1 modification\n"
     "\n"},
    {"a key removed with its two values", Snapshot, Edited(Snapshot, {{3, ""}, {4, ""}, {5, ""}}),
     "-HKey_Local_Machine\\SOFTWARE\\Old\n"
     "-\"Path\"=\"C:\\OLD\"\n"
     "-\"Flags\"=dword:00000002\n"
     " 3 modifications\n"
     "\n"},
    {"a changed value, letter case of data alone is no change", Snapshot,
     Edited(Snapshot, {{8, "SName=Pivalune 98"}, {9, "WCOUNT=00000001"}}),
     " HKey_Local_Machine\\SOFTWARE\\Ostralec\\Pivalune\n"
     "-\"Name\"=\"Pivalune\"\n"
     "+\"Name\"=\"Pivalune 98\"\n"
     " 2 modifications\n"
     "\n"},
    {"a key added with values of every kind, in export syntax", Snapshot,
     Edited(Snapshot, {{-8, "vNouveau"}, {-8, "B"}, {-8, "B=00"}, {-8, "BMask=01,AB,FF"},
                       {-8, "BVide"}, {-8, "S=C:\\NOUVEAU\\\"x\""}, {-8, "W=0000000A"}}),
     "+HKey_Local_Machine\\SOFTWARE\\Ostralec\\Nouveau\n"
     "+\"\"=hex:\n"
     "+\"\"=hex:00\n"
     "+\"Mask\"=hex:01,AB,FF\n"
     "+\"Vide\"=hex:\n"
     "+@=\"C:\\NOUVEAU\\\"x\"\"\n"
     "+\"\"=dword:0000000A\n"
     " 7 modifications\n"
     "\n"},
    {"a sub-key added below the deepest key", Snapshot,
     Edited(Snapshot, {{-11, "uCache"}, {-11, "SSize=10"}}),
     "+HKey_Local_Machine\\SOFTWARE\\Ostralec\\Pivalune\\Cache\n"
     "+\"Size\"=\"10\"\n"
     " 2 modifications\n"
     "\n"},
    {"a value of the root and a value of a second root", Snapshot,
     Edited(Snapshot, {{-3, "SRoot=1"}, {12, "SLast=2"}}),
     " HKey_Local_Machine\n"
     "+\"Root\"=\"1\"\n"
     " HKey_Users\\.DEFAULT\n"
     "-\"Last\"=\"1\"\n"
     "+\"Last\"=\"2\"\n"
     " 3 modifications\n"
     "\n"},
    {"the last line added at the end of both snapshots", Snapshot,
     Edited(Snapshot, {{-14, "SZone=1"}}),
     " HKey_Users\\.DEFAULT\n"
     "+\"Zone\"=\"1\"\n"
     " 1 modification\n"
     "\n"},
    {"the last line removed", Edited(Snapshot, {{-14, "wSub"}}), Snapshot,
     "-HKey_Users\\.DEFAULT\\Sub\n"
     " 1 modification\n"
     "\n"},
    {"lines of no known kind and empty lines are neither written nor counted",
     Snapshot, Edited(Snapshot, {{-14, ""}, {-14, "Xstrange"}}), " Aucune modification\n\n"},
    {"different signatures: one line, no count", Snapshot, Edited(Snapshot, {{0, "BDR98"}}),
     " Impossible de comparer des versions différentes de Windows\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, Registry, testing::ValuesIn(RegistryCases),
                         [](const testing::TestParamInfo<TextCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

// A snapshot the merge cannot pair (damaged, or not written in the order
// of the snapshot writer) is not reported as keys and values added or
// removed as far as it goes: its block ends as interrupted.
TEST(RegistryDamage, ASnapshotOutOfItsOrderInterruptsTheBlock) {
  const struct {
    const char* what;
    std::vector<std::string> lines;
  } cases[] = {
      {"a key two levels below the one before", Edited(Snapshot, {{-13, "uDeep"}})},
      {"sibling keys out of order", Edited(Snapshot, {{6, "wAaa"}})},
      {"values of a key out of order", Edited(Snapshot, {{9, "SAaa=1"}})},
      {"a value before any key", Edited(Snapshot, {{-2, "SLost=1"}})},
      {"a key line of depth 0", Edited(Snapshot, {{-13, "zTop"}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool damagedIsNew : {false, true}) {
      std::string block = damagedIsNew ? Block(CompareSnapshots, Member(Snapshot), Member(c.lines))
                                       : Block(CompareSnapshots, Member(c.lines), Member(Snapshot));
      EXPECT_NE(block.find(" Traitement interrompu: fichier défectueux ou mémoire insuffisante!\n"),
                std::string::npos)
          << block;
    }
  }
}

// ---- counters ---------------------------------------------------------------

TEST(ChangeCounters, DoNotWrapAt65536) {
  // 65,536 values added to one key: a 16-bit counter would say
  // " Aucune modification".
  std::string oldText = Member({"BDR95", "yHKey_Users"}), newText = oldText;
  char name[16];
  for (int i = 0; i < 65536; ++i) {
    snprintf(name, sizeof name, "SV%05d=1", i);
    newText += name;
    newText += "\r\n";
  }
  std::string block = Block(CompareSnapshots, oldText, newText);
  EXPECT_TRUE(block.starts_with(" HKey_Users\n+\"V00000\"=\"1\"\n"));
  EXPECT_TRUE(block.ends_with("+\"V65535\"=\"1\"\n 65536 modifications\n\n"));
}

TEST(ChangeCounters, ProfilesCountPastSixteenBits) {
  std::string oldText = Member({"[big]"}), newText = oldText;
  for (int i = 0; i < 65537; ++i) newText += "k" + std::to_string(i) + "=1\r\n";
  std::string block = Block(CompareProfiles, oldText, newText);
  EXPECT_TRUE(block.ends_with("+k9=1\n 65537 modifications\n\n"));
}

TEST(CountLines, Forms) {
  EXPECT_EQ(report::CountLine(0), " Aucune modification");
  EXPECT_EQ(report::CountLine(1), " 1 modification");
  EXPECT_EQ(report::CountLine(12), " 12 modifications");
  EXPECT_EQ(report::CountLine(65536), " 65536 modifications");
}

}  // namespace

namespace {

// A member whose reading fails after its first bytes.
class FailingMember : public std::streambuf {
 public:
  explicit FailingMember(std::string text) : text_(std::move(text)) {
    setg(text_.data(), text_.data(), text_.data() + text_.size());
  }

 protected:
  int_type underflow() override { throw std::runtime_error("read fault"); }

 private:
  std::string text_;
};

TEST(UnreadableMembers, EachComparisonIsInterruptedAndTheRunGoesOn) {
  const std::string profile = Member({"[a]", "x=1"});
  {
    FailingMember buffer(profile);
    std::istream failing(&buffer);
    std::istringstream good(profile);
    CollectedLines lines;
    report::Writer out(lines);
    CompareProfiles(good, failing, out);
    EXPECT_EQ(lines.text,
              " Traitement interrompu: fichier défectueux ou mémoire insuffisante!\n"
              " Aucune modification\n"
              "\n");
  }
  {
    FailingMember buffer(profile);
    std::istream failing(&buffer);
    std::istringstream good(profile);
    CollectedLines lines;
    report::Writer out(lines);
    CompareStartupFiles(failing, good, out, 0);
    EXPECT_EQ(lines.text,
              " Traitement interrompu: fichier défectueux ou mémoire insuffisante!\n"
              " Aucune modification\n"
              "\n");
  }
  {
    FailingMember buffer(Member({"BDR95", "yHKey_Users", "SNew=1"}));
    std::istream failing(&buffer);
    std::istringstream good(Member({"BDR95", "yHKey_Users"}));
    CollectedLines lines;
    report::Writer out(lines);
    CompareRegistry(good, failing, out);
    EXPECT_EQ(lines.text,
              " HKey_Users\n+\"New\"=\"1\"\n"
              " Traitement interrompu: fichier défectueux ou mémoire insuffisante!\n"
              " 1 modification\n"
              "\n");
  }
}

}  // namespace
