#include "undo/profile_restore.h"

#include <windows.h>

#include <algorithm>
#include <set>

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

 private:
  bool windows_;
  std::string fileName_;
  DWORD savedAttributes_ = INVALID_FILE_ATTRIBUTES;
};

}  // namespace

void RestoreProfileFile(const std::string& header, bool useWindowsProfile,
                        const std::string& fileName, ReportReader& report, LineSink& log) {
  const std::string target = header.substr(std::min(header.size(), HeadingLength));
  log.WriteLine("Mise à jour de " + target);
  const Profile profile(useWindowsProfile, fileName);
  std::string section, line;
  // The keys of the current section whose old value was written back, in
  // capitals as the profile functions match them. A key's added line need
  // not follow its removed one: in a section of start-up form (MSDOS.SYS)
  // other changes may stand between them, and deleting the key then would
  // throw the restored value away.
  std::set<std::string> restoredKeys;
  unsigned changes = 0;
  try {
    while (report.Next(line) && !line.empty()) {
      char marker = line[0];
      std::string text = line.substr(1);
      // A start-up style section (MSDOS.SYS) marks its section lines like
      // any other line; "=" lines are context only.
      if (marker == '[' || ((marker == report::Added || marker == report::Removed ||
                             marker == report::Context) &&
                            !text.empty() && text[0] == '[')) {
        const std::string& title = marker == '[' ? line : text;
        section = title.size() >= 2 ? title.substr(1, title.size() - 2) : "";
        restoredKeys.clear();
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
        if (!restoredKeys.count(FoldUpper(key))) profile.Write(section, key, nullptr);
        log.WriteLine("-" + logged);
      }
      ++changes;
    }
  } catch (const DamagedReport&) {
    log.WriteLine(UndoInterruptedText);
  } catch (const std::bad_alloc&) {
    log.WriteLine(UndoInterruptedText);
  }
  log.WriteLine(CountText(changes));
  log.WriteLine("");
  bool windowsFile = PosFolded("\\WIN.INI", target) || PosFolded("SYSTEM.INI", target);
  if (windowsFile && changes > 0) Program.WindowsIniChanged = true;
}
