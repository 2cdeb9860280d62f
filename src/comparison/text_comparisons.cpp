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

// ---- registry -------------------------------------------------------------

constexpr int MaxKeyDepth = 25;

bool IsKeyLine(const std::string& line) { return !line.empty() && line[0] >= 'a' && line[0] <= 'z'; }

// The export-file syntax of a value line, or "" for a line that is none.
std::string ExportedValue(const std::string& line) {
  if (line.empty()) return "";
  char kind = line[0];
  if (kind != 'S' && kind != 'B' && kind != 'W') return "";
  size_t eq = line.find('=');
  std::string name = line.substr(1, eq == std::string::npos ? std::string::npos : eq - 1);
  std::string data = eq == std::string::npos ? "" : line.substr(eq + 1);
  switch (kind) {
    case 'S': return (name.empty() ? "@" : "\"" + name + "\"") + "=\"" + data + "\"";
    case 'B': return "\"" + name + "\"=hex:" + data;
    default: return "\"" + name + "\"=dword:" + data;
  }
}

class RegistryMerge {
 public:
  RegistryMerge(report::Writer& out, uint64_t& changes) : out_(out), changes_(changes) {}

  void Enter(const std::string& keyLine) {
    int depth = 'z' - keyLine[0];
    if (depth > MaxKeyDepth) depth = MaxKeyDepth;
    names_[depth] = keyLine.substr(1);
    depth_ = depth;
    headerDue_ = true;
  }

  void Report(char marker, const std::string& line) {
    if (IsKeyLine(line)) {
      Enter(line);
      out_.Marked(marker, KeyPath());
      headerDue_ = false;
      ++changes_;
      return;
    }
    std::string value = ExportedValue(line);
    if (value.empty()) return;
    if (headerDue_) {
      out_.Marked(report::OldVersion, KeyPath());
      headerDue_ = false;
    }
    out_.Marked(marker, value);
    ++changes_;
  }

 private:
  std::string KeyPath() const {
    std::string path;
    for (int d = 1; d <= depth_; ++d) {
      if (d > 1) path += '\\';
      path += names_[d];
    }
    return path;
  }

  report::Writer& out_;
  uint64_t& changes_;
  std::string names_[MaxKeyDepth + 1];
  int depth_ = 0;
  bool headerDue_ = false;
};

// One side of the registry merge: the current line, empty lines passed over.
// The merge pairs keys and values only in the order the snapshot is written
// in: keys depth first, each one level below a key before it, siblings and
// the values of a key sorted. A snapshot out of that order is damaged, and
// is not reported as keys added or removed.
struct SnapshotSide {
  explicit SnapshotSide(std::istream& in) : in(in) {}
  std::istream& in;
  std::string line;
  bool has = false;

  void Advance() {
    has = false;
    while (ReadTextLine(in, line))
      if (!line.empty()) {
        has = true;
        if (checked_) Check();
        checked_ = true;  // the signature line is not checked
        return;
      }
    if (in.bad()) throw DamagedMember("cannot read a registry snapshot");
  }

 private:
  void Check() {
    if (IsKeyLine(line)) {
      int depth = 'z' - line[0];
      if (depth < 1 || depth > depth_ + 1) throw DamagedMember("registry key without its parent");
      std::string& sibling = siblings_[depth];
      if (!sibling.empty() && CompareFolded(sibling, line) > 0)
        throw DamagedMember("registry keys out of order");
      sibling = line;
      for (int d = depth + 1; d <= MaxKeyDepth; ++d) siblings_[d].clear();
      depth_ = depth;
      lastValue_.clear();
    } else if (line[0] == 'S' || line[0] == 'B' || line[0] == 'W') {
      if (depth_ == 0) throw DamagedMember("registry value outside any key");
      if (!lastValue_.empty() && CompareFolded(lastValue_, line) > 0)
        throw DamagedMember("registry values out of order");
      lastValue_ = line;
    }
  }

  bool checked_ = false;
  int depth_ = 0;
  std::string siblings_[MaxKeyDepth + 2];
  std::string lastValue_;
};

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

void CompareRegistry(std::istream& oldMember, std::istream& newMember, report::Writer& out) {
  SnapshotSide a(oldMember), b(newMember);
  try {
    a.Advance();
    b.Advance();
  } catch (const DamagedMember&) {
    out.Line(report::InterruptedText);
    out.Line(report::CountLine(0));
    out.Empty();
    return;
  }
  if ((a.has ? a.line : "") != (b.has ? b.line : "")) {
    out.Line(report::DifferentWindowsText);
    return;
  }
  WriteBlockBody(out, [&](uint64_t& changes) {
    RegistryMerge merge(out, changes);
    while (a.has || b.has) {
      if (!b.has) {
        merge.Report(report::Removed, a.line);
        a.Advance();
      } else if (!a.has) {
        merge.Report(report::Added, b.line);
        b.Advance();
      } else if (CompareFolded(a.line, b.line) == 0) {
        if (IsKeyLine(a.line)) merge.Enter(a.line);
        a.Advance();
        b.Advance();
      } else if (IsKeyLine(a.line) && !IsKeyLine(b.line)) {
        merge.Report(report::Added, b.line);
        b.Advance();
      } else if (IsKeyLine(b.line) && !IsKeyLine(a.line)) {
        merge.Report(report::Removed, a.line);
        a.Advance();
      } else if (CompareFolded(a.line, b.line) < 0) {
        merge.Report(report::Removed, a.line);
        a.Advance();
      } else {
        merge.Report(report::Added, b.line);
        b.Advance();
      }
    }
  });
}
