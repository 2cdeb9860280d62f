#include "comparison/registry_comparison.h"

#include "comparison/text_comparisons.h"
#include "services/folding.h"
#include "services/registry_text.h"
#include "services/text_lines.h"

namespace {

constexpr int MaxKeyDepth = 25;

bool IsKeyLine(const std::string& line) { return !line.empty() && line[0] >= 'a' && line[0] <= 'z'; }

int DepthOf(const std::string& keyLine) { return 'z' - keyLine[0]; }

// One side of the merge: the current line, in the form this version writes
// (a snapshot of an earlier version is converted line by line), empty lines
// passed over, excluded keys left out with everything below them.
//
// The merge pairs keys and values only in the order the snapshot is written
// in: keys depth first, each one level below a key before it, siblings and
// the values of a key sorted. A snapshot out of that order is damaged, and
// is not reported as keys added or removed.
class SnapshotSide {
 public:
  SnapshotSide(std::istream& in, const RegistryExclusions& exclusions)
      : in_(in), exclusions_(exclusions) {}

  std::string line;
  bool has = false;

  // The signature line; then whether the snapshot escapes its texts.
  void Start() {
    has = Read(line);
    if (!has) return;
    std::string next;
    if (Read(next) && next == EscapedSnapshotMark) {
      escaped_ = true;
      pending_ = false;
    } else {
      pending_ = true;
      pendingLine_ = next;
    }
  }

  void Advance() {
    for (;;) {
      has = false;
      if (pending_) {
        pending_ = false;
        line.swap(pendingLine_);
      } else if (!Read(line)) {
        return;
      }
      if (line.empty()) continue;
      if (!escaped_) line = CanonicalSnapshotLine(line, false);
      has = true;
      Check();
      if (!Skipped()) return;
    }
  }

 private:
  bool Read(std::string& text) {
    if (ReadTextLine(in_, text)) return true;
    if (in_.bad()) throw DamagedMember("cannot read a registry snapshot");
    text.clear();
    return false;
  }

  void Check() {
    if (IsKeyLine(line)) {
      const int depth = DepthOf(line);
      if (depth < 1 || depth > depth_ + 1) throw DamagedMember("registry key without its parent");
      std::string& sibling = keys_[depth];
      if (!sibling.empty() && CompareFolded(sibling, line) > 0)
        throw DamagedMember("registry keys out of order");
      sibling = line;
      for (int d = depth + 1; d <= deepest_; ++d) keys_[d].clear();
      deepest_ = depth;
      depth_ = depth;
      lastValue_.clear();
    } else if (line[0] == 'S' || line[0] == 'B' || line[0] == 'W' || line[0] == 'X') {
      if (depth_ == 0) throw DamagedMember("registry value outside any key");
      if (!lastValue_.empty() && CompareFolded(lastValue_, line) > 0)
        throw DamagedMember("registry values out of order");
      lastValue_ = line;
    }
  }

  // Whether the line stands in an excluded key (the key line included), or
  // is an excluded value.
  bool Skipped() {
    if (exclusions_.Empty()) return false;
    if (IsKeyLine(line)) {
      const int depth = DepthOf(line);
      if (skipFrom_ > 0 && depth > skipFrom_) return true;
      skipFrom_ = 0;
      if (exclusions_.Excludes(keys_, depth)) skipFrom_ = depth;
      else excludedValues_ = exclusions_.ExcludedValues(keys_, depth);
      return skipFrom_ > 0;
    }
    if (skipFrom_ > 0) return true;
    if (excludedValues_.empty()) return false;
    std::string_view name(line);
    name.remove_prefix(line[0] == 'X' ? 10 : 1);
    name = name.substr(0, name.find('='));
    for (const auto& excluded : excludedValues_)
      if (CompareFolded(excluded, name) == 0) return true;
    return false;
  }

  std::istream& in_;
  const RegistryExclusions& exclusions_;
  bool escaped_ = false;
  bool pending_ = false;
  std::string pendingLine_;
  int depth_ = 0, deepest_ = 0, skipFrom_ = 0;
  std::vector<std::string> excludedValues_;  // of the key in hand
  std::string keys_[MaxKeyDepth + 2];  // the key line at each depth: the path in hand
  std::string lastValue_;
};

class RegistryMerge {
 public:
  RegistryMerge(report::Writer& out, uint64_t& changes) : out_(out), changes_(changes) {}

  void Enter(const std::string& keyLine) {
    const int depth = DepthOf(keyLine);
    names_[depth].assign(keyLine, 1);
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
    RegistryValueData value;
    if (!ParseSnapshotValueLine(line, true, value)) return;  // a line of no known kind
    if (headerDue_) {
      out_.Marked(report::OldVersion, KeyPath());
      headerDue_ = false;
    }
    out_.Marked(marker, ReportValueText(value));
    ++changes_;
  }

 private:
  std::string KeyPath() const {
    std::vector<std::u16string> names;
    for (int d = 1; d <= depth_; ++d) {
      std::u16string name;
      UnescapeRegistryText(names_[d], name);
      names.push_back(name);
    }
    return ReportKeyPath(names);
  }

  report::Writer& out_;
  uint64_t& changes_;
  std::string names_[MaxKeyDepth + 1];
  int depth_ = 0;
  bool headerDue_ = false;
};

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> names;
  size_t at = 0;
  for (;;) {
    size_t slash = path.find('\\', at);
    std::string name = path.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
    names.push_back(name == "*" ? name : EscapeRegistryText(FromCp1252(name), true));
    if (slash == std::string::npos) return names;
    at = slash + 1;
  }
}

}  // namespace

RegistryExclusions::RegistryExclusions(const std::vector<std::string>& patterns) {
  for (const auto& text : patterns) {
    if (text.empty()) continue;
    Pattern pattern;
    const size_t slash = text.rfind('\\');
    if (slash != std::string::npos && text.size() > slash + 2 && text[slash + 1] == '=') {
      pattern.keys = SplitPath(text.substr(0, slash));
      pattern.value = EscapeRegistryText(FromCp1252(text.substr(slash + 2)), true);
    } else {
      pattern.keys = SplitPath(text);
    }
    if (pattern.keys.size() > MaxKeyDepth) continue;
    (pattern.value.empty() ? keyDepths_ : valueDepths_) |= 1u << pattern.keys.size();
    patterns_.push_back(std::move(pattern));
  }
}

bool RegistryExclusions::Matches(const Pattern& pattern, const std::string* keyLines, int depth) const {
  if (static_cast<int>(pattern.keys.size()) != depth) return false;
  for (int d = 1; d <= depth; ++d) {
    const std::string& want = pattern.keys[static_cast<size_t>(d) - 1];
    if (want != "*" && CompareFolded(want, std::string_view(keyLines[d]).substr(1)) != 0) return false;
  }
  return true;
}

bool RegistryExclusions::Excludes(const std::string* keyLines, int depth) const {
  if (depth > MaxKeyDepth || !(keyDepths_ >> depth & 1)) return false;
  for (const auto& pattern : patterns_)
    if (pattern.value.empty() && Matches(pattern, keyLines, depth)) return true;
  return false;
}

std::vector<std::string> RegistryExclusions::ExcludedValues(const std::string* keyLines,
                                                             int depth) const {
  std::vector<std::string> values;
  if (depth > MaxKeyDepth || !(valueDepths_ >> depth & 1)) return values;
  for (const auto& pattern : patterns_)
    if (!pattern.value.empty() && Matches(pattern, keyLines, depth)) values.push_back(pattern.value);
  return values;
}

namespace {

int KeyLinesOf(const std::vector<std::u16string>& names, std::string* keyLines) {
  const int depth = static_cast<int>(names.size() < MaxKeyDepth ? names.size() : MaxKeyDepth);
  for (int d = 1; d <= depth; ++d) keyLines[d] = SnapshotKeyLine('a', names[static_cast<size_t>(d) - 1]);
  return depth;
}

}  // namespace

bool RegistryExclusions::ExcludesPath(const std::vector<std::u16string>& names) const {
  std::string keyLines[MaxKeyDepth + 2];
  const int depth = KeyLinesOf(names, keyLines);
  for (int d = 1; d <= depth; ++d)
    if (Excludes(keyLines, d)) return true;
  return false;
}

bool RegistryExclusions::ExcludesValue(const std::vector<std::u16string>& names,
                                       const std::u16string& value) const {
  std::string keyLines[MaxKeyDepth + 2];
  const int depth = KeyLinesOf(names, keyLines);
  const std::string escaped = EscapeRegistryText(value, true);
  for (const auto& name : ExcludedValues(keyLines, depth))
    if (CompareFolded(name, escaped) == 0) return true;
  return false;
}

const std::vector<std::string>& RegistryExclusions::BuiltIn() {
  static const std::vector<std::string> keys = {
      // Wine: a display-device key of every session, under its random name,
      // and the date of the display adapter's driver, rewritten each session.
      "HKey_Local_Machine\\System\\CurrentControlSet\\Control\\Video\\*",
      "HKey_Local_Machine\\System\\CurrentControlSet\\Control\\Class\\"
      "{4D36E968-E325-11CE-BFC1-08002BE10318}\\*\\=DriverDateData",
      // Windows and Wine: the number of the last service started.
      "HKey_Local_Machine\\System\\CurrentControlSet\\Control\\ServiceCurrent",
      // Windows: the state of the random-number generator, rewritten at will.
      "HKey_Local_Machine\\Software\\Microsoft\\Cryptography\\RNG",
      // Windows: background activity of each user, dated whenever a program runs.
      "HKey_Local_Machine\\System\\CurrentControlSet\\Services\\bam\\State\\UserSettings",
      "HKey_Local_Machine\\System\\CurrentControlSet\\Services\\dam\\State\\UserSettings",
      // Explorer's traces of what a user opened and where: recent documents,
      // programs started, dialogs' last folders, windows' views.
      "HKey_Users\\*\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs",
      "HKey_Users\\*\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist",
      "HKey_Users\\*\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32",
      "HKey_Users\\*\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU",
      "HKey_Users\\*\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\TypedPaths",
      "HKey_Users\\*\\Software\\Microsoft\\Windows\\Shell\\BagMRU",
      "HKey_Users\\*\\Software\\Microsoft\\Windows\\Shell\\Bags",
      "HKey_Users\\*\\Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\BagMRU",
      "HKey_Users\\*\\Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\Bags",
      "HKey_Users\\*\\Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache",
      "HKey_Users\\*_Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\BagMRU",
      "HKey_Users\\*_Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\Bags",
      "HKey_Users\\*_Classes\\Local Settings\\Software\\Microsoft\\Windows\\Shell\\MuiCache",
  };
  return keys;
}

void CompareRegistry(std::istream& oldMember, std::istream& newMember, report::Writer& out,
                     const RegistryExclusions& exclusions) {
  SnapshotSide a(oldMember, exclusions), b(newMember, exclusions);
  try {
    a.Start();
    b.Start();
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
    a.Advance();
    b.Advance();
    while (a.has || b.has) {
      if (!b.has) {
        merge.Report(report::Removed, a.line);
        a.Advance();
      } else if (!a.has) {
        merge.Report(report::Added, b.line);
        b.Advance();
      } else if (a.line == b.line || CompareFolded(a.line, b.line) == 0) {
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
