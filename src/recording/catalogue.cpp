#include "recording/catalogue.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <numeric>

#include "recording/catalogue_lines.h"
#include "services/files.h"
#include "services/folding.h"
#include "services/text_file.h"
#include "shell/program_state.h"

namespace {

// The system's upper-casing (accented letters become accented capitals),
// which the exclusion list uses, unlike the folding of comparisons.
std::string SystemUpper(std::string text) {
  if (!text.empty()) CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// The comparison tests every catalogue line against the exclusion list, so
// IsExcluded must not cost a system call, an allocation and a search per
// fragment for each line. In a single-byte code page CharUpperBuffA changes
// each character on its own: its effect on each byte, taken once,
// upper-cases a whole text the same.
struct ByteSet {
  uint64_t words[4] = {};
  void Add(unsigned char b) { words[b >> 6] |= uint64_t{1} << (b & 63); }
  bool Has(unsigned char b) const { return (words[b >> 6] >> (b & 63)) & 1; }
  void Merge(const ByteSet& other) {
    for (int i = 0; i < 4; ++i) words[i] |= other.words[i];
  }
};

class ByteUpperCase {
 public:
  ByteUpperCase() {
    CPINFO info{};
    usable_ = GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
    for (int c = 0; c < 256; ++c) {
      char one = static_cast<char>(c);
      if (c) CharUpperBuffA(&one, 1);
      upper_[c] = one;
      from_[static_cast<unsigned char>(one)].Add(static_cast<unsigned char>(c));
    }
  }
  bool Usable() const { return usable_; }
  char Upper(char c) const { return upper_[static_cast<unsigned char>(c)]; }
  // The bytes whose upper case is c.
  const ByteSet& UpperingTo(char c) const { return from_[static_cast<unsigned char>(c)]; }

 private:
  bool usable_ = false;
  char upper_[256];
  ByteSet from_[256];
};

const ByteUpperCase& ByteUpper() {
  static const ByteUpperCase upper;
  return upper;
}

// The character of a fragment that a text must hold, upper-cased, wherever
// the fragment occurs in it: a sign when it has one ("\", ":"), which
// entry lines seldom hold, else its first character.
char KeyOf(const std::string& fragment) {
  auto sign = std::find_if(fragment.begin(), fragment.end(), [](char c) {
    return !(c >= 'A' && c <= 'Z') && !(c >= 'a' && c <= 'z') && !(c >= '0' && c <= '9');
  });
  return sign != fragment.end() ? *sign : fragment[0];
}

bool FragmentAt(const ByteUpperCase& upper, const std::string& text, size_t at,
                const std::string& fragment) {
  if (fragment.empty() || fragment.size() > text.size() - at) return false;
  for (size_t i = 0; i < fragment.size(); ++i)
    if (upper.Upper(text[at + i]) != fragment[i]) return false;
  return true;
}

// The attribute bits a catalogue records: read-only, hidden, system,
// directory and archive. Newer systems add others (normal, not indexed,
// reparse point...) that would make the same file look changed.
constexpr DWORD RecordedAttributes = 1 | 2 | 4 | 16 | 32;

std::string EntryLineOf(const WIN32_FIND_DATAA& found) {
  bool directory = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
  uint64_t size = directory ? 0 : (uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
  return FormatCatalogueEntry(found.cFileName, size,
                              static_cast<int32_t>(PackedDosTimeOf(found.ftLastWriteTime)),
                              found.dwFileAttributes & RecordedAttributes);
}

// Listing patterns longer than the classic 255 characters go through the
// long-path form instead of being cut, which would list another directory.
std::string ListingPattern(const std::string& directory, const std::string& mask) {
  std::string pattern = directory + mask;
  if (pattern.size() > 255 && pattern.rfind("\\\\", 0) != 0) pattern = "\\\\?\\" + pattern;
  return pattern;
}

bool IsVisitedDirectory(const WIN32_FIND_DATAA& found) {
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && found.cFileName[0] != '.';
}

bool IsFile(const WIN32_FIND_DATAA& found) {
  return !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The ANSI listing functions stop at MAX_PATH whatever the prefix, so a
// long-path pattern is listed through the wide ones and each name turned
// back into the ANSI code page.
template <typename Take>
void ListLongPattern(const std::string& pattern, Take take) {
  int length = static_cast<int>(pattern.size());
  std::wstring wide(MultiByteToWideChar(CP_ACP, 0, pattern.data(), length, nullptr, 0), L'\0');
  MultiByteToWideChar(CP_ACP, 0, pattern.data(), length, wide.data(), static_cast<int>(wide.size()));
  WIN32_FIND_DATAW w;
  HANDLE h = FindFirstFileExW(wide.c_str(), FindExInfoBasic, &w, FindExSearchNameMatch, nullptr,
                              FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE) return;
  do {
    WIN32_FIND_DATAA found{};
    found.dwFileAttributes = w.dwFileAttributes;
    found.ftLastWriteTime = w.ftLastWriteTime;
    found.nFileSizeHigh = w.nFileSizeHigh;
    found.nFileSizeLow = w.nFileSizeLow;
    WideCharToMultiByte(CP_ACP, 0, w.cFileName, -1, found.cFileName, MAX_PATH, nullptr, nullptr);
    take(found);
  } while (FindNextFileW(h, &w));
  FindClose(h);
}

// Lists one pattern, handing every entry on in listing order.
template <typename Take>
void ListPattern(const std::string& pattern, Take take) {
  if (pattern.rfind("\\\\?\\", 0) == 0) return ListLongPattern(pattern, take);
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileExA(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                              nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE) return;
  do take(found);
  while (FindNextFileA(h, &found));
  FindClose(h);
}

// The entry lines of the sub-directories (listed with "*.*") and of the
// files matching the mask, each in listing order. With the mask "*.*" both
// come from the same listing.
void ListDirectory(const std::string& directory, const std::string& mask,
                   std::vector<std::string>& subDirectories, std::vector<std::string>& files) {
  bool allFiles = mask == "*.*";
  ListPattern(ListingPattern(directory, "*.*"), [&](const WIN32_FIND_DATAA& found) {
    if (IsVisitedDirectory(found))
      subDirectories.push_back(EntryLineOf(found));
    else if (allFiles && IsFile(found))
      files.push_back(EntryLineOf(found));
  });
  if (allFiles) return;
  ListPattern(ListingPattern(directory, mask), [&](const WIN32_FIND_DATAA& found) {
    if (IsFile(found)) files.push_back(EntryLineOf(found));
  });
}

}  // namespace

std::vector<std::string> ExclusionListOf(const std::string& text) {
  std::vector<std::string> list;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) list.push_back(SystemUpper(text.substr(start, end - start)));
    start = end + 1;
  }
  list.push_back(SystemUpper(Program.ProgramDirectory));
  list.push_back("\\RECYCLED\\");
  list.push_back("\\SYSBCKUP\\");
  return list;
}

void BuildExclusionList(const std::string& text) {
  Program.ExclusionList = ExclusionListOf(text);
  Program.ExclusionListText = text;
}

bool IsExcluded(const std::string& directory) { return IsExcludedBy(Program.ExclusionList, directory); }

bool IsExcludedBy(const std::vector<std::string>& list, const std::string& directory) {
  const ByteUpperCase& upper = ByteUpper();
  if (!upper.Usable()) {
    std::string text = SystemUpper(directory);
    return std::any_of(list.begin(), list.end(), [&](const std::string& fragment) {
      return !fragment.empty() && text.find(fragment) != std::string::npos;
    });
  }
  // Most lines hold none of the fragments' key characters: one pass tells.
  ByteSet keys;
  for (const auto& fragment : list)
    if (!fragment.empty()) keys.Merge(upper.UpperingTo(KeyOf(fragment)));
  if (std::none_of(directory.begin(), directory.end(),
                   [&](char c) { return keys.Has(static_cast<unsigned char>(c)); }))
    return false;
  for (size_t at = 0; at < directory.size(); ++at)
    for (const auto& fragment : list)
      if (FragmentAt(upper, directory, at, fragment)) return true;
  return false;
}

void TMaStringList::Ajoute(const std::string& s) {
  std::string key = FoldFileName(s);
  auto at = std::lower_bound(strings_.begin(), strings_.end(), key,
                             [](const std::string& existing, const std::string& k) {
                               return FoldFileName(existing) < k;
                             });
  strings_.insert(at, s);
}

void TMaStringList::SortAsAjoute(std::vector<std::string>& strings) {
  // Ajoute puts a new string before the equal ones already there, so equal
  // keys end up in reverse listing order.
  std::vector<std::string> keys(strings.size());
  std::transform(strings.begin(), strings.end(), keys.begin(), FoldFileName);
  std::vector<size_t> order(strings.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    int c = keys[a].compare(keys[b]);
    return c != 0 ? c < 0 : a > b;
  });
  std::vector<std::string> sorted;
  sorted.reserve(strings.size());
  for (size_t i : order) sorted.push_back(std::move(strings[i]));
  strings = std::move(sorted);
}

void CatalogueDirectory(const std::string& directory, const std::string& mask,
                        TextFileWriter& file, bool recurse) {
  if (IsExcluded(directory)) return;
  file.WriteLine(directory);

  std::vector<std::string> subDirectories, files;
  ListDirectory(directory, mask.substr(0, 8), subDirectories, files);
  TMaStringList::SortAsAjoute(subDirectories);
  TMaStringList::SortAsAjoute(files);
  for (const auto& line : subDirectories) file.WriteLine(line);
  for (const auto& line : files) file.WriteLine(line);
  files = {};  // gone before the sub-directories are visited

  if (!recurse) return;
  for (const auto& line : subDirectories)
    CatalogueDirectory(directory + CatalogueEntryName(line) + "\\", mask, file, true);
}
