#include "undo/profile_restore.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "services/files.h"
#include "services/folding.h"
#include "shell/program_state.h"
#include "undo/profile_rules.h"

namespace {

std::string CountText(unsigned changes) {
  if (changes == 0) return " Aucune modification";
  if (changes == 1) return " 1 modification";
  return " " + std::to_string(changes) + " modifications";
}

std::string KeyOf(const std::string& line) { return ProfileKeyOf(line); }

// WIN.INI as the profile functions see it. They reach an entry only by its
// key, the first of that key in its section: a line is taken away or put
// back only where its key stands once, or not at all.
class WindowsProfile : public ProfileStore {
 public:
  bool HasSection(const std::string& title) override {
    if (title.empty() || title[0] != '[') return false;
    const std::string name = SectionNameOf(title);
    std::vector<char> names = Read([&](char* buffer, DWORD size) {
      return GetPrivateProfileSectionNamesA(buffer, size, "win.ini");
    });
    for (const char* p = names.data(); *p; p += strlen(p) + 1)
      if (CompareFolded(p, name) == 0) return true;
    return !Entries(title).empty();
  }

  std::vector<std::string> Entries(const std::string& title) override {
    std::vector<std::string> entries;
    if (title.empty() || title[0] != '[') return entries;
    const std::string name = SectionNameOf(title);
    std::vector<char> lines = Read([&](char* buffer, DWORD size) {
      return GetProfileSectionA(name.c_str(), buffer, size);
    });
    for (const char* p = lines.data(); *p; p += strlen(p) + 1)
      if (*p != ';') entries.push_back(p);
    return entries;
  }

  bool SectionEmpty(const std::string& title) override { return Entries(title).empty(); }

  bool Remove(const std::string& title, const std::string& line) override {
    if (!KeyStandsOnce(title, line)) return false;
    return WriteProfileStringA(SectionNameOf(title).c_str(), KeyOf(line).c_str(), nullptr) != 0;
  }

  bool Replace(const std::string& title, const std::string& oldLine,
               const std::string& newLine) override {
    if (CompareFolded(KeyOf(oldLine), KeyOf(newLine)) != 0 || !KeyStandsOnce(title, oldLine))
      return false;
    return Write(title, newLine);
  }

  bool Add(const std::string& title, const std::string& line) override {
    if (title.empty() || line.find('=') == std::string::npos) return false;
    for (const auto& entry : Entries(title))
      if (CompareFolded(KeyOf(entry), KeyOf(line)) == 0) return false;
    return Write(title, line);
  }

  bool DropSection(const std::string& title) override {
    return WriteProfileStringA(SectionNameOf(title).c_str(), nullptr, nullptr) != 0;
  }

 private:
  template <typename Fill>
  static std::vector<char> Read(Fill fill) {
    for (DWORD size = 4096;; size *= 4) {
      std::vector<char> buffer(size + 2, '\0');
      DWORD got = fill(buffer.data(), size);
      if (got < size - 2 || size >= (1u << 24)) return buffer;
    }
  }

  // The key of `line` stands once in the section, and as that line.
  bool KeyStandsOnce(const std::string& title, const std::string& line) {
    int count = 0;
    bool same = false;
    for (const auto& entry : Entries(title))
      if (CompareFolded(KeyOf(entry), KeyOf(line)) == 0) {
        ++count;
        same = CompareFolded(entry, line) == 0;
      }
    return count == 1 && same;
  }

  bool Write(const std::string& title, const std::string& line) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    return WriteProfileStringA(SectionNameOf(title).c_str(), KeyOf(line).c_str(),
                               line.substr(eq + 1).c_str()) != 0;
  }
};

bool IsWindowsIniOrSystemIni(const std::string& target) {
  size_t slash = target.rfind('\\');
  std::string name = target.substr(slash == std::string::npos ? 0 : slash + 1);
  return CompareFileNames(name, "WIN.INI") == 0 || CompareFileNames(name, "SYSTEM.INI") == 0;
}

}  // namespace

std::string WindowsIniPath() {
  char directory[MAX_PATH] = {};
  UINT n = GetWindowsDirectoryA(directory, MAX_PATH);
  std::string path(directory, n < MAX_PATH ? n : 0);
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path + "WIN.INI";
}

void RestoreProfileFile(const ReportSection& section, bool useWindowsProfile, LineSink& log) {
  const std::string& target = section.title;
  log.WriteLine("Mise à jour de " + target);
  std::vector<ProfileGroup> groups;
  std::vector<std::string> lines;
  unsigned changes = 0;
  if (!section.whole || !ProfileGroupsOf(section.lines, groups)) {
    lines.push_back(IncompleteSectionText);
  } else if (useWindowsProfile) {
    WindowsProfile profile;
    changes = UndoProfileGroups(profile, groups, lines);
  } else {
    // The file as it stands, changed line by line and written back whole;
    // a missing file is made when lines must come back into it.
    std::string bytes;
    bool exists = FileExists(target);
    if (exists && !ReadFileBytes(target, bytes)) {
      lines.push_back(" " + target + " illisible");
    } else {
      ProfileText text(bytes);
      changes = UndoProfileGroups(text, groups, lines);
      if (text.Bytes() != bytes && !ReplaceFileBytes(target, text.Bytes())) {
        lines = {" " + target + " ne peut pas être réécrit"};
        changes = 0;
      }
    }
  }
  for (const auto& line : lines) log.WriteLine(line);
  log.WriteLine(CountText(changes));
  log.WriteLine("");
  if (changes > 0 && IsWindowsIniOrSystemIni(target)) Program.WindowsIniChanged = true;
}
