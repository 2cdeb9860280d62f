// The catalogue of a directory tree and the exclusion list.
#pragma once
#include <string>
#include <vector>

class TextFileWriter;

// The fragments of an exclusion text ("C:\TEMP;\CACHE\") in upper case,
// then the program directory, "\RECYCLED\" and "\SYSBCKUP\".
std::vector<std::string> ExclusionListOf(const std::string& text);
// Rebuilds Program.ExclusionList from an exclusion text, which becomes
// Program.ExclusionListText.
void BuildExclusionList(const std::string& text);
bool IsExcludedBy(const std::vector<std::string>& list, const std::string& directory);
bool IsExcluded(const std::string& directory);

// A string list kept in catalogue order (CatalogueOrder of entry lines); a
// new string goes before an equal one already there.
class TMaStringList {
 public:
  void Ajoute(const std::string& s);
  // Sorts strings given in listing order exactly as Ajoute of each in turn.
  static void SortAsAjoute(std::vector<std::string>& strings);
  const std::vector<std::string>& Strings() const { return strings_; }

 private:
  std::vector<std::string> strings_;
};

// Writes the directory line, its sorted entries and (when recurse) the blocks
// of its sub-directories. directory ends with "\"; mask is cut to 8 chars.
void CatalogueDirectory(const std::string& directory, const std::string& mask,
                        TextFileWriter& file, bool recurse);
