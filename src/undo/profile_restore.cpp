#include "undo/profile_restore.h"

#include <windows.h>

#include <algorithm>

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
  Profile(bool windows, const std::string& fileName) : windows_(windows), fileName_(fileName) {}
  void Write(const std::string& section, const std::string& key, const char* value) const {
    if (windows_)
      WriteProfileStringA(section.c_str(), key.c_str(), value);
    else
      WritePrivateProfileStringA(section.c_str(), key.c_str(), value, fileName_.c_str());
  }

 private:
  bool windows_;
  std::string fileName_;
};

}  // namespace

void RestoreProfileFile(const std::string& header, bool useWindowsProfile,
                        const std::string& fileName, ReportReader& report, LineSink& log) {
  const std::string target = header.substr(std::min(header.size(), HeadingLength));
  log.WriteLine("Mise à jour de " + target);
  const Profile profile(useWindowsProfile, fileName);
  std::string section, lastKey, line;
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
        lastKey.clear();
        continue;
      }
      if (marker != report::Added && marker != report::Removed) continue;
      size_t eq = text.find('=');
      std::string key = text.substr(0, eq);
      std::string logged = "[" + section.substr(0, 81) + "]" + text;
      if (marker == report::Removed) {
        std::string value = eq == std::string::npos ? "" : text.substr(eq + 1);
        profile.Write(section, key, value.c_str());
        lastKey = key;
        log.WriteLine("+" + logged);
      } else {
        if (key != lastKey) profile.Write(section, key, nullptr);
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
