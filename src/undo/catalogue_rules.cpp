#include "undo/catalogue_rules.h"

#include <set>

#include "comparison/report_format.h"
#include "services/folding.h"

namespace {

bool Refuse(std::string* problem, const std::string& why, const std::string& line) {
  if (problem) *problem = why + ": " + line;
  return false;
}

}  // namespace

bool IsPlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name)
    if (c < 32 || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' ||
        c == '<' || c == '>' || c == '|')
      return false;
  return true;
}

bool IsCatalogueDirectoryPath(const std::string& line) {
  if (line.size() < 3 || line[1] != ':' || line[2] != '\\' || line.back() != '\\') return false;
  char drive = line[0];
  if (!((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z'))) return false;
  for (size_t at = 3; at < line.size();) {
    size_t slash = line.find('\\', at);
    if (!IsPlainFileName(line.substr(at, slash - at))) return false;
    at = slash + 1;
  }
  return true;
}

bool CatalogueRemovalsOf(const std::vector<std::string>& lines, CatalogueRemovals& removals,
                         std::string* problem) {
  CatalogueRemovals found;
  std::string directory;
  std::vector<std::string> added;  // sub-directories of the stretch
  std::set<std::string> removed;   // folded names
  auto endStretch = [&] {
    for (const auto& name : added)
      if (!removed.count(FoldFileName(name))) found.directories.push_back(directory + name);
    added.clear();
    removed.clear();
  };
  bool oldVersionOpen = false;  // a " " line waits for its ">" line
  for (const auto& line : lines) {
    if (line.empty()) return Refuse(problem, "empty line", line);
    const char marker = line[0];
    if (oldVersionOpen != (marker == report::NewVersion))
      return Refuse(problem, "changed file without its two lines", line);
    oldVersionOpen = marker == report::OldVersion;
    if (report::IsDirectoryLine(line)) {
      if (!IsCatalogueDirectoryPath(line)) return Refuse(problem, "odd directory line", line);
      endStretch();
      directory = line;
      continue;
    }
    if (marker != report::Added && marker != report::Removed && marker != report::OldVersion &&
        marker != report::NewVersion)
      return Refuse(problem, "unknown line", line);
    if (directory.empty()) return Refuse(problem, "entry before any directory", line);
    if (report::IsSubDirectoryLine(line)) {
      if (marker != report::Added && marker != report::Removed)
        return Refuse(problem, "changed directory line", line);
      std::string name = report::EntryNameOf(line);
      if (!IsPlainFileName(name)) return Refuse(problem, "odd directory name", line);
      if (marker == report::Added) added.push_back(name);
      else removed.insert(FoldFileName(name));
      continue;
    }
    std::string name;
    if (!report::AddedFileNameOf(line, name) || !IsPlainFileName(name))
      return Refuse(problem, "odd file line", line);
    if (marker == report::Added) found.files.push_back(directory + name);
  }
  if (oldVersionOpen) return Refuse(problem, "changed file without its new line", lines.back());
  endStretch();
  removals = std::move(found);
  return true;
}
