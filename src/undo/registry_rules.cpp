#include "undo/registry_rules.h"

#include "comparison/report_format.h"

namespace {

bool IsMarker(char c) {
  return c == report::Added || c == report::Removed || c == report::OldVersion;
}

}  // namespace

bool IsRegistryKeyLine(const std::string& line) {
  if (line.size() < 3 || !IsMarker(line[0])) return false;
  const size_t root = line[1] == '%' ? 2 : 1;
  return line[root] == 'H' && line.find('\\', root) != std::string::npos;
}

bool RegistryKeyChangesOf(const std::vector<std::string>& lines,
                          std::vector<RegistryKeyChange>& keys) {
  std::vector<RegistryKeyChange> found;
  for (const auto& line : lines) {
    if (IsRegistryKeyLine(line)) {
      RegistryKeyChange key;
      key.marker = line[0];
      key.display = line.substr(1);
      if (!ParseReportKeyPath(key.display, key.path) || key.path.size() < 2) return false;
      found.push_back(std::move(key));
      continue;
    }
    RegistryValueData value;
    if (found.empty() || line.size() < 2 || (line[0] != report::Added && line[0] != report::Removed) ||
        !ParseReportValueText(line.substr(1), value))
      return false;
    found.back().values.emplace_back(line[0], std::move(value));
    found.back().valueTexts.push_back(line.substr(1));
  }
  keys = std::move(found);
  return true;
}
