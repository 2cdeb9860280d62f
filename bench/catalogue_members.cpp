#include "catalogue_members.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "generated_names.h"
#include "recording/catalogue.h"
#include "recording/catalogue_lines.h"
#include "services/text_file.h"

namespace {

int32_t PackedTime(int year, int month, int day, int hour, int minute, int second) {
  return static_cast<int32_t>((static_cast<uint32_t>(year - 1980) << 25) | (month << 21) |
                              (day << 16) | (hour << 11) | (minute << 5) | (second / 2));
}

struct FileEntry {
  std::string name;
  int32_t size, time;
  uint32_t attributes;
  std::string Line() const { return FormatCatalogueEntry(name, size, time, attributes); }
};

FileEntry GeneratedFile(int directory, long index) {
  int f = static_cast<int>(index);
  return {FileName(directory, f), (directory * 131 + f * 977) % 5000000,
          PackedTime(1998, 1 + (directory + f) % 12, 1 + f % 28, (directory + f) % 24,
                     (directory * 7 + f) % 60, (f * 2) % 60),
          f % 11 == 3 ? 33u : 32u};
}

class PairWriter {
 public:
  PairWriter(const MemberPairShape& shape, const std::string& oldName,
             const std::string& newName)
      : shape_(shape), old_(oldName), new_(newName) {
    long entries = std::max(1L, shape.entryLines);
    directories_ = std::max(1L, entries / (shape.filesPerDirectory + 1));
    long files = entries - (directories_ - 1);
    files_.assign(directories_, files / directories_);
    for (long d = 0; d < files % directories_; ++d) ++files_[d];
    changes_.resize(directories_);
    for (int k = 0; k < shape.changes; ++k)
      changes_[static_cast<long long>(k) * directories_ / shape.changes].push_back(k);
  }

  MemberPairCount Run() {
    count_.directories = directories_;
    old_.WriteLine("* ");
    new_.WriteLine("* ");
    Directory(0, std::string(1, shape_.drive) + ":\\");
    old_.Close();
    new_.Close();
    return count_;
  }

 private:
  void Both(const std::string& line) {
    old_.WriteLine(line);
    new_.WriteLine(line);
  }

  void Directory(int d, const std::string& path) {
    Both(path);
    std::vector<std::string> subDirectories;
    for (long c = static_cast<long>(d) * shape_.branching + 1;
         c <= static_cast<long>(d) * shape_.branching + shape_.branching && c < directories_; ++c)
      subDirectories.push_back(
          FormatCatalogueEntry(DirectoryName(static_cast<int>(c)), 0,
                               PackedTime(1998, 12, 5, 14, 3, static_cast<int>(c % 60)), 16));
    TMaStringList::SortAsAjoute(subDirectories);
    for (const auto& line : subDirectories) Both(line);
    count_.oldEntries += static_cast<long>(subDirectories.size());
    count_.newEntries += static_cast<long>(subDirectories.size());

    std::vector<FileEntry> files;
    for (long f = 0; f < files_[d]; ++f) files.push_back(GeneratedFile(d, f));
    std::vector<std::string> oldLines, newLines;
    std::vector<bool> removed(files.size()), touched(files.size());
    std::vector<FileEntry> changed = files;
    size_t taken = 0;
    long extra = files_[d];
    for (int k : changes_[d]) {
      // A directory whose files are all taken gets an added one instead.
      if (k % 3 == 2 || taken == files.size()) {
        newLines.push_back(GeneratedFile(d, extra++).Line());
        ++count_.added;
        continue;
      }
      size_t f = (static_cast<size_t>(k) * 7919 + d) % files.size();
      while (touched[f]) f = (f + 1) % files.size();
      touched[f] = true;
      ++taken;
      if (k % 3 == 1) {
        removed[f] = true;
        ++count_.removed;
      } else {
        changed[f].size += 1 + k % 1000;
        // Now and then a file goes back to an older copy.
        bool older = k % 5 == 0;
        changed[f].time = PackedTime(older ? 1997 : 2001, 3, 9, 10, k % 60, 0);
        ++count_.changed;
        if (older) ++count_.olderVersions;
      }
    }
    for (size_t f = 0; f < files.size(); ++f) {
      oldLines.push_back(files[f].Line());
      if (!removed[f]) newLines.push_back(changed[f].Line());
    }
    TMaStringList::SortAsAjoute(oldLines);
    TMaStringList::SortAsAjoute(newLines);
    for (const auto& line : oldLines) old_.WriteLine(line);
    for (const auto& line : newLines) new_.WriteLine(line);
    count_.oldEntries += static_cast<long>(oldLines.size());
    count_.newEntries += static_cast<long>(newLines.size());

    // The blocks of the sub-directories in the order of their entry lines;
    // a directory's number ends its name.
    for (const auto& line : subDirectories) {
      std::string name = CatalogueEntryName(line);
      int c = std::stoi(name.substr(name.rfind(' ') + 1));
      Directory(c, path + name + "\\");
    }
  }

  const MemberPairShape& shape_;
  TextFileWriter old_, new_;
  long directories_ = 1;
  std::vector<long> files_;
  std::vector<std::vector<int>> changes_;
  MemberPairCount count_;
};

}  // namespace

MemberPairCount WriteMemberPair(const MemberPairShape& shape, const std::string& oldName,
                                const std::string& newName) {
  return PairWriter(shape, oldName, newName).Run();
}
