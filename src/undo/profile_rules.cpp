#include "undo/profile_rules.h"

#include <algorithm>

#include "comparison/report_format.h"
#include "services/folding.h"

namespace {

bool IsTitle(const std::string& line) { return !line.empty() && (line[0] == '[' || line[0] == ':'); }

bool IsBlank(const std::string& line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// What the comparison compares: neither empty nor a comment.
bool IsEntry(const std::string& line) { return !line.empty() && line[0] != ';'; }

bool SameLine(const std::string& a, const std::string& b) { return CompareFolded(a, b) == 0; }

std::string Trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

// The key of an entry, as the profile functions match it.
std::string KeyOf(const std::string& line) { return FoldUpper(ProfileKeyOf(line)); }

}  // namespace

std::string ProfileKeyOf(const std::string& line) { return Trimmed(line.substr(0, line.find('='))); }

std::string SectionNameOf(const std::string& title) {
  if (title.empty() || title[0] != '[') return title;
  size_t close = title.find(']');
  return Trimmed(title.substr(1, close == std::string::npos ? std::string::npos : close - 1));
}

bool ProfileGroupsOf(const std::vector<std::string>& lines, std::vector<ProfileGroup>& groups) {
  std::vector<ProfileGroup> found;
  for (const auto& line : lines) {
    if (line.empty()) return false;
    const char marker = line[0];
    if (marker != report::Added && marker != report::Removed && marker != report::Context) {
      if (!IsTitle(line)) return false;
      found.push_back({line, ' ', {}});
      continue;
    }
    const std::string text = line.substr(1);
    if (text.empty()) return false;
    if (IsTitle(text)) {
      found.push_back({text, marker == report::Context ? ' ' : marker, {}});
      continue;
    }
    if (marker == report::Context) continue;  // an unchanged line of the start-up form
    if (found.empty()) found.push_back({"", ' ', {}});
    found.back().changes.emplace_back(marker, text);
  }
  groups = std::move(found);
  return true;
}

unsigned UndoProfileGroups(ProfileStore& store, const std::vector<ProfileGroup>& groups,
                           std::vector<std::string>& log) {
  unsigned changes = 0;
  for (const auto& group : groups) {
    const std::string& title = group.title;
    const std::string tag = "[" + SectionNameOf(title).substr(0, 81) + "]";
    auto has = [&](const std::string& line) {
      const std::vector<std::string> entries = store.Entries(title);
      return std::any_of(entries.begin(), entries.end(),
                         [&](const std::string& e) { return SameLine(e, line); });
    };
    const auto& lines = group.changes;
    std::vector<std::string> said(lines.size());  // the log line of each change
    std::vector<bool> done(lines.size(), false);

    // What the installation removed comes back once; a changed entry takes
    // the place of the line that replaced it.
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].first != report::Removed) continue;
      const std::string& line = lines[i].second;
      if (has(line)) {
        said[i] = " " + tag + line + " y est déjà";
        continue;
      }
      size_t replaced = lines.size();
      int candidates = 0;
      for (size_t j = 0; j < lines.size(); ++j)
        if (lines[j].first == report::Added && !done[j] && KeyOf(lines[j].second) == KeyOf(line) &&
            has(lines[j].second) && candidates++ == 0)
          replaced = j;
      if (candidates == 1 && store.Replace(title, lines[replaced].second, line)) {
        said[replaced] = "-" + tag + lines[replaced].second;
        said[i] = "+" + tag + line;
        done[replaced] = true;
        changes += 2;
      } else if (store.Add(title, line)) {
        said[i] = "+" + tag + line;
        ++changes;
      } else {
        said[i] = " " + tag + line + " ajout impossible";
      }
    }
    // What it added goes, and no other line.
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].first != report::Added || done[i]) continue;
      const std::string& line = lines[i].second;
      if (!has(line)) {
        said[i] = " " + tag + line + " n'y est plus";
      } else if (store.Remove(title, line)) {
        said[i] = "-" + tag + line;
        ++changes;
      } else {
        said[i] = " " + tag + line + " ineffaçable";
      }
    }
    log.insert(log.end(), said.begin(), said.end());
    // A section it added goes once nothing is left under it.
    if (group.titleMarker == report::Added && store.HasSection(title)) {
      if (store.SectionEmpty(title) && store.DropSection(title)) {
        log.push_back("-" + title);
        ++changes;
      } else {
        log.push_back(" " + title + " n'est pas vide");
      }
    }
  }
  return changes;
}

// ---- the text of a profile ----------------------------------------------------

ProfileText::ProfileText(const std::string& bytes) {
  if (bytes.find('\n') != std::string::npos && bytes.find("\r\n") == std::string::npos)
    lineEnd_ = "\n";
  finalLineEnd_ = bytes.empty() || bytes.back() == '\n';
  size_t at = 0;
  while (at < bytes.size()) {
    size_t end = bytes.find('\n', at);
    std::string line = bytes.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines_.push_back(line);
    if (end == std::string::npos) break;
    at = end + 1;
  }
}

std::string ProfileText::Bytes() const {
  std::string bytes;
  for (size_t i = 0; i < lines_.size(); ++i) {
    bytes += lines_[i];
    if (i + 1 < lines_.size() || finalLineEnd_) bytes += lineEnd_;
  }
  return bytes;
}

std::vector<ProfileText::Span> ProfileText::Spans(const std::string& title) const {
  std::vector<Span> spans;
  auto nextTitle = [&](size_t from) {
    for (size_t i = from; i < lines_.size(); ++i)
      if (IsTitle(lines_[i])) return i;
    return lines_.size();
  };
  if (title.empty()) {
    spans.push_back({std::string::npos, 0, nextTitle(0)});
    return spans;
  }
  for (size_t i = 0; i < lines_.size(); ++i)
    if (IsTitle(lines_[i]) && SameLine(lines_[i], title)) spans.push_back({i, i + 1, nextTitle(i + 1)});
  return spans;
}

bool ProfileText::HasSection(const std::string& title) { return !Spans(title).empty(); }

std::vector<std::string> ProfileText::Entries(const std::string& title) {
  std::vector<std::string> entries;
  for (const auto& span : Spans(title))
    for (size_t i = span.begin; i < span.end; ++i)
      if (IsEntry(lines_[i])) entries.push_back(lines_[i]);
  return entries;
}

bool ProfileText::SectionEmpty(const std::string& title) {
  for (const auto& span : Spans(title))
    for (size_t i = span.begin; i < span.end; ++i)
      if (!IsBlank(lines_[i])) return false;
  return true;
}

bool ProfileText::Remove(const std::string& title, const std::string& line) {
  std::vector<size_t> found;
  for (const auto& span : Spans(title))
    for (size_t i = span.begin; i < span.end; ++i)
      if (IsEntry(lines_[i]) && SameLine(lines_[i], line)) found.push_back(i);
  for (auto it = found.rbegin(); it != found.rend(); ++it)
    lines_.erase(lines_.begin() + static_cast<long>(*it));
  return !found.empty();
}

bool ProfileText::Replace(const std::string& title, const std::string& oldLine,
                          const std::string& newLine) {
  for (const auto& span : Spans(title))
    for (size_t i = span.begin; i < span.end; ++i)
      if (IsEntry(lines_[i]) && SameLine(lines_[i], oldLine)) {
        // The key keeps its spelling in the file: the report may hold it in
        // capitals (MSDOS.SYS).
        const size_t eq = lines_[i].find('='), newEq = newLine.find('=');
        lines_[i] = eq != std::string::npos && newEq != std::string::npos
                        ? lines_[i].substr(0, eq) + newLine.substr(newEq)
                        : newLine;
        Remove(title, oldLine);  // copies of the old line, if any
        return true;
      }
  return false;
}

bool ProfileText::Add(const std::string& title, const std::string& line) {
  std::vector<Span> spans = Spans(title);
  if (spans.empty()) {
    lines_.push_back(title);
    lines_.push_back(line);
    return true;
  }
  const Span& last = spans.back();
  size_t at = last.begin;
  for (size_t i = last.begin; i < last.end; ++i)
    if (!IsBlank(lines_[i])) at = i + 1;
  lines_.insert(lines_.begin() + static_cast<long>(at), line);
  return true;
}

bool ProfileText::DropSection(const std::string& title) {
  if (title.empty()) return false;
  std::vector<Span> spans = Spans(title);
  for (auto it = spans.rbegin(); it != spans.rend(); ++it)
    lines_.erase(lines_.begin() + static_cast<long>(it->title), lines_.begin() + static_cast<long>(it->end));
  return !spans.empty();
}
