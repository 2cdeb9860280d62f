#include "undo/report_sections.h"

#include "services/text_lines.h"

namespace {
// Far beyond any line the comparison writes (paths, registry values).
constexpr size_t MaxReportLine = 1 << 20;
}

bool ReportSections::Line(std::string& line, bool& damaged) {
  if (!ReadTextLine(in_, line)) {
    if (in_.bad()) throw DamagedReport("unreadable report");
    return false;
  }
  if (line.size() > MaxReportLine || line.find('\0') != std::string::npos) damaged = true;
  return true;
}

bool ReportSections::HeaderLine(std::string& line) {
  bool damaged = false;
  return Line(line, damaged) && !damaged;
}

bool ReportSections::Next(ReportSection& section) {
  std::string line;
  bool damaged = false;
  for (;;) {
    if (!Line(line, damaged)) return false;
    std::string title;
    report::HeadingKind kind = report::ClassifyHeading(line, &title);
    if (!damaged && kind != report::HeadingKind::None) {
      section = ReportSection{line, kind, title, {}, false};
      break;
    }
    damaged = false;
  }
  bool interrupted = false;
  while (Line(line, damaged) && !line.empty()) {
    if (line == report::InterruptedText) interrupted = true;
    section.lines.push_back(line);
  }
  // The count line closes a whole block; a block cut at the end of the
  // report without its empty line is whole when its count line is there.
  bool counted = !section.lines.empty() && report::IsCountLine(section.lines.back());
  if (counted) section.lines.pop_back();
  section.whole = counted && !interrupted && !damaged;
  return true;
}
