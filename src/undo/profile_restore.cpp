#include "undo/profile_restore.h"

#include <windows.h>

#include <algorithm>
#include <set>
#include <vector>

#include "comparison/report_format.h"
#include "services/folding.h"
#include "shell/program_state.h"

namespace {

constexpr size_t HeadingLength = 19;  // "Modifications dans "

std::string CountText(unsigned changes) {
  if (changes == 0) return " Aucune modification";
  if (changes == 1) return " 1 modification";
  return " " + std::to_string(changes) + " modifications";
}

// Sections, keys and values go to the profile functions whole, whatever
// their length: the strings carry their own storage.
class Profile {
 public:
  Profile(bool windows, const std::string& fileName) : windows_(windows), fileName_(fileName) {
    // A read-only, hidden or system file (MSDOS.SYS always is) refuses the
    // profile functions' rewrite, and they say nothing: its attributes are
    // set aside for the section and put back afterwards.
    if (windows_) return;
    DWORD a = GetFileAttributesA(fileName_.c_str());
    constexpr DWORD Protecting =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY) && (a & Protecting)) {
      savedAttributes_ = a;
      SetFileAttributesA(fileName_.c_str(), a & ~Protecting);
    }
  }
  ~Profile() {
    if (savedAttributes_ != INVALID_FILE_ATTRIBUTES)
      SetFileAttributesA(fileName_.c_str(), savedAttributes_);
  }
  Profile(const Profile&) = delete;
  Profile& operator=(const Profile&) = delete;

  void Write(const std::string& section, const std::string& key, const char* value) const {
    if (windows_)
      WriteProfileStringA(section.c_str(), key.c_str(), value);
    else
      WritePrivateProfileStringA(section.c_str(), key.c_str(), value, fileName_.c_str());
  }

  // A section left without entries once the installation's keys are gone
  // goes too: its title alone is what the installation added.
  void DropIfEmpty(const std::string& section) const {
    char entries[256];
    DWORD n = windows_ ? GetProfileSectionA(section.c_str(), entries, sizeof entries)
                       : GetPrivateProfileSectionA(section.c_str(), entries, sizeof entries,
                                                   fileName_.c_str());
    if (n > 0) return;
    if (windows_)
      WriteProfileStringA(section.c_str(), nullptr, nullptr);
    else
      WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, fileName_.c_str());
  }

 private:
  bool windows_;
  std::string fileName_;
  DWORD savedAttributes_ = INVALID_FILE_ATTRIBUTES;
};

// A section title line: "[" unmarked, or, in a section of start-up form
// (MSDOS.SYS), marked like any other line ("=" lines are context only).
bool IsSectionLine(const std::string& line) {
  char marker = line[0];
  return marker == '[' || ((marker == report::Added || marker == report::Removed ||
                            marker == report::Context) &&
                           line.size() > 1 && line[1] == '[');
}

std::string KeyOf(const std::string& text) { return text.substr(0, text.find('=')); }

// True when a "-" line of the same key follows in the same section: its old
// value is written back over the new one, where the key stands, so the key
// is not deleted first (the report orders a changed entry's two lines by
// their texts, the new one may come first).
bool RestoredLater(const std::vector<std::string>& lines, size_t from, const std::string& key) {
  for (size_t i = from; i < lines.size() && !IsSectionLine(lines[i]); ++i)
    if (lines[i][0] == report::Removed && FoldUpper(KeyOf(lines[i].substr(1))) == key) return true;
  return false;
}

}  // namespace

void RestoreProfileFile(const std::string& header, bool useWindowsProfile,
                        const std::string& fileName, ReportReader& report, LineSink& log) {
  const std::string target = header.substr(std::min(header.size(), HeadingLength));
  log.WriteLine("Mise à jour de " + target);
  const Profile profile(useWindowsProfile, fileName);
  // The section is read whole first: whether a key is deleted depends on
  // the lines after it. A damaged line ends it; the lines before are done.
  std::vector<std::string> lines;
  bool interrupted = false;
  try {
    std::string line;
    while (report.Next(line) && !line.empty()) lines.push_back(line);
  } catch (const DamagedReport&) {
    interrupted = true;
  } catch (const std::bad_alloc&) {
    interrupted = true;
  }
  std::string section;
  // The keys of the current section whose old value was written back, in
  // capitals as the profile functions match them. A key's added line need
  // not follow its removed one: in a section of start-up form (MSDOS.SYS)
  // other changes may stand between them, and deleting the key then would
  // throw the restored value away.
  std::set<std::string> restoredKeys;
  bool deleted = false;  // a key of the current section was deleted
  auto endSection = [&] {
    if (deleted && !section.empty()) profile.DropIfEmpty(section);
    deleted = false;
    restoredKeys.clear();
  };
  unsigned changes = 0;
  try {
    for (size_t i = 0; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      char marker = line[0];
      std::string text = line.substr(1);
      if (IsSectionLine(line)) {
        endSection();
        const std::string& title = marker == '[' ? line : text;
        section = title.size() >= 2 ? title.substr(1, title.size() - 2) : "";
        continue;
      }
      if (marker != report::Added && marker != report::Removed) continue;
      size_t eq = text.find('=');
      std::string key = text.substr(0, eq);
      std::string logged = "[" + section.substr(0, 81) + "]" + text;
      if (marker == report::Removed) {
        std::string value = eq == std::string::npos ? "" : text.substr(eq + 1);
        profile.Write(section, key, value.c_str());
        restoredKeys.insert(FoldUpper(key));
        log.WriteLine("+" + logged);
      } else {
        const std::string folded = FoldUpper(key);
        if (!restoredKeys.count(folded) && !RestoredLater(lines, i + 1, folded)) {
          profile.Write(section, key, nullptr);
          deleted = true;
        }
        log.WriteLine("-" + logged);
      }
      ++changes;
    }
    endSection();
  } catch (const std::bad_alloc&) {
    interrupted = true;
  }
  if (interrupted) log.WriteLine(UndoInterruptedText);
  log.WriteLine(CountText(changes));
  log.WriteLine("");
  bool windowsFile = PosFolded("\\WIN.INI", target) || PosFolded("SYSTEM.INI", target);
  if (windowsFile && changes > 0) Program.WindowsIniChanged = true;
}
