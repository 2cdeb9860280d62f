#include "comparison/report_compaction.h"

namespace {

// Count lines of blocks in which nothing was found or done.
bool ReportsNothing(const std::string& line) { return line.size() >= 6 && line.compare(1, 5, "Aucun") == 0; }

// Keeps the lines whose flag is set, in order.
void KeepMarked(std::vector<std::string>& lines, const std::vector<bool>& keep) {
  size_t out = 0;
  for (size_t i = 0; i < lines.size(); ++i)
    if (keep[i]) {
      if (out != i) lines[out] = std::move(lines[i]);
      ++out;
    }
  lines.resize(out);
}

}  // namespace

std::vector<std::string> SplitTextLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    size_t stop = end > start && text[end - 1] == '\r' ? end - 1 : end;
    lines.emplace_back(text.substr(start, stop - start));
    start = end + 1;
  }
  return lines;
}

std::string JoinTextLines(const std::vector<std::string>& lines) {
  size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const std::string& line : lines) {
    text.append(line);
    text.append("\r\n");
  }
  return text;
}

bool CompactReportLines(std::vector<std::string>& lines) {
  const size_t before = lines.size();
  // Lines are only ever removed above the walking position, so marking them
  // gives the same result as deleting them one by one, without the cost of
  // shifting a large report once per removed line.
  std::vector<bool> keep(lines.size(), true);
  for (size_t i = lines.size(); i-- > 1;) {
    if (!ReportsNothing(lines[i])) continue;
    keep[i] = false;
    size_t j = i - 1;
    while (j > 0 && !lines[j].empty()) keep[j--] = false;
    i = j;  // the walk goes on above the empty line that stays
    if (i == 0) break;
  }
  KeepMarked(lines, keep);

  keep.assign(lines.size(), true);
  for (size_t i = lines.size(); i-- > 1;)
    if (lines[i].empty() && lines[i - 1].empty()) keep[i] = false;
  KeepMarked(lines, keep);
  return lines.size() != before;
}

std::string SavedReportName(const std::string& currentName, std::string_view firstLine) {
  std::string name = currentName;
  if (name.empty()) return name;
  if (firstLine.size() >= 2 && (firstLine.substr(2, 12) == "Installation" ||
                                firstLine.substr(2, 9) == "Lancement"))
    name.back() = '1';
  return name;
}
