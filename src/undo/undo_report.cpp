#include "undo/undo_report.h"

#include "services/text_lines.h"

namespace {
// Far beyond any line the comparison writes (paths, registry values).
constexpr size_t MaxReportLine = 1 << 20;
}

bool ReportReader::Next(std::string& line) {
  if (!ReadTextLine(in_, line)) {
    if (in_.bad()) throw DamagedReport("unreadable report");
    return false;
  }
  if (line.size() > MaxReportLine || line.find('\0') != std::string::npos)
    throw DamagedReport("damaged report line");
  return true;
}
