#include "comparison/text_comparisons.h"

#include <algorithm>
#include <string>
#include <vector>

#include "services/folding.h"
#include "services/text_lines.h"

bool WritesContextLines(uint8_t analysisMode) {
  return analysisMode == 0 || analysisMode == 1 || analysisMode == 3;
}

namespace {

// Reads a whole member; a stream that fails other than at its end is damaged.
template <typename Take>
void ReadMember(std::istream& in, Take take) {
  std::string line;
  while (ReadTextLine(in, line)) take(line);
  if (in.bad()) throw DamagedMember("unreadable member");
}

// ---- start-up files -------------------------------------------------------

bool IsAnchor(const std::string& line) { return !line.empty() && (line[0] == ':' || line[0] == '['); }

// Index (from `from`) of the last line before the first anchor: -2 for an
// empty rest, -1 when the rest begins with an anchor.
long BlockEnd(const std::vector<std::string>& lines, size_t from) {
  if (from >= lines.size()) return -2;
  for (size_t i = from; i < lines.size(); ++i)
    if (IsAnchor(lines[i])) return static_cast<long>(i - from) - 1;
  return static_cast<long>(lines.size() - from) - 1;
}

// Position (from `from`) of the first line equal to `line`, or -1.
long IndexOf(const std::vector<std::string>& lines, size_t from, const std::string& line) {
  auto it = std::find(lines.begin() + static_cast<long>(from), lines.end(), line);
  return it == lines.end() ? -1 : static_cast<long>(it - lines.begin() - static_cast<long>(from));
}

std::vector<std::string> FoldedLines(std::istream& in) {
  std::vector<std::string> lines;
  ReadMember(in, [&](const std::string& line) {
    if (!line.empty()) lines.push_back(FoldUpper(line));
  });
  return lines;
}

// ---- profiles -------------------------------------------------------------

// A line of a profile and the section line it stands under ("" before the
// first section). Held apart rather than joined, so that a line before the
// first section may hold any character and always sorts before the sections.
// Each section line also stands as an entry of its own, with an empty line,
// first of its section: a section one copy has and the other has not is
// reported as "+" or "-" with its section line, so that the undo knows an
// added section from one that was there before, empty or not.
struct ProfileEntry {
  std::string section, line;
  bool Title() const { return line.empty(); }
};

int CompareEntries(const ProfileEntry& a, const ProfileEntry& b) {
  int c = CompareFolded(a.section, b.section);
  return c != 0 ? c : CompareFolded(a.line, b.line);
}

std::vector<ProfileEntry> ProfileEntries(std::istream& in) {
  std::vector<ProfileEntry> entries;
  std::string section;
  ReadMember(in, [&](const std::string& line) {
    if (line.empty() || line[0] == ';') return;
    if (line[0] == ':' || line[0] == '[') {
      section = line;
      entries.push_back({section, ""});
    } else {
      entries.push_back({section, line});
    }
  });
  std::stable_sort(entries.begin(), entries.end(),
                   [](const ProfileEntry& a, const ProfileEntry& b) { return CompareEntries(a, b) < 0; });
  entries.erase(std::unique(entries.begin(), entries.end(),
                            [](const ProfileEntry& a, const ProfileEntry& b) {
                              return CompareEntries(a, b) == 0;
                            }),
                entries.end());
  return entries;
}

}  // namespace

void CompareStartupFiles(std::istream& oldMember, std::istream& newMember, report::Writer& out,
                         uint8_t analysisMode) {
  WriteBlockBody(out, [&](uint64_t& changes) {
    const std::vector<std::string> old = FoldedLines(oldMember);
    const std::vector<std::string> now = FoldedLines(newMember);
    const bool context = WritesContextLines(analysisMode);
    size_t o = 0, n = 0;
    auto added = [&] { out.Marked(report::Added, now[n++]); ++changes; };
    auto removed = [&] { out.Marked(report::Removed, old[o++]); ++changes; };
    auto same = [&] {
      if (context) out.Marked(report::Context, old[o]);
      ++o;
      ++n;
    };
    while (o < old.size() || n < now.size()) {
      long i1 = BlockEnd(old, o), i2 = BlockEnd(now, n);
      if (i1 == -2) {
        added();
      } else if (i1 == -1) {
        if (i2 == -2) removed();
        else if (i2 >= 0) added();
        else if (old[o] == now[n]) same();
        else if (IndexOf(now, n, old[o]) >= 0) added();
        else removed();
      } else if (i2 < 0) {
        removed();
      } else if (old[o] == now[n]) {
        same();
      } else {
        long j = IndexOf(now, n, old[o]);
        if (j >= 0 && j <= i2) added();
        else removed();
      }
    }
  });
}

void CompareProfiles(std::istream& oldMember, std::istream& newMember, report::Writer& out) {
  WriteBlockBody(out, [&](uint64_t& changes) {
    const std::vector<ProfileEntry> old = ProfileEntries(oldMember);
    const std::vector<ProfileEntry> now = ProfileEntries(newMember);
    std::string lastSection;
    auto reportEntry = [&](char marker, const ProfileEntry& e) {
      if (e.Title()) {
        out.Marked(marker, e.section);
        lastSection = e.section;
        ++changes;
        return;
      }
      if (e.section != lastSection) {
        out.Line(e.section);
        lastSection = e.section;
      }
      out.Marked(marker, e.line);
      ++changes;
    };
    size_t o = 0, n = 0;
    while (o < old.size() && n < now.size()) {
      int c = CompareEntries(old[o], now[n]);
      if (c == 0) ++o, ++n;
      else if (c > 0) reportEntry(report::Added, now[n++]);
      else reportEntry(report::Removed, old[o++]);
    }
    while (o < old.size()) reportEntry(report::Removed, old[o++]);
    while (n < now.size()) reportEntry(report::Added, now[n++]);
  });
}
