#include "comparison/report_format.h"

#include "services/folding.h"

namespace report {

std::string ReportExtension(uint8_t analysisMode) {
  return analysisMode <= 1 ? ".PV1" : ".PV2";
}

bool IsReportFileName(std::string_view name) {
  const std::string text(name);
  return PosFolded(".PV1", text) > 0 || PosFolded(".PV2", text) > 0 || PosFolded(".PV3", text) > 0;
}

std::string HeaderLine(uint8_t analysisMode, std::string_view appName, std::string_view dateText) {
  std::string app(appName), date(dateText);
  switch (analysisMode) {
    case 0: return "* Installation de " + app + " " + date;
    case 1: return "* Lancement de " + app + " " + date;
    case 4: return "* Suppression de " + app + " " + date;
    default: return "* Comparaison du" + date.substr(date.size() < 2 ? date.size() : 2);
  }
}

std::string SecondHeaderLine(std::string_view beforeDateLine) {
  int at = PosFolded(" le ", beforeDateLine);
  return "  par rapport au " + std::string(beforeDateLine.substr(at == 0 ? 0 : at + 3));
}

std::string CountLine(uint64_t changes) {
  if (changes == 0) return " Aucune modification";
  if (changes == 1) return " 1 modification";
  return " " + std::to_string(changes) + " modifications";
}

std::string UnreadableOldMemberLine(std::string_view title) {
  return " Ancien " + std::string(title) + " illisible ou effacé";
}

std::string UnreadableNewMemberLine(std::string_view title) {
  return " Nouveau " + std::string(title) + " illisible ou effacé";
}

std::string SubDirectoryLine(char marker, std::string_view name) {
  return std::string(1, marker) + std::string(name) + std::string(DirectorySuffix);
}

HeadingKind ClassifyHeading(std::string_view line, std::string* title) {
  auto take = [&](std::string_view heading, HeadingKind kind) {
    if (line.substr(0, heading.size()) != heading) return HeadingKind::None;
    if (title) *title = std::string(line.substr(heading.size()));
    return kind;
  };
  HeadingKind kind = take(CatalogueHeading, HeadingKind::Catalogue);
  return kind != HeadingKind::None ? kind : take(FileHeading, HeadingKind::File);
}

bool IsDirectoryLine(std::string_view line) { return line.size() >= 2 && line[1] == ':'; }

bool IsSubDirectoryLine(std::string_view line) {
  return line.size() > DirectorySuffix.size() + 1 &&
         line.substr(line.size() - DirectorySuffix.size()) == DirectorySuffix;
}

std::string EntryNameOf(std::string_view line) {
  std::string_view body = line.substr(line.empty() ? 0 : 1);
  if (IsSubDirectoryLine(line)) return std::string(body.substr(0, body.size() - DirectorySuffix.size()));
  return std::string(body.substr(0, body.find(' ')));
}

bool IsCountLine(std::string_view line) {
  if (line == " Aucune modification" || line == " 1 modification") return true;
  constexpr std::string_view many = " modifications";
  if (line.size() <= many.size() + 1 || line[0] != ' ') return false;
  std::string_view digits = line.substr(1, line.size() - many.size() - 1);
  if (line.substr(line.size() - many.size()) != many) return false;
  for (char c : digits)
    if (c < '0' || c > '9') return false;
  return true;
}

}  // namespace report

namespace report {

bool AddedFileNameOf(std::string_view line, std::string& name) {
  // " dd/mm/yyyy hh:mm" closes every entry text.
  constexpr size_t DateColumns = 17;
  if (line.size() < 1 + DateColumns + 2) return false;
  std::string_view tail = line.substr(line.size() - DateColumns);
  if (tail[0] != ' ' || tail[3] != '/' || tail[6] != '/' || tail[11] != ' ' || tail[14] != ':')
    return false;
  std::string_view rest = line.substr(1, line.size() - 1 - DateColumns);
  size_t end = rest.size();
  while (end > 0 && rest[end - 1] >= '0' && rest[end - 1] <= '9') --end;
  if (end == rest.size()) return false;  // no size column
  while (end > 0 && rest[end - 1] == ' ') --end;
  if (end == 0) return false;
  name = std::string(rest.substr(0, end));
  return true;
}

}  // namespace report
