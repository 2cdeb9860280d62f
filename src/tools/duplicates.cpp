#include "tools/duplicates.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>

#include "recording/catalogue.h"
#include "recording/catalogue_lines.h"
#include "services/files.h"
#include "services/folding.h"
#include "services/io_error.h"
#include "services/text_file.h"
#include "services/text_lines.h"
#include "services/wait_message.h"
#include "shell/program_state.h"

bool SameNameOnly = true;

namespace {

constexpr const char* CatalogueFile = "prov.dat";
constexpr char Separator = EntrySeparator;  // "õ"

// A file of the catalogue that another file may duplicate.
struct Candidate {
  std::string info;  // size "[" time "]" attributes, at most 40 characters
  std::string path;
  std::string key;   // what a copy must share: the size, and the name in same-name mode
  uint32_t crc = 0;
  bool readable = false;
};

std::string FileNameOf(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

std::string KeyOf(const std::string& info, const std::string& path) {
  std::string key = info.substr(0, info.find('[') + 1);
  if (SameNameOnly) key += FoldUpper(FileNameOf(path));
  return key;
}

// Which keys two files or more have, known without keeping a word per
// file: a bit per hash value for "seen once" and one for "seen again". A
// file whose key is alone can still fall on a bit set by another key: it
// is then kept as a candidate and dropped when the keys themselves are
// compared. The memory stays the same however many files have no twin.
uint64_t HashOf(const std::string& key) {
  uint64_t h = 1469598103934665603ull;  // FNV-1a
  for (unsigned char c : key) h = (h ^ c) * 1099511628211ull;
  return h;
}

class KeyFilter {
 public:
  KeyFilter() : once_(Words, 0), twice_(Words, 0) {}
  void Add(const std::string& key) {
    const uint64_t bit = Bit(key);
    if (Test(once_, bit)) Set(twice_, bit);
    else Set(once_, bit);
  }
  bool Shared(const std::string& key) const { return Test(twice_, Bit(key)); }

 private:
  static constexpr uint64_t Bits = uint64_t{1} << 23;
  static constexpr size_t Words = Bits / 64;
  static uint64_t Bit(const std::string& key) { return HashOf(key) % Bits; }
  static bool Test(const std::vector<uint64_t>& v, uint64_t bit) { return (v[bit / 64] >> (bit % 64)) & 1; }
  static void Set(std::vector<uint64_t>& v, uint64_t bit) { v[bit / 64] |= uint64_t{1} << (bit % 64); }
  std::vector<uint64_t> once_, twice_;
};

// Every file entry of the catalogue file, with its directory, outside the
// excluded directories.
template <typename Visit>
void ForEachFile(Visit visit) {
  std::ifstream in(CatalogueFile, std::ios::binary);
  if (!in) throw IoError(ERROR_FILE_NOT_FOUND, std::string("cannot open ") + CatalogueFile);
  std::string line, directory;
  bool excluded = false;
  while (ReadTextLine(in, line)) {
    CatalogueEntryFields entry;
    if (ClassifyCatalogueLine(line) == 'C') {
      directory = line;
      excluded = IsExcluded(directory);
    } else if (!excluded && ClassifyCatalogueLine(line) == 'F' && SplitCatalogueEntry(line, entry)) {
      const std::string info = std::string(entry.size) + "[" + std::string(entry.time) + "]" +
                               std::string(entry.attributes);
      visit(info.substr(0, 40), directory + std::string(entry.name));
    }
  }
  if (in.bad()) throw IoError(ERROR_READ_FAULT, std::string("cannot read ") + CatalogueFile);
}

// The catalogues of every configured drive, in one file on disk: a drive's
// files are compared with those of the other drives too.
void WriteCatalogues() {
  TextFileWriter catalogue(CatalogueFile);
  for (char letter : Program.Drives.substr(0, 10))
    CatalogueDirectory(std::string(1, letter) + ":\\", "*.*", catalogue, true);
  catalogue.Close();
}

// The candidates, files whose key another file may share, are taken a part
// at a time: the keys are split into as many parts as it takes for a part
// to hold no more than this many candidates.
constexpr size_t CandidatesPerPart = 32768;

struct Parts {
  KeyFilter filter;
  size_t count = 1;
};

std::unique_ptr<Parts> SplitCandidates() {
  auto parts = std::make_unique<Parts>();
  ForEachFile([&](const std::string& info, const std::string& path) { parts->filter.Add(KeyOf(info, path)); });
  size_t candidates = 0;
  ForEachFile([&](const std::string& info, const std::string& path) {
    if (parts->filter.Shared(KeyOf(info, path))) ++candidates;
  });
  parts->count = std::max<size_t>(1, (candidates + CandidatesPerPart - 1) / CandidatesPerPart);
  return parts;
}

std::vector<Candidate> ReadCandidates(const Parts& parts, size_t part) {
  std::vector<Candidate> candidates;
  ForEachFile([&](const std::string& info, const std::string& path) {
    std::string key = KeyOf(info, path);
    // The high bits of the hash: the filter uses the low ones.
    if (parts.filter.Shared(key) && (HashOf(key) >> 40) % parts.count == part)
      candidates.push_back({info, path, std::move(key)});
  });
  return candidates;
}

// Pass 2: the files whose whole key another file has, wherever the sorted
// list puts them.
std::vector<Candidate> KeepSharedKeys(std::vector<Candidate> candidates) {
  std::sort(candidates.begin(), candidates.end(),
            [](const Candidate& a, const Candidate& b) { return a.key < b.key; });
  std::vector<Candidate> kept;
  for (size_t i = 0; i < candidates.size();) {
    size_t j = i + 1;
    while (j < candidates.size() && candidates[j].key == candidates[i].key) ++j;
    if (j - i >= 2)
      for (size_t k = i; k < j; ++k) kept.push_back(std::move(candidates[k]));
    i = j;
  }
  return kept;
}

// The order of the engine's lists: text without regard to case.
bool FoldedLess(const std::string& a, const std::string& b) { return CompareFolded(a, b) < 0; }

std::string EntryText(const Candidate& c) { return c.info + Separator + c.path; }

// Pass 4 for one group of files of the same size and CRC-32: the classes
// of files whose bytes are the same. The CRC was the first filter only.
void AddSeriesOf(std::vector<const Candidate*> group, std::vector<std::string>& series) {
  std::sort(group.begin(), group.end(),
            [](const Candidate* a, const Candidate* b) { return FoldedLess(EntryText(*a), EntryText(*b)); });
  std::vector<std::vector<const Candidate*>> classes;
  for (const Candidate* file : group) {
    auto same = std::find_if(classes.begin(), classes.end(), [&](const std::vector<const Candidate*>& c) {
      return SameFileContents(c.front()->path, file->path);
    });
    if (same == classes.end()) classes.push_back({file});
    else same->push_back(file);
  }
  for (const auto& copies : classes) {
    if (copies.size() < 2) continue;
    std::vector<std::string> parts;
    for (const Candidate* file : copies) parts.push_back(file->path + Separator + file->info);
    series.push_back(JoinSeries(parts));
  }
}

// Passes 2 to 4 over one part of the candidates.
void SearchPart(std::vector<Candidate> candidates, std::vector<std::string>& series,
                std::vector<std::string>* unreadable) {
  ShowWaitMessage("Recherche des fichiers analogues");
  candidates = KeepSharedKeys(std::move(candidates));

  ShowWaitMessage("Comparaison du contenu des fichiers analogues");
  std::vector<const Candidate*> readable;
  for (Candidate& file : candidates) {
    uint64_t size = 0;
    file.readable = FileSizeAndCrc32(file.path, size, file.crc);
    if (file.readable) readable.push_back(&file);
    else if (unreadable) unreadable->push_back(file.path);
  }
  // The content key: the CRC and the size.
  auto contentKey = [](const Candidate* c) { return std::make_pair(c->crc, c->info.substr(0, c->info.find('['))); };
  std::sort(readable.begin(), readable.end(),
            [&](const Candidate* a, const Candidate* b) { return contentKey(a) < contentKey(b); });
  for (size_t i = 0; i < readable.size();) {
    size_t j = i + 1;
    while (j < readable.size() && contentKey(readable[j]) == contentKey(readable[i])) ++j;
    if (j - i >= 2) AddSeriesOf({readable.begin() + i, readable.begin() + j}, series);
    i = j;
  }
}

void Search(std::vector<std::string>& result, std::vector<std::string>* unreadable) {
  ShowWaitMessage("Lecture des noms et attributs de fichiers");
  BuildExclusionList(Program.ExclusionText);
  WriteCatalogues();
  const std::unique_ptr<Parts> parts = SplitCandidates();
  std::vector<std::string> series;
  for (size_t part = 0; part < parts->count; ++part) SearchPart(ReadCandidates(*parts, part), series, unreadable);
  DeleteFileForced(CatalogueFile);
  std::sort(series.begin(), series.end(), FoldedLess);
  series.erase(std::unique(series.begin(), series.end(),
                           [](const std::string& a, const std::string& b) { return CompareFolded(a, b) == 0; }),
               series.end());
  result = std::move(series);
  if (unreadable) std::sort(unreadable->begin(), unreadable->end(), FoldedLess);
}

}  // namespace

void FindDuplicateSeries(std::vector<std::string>& result, std::vector<std::string>* unreadable) {
  result.clear();
  if (unreadable) unreadable->clear();
  try {
    Search(result, unreadable);
  } catch (...) {
    DeleteFileForced(CatalogueFile);
    HideWaitMessage();
    throw;
  }
  HideWaitMessage();
}

std::vector<std::string> SeriesParts(std::string_view series) {
  std::vector<std::string> parts;
  size_t from = 0;
  while (from <= series.size()) {
    const size_t bar = series.find('|', from);
    const std::string_view part = series.substr(from, bar == std::string_view::npos ? std::string_view::npos : bar - from);
    if (!part.empty()) parts.emplace_back(part);
    if (bar == std::string_view::npos) break;
    from = bar + 1;
  }
  return parts;
}

std::string JoinSeries(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : "|") + part;
  return text;
}

std::string PartPath(std::string_view part) { return std::string(part.substr(0, part.find(Separator))); }

std::string SeriesListLine(std::string_view part) {
  const size_t separator = part.find(Separator);
  const std::string path(part.substr(0, separator));
  const std::string_view info = separator == std::string_view::npos ? "" : part.substr(separator + 1);
  const std::string_view size = info.substr(0, info.find('['));
  const size_t open = info.find('['), close = info.find(']');
  uint32_t time = 0;
  if (open != std::string_view::npos && close != std::string_view::npos && close > open)
    time = static_cast<uint32_t>(std::strtoll(std::string(info.substr(open + 1, close - open - 1)).c_str(), nullptr, 10));
  const DosDateTime when = UnpackDosDateTime(time);
  char column[64];
  // The whole size, however many digits it has.
  std::snprintf(column, sizeof column, "%8.*s %02d/%02d/%04d %02d:%02d", static_cast<int>(size.size()), size.data(),
                when.day, when.month, when.year, when.hour, when.minute);
  return path + "\t" + column;
}
