// The registry comparison over snapshots held in memory: every value type
// told readably and exactly, snapshots of the earlier format read as before,
// and the keys and values left out.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "comparison/registry_comparison.h"
#include "support/wine_fixture.h"

namespace {

class CollectedLines : public LineSink {
 public:
  void WriteLine(std::string_view line) override {
    text.append(line);
    text += "\r\n";
  }
  std::string text;
};

std::string Member(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return text;
}

std::string Block(const std::string& oldText, const std::string& newText,
                  const RegistryExclusions& exclusions = {}) {
  std::istringstream oldMember(oldText), newMember(newText);
  CollectedLines lines;
  report::Writer out(lines);
  CompareRegistry(oldMember, newMember, out, exclusions);
  return lines.text;
}

// The lines of a snapshot without the keys named (each with what it holds).
std::string Without(const std::string& snapshot, const std::vector<std::string>& keyLines) {
  std::istringstream in(snapshot);
  std::string line, out;
  char skipping = 0;  // the depth letter of the key left out
  while (std::getline(in, line)) {
    std::string bare = line.substr(0, line.size() - (line.ends_with("\r") ? 1 : 0));
    bool key = !bare.empty() && bare[0] >= 'a' && bare[0] <= 'z';
    if (skipping && (!key || bare[0] < skipping)) continue;
    skipping = 0;
    for (const auto& k : keyLines)
      if (bare == k) skipping = bare[0];
    if (!skipping) out += bare + "\r\n";
  }
  return out;
}

void WriteText(const std::string& path, const std::string& text) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(h);
}

// The snapshot of the writer's golden file holds a value of every type,
// empty ones, names and texts no plain line carries, a link and names of
// other characters. Added, each is reported in its form; removed, the same
// with "-".
TEST(RegistryComparison, EveryTypeIsReportedReadably) {
  const std::string full = ReadWholeFile(TestsPath("services/golden/snapshot.txt"));
  ASSERT_FALSE(full.empty());
  const std::string part = Without(full, {"vExacts", "vTypes", "vLien"});
  const std::string dir = ScratchDirectory();
  WriteText(dir + "added.txt", Block(part, full));
  ExpectMatchesGolden(dir + "added.txt", "comparison/golden/registry_types.txt");
  // Every line of it marked "-" instead.
  std::string added = ReadWholeFile(dir + "added.txt");
  if (!added.empty() && added[0] == '+') added[0] = '-';
  for (size_t at = 0; (at = added.find("\r\n+", at)) != std::string::npos; at += 3) added[at + 2] = '-';
  EXPECT_EQ(Block(full, part), added);
}

// Snapshots of the earlier format (no escapes: a name runs to the first
// "=", a "%" is itself) are compared as they always were, also with a
// snapshot of today's format: the same registry gives no change.
TEST(RegistryComparison, SnapshotsOfTheEarlierFormatReadAsBefore) {
  const std::vector<std::string> before = {
      "BDR95", "yHKey_Local_Machine", "xSoftware", "wAppli", "B=00,10", "BMasque=01,AB",
      "SChemin=C:\\APPLI", "Sété=chaud", "Snom=valeur=avec", "Spour%=50%", "WCompte=00000002",
      "vAncienne", "SGarde=1", "yHKey_Users", "x.DEFAULT", "SVersion=4.10"};
  const std::vector<std::string> after = {
      "BDR95", "yHKey_Local_Machine", "xSoftware", "wAppli", "B=00,10", "BMasque=01,AB,CD",
      "SChemin=C:\\APPLI", "Sété=chaud", "Snom=valeur=avec", "Spour%=50%", "WCompte=00000003",
      "vNouvelle", "SAjout=oui", "yHKey_Users", "x.DEFAULT", "SVersion=4.10"};
  const std::string dir = ScratchDirectory();
  WriteText(dir + "old.txt", Block(Member(before), Member(after)));
  ExpectMatchesGolden(dir + "old.txt", "comparison/golden/registry_old_format.txt");

  // Today's writer puts the same registry so (the earlier format read the
  // name "nom" and the text "valeur=avec": a name holding "=" it could not
  // tell from its text).
  const std::vector<std::string> today = {
      "BDR95", "*", "yHKey_Local_Machine", "xSoftware", "wAppli", "B=00,10", "BMasque=01,AB",
      "SChemin=C:\\APPLI", "Sété=chaud", "Snom=valeur=avec", "Spour%25=50%25",
      "WCompte=00000002", "vAncienne", "SGarde=1", "yHKey_Users", "x.DEFAULT", "SVersion=4.10"};
  EXPECT_EQ(Block(Member(before), Member(today)), " Aucune modification\r\n\r\n");
  EXPECT_EQ(Block(Member(today), Member(before)), " Aucune modification\r\n\r\n");
}

// Keys and values left out are neither reported nor, with them, anything
// below them.
TEST(RegistryComparison, ExcludedKeysAndValuesAreNotReported) {
  const std::vector<std::string> before = {
      "BDR95", "*", "yHKey_Local_Machine", "xSystem", "wCurrentControlSet", "vControl",
      "uClass", "t{4D36E968-E325-11CE-BFC1-08002BE10318}", "s0000", "BDriverDateData=01",
      "SDriverDesc=Wine", "uVideo", "t{AAAA}", "s0000", "SGraphicsDriver=x", "yHKey_Users",
      "xS-1-5-21-1", "wSoftware", "vMicrosoft", "uWindows", "tCurrentVersion", "sExplorer",
      "rRecentDocs", "BMRUList=01", "vPropre", "SA=1"};
  const std::vector<std::string> after = {
      "BDR95", "*", "yHKey_Local_Machine", "xSystem", "wCurrentControlSet", "vControl",
      "uClass", "t{4D36E968-E325-11CE-BFC1-08002BE10318}", "s0000", "BDriverDateData=02",
      "SDriverDesc=Wine 8", "uVideo", "t{BBBB}", "s0000", "SGraphicsDriver=x", "yHKey_Users",
      "xS-1-5-21-1", "wSoftware", "vMicrosoft", "uWindows", "tCurrentVersion", "sExplorer",
      "rRecentDocs", "BMRUList=02", "qNouveau", "vPropre", "SA=2"};
  std::vector<std::string> patterns = RegistryExclusions::BuiltIn();
  patterns.push_back("HKey_Users\\*\\Software\\propre");
  EXPECT_EQ(Block(Member(before), Member(after), RegistryExclusions(patterns)),
            " HKey_Local_Machine\\System\\CurrentControlSet\\Control\\Class\\"
            "{4D36E968-E325-11CE-BFC1-08002BE10318}\\0000\r\n"
            "-\"DriverDesc\"=\"Wine\"\r\n"
            "+\"DriverDesc\"=\"Wine 8\"\r\n"
            " 2 modifications\r\n\r\n");
}

}  // namespace
